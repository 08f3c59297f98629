#include "projects/ProjectFiles.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "server/DocumentServer.h"

#include <QFile>
#include <QFileInfo>

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
    // Only the temporary project's exact name is ever deleted: the path may hold the selected
    // project itself, which must survive.
    if (FileNameOf(path) != TemporaryProjectName)
        return;
    const QFileInfo info(path);
    if (!info.isFile())
        return;
    QFile::remove(path);
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
