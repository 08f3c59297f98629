#include "reserve/SessionRestore.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "reserve/RunJournal.h"
#include "server/ProjectAccess.h"
#include "system/Failure.h"
#include "system/FileWrite.h"

std::optional<UnfinishedRun> RecoverFromUnfinishedRun(DocumentServer &server)
{
    ProjectHandler &projects = server.ProjectHandler();
    const QString active = projects.ActiveProject();
    std::optional<UnfinishedRun> run;
    if (const std::optional<QString> source = AbandonedWorkingProjectSource(active)) {
        projects.SetActiveProject(*source);
        IgnoringErrors([&] { RemoveFile(active); });
        run = UnfinishedRun{*source, ReadRunJournal(active)};
        RemoveRunJournal(active);
    }
    for (const QString &project : projects.GetProjects()) {
        RemoveAbandonedWorkingProjects(ParentFolderOf(project));
        IgnoringErrors([&] {
            const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
            if (!include.isEmpty())
                RemoveAbandonedWorkingProjects(ParentFolderOf(include));
        });
    }
    return run;
}

void PutStartupProjectBack(DocumentServer &server, const QString &startupProject)
{
    IgnoringErrors([&] {
        ProjectHandler &projects = server.ProjectHandler();
        if (projects.ActiveProject() != startupProject)
            projects.SetActiveProject(startupProject);
    });
}

void RestoreAtClose(DocumentServer &server, const ProgramState &state)
{
    // The user name is the start-up one again whenever a run or a failure left another.
    IgnoringErrors([&] {
        if (server.UserName() != state.StartupUserName)
            server.SetUserName(state.StartupUserName);
    });

    IgnoringErrors([&] {
        ProjectHandler &projects = server.ProjectHandler();
        const QString active = FileNameOf(projects.ActiveProject());
        if (active.toLower() == QStringLiteral("default.kpj"))
            return;
        IgnoringErrors([&] { projects.SetActiveProject(QString()); });
        DeleteTemporaryProject(state.WorkingProject);
        RemoveRunJournal(state.WorkingProject);
        if (!IsWorkingProjectName(FileNameOf(state.StartupProject)))
            projects.SetActiveProject(state.StartupProject);
    });

    DeleteTemporaryProject(state.WorkingProject);
    RemoveRunJournal(state.WorkingProject);
}
