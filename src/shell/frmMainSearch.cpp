#include "shell/frmMain.h"

#include "model/FileProcessing.h"
#include "reports/ReportSaver.h"
#include "search/SearchFolder.h"

#include <QComboBox>
#include <QCoreApplication>

namespace {

const QString ScopeMessage = QStringLiteral(
    "The search of Korvex files should be done in the scope of your active project file.");
const QString FolderBrowserTitle = QStringLiteral("Select Directory for search Korvex Files:");
const QString SearchingText = QStringLiteral("Searching . . . ");

} // namespace

void frmMain::ConnectSearchCommands()
{
    connect(mnuDocumentsSearch, &QAction::triggered, this, &frmMain::mnuDocumentsSearchClick);
    connect(mnuStopDocumentsSearch, &QAction::triggered, this,
            &frmMain::mnuStopDocumentsSearchClick);
}

void frmMain::mnuDocumentsSearchClick()
{
    if (AskToSaveList())
        return;
    state.StopSearch = false;
    prompts.MessageBox(ScopeMessage, PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    SearchPath = prompts.BrowseForFolder(FolderBrowserTitle);
    if (SearchPath.isEmpty())
        return;

    SetStatusPanelText(1, QStringLiteral("Search path: ") + SearchPath + QString(39, u' '));
    setWindowTitle(ReportSaver::UnnamedCaption());
    mnuSave->setEnabled(true);
    mnuSaveAs->setEnabled(true);
    mnuStopDocumentsSearch->setEnabled(true);
    Combo1->setEnabled(false);
    CollectDocuments(false);
    mnuStopDocumentsSearch->setEnabled(false);
}

void frmMain::mnuStopDocumentsSearchClick()
{
    state.StopSearch = true;
}

void frmMain::CollectDocuments(bool openMode)
{
    ClearFiles(state.Files);
    ClearList();
    if (!openMode) {
        SearchContext context(*state.DocumentServer, *state.Files, ListBoxDirs, state.StopSearch);
        context.ProcessEvents = [] { QCoreApplication::processEvents(); };
        searching = true;
        WalkFolderTree(context, TrimBlanks(SearchPath), [this](const QString &folder) {
            SetStatusPanelText(1, SearchingText + folder);
        });
        searching = false;
    } else {
        SearchPath = FileSelection.fileName;
        SetStatusPanelText(1, SearchingText + SearchPath);
        // A failure passes to the Open command; the records read so far stay in Files.
        ReadDocumentWithReferences(*state.Files, *state.DocumentServer, SearchPath);
    }
    ShowFilesInList();
    UpdateStatusbar();
}
