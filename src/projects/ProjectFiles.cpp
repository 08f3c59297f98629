#include "projects/ProjectFiles.h"

#include "projects/IniFile.h"

bool IsDeponaProject(const QString &projectFile)
{
    return ReadINI(QStringLiteral("Project Defaults"), QStringLiteral("MultiUser"), projectFile) ==
           QStringLiteral("Depona");
}

QString IncludedPathFileOf(const QString &projectFile)
{
    return ReadINI(QStringLiteral("Included Path File"), QStringLiteral("Included Pathfile"),
                   projectFile);
}
