#pragma once

#include <QString>

// True when the project file's "Project Defaults"/"MultiUser" value is exactly "Depona".
bool IsDeponaProject(const QString &projectFile);

// The project file's "Included Path File"/"Included Pathfile" value, as stored.
QString IncludedPathFileOf(const QString &projectFile);
