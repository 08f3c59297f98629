#pragma once

#include <QString>
#include <optional>

// A check-out or check-in run works in a working project of its own when the selected
// project is not shared: a copy whose mode is Shared, beside the file it is copied from,
// named "Temp$$$00-<account>-<host>-<process>.kpj" so that runs of several users, hosts and
// processes never meet. It records the project the run was made for and the process that
// made it, so a working project left by a killed run can be told from a running one.

// The file name of the working project of older versions.
inline const QString TemporaryProjectName = QStringLiteral("Temp$$$00.kpj");

// The name of this process's working project.
QString WorkingProjectName();

// True for the names of working projects: this form and "Temp$$$00.kpj" of older versions.
bool IsWorkingProjectName(const QString &fileName);

// Builds this process's working project beside source: source's bytes with "MultiUser" set
// to Shared (and, when moveWorkspace, the workspace moved to the workgroup paths), created
// exclusively and never through a link, recording project as the project it was made for.
// Working projects that killed runs left in that folder are removed first. Throws
// FileError naming the file that could not be read or made.
QString BuildWorkingProject(const QString &source, bool moveWorkspace, const QString &project);

// When path is a working project whose run is gone (it ran on this host and its process has
// ended): the project it was made for. nullopt for anything else.
std::optional<QString> AbandonedWorkingProjectSource(const QString &path);

// Deletes the file only when it is a plain file named as a working project of older versions
// ("Temp$$$00.kpj") or as this process's own; failures are ignored.
void DeleteTemporaryProject(const QString &path);

// Removes the working projects in folder whose runs are gone; failures are ignored.
void RemoveAbandonedWorkingProjects(const QString &folder);
