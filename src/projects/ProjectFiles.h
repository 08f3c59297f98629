#pragma once

#include <QString>

// The file name of the working project of older versions (see WorkingProject.h).
inline const QString TemporaryProjectName = QStringLiteral("Temp$$$00.kpj");

// True when the project file's "Project Defaults"/"MultiUser" value is exactly "Depona".
bool IsDeponaProject(const QString &projectFile);

// The project file's "Included Path File"/"Included Pathfile" value, as stored.
QString IncludedPathFileOf(const QString &projectFile);

// Deletes the file only when it is a plain file named as a working project of older versions
// ("Temp$$$00.kpj") or as this process's own; failures are ignored.
void DeleteTemporaryProject(const QString &path);
