#include "server/ProjectAccess.h"

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
