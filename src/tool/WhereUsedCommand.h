#pragma once

#include "tool/CommandLine.h"

#include <QList>

class ScrivoServer;

// The options of scrivo where-used.
QList<QCommandLineOption> WhereUsedOptions();

// scrivo where-used [--in DIR] [--json | --report FILE] DOC...
// Walks DIR (default: the active project's workspace) once as scrivo list does and prints
// every document whose references reach one of the DOCs, at any level, each once, as list
// prints it; the comment field is always there, then the full name of each DOC it uses.
// --json gives each object a "uses" array; --report writes the window's report of them.
// Returns 0 when every document was read, 1 when some could not be (or a DOC is not a
// document, a folder could not be listed, the report not written), 2 on a usage error.
int WhereUsedCommand(ScrivoServer &server, const ParsedCommand &command);
