#pragma once

#include "server/DocumentServer.h"

#include <QString>

// How many documents in folder to work on at once: 16 where the server allows it
// (ConcurrentDocuments) and folder is on a network file system, where a request waits a round
// trip of milliseconds for work of microseconds (16 in flight came closest to the floor of the
// share benchmark); else 1 (on a local disk a pool costs more than it gives).
int RequestWidthFor(DocumentServer &server, const QString &folder);
