#pragma once

#include "server/DocumentServer.h"
#include "server/ProgramState.h"

#include <QString>

// The program's use of the server's project handling.

// Sets state.MultiUserModeText from the mode table and returns it; an unknown number leaves
// it unchanged and returns its current value.
QString SetMultiUserModeText(ProgramState &state, int mode);

// Sets the server's active project to "" and returns what it then reports as active.
QString ResetActiveProject(DocumentServer &server);

// Initial folders for opening documents.
bool HasWorkspacePath(DocumentServer &server);
QString GetWorkspacePath(DocumentServer &server);
QString FirstWorkgroupPath(DocumentServer &server);

// The folder the open dialog starts in: the folder of the project file the selected project
// includes, else the active project's workspace, else its first workgroup path, else "".
QString InitialOpenFolder(DocumentServer &server, const QString &selectedProject);
