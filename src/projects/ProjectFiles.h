#pragma once

#include "model/ProgramState.h"

#include <QString>

// The file name of the working project of older versions (see WorkingProject.h).
inline const QString TemporaryProjectName = QStringLiteral("Temp$$$00.kpj");

// The name of a multi-user mode number, "" for an unknown number.
QString MultiUserModeName(int mode);

// The mode number for a name of the "MultiUser" key; SingleUser for "" or an unknown name.
int MultiUserModeFromName(const QString &name);

// Sets state.MultiUserModeText from the mode table and returns it; an unknown number leaves
// it unchanged and returns its current value.
QString SetMultiUserModeText(ProgramState &state, int mode);

// True when the project file's "Project Defaults"/"MultiUser" value is exactly "Depona".
bool IsDeponaProject(const QString &projectFile);

// The project file's "Included Path File"/"Included Pathfile" value, as stored.
QString IncludedPathFileOf(const QString &projectFile);

// Deletes the file only when it is a plain file named as a working project of older versions
// ("Temp$$$00.kpj") or as this process's own; failures are ignored.
void DeleteTemporaryProject(const QString &path);

// Sets the server's active project to "" and returns what it then reports as active.
QString ResetActiveProject(DocumentServer &server);

// Initial folders for opening documents.
bool HasWorkspacePath(DocumentServer &server);
QString GetWorkspacePath(DocumentServer &server);
QString FirstWorkgroupPath(DocumentServer &server);
