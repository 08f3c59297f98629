#include "projects/ProjectFiles.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "server/DocumentServer.h"

#include <QFile>
#include <QFileInfo>

QString MultiUserModeName(int mode)
{
    switch (mode) {
    case MultiUserModes::SingleUser:
        return QStringLiteral("Single User");
    case MultiUserModes::Shared:
        return QStringLiteral("Shared");
    case MultiUserModes::SemiIsolated:
        return QStringLiteral("Semi-Isolated");
    case MultiUserModes::SemiIsolatedNoCheckout:
        return QStringLiteral("Semi-Isolated no checkout");
    case MultiUserModes::Depona:
        return QStringLiteral("Depona");
    default:
        return QString();
    }
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
