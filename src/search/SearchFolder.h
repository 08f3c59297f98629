#pragma once

#include "model/clsFiles.h"
#include "search/ErrorLog.h"
#include "search/MetadataCache.h"
#include "server/DocumentServer.h"
#include "server/FileProcessing.h"
#include "system/DirectoryListing.h"

#include <QHash>
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
    // Folders already searched, with the names they were searched under, so a link back up
    // the tree cannot make the walk endless.
    QHash<FolderIdentity, QString> VisitedFolders;
    // The folders passed over as searched before (a link inside the tree or back up it), each
    // with the name it was searched under.
    QHash<QString, QString> SameFolders;
    ErrorLog Log;
    // Told about each document read into Files (its record is the last one there), with its
    // full name and what was read.
    std::function<void(const QString &fullName, const DocumentReading &reading)> DocumentRead;
    // How many documents the walk reads at once, on as many threads; 1: one at a time, on the
    // walk's own thread. More than 1 only where the server allows ConcurrentDocuments.
    int Width = 1;
    // Whether each document's own references are read with it (DocumentReading::References),
    // from the same opening.
    bool ReadReferences = false;
    // Where given, a document whose identity is as the cache has it is not opened: what its
    // bytes gave comes from the cache and only its reservation is looked up. Each document
    // read is kept there.
    MetadataCache *Cache = nullptr;

    // Reads through the cache (none: every document opened). Where documents are read many
    // at once, more are then in flight: a document the cache knows costs one round trip (its
    // record) instead of several, so on the share benchmark 2,000 unchanged documents took
    // 1.5 s with 16 in flight, 0.9 s with 32 and 0.7 s with 64, where the walk without the
    // cache gains nothing past about 24. Set Width first.
    void UseCache(MetadataCache *cache);
    // Documents that could not be opened or read during this search, and folders that could
    // not be listed; each is named in the error log.
    int FailedDocuments = 0;
    int FailedFolders = 0;
};

// Runs walk through the user's metadata cache where it is wanted and helps below folder
// (MetadataCache::HelpsAt; set context.Width first), then saves the cache. The cache is only a
// hint: one that cannot be written is rebuilt by the next walk, so the walk is not failed.
void WalkThroughCache(SearchContext &context, const QString &folder, bool wanted,
                      const std::function<void()> &walk);

// The folder the folder browser returned, without leading and trailing blanks. Only that
// folder is trimmed: names from the listing are used exactly as they are.
QString TrimBlanks(const QString &text);

// The search-mode walk over a folder tree, breadth first: queues startFolder, then takes
// the folders off the front of the work list one by one, telling progress about each before
// it searches it: its documents are read into Files (the records in the listing's order), its
// sub-folders (except those whose names begin with ".") appended to the work list. Failures
// to list a folder or to open or read a document go to the error log, and the walk goes on;
// a folder searched before (a link back up the tree) is passed over. Pending user-interface
// events run once per document; a stop takes effect before the next document. The work list
// is empty afterwards, also after a stop.
void WalkFolderTree(SearchContext &context, const QString &startFolder,
                    const std::function<void(const QString &folder)> &progress = {});
