#include "shell/OpenCommand.h"
#include "system/Translation.h"

#include "server/FileProcessing.h"
#include "server/ProgramState.h"
#include "server/ProjectAccess.h"
#include "shell/CommandGuard.h"
#include "shell/FileListView.h"
#include "shell/ListSession.h"
#include "shell/SearchCommand.h"
#include "shell/SessionCommands.h"
#include "shell/StatusPanels.h"

#include <QDir>

namespace {

QString FileSelectionTitle()
{
    return Brevant::tr("Korvex File Selection");
}
QString KorvexFileFilter()
{
    return Brevant::tr("Part File") + QStringLiteral(" (*.kpt)|*.kpt|") +
           Brevant::tr("Assembly File") + QStringLiteral(" (*.kam)|*.kam|") +
           Brevant::tr("Presentation File") + QStringLiteral(" (*.kpn)|*.kpn|") +
           Brevant::tr("Drawing File") + QStringLiteral(" (*.kdw)|*.kdw");
}
constexpr int AssemblyFilter = 2;

} // namespace

OpenCommand::OpenCommand(const WindowParts &parts, SessionCommands &sessionCommands,
                         SearchCommand &searchCommand, QObject *parent)
    : WindowCommand(parts, parent), session(sessionCommands), search(searchCommand)
{
}

void OpenCommand::Open()
{
    guard.Run(CommandGuard::Activity::Running, [this] {
        if (!session.AskToSaveList())
            OpenChosenDocument();
    });
}

void OpenCommand::OpenChosenDocument()
{
    const QString folder = InitialOpenFolder(*state.DocumentServer, state.SelectedProject);
    // There are no drives here; a folder that cannot be entered still starts the dialog.
    if (!folder.isEmpty())
        QDir::setCurrent(folder);

    FileSelection.initialFolder = folder;
    FileSelection.defaultExtension = QStringLiteral(".kam");
    FileSelection.title = FileSelectionTitle();
    FileSelection.filter = KorvexFileFilter();
    FileSelection.selectedFilter = AssemblyFilter;
    FileSelection.fileName.clear();
    FileSelection.fileName = prompts.OpenFileName(FileSelection);
    if (FileSelection.fileName.isEmpty())
        return;

    std::optional<DocumentReadError> failure;
    try {
        search.CollectDocuments(true, FileSelection.fileName);
    } catch (const DocumentReadError &error) {
        failure = error;
    } catch (const std::exception &error) {
        failure = DocumentReadError(ServerError(0, ReasonOf(error)), FileSelection.fileName);
    }
    status.Update();
    list.SetSaved(false);
    // The opened list has no report file yet: a plain Save must ask for a name.
    list.SetReportPath(QString());
    list.SetStage(ListStage::Opened);

    if (failure)
        prompts.MessageBox(Brevant::tr("Not all documents could be read:\r%1\r%2")
                               .arg(failure->document, failure->description),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
