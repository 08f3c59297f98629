#include "reserve/PrepareWorkingProject.h"
#include "system/Translation.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"

QString PrepareWorkingProject(DocumentServer &server, Prompts &prompts, const QString &project)
{
    server.ProjectHandler().SetActiveProject(QString());
    server.ProjectHandler().SetActiveProject(project);
    const int mode = server.MultiUserMode();
    if (mode == MultiUserModes::SingleUser) {
        server.ProjectHandler().SetActiveProject(QString());
        return BuildWorkingProject(project, true, project);
    }
    if (mode != MultiUserModes::SemiIsolated)
        return project;
    // The include value follows the project file's path rules (backslashes, relative to the
    // project's folder), so it names the same file wherever the project lies.
    const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
    if (include.isEmpty()) {
        prompts.MessageBox(Brevant::tr("Include file missing for semi-isolated mode."),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        return project;
    }
    server.ProjectHandler().SetActiveProject(QString());
    return BuildWorkingProject(include, false, project);
}
