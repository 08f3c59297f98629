#pragma once

#include "model/clsFiles.h"
#include "search/ErrorLog.h"
#include "server/DocumentServer.h"
#include "server/FileProcessing.h"
#include "system/DirectoryListing.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

// Everything one folder search works with. The search command makes one per search, so the
// visited folders and the failure count start afresh each time.
struct SearchContext
{
    SearchContext(DocumentServer &server, clsFiles &files, QStringList &listBoxDirs,
                  bool &stopSearch);

    DocumentServer &Server;
    // The records of the list; each document found is appended.
    clsFiles &Files;
    // The folder work list, first in, first out.
    QStringList &ListBoxDirs;
    // Set by the stop command while pending events run; the walker only reads it.
    bool &StopSearch;
    // Lets pending user-interface events run once per folder entry.
    std::function<void()> ProcessEvents;
    // Folders already searched, so a link back up the tree cannot make the walk endless.
    QSet<FolderIdentity> VisitedFolders;
    ErrorLog Log;
    // Told about each document read into Files (its record is the last one there), with its
    // full name and what was read.
    std::function<void(const QString &fullName, const DocumentReading &reading)> DocumentRead;
    // How many documents the walk reads at once (see ReadAheadWalk.h); 1: one at a time.
    int Width = 1;
    // Documents that could not be opened or read during this search, and folders that could
    // not be listed; each is named in the error log.
    int FailedDocuments = 0;
    int FailedFolders = 0;
};

// Appends the record of a document the walk read and tells DocumentRead. A damaged
// reservation record is listed as such, and logged and counted as a document that could not
// be read.
void TakeReading(SearchContext &context, const QString &fullName, const DocumentReading &reading);

// True when the full name ends in KPT, KAM or KDW, in any letter case (no dot needed).
bool IsKorvexDocumentName(const QString &fullName);

// The folder the folder browser returned, without leading and trailing blanks. Only that
// folder is trimmed: names from the listing are used exactly as they are.
QString TrimBlanks(const QString &text);

// Searches one folder: reads every part, assembly and drawing document directly in it into
// Files and appends its sub-folders (except those whose names begin with ".") to the work
// list. Returns at once when StopSearch is set, and before the next document once it is set.
// Failures to open or read a document, and a folder that cannot be listed (no permission,
// an I/O error), go to the error log; the search goes on. A folder searched before in this
// search is passed over. pattern
// "*.*" or "*" means every entry; any other pattern is matched against entry names.
void SearchFolder(SearchContext &context, const QString &folder,
                  const QString &pattern = QStringLiteral("*.*"));

// The search-mode walk over a folder tree: queues startFolder, then takes the folders off
// the front of the work list one by one, telling progress about each before searching it.
// The work list is empty afterwards, also after a stop.
void WalkFolderTree(SearchContext &context, const QString &startFolder,
                    const std::function<void(const QString &folder)> &progress = {});
