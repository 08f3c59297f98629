#pragma once

#include <QString>

class ScrivoServer;

// Writes a small Shared project into folder (which must be missing or empty): a project
// file with a workspace and a workgroup path, assemblies with parts and drawings in nested
// folders, a presentation, metadata with display names, versions and references, and some
// documents reserved by the users "anna" and "ben". Registers the project and makes it
// active. Returns the project file's path; throws ServerError.
QString WriteSampleProject(const QString &folder, ScrivoServer &server);
