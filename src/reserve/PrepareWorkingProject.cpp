#include "reserve/PrepareWorkingProject.h"
#include "system/Translation.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "reserve/PrepareWorkingProject.h"

QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project)
{
    QString result = project;
    server.ProjectHandler().SetActiveProject(QString());
    server.ProjectHandler().SetActiveProject(project);
    const int mode = server.MultiUserMode();

    switch (mode) {
    case MultiUserModes::SingleUser:
        server.ProjectHandler().SetActiveProject(QString());
        result = BuildWorkingProject(project, true, project);
        break;
    case MultiUserModes::SemiIsolated: {
        // The include value follows the project file's path rules (backslashes, relative to
        // the project's folder), so it names the same file wherever the project lies.
        const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
        if (include.isEmpty()) {
            prompts.MessageBox(Brevant::tr("Include file missing for semi-isolated mode."),
                               PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        } else {
            server.ProjectHandler().SetActiveProject(QString());
            result = BuildWorkingProject(include, false, project);
        }
        break;
    }
    default:
        break;
    }
    return result;
}
