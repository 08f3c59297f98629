#include "shell/OpenCommand.h"
#include "system/Translation.h"

#include "server/FileProcessing.h"
#include "server/ProjectAccess.h"
#include "shell/SearchCommand.h"
#include "shell/SessionCommands.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QComboBox>
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

OpenCommand::OpenCommand(frmMain &mainWindow) : window(mainWindow)
{
    QObject::connect(window.mnuOpen, &QAction::triggered, &window, [this] { Open(); });
}

void OpenCommand::Open()
{
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    if (window.session->AskToSaveList())
        return;

    ProgramState &state = window.state;
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
    FileSelection.fileName = window.prompts.OpenFileName(FileSelection);
    if (FileSelection.fileName.isEmpty())
        return;

    ClearFiles(state.Files);
    std::optional<DocumentReadError> failure;
    try {
        window.search->CollectDocuments(true, FileSelection.fileName);
    } catch (const DocumentReadError &error) {
        failure = error;
    } catch (const std::exception &error) {
        failure = DocumentReadError(ServerError(0, ReasonOf(error)), FileSelection.fileName);
    }
    if (failure)
        window.ShowFilesInList();
    window.UpdateStatusbar();
    window.listSaved = false;
    window.mnuSave->setEnabled(true);
    window.mnuSaveAs->setEnabled(true);
    window.mnuOpen->setEnabled(false);
    window.Combo1->setEnabled(false);
    // The opened list has no report file yet: a plain Save must ask for a name.
    window.setWindowTitle(SessionCommands::UnnamedCaption());

    if (failure)
        window.prompts.MessageBox(Brevant::tr("Not all documents could be read:\r%1\r%2")
                                      .arg(failure->document, failure->description),
                                  PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
