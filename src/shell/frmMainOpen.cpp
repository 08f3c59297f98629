#include "shell/frmMain.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "reports/ReportSaver.h"
#include "server/FileProcessing.h"
#include "server/ProjectAccess.h"
#include "server/ServerError.h"

#include <QAction>
#include <QComboBox>
#include <QDir>

namespace {

const QString FileSelectionTitle = QStringLiteral("Korvex File Selection");
const QString KorvexFileFilter = QStringLiteral("Part File (*.kpt)|*.kpt") +
                                 QStringLiteral("|Assembly File (*.kam)|*.kam") +
                                 QStringLiteral("|Presentation File (*.kpn)|*.kpn") +
                                 QStringLiteral("|Drawing File (*.kdw)|*.kdw");
constexpr int AssemblyFilter = 2;
const QString NotAllReadText = QStringLiteral("Not all documents could be read:");

// The folder the open dialog starts in: the folder of the project file the selected project
// includes, else the active project's workspace, else its first workgroup path, else "".
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

} // namespace

void frmMain::ConnectOpenCommands()
{
    connect(mnuOpen, &QAction::triggered, this, &frmMain::mnuOpenClick);
}

void frmMain::mnuOpenClick()
{
    // The search owns the records until it returns.
    if (searching || Released())
        return;
    if (AskToSaveList())
        return;

    const QString folder = InitialOpenFolder(*state.DocumentServer, state.SelectedProject);
    // There are no drives here; a folder that cannot be entered still starts the dialog.
    if (!folder.isEmpty())
        QDir::setCurrent(folder);

    FileSelection.fileName.clear();
    FileSelection.initialFolder = folder;
    FileSelection.defaultExtension = QStringLiteral(".kam");
    FileSelection.title = FileSelectionTitle;
    FileSelection.filter = KorvexFileFilter;
    FileSelection.selectedFilter = AssemblyFilter;
    FileSelection.fileName = prompts.OpenFileName(FileSelection);
    if (FileSelection.fileName.isEmpty() || Released())
        return;

    ClearFiles(state.Files);
    std::optional<DocumentReadError> failure;
    try {
        CollectDocuments(true);
    } catch (const DocumentReadError &error) {
        failure = error;
    } catch (const ServerError &error) {
        failure = DocumentReadError(error, FileSelection.fileName);
    } catch (const std::exception &error) {
        failure = DocumentReadError(ServerError(0, ReasonOf(error)), FileSelection.fileName);
    }
    if (failure)
        ShowFilesInList();
    UpdateStatusbar();
    listSaved = false;
    mnuSave->setEnabled(true);
    mnuSaveAs->setEnabled(true);
    mnuOpen->setEnabled(false);
    Combo1->setEnabled(false);
    // The opened list has no report file yet: a plain Save must ask for a name.
    setWindowTitle(ReportSaver::UnnamedCaption());

    if (failure)
        prompts.MessageBox(NotAllReadText + u'\r' + failure->document + u'\r' +
                               failure->description,
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
