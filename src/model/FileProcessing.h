#pragma once

#include "model/clsFiles.h"
#include "server/DocumentServer.h"

#include <QString>

// Turns the document's reservation into a new record and appends it to Files. The server is
// read in a fixed order: IsReserved; when reserved ReservedBy, ReservedTime, ReservedVersion
// (a free document gets "available" three times and these are never read); DisplayName;
// FullFileName twice (file name, then folder). A failing read passes its error on and
// leaves Files as it was.
void ReadReservation(clsFiles &Files, ServerDocument &doc);

// Opens the document at path and appends its record, then one record for each referenced
// document in the server's order, skipping missing (null) entries. Errors pass to the
// caller; the records appended before the error stay.
void ReadDocumentWithReferences(clsFiles &Files, DocumentServer &server, const QString &path);
