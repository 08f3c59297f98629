#pragma once

#include "shell/WindowCommand.h"

#include <QObject>
#include <QString>
#include <QStringList>

class ErrorLog;
class SessionCommands;

// Find Korvex Documents and Stop Documents Search, and the filling of the list from a
// search or an Open (CollectDocuments).
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
    void Stop();

private:
    void ShowSearchFailures(int failedDocuments, int failedFolders, const ErrorLog &log);

    SessionCommands &session;
    // The folder of the last search, or in open mode the full name of the opened document.
    QString SearchPath;
    // Work list of the folder search: first in, first out.
    QStringList ListBoxDirs;
};
