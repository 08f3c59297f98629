#pragma once

#include "model/Prompts.h"
#include "server/DocumentServer.h"

#include <QString>

// Moves the "Workspace"/"Workspace" value of the file into "Workgroup Search Paths"/
// "Workgroup" and removes the "Workspace" section. Throws ServerError when the file cannot
// be written.
void MoveWorkspaceToWorkgroup(const QString &file);

// Decides the project a check-out or check-in run works in: a temporary shared copy for
// Single User and Semi-Isolated projects, else the project itself. Throws ServerError
// (with a description naming the file) when the copy cannot be made or written.
QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project);
