#include "projects/ProjectFiles.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "system/Failure.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"

#include <sys/stat.h>

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

void DeleteTemporaryProject(const QString &path)
{
    // Only a working project's name is ever deleted, since the path may hold the selected
    // project itself, which must survive: the name of older versions, or this process's own
    // (never another run's). Only a plain file: a link or folder planted under the name stays.
    const QString name = FileNameOf(path);
    if (name != TemporaryProjectName && name != WorkingProjectName())
        return;
    struct stat st;
    if (::lstat(EncodeFileName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    IgnoringErrors([&] { RemoveFile(path); });
}
