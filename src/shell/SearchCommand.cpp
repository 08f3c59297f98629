#include "shell/SearchCommand.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "search/SearchFolder.h"
#include "server/FileProcessing.h"
#include "server/RequestWidth.h"
#include "shell/SessionCommands.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

QString ScopeMessage()
{
    return Brevant::tr(
        "The search of Korvex files should be done in the scope of your active project file.");
}
QString FolderBrowserTitle()
{
    return Brevant::tr("Select Directory for search Korvex Files:");
}
QString SearchingText()
{
    return Brevant::tr("Searching . . . ");
}

// Pending events run between two folder entries once this much time has passed since they
// last ran: a poll of the window system before every entry made a search of a large tree
// take half as long again, and 10 ms keeps the window responsive.
constexpr int EventIntervalMs = 10;

} // namespace

SearchCommand::SearchCommand(frmMain &mainWindow) : window(mainWindow)
{
    QObject::connect(window.mnuDocumentsSearch, &QAction::triggered, &window, [this] { Search(); });
    QObject::connect(window.mnuStopDocumentsSearch, &QAction::triggered, &window,
                     [this] { Stop(); });
}

void SearchCommand::Search()
{
    // A search runs nested event processing; nothing that changes the list runs inside it.
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold asking(window.guard, CommandGuard::Activity::Running);
    if (window.session->AskToSaveList())
        return;
    window.state.StopSearch = false;
    window.prompts.MessageBox(ScopeMessage(), PromptButtons::OK, PromptIcon::Information,
                              BrevantTitle);
    SearchPath = window.prompts.BrowseForFolder(FolderBrowserTitle());
    if (SearchPath.isEmpty())
        return;

    window.SetStatusPanelText(1, Brevant::tr("Search path: ") + SearchPath + QString(39, u' '));
    window.setWindowTitle(SessionCommands::UnnamedCaption());
    const QList<QAction *> held = CommandsHeldDuringSearch();
    QList<bool> enabledBefore;
    for (QAction *command : held) {
        enabledBefore.append(command->isEnabled());
        command->setEnabled(false);
    }
    window.Combo1->setEnabled(false);
    window.mnuStopDocumentsSearch->setEnabled(true);
    window.SetStatusPanelAutoSize(false);
    {
        const CommandGuard::Hold searching(window.guard, CommandGuard::Activity::Searching);
        CollectDocuments(false);
    }
    window.mnuStopDocumentsSearch->setEnabled(false);
    for (qsizetype i = 0; i < held.size(); ++i)
        held[i]->setEnabled(enabledBefore[i]);
    // A searched list can be saved, even an empty one; the project stays until New.
    window.mnuSave->setEnabled(true);
    window.mnuSaveAs->setEnabled(true);
    window.Combo1->setEnabled(false);
}

void SearchCommand::Stop()
{
    window.state.StopSearch = true;
}

QList<QAction *> SearchCommand::CommandsHeldDuringSearch() const
{
    return {window.mnuNew,
            window.mnuOpen,
            window.mnuDocumentsSearch,
            window.mnuSave,
            window.mnuSaveAs,
            window.mnuDeleteItems,
            window.pupmnuDeleteItems,
            window.mnuReserveForUser,
            window.mnuReserveSelectedFiles,
            window.mnuUnreserveSelectedFiles,
            window.pupmnuReserve,
            window.pupmnuUnreserve,
            window.mnuRefresh,
            window.pupmnuRefresh};
}

void SearchCommand::ShowSearchFailures(int failedDocuments, int failedFolders, const ErrorLog &log)
{
    window.SetStatusNote(failedDocuments == 0 && failedFolders == 0
                             ? QString()
                             : log.FailuresText(failedDocuments, failedFolders));
}

void SearchCommand::CollectDocuments(bool openMode, const QString &openPath)
{
    ProgramState &state = window.state;
    ClearFiles(state.Files);
    window.ClearList();
    // The failure panel speaks of the list shown; a new list starts without it.
    window.SetStatusNote(QString());
    if (!openMode) {
        SearchContext context(*state.DocumentServer, *state.Files, ListBoxDirs, state.StopSearch);
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        context.ProcessEvents = [&sinceEvents] {
            if (sinceEvents.elapsed() < EventIntervalMs)
                return;
            QCoreApplication::processEvents();
            sinceEvents.restart();
        };
        context.Width = RequestWidthFor(*state.DocumentServer, TrimBlanks(SearchPath));
        WalkFolderTree(context, TrimBlanks(SearchPath), [this](const QString &folder) {
            window.SetStatusPanelText(1, SearchingText() + folder);
        });
        ShowSearchFailures(context.FailedDocuments, context.FailedFolders, context.Log);
    } else {
        SearchPath = openPath;
        window.SetStatusPanelText(1, SearchingText() + SearchPath);
        ReadDocumentWithReferences(*state.Files, *state.DocumentServer, SearchPath);
    }
    window.ShowFilesInList();
    window.UpdateStatusbar();
}
