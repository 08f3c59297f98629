#pragma once

#include <QString>
#include <QStringList>

class ErrorLog;
class frmMain;

// Find Korvex Documents and Stop Documents Search, and the filling of the list from a
// search or an Open (CollectDocuments).
class SearchCommand
{
public:
    explicit SearchCommand(frmMain &window);

    // Lists the documents below SearchPath (search mode) or the document at openPath with
    // the documents it references (open mode). In open mode a failure passes to the caller,
    // the records read so far staying in Files.
    void CollectDocuments(bool openMode, const QString &openPath = QString());

private:
    void Search();
    void Stop();
    // While a search runs, the commands that would change the list, the records or the
    // project are unavailable; afterwards they are as a finished search leaves them.
    QList<class QAction *> CommandsHeldDuringSearch() const;
    void ShowSearchFailures(int failedDocuments, int failedFolders, const ErrorLog &log);

    frmMain &window;
    // The folder of the last search, or in open mode the full name of the opened document.
    QString SearchPath;
    // Work list of the folder search: first in, first out.
    QStringList ListBoxDirs;
};
