#include "server/ProjectAccess.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "server/ServerError.h"

QString SetMultiUserModeText(ProgramState &state, int mode)
{
    const QString name = MultiUserModeName(mode);
    if (!name.isEmpty())
        state.MultiUserModeText = name;
    return state.MultiUserModeText;
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

QString InitialOpenFolder(DocumentServer &server, const QString &selectedProject)
{
    QString folder;
    try {
        folder = HasWorkspacePath(server) ? GetWorkspacePath(server) : FirstWorkgroupPath(server);
    } catch (const ServerError &) {
        // The dialog can still be used without a starting folder.
        folder.clear();
    }
    const QString include = ProjectFilePath(IncludedPathFileOf(selectedProject), selectedProject);
    if (!include.isEmpty())
        folder = ParentFolderOf(include);
    return folder;
}
