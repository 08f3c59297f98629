#pragma once

#include "model/Prompts.h"
#include "server/DocumentServer.h"

#include <QString>

// Decides the project a check-out or check-in run works in: a working project of its own
// for Single User and Semi-Isolated projects (see projects/WorkingProject.h), else the
// project itself. Throws FileError naming the file when the working project cannot be made,
// ServerError when the server fails.
QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project);
