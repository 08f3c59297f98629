#include "shell/frmMain.h"

#include "reports/ReportSaver.h"
#include "search/SearchFolder.h"
#include "server/FileProcessing.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScopedValueRollback>

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
    // A search runs nested event processing; a second one must not start inside it.
    if (searching || Released())
        return;
    if (AskToSaveList())
        return;
    state.StopSearch = false;
    prompts.MessageBox(ScopeMessage, PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    SearchPath = prompts.BrowseForFolder(FolderBrowserTitle);
    if (SearchPath.isEmpty() || Released())
        return;

    SetStatusPanelText(1, QStringLiteral("Search path: ") + SearchPath + QString(39, u' '));
    setWindowTitle(ReportSaver::UnnamedCaption());
    HoldCommandsDuringSearch();
    mnuStopDocumentsSearch->setEnabled(true);
    SetStatusPanelAutoSize(false);
    {
        const QScopedValueRollback<bool> inSearch(searching, true);
        CollectDocuments(false);
    }
    mnuStopDocumentsSearch->setEnabled(false);
    ReleaseCommandsAfterSearch();

    if (closeAfterSearch) {
        closeAfterSearch = false;
        close();
    }
}

void frmMain::mnuStopDocumentsSearchClick()
{
    state.StopSearch = true;
}

QList<QAction *> frmMain::CommandsHeldDuringSearch() const
{
    return {mnuNew,
            mnuOpen,
            mnuDocumentsSearch,
            mnuSave,
            mnuSaveAs,
            mnuDeleteItems,
            pupmnuDeleteItems,
            mnuReserveForUser,
            mnuReserveSelectedFiles,
            mnuUnreserveSelectedFiles,
            pupmnuReserve,
            pupmnuUnreserve};
}

void frmMain::HoldCommandsDuringSearch()
{
    enabledBeforeSearch.clear();
    for (QAction *command : CommandsHeldDuringSearch()) {
        enabledBeforeSearch.append(command->isEnabled());
        command->setEnabled(false);
    }
    Combo1->setEnabled(false);
}

void frmMain::ReleaseCommandsAfterSearch()
{
    const QList<QAction *> commands = CommandsHeldDuringSearch();
    for (qsizetype i = 0; i < commands.size() && i < enabledBeforeSearch.size(); ++i)
        commands[i]->setEnabled(enabledBeforeSearch[i]);
    enabledBeforeSearch.clear();
    // A searched list can be saved, even an empty one; the project stays until New.
    mnuSave->setEnabled(true);
    mnuSaveAs->setEnabled(true);
    Combo1->setEnabled(false);
}

void frmMain::SetStatusPanelAutoSize(bool on)
{
    if (on) {
        statusUser->setMinimumWidth(0);
        statusUser->setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        // The window's inner width less 10 twips.
        statusUser->setFixedWidth(qMax(0, TwipsToPixels(PixelsToTwips(width()) - 10)));
    }
}

void frmMain::ShowSearchFailures(int failedDocuments, const ErrorLog &log)
{
    if (failedDocuments == 0)
        SetStatusNote(QString());
    else if (log.WriteError().isEmpty())
        SetStatusNote(QStringLiteral("%1 document(s) could not be read, see %2")
                          .arg(failedDocuments)
                          .arg(log.Path()));
    else
        // The log does not hold what it would point to.
        SetStatusNote(QStringLiteral("%1 document(s) could not be read; the error log could not "
                                     "be written: %2")
                          .arg(failedDocuments)
                          .arg(log.WriteError()));
}

void frmMain::CollectDocuments(bool openMode)
{
    ClearFiles(state.Files);
    ClearList();
    // The failure panel speaks of the list shown; a new list starts without it.
    SetStatusNote(QString());
    if (!openMode) {
        SearchContext context(*state.DocumentServer, *state.Files, ListBoxDirs, state.StopSearch);
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        context.ProcessEvents = [&sinceEvents, interval = SearchEventInterval] {
            if (sinceEvents.elapsed() < interval)
                return;
            QCoreApplication::processEvents();
            sinceEvents.restart();
        };
        WalkFolderTree(context, TrimBlanks(SearchPath), [this](const QString &folder) {
            SetStatusPanelText(1, SearchingText + folder);
        });
        ShowSearchFailures(context.FailedDocuments, context.Log);
    } else {
        SearchPath = FileSelection.fileName;
        SetStatusPanelText(1, SearchingText + SearchPath);
        // A failure passes to the Open command; the records read so far stay in Files.
        ReadDocumentWithReferences(*state.Files, *state.DocumentServer, SearchPath);
    }
    ShowFilesInList();
    UpdateStatusbar();
}
