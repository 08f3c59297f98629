#pragma once

#include "server/DocumentServer.h"

#include <QString>
#include <memory>

// The program-wide state, held in one object that the main window owns, so that several
// windows can run one after the other (in tests) without sharing anything.
struct ProgramState
{
    std::shared_ptr<::DocumentServer> DocumentServer;

    // The project that was active when the program started.
    QString StartupProject;
    // The project chosen in the project drop-down.
    QString SelectedProject;
    // The project made active for the last check-out or check-in run.
    QString WorkingProject;
    // The name of the active project's multi-user mode.
    QString MultiUserModeText;

    QString StartupUserName;
    QString CheckOutUser;
    // Stored with the reservations of the next check-out run, which empties it.
    QString CheckOutComment;

    bool StopSearch = false;
    // Whether searches on network shares take unchanged documents from the metadata cache.
    bool UseMetadataCache = true;
};
