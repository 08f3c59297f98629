#pragma once

#include "reserve/RunJournal.h"
#include "server/ProgramState.h"

#include <QString>
#include <optional>

// What start-up and closing put right on the document server, so that the program leaves it
// as it found it, also after a run that was killed.

// A killed run found at start-up: the project made active again, and what the run had
// reserved.
struct UnfinishedRun
{
    QString Source;
    JournalContents Reserved;
};

// At start-up. A check-out or check-in run that was killed left its working project active:
// the project it was made from becomes active again and the working project and its journal
// are removed, and working projects killed runs left beside the registered projects (and
// their include files) are removed. The run, if there was one.
std::optional<UnfinishedRun> RecoverFromUnfinishedRun(DocumentServer &server);

// Makes the project that was active at start-up active again, unless it is; failures are
// ignored (the server is left as well as it can be).
void PutStartupProjectBack(DocumentServer &server, const QString &startupProject);

// At closing: the start-up user name again, the last run's working project removed, and the
// start-up project active again, unless a default project is active or the start-up project
// was itself a working project. Failures are ignored, each step on its own.
void RestoreAtClose(DocumentServer &server, const ProgramState &state);
