#include "projects/ProjectFiles.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "server/DocumentServer.h"

#include "projects/WorkingProject.h"
#include "server/ServerError.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"

#include <sys/stat.h>

namespace {

// The multi-user modes: the name a project file's "MultiUser" key holds, and its number.
const struct
{
    const char16_t *name;
    int mode;
} ModeTable[] = {
    {u"Single User", MultiUserModes::SingleUser},
    {u"Shared", MultiUserModes::Shared},
    {u"Semi-Isolated", MultiUserModes::SemiIsolated},
    {u"Semi-Isolated no checkout", MultiUserModes::SemiIsolatedNoCheckout},
    {u"Depona", MultiUserModes::Depona},
};

} // namespace

QString MultiUserModeName(int mode)
{
    for (const auto &entry : ModeTable)
        if (entry.mode == mode)
            return QString::fromUtf16(entry.name);
    return QString();
}

int MultiUserModeFromName(const QString &name)
{
    for (const auto &entry : ModeTable)
        if (name == QStringView(entry.name))
            return entry.mode;
    return MultiUserModes::SingleUser;
}

QString SetMultiUserModeText(ProgramState &state, int mode)
{
    const QString name = MultiUserModeName(mode);
    if (!name.isEmpty())
        state.MultiUserModeText = name;
    return state.MultiUserModeText;
}

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

QString ResetActiveProject(DocumentServer &server)
{
    server.ProjectHandler().SetActiveProject(QString());
    return server.ProjectHandler().ActiveProject();
}

bool HasWorkspacePath(DocumentServer &server)
{
    return !server.ProjectHandler().WorkspacePath().isEmpty();
}

QString GetWorkspacePath(DocumentServer &server)
{
    return server.ProjectHandler().WorkspacePath();
}

QString FirstWorkgroupPath(DocumentServer &server)
{
    QStringList names;
    QStringList paths;
    server.ProjectHandler().GetWorkgroupPaths(names, paths);
    return paths.isEmpty() ? QString() : paths.first();
}
