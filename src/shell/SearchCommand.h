#pragma once

#include "shell/WindowCommand.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ErrorLog;
class SessionCommands;
struct SearchContext;

// Find Korvex Documents, Where Used... and Stop Documents Search, and the filling of the list
// from a search or an Open (CollectDocuments).
class SearchCommand : public WindowCommand
{
    Q_OBJECT

public:
    SearchCommand(const WindowParts &parts, SessionCommands &session, QObject *parent = nullptr);

    // Lists the documents below SearchPath (search mode) or the document at openPath with
    // the documents it references (open mode). In open mode a failure passes to the caller,
    // the records read so far shown.
    void CollectDocuments(bool openMode, const QString &openPath = QString());

public slots:
    void Search();
    // Lists the documents whose references reach the selected ones, below the folder of the
    // last search (else the active project's workspace), in place of the list.
    void WhereUsed();
    void Stop();

private:
    // The folder a where-used looks in: the searched one while the list is a search's, else
    // the workspace; "" when there is none.
    QString WhereUsedFolder() const;
    void CollectUsers(const QString &folder, const QStringList &targets);
    // Sets the walk up for the window: pending events at most every few milliseconds, as many
    // documents at once as the folder's file system wants.
    void PrepareWalk(SearchContext &context, const QString &folder);
    void ShowSearchFailures(int failedDocuments, int failedFolders, const ErrorLog &log);

    SessionCommands &session;
    // The folder of the last search, or in open mode the full name of the opened document.
    QString SearchPath;
    // Work list of the folder search: first in, first out.
    QStringList ListBoxDirs;
};
