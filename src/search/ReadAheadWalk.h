#pragma once

#include "search/SearchFolder.h"

#include <QString>
#include <functional>

// The walk of WalkFolderTree with many requests in flight, for folders on a file server
// where each request waits a network round trip: a pool of context.Width threads lists the
// folders ahead of the walk and reads their documents and records, while this thread takes
// the results in the walk's own order. The rows, the folders told to progress, the error
// log's lines and the counts are those of the walk one request at a time, for the same tree;
// a stop takes effect at the next document, the reads already started finishing first (each
// a few requests). The server must allow ConcurrentDocuments.
void WalkFolderTreeReadingAhead(SearchContext &context, const QString &startFolder,
                                const std::function<void(const QString &folder)> &progress);
