#pragma once

#include "tool/CommandLine.h"

#include <QList>

class ScrivoServer;

// The options of scrivo list.
QList<QCommandLineOption> ListOptions();

// scrivo list [--user NAME] [--holder NAME] [--mine] [--reserved] [--older-than DURATION]
//             [--json | --report FILE] FOLDER...
// Walks each folder as the window's search does (the same walker, the same documents in the
// same order, Error.log for those that cannot be read) and prints one line a document: the
// path, the holder or "available", the time (ISO 8601 with offset), the version and the
// display name, separated by tabs; a tab, line break or backslash inside a field is written
// \t, \n, \r or \\. The filters keep only the documents a user (--user and --holder alike),
// the default user or anyone holds, or that have been held for DURATION ("14d", "36h") or
// longer; they combine. --json prints one JSON array of objects instead; --report writes the
// window's report of the documents (a spreadsheet for .xlsx or .xls, else the text report).
// Progress goes to standard error when it is a terminal and the walk takes longer than a second.
// Returns 0 when every document was read, 1 when some could not be (or a folder could not be
// listed, or the report not written), 2 on a usage error (--json and --report together).
int ListCommand(ScrivoServer &server, const ParsedCommand &command);
