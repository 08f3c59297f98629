#include "shell/ProjectChoice.h"

#include "model/FileListModel.h"
#include "model/Prompts.h"
#include "projects/ProjectFiles.h"
#include "server/ProgramState.h"
#include "server/ProjectAccess.h"
#include "server/ServerError.h"
#include "shell/CommandGuard.h"
#include "shell/StatusPanels.h"
#include "system/Failure.h"
#include "system/Translation.h"

#include <QComboBox>
#include <QScopedValueRollback>
#include <QSignalBlocker>

namespace {

QString DeponaRefusalText()
{
    return Brevant::tr("Depona projects should be handled via Depona Explorer regarding check "
                       "in/out operations.");
}

QString SemiIsolatedHintText()
{
    return QStringList{
        Brevant::tr("You are running in Semi-Isolated mode."),
        Brevant::tr("Please select the files from your server directory for check in/out "
                    "operation."),
        QString(),
        Brevant::tr("Hint:"),
        Brevant::tr("If you run Brevant from a users client machine, please backup and "
                    "remove"),
        Brevant::tr("the local workspace data first, before you execute Brevant. This step "
                    "allows"),
        Brevant::tr("you to access the server data only, without referencing the local "
                    "stored files."),
    }
        .join(QLatin1Char('\r'));
}

} // namespace

void FillProjectList(DocumentServer &server, QComboBox *list)
{
    const QStringList projects = server.ProjectHandler().GetProjects();
    // A combo box selects the first entry it is given; the selection must stay as it was
    // until the program selects an entry itself.
    const int selected = list->currentIndex();
    const QSignalBlocker quiet(list);
    list->addItems(projects);
    list->setCurrentIndex(selected);
}

void SelectProjectInList(DocumentServer &server, const QString &path, QComboBox *list)
{
    const QStringList projects = server.ProjectHandler().GetProjects();
    // A path not listed selects entry 0. Index 0 of an empty list selects nothing; an unchanged
    // index emits nothing.
    const int index = qMax(0, static_cast<int>(projects.indexOf(path)));
    if (index < list->count())
        list->setCurrentIndex(index);
}

QString SelectedListText(const QComboBox *list)
{
    return list->currentIndex() < 0 ? QString() : list->itemText(list->currentIndex());
}

ProjectChoice::ProjectChoice(ProgramState &programState, Prompts &dialogs,
                             CommandGuard &commandGuard, const FileListModel &listed,
                             StatusPanels &statusPanels, QComboBox *projects)
    : state(programState), prompts(dialogs), guard(commandGuard), list(listed),
      status(statusPanels), Combo1(projects)
{
}

std::optional<QString> ProjectChoice::TakeStartupFailure()
{
    return std::exchange(startupFailure, std::nullopt);
}

void ProjectChoice::Combo1Changed()
{
    const QString previous = state.SelectedProject;
    const QString chosen = SelectedListText(Combo1);
    // The start-up, and this handling when it moves the list itself, choose inside their own
    // command.
    if (guard.Starting() || choosing) {
        Choose(previous, chosen);
        return;
    }
    const bool ran = guard.Run(CommandGuard::Activity::Running, [&] {
        const QScopedValueRollback<bool> inside(choosing, true);
        Choose(previous, chosen);
    });
    // No project change in the middle of a command (or after the window was unloaded): the
    // list goes back to the project in use.
    if (!ran && state.DocumentServer) {
        const QSignalBlocker quiet(Combo1);
        IgnoringErrors([&] { SelectProjectInList(*state.DocumentServer, previous, Combo1); });
    }
}

void ProjectChoice::Choose(const QString &previous, const QString &chosen)
{
    // Slots must not throw. While the start-up runs, a server failure ends it; afterwards
    // the choice is undone and the failure shown.
    try {
        Combo1Click();
    } catch (const std::exception &error) {
        // A registered project file that is gone or cannot be read is told like any failed
        // pick; only a failing server ends the start-up.
        const auto *serverError = dynamic_cast<const ServerError *>(&error);
        const bool badProjectFile = !serverError ||
                                    serverError->number == ServerErrors::ProjectNotFound ||
                                    serverError->number == ServerErrors::ProjectUnreadable;
        if (guard.Starting() && !badProjectFile) {
            if (!startupFailure)
                startupFailure = ReasonOf(error);
            return;
        }
        state.SelectedProject = previous;
        IgnoringErrors([&] {
            const QSignalBlocker quiet(Combo1);
            SelectProjectInList(*state.DocumentServer, previous, Combo1);
        });
        prompts.MessageBox(
            Brevant::tr("The project could not be selected:\r%1\r%2").arg(chosen, ReasonOf(error)),
            PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    }
}

void ProjectChoice::Combo1Click()
{
    // Nothing to select in once the server has been released at closing.
    if (!state.DocumentServer)
        return;
    DocumentServer &server = *state.DocumentServer;
    if (list.Count() > 0) {
        // The project stays while rows are listed; the nested run this causes finds the
        // entry already selected and ends.
        SelectProjectInList(server, state.SelectedProject, Combo1);
        return;
    }

    state.SelectedProject = SelectedListText(Combo1);
    if (!IsDeponaProject(state.SelectedProject)) {
        server.ProjectHandler().SetActiveProject(state.SelectedProject);
        SetMultiUserModeText(state, server.MultiUserMode());
    } else {
        prompts.MessageBox(DeponaRefusalText(), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
        SelectProjectInList(server, ResetActiveProject(server), Combo1);
        state.SelectedProject = ResetActiveProject(server);
        state.MultiUserModeText = QStringLiteral("Single User");
    }

    if (state.MultiUserModeText == QStringLiteral("Semi-Isolated"))
        prompts.MessageBox(SemiIsolatedHintText(), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
    status.Update();
}
