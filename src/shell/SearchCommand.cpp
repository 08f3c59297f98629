#include "shell/SearchCommand.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "projects/FileFunctions.h"
#include "search/SearchFolder.h"
#include "search/WhereUsed.h"
#include "server/FileProcessing.h"
#include "server/ProgramState.h"
#include "server/RequestWidth.h"
#include "shell/CommandGuard.h"
#include "shell/FileListView.h"
#include "shell/ListSession.h"
#include "shell/SessionCommands.h"
#include "shell/StatusPanels.h"

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

SearchCommand::SearchCommand(const WindowParts &parts, SessionCommands &sessionCommands,
                             QObject *parent)
    : WindowCommand(parts, parent), session(sessionCommands)
{
}

void SearchCommand::Search()
{
    // A search runs nested event processing; nothing that changes the list runs inside it.
    guard.Run(CommandGuard::Activity::Running, [this] {
        if (session.AskToSaveList())
            return;
        state.StopSearch = false;
        prompts.MessageBox(ScopeMessage(), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
        // A cancelled browser leaves the list, and the folder it was searched in, as they were.
        const QString folder = prompts.BrowseForFolder(FolderBrowserTitle());
        if (folder.isEmpty())
            return;
        SearchPath = folder;

        status.SetPanelText(Brevant::tr("Search path: ") + SearchPath + QString(39, u' '));
        list.SetReportPath(QString());
        status.FixProgressWidth();
        {
            const CommandGuard::Hold searching(guard, CommandGuard::Activity::Searching);
            CollectDocuments(false);
        }
        // A searched list can be saved, even an empty one; the project stays until New, and
        // an opened list stays one (Open stays unavailable).
        if (list.Stage() == ListStage::Empty)
            list.SetStage(ListStage::Listed);
    });
}

void SearchCommand::WhereUsed()
{
    guard.Run(CommandGuard::Activity::Running, [this] {
        QStringList targets;
        for (const int row : view.SelectedRows()) {
            const clsFile &record = *view.Model()->Record(row);
            targets.append(JoinPath(record.FilePath(), record.FileName()));
        }
        const QString folder = WhereUsedFolder();
        const QString refusal =
            targets.isEmpty()
                ? Brevant::tr("Select the documents whose uses you want to see.")
                : Brevant::tr("There is no folder to look in: search a folder first, or give "
                              "the active project a workspace.");
        if (targets.isEmpty() || folder.isEmpty()) {
            prompts.MessageBox(refusal, PromptButtons::OK, PromptIcon::Information, BrevantTitle);
            return;
        }
        if (session.AskToSaveList())
            return;
        state.StopSearch = false;
        status.SetPanelText(Brevant::tr("Where used in: ") + folder);
        list.SetReportPath(QString());
        status.FixProgressWidth();
        {
            const CommandGuard::Hold searching(guard, CommandGuard::Activity::Searching);
            CollectUsers(folder, targets);
        }
        SearchPath = folder;
        if (list.Stage() == ListStage::Empty)
            list.SetStage(ListStage::Listed);
    });
}

QString SearchCommand::WhereUsedFolder() const
{
    if (list.Stage() == ListStage::Listed && !TrimBlanks(SearchPath).isEmpty())
        return TrimBlanks(SearchPath);
    return state.DocumentServer->ProjectHandler().WorkspacePath();
}

void SearchCommand::CollectUsers(const QString &folder, const QStringList &targets)
{
    view.Model()->Clear();
    status.SetNote(QString());
    clsFiles read;
    SearchContext context(*state.DocumentServer, read, ListBoxDirs, state.StopSearch);
    PrepareWalk(context, folder);
    QList<UsingDocument> users;
    WalkThroughCache(context, folder, state.UseMetadataCache, [&] {
        users = FindWhereUsed(context, folder, targets, [this](const QString &below) {
            status.SetPanelText(Brevant::tr("Where used in: ") + below);
        });
    });
    clsFiles found;
    for (const UsingDocument &user : users)
        found.Add(user.Record);
    ShowSearchFailures(context.FailedDocuments, context.FailedFolders, context.Log);
    if (users.isEmpty() && context.FailedDocuments == 0 && context.FailedFolders == 0 &&
        !state.StopSearch)
        status.SetNote(
            Brevant::tr("No document below %1 uses the selected documents.").arg(folder));
    view.ShowFiles(found);
    view.setFocus(Qt::OtherFocusReason);
    status.Update();
}

void SearchCommand::PrepareWalk(SearchContext &context, const QString &folder)
{
    auto sinceEvents = std::make_shared<QElapsedTimer>();
    sinceEvents->start();
    context.ProcessEvents = [sinceEvents] {
        if (sinceEvents->elapsed() < EventIntervalMs)
            return;
        QCoreApplication::processEvents();
        sinceEvents->restart();
    };
    context.Width = RequestWidthFor(*state.DocumentServer, folder);
}

void SearchCommand::Stop()
{
    state.StopSearch = true;
}

void SearchCommand::ShowSearchFailures(int failedDocuments, int failedFolders, const ErrorLog &log)
{
    status.SetNote(failedDocuments == 0 && failedFolders == 0
                       ? QString()
                       : log.FailuresText(failedDocuments, failedFolders));
}

void SearchCommand::CollectDocuments(bool openMode, const QString &openPath)
{
    view.Model()->Clear();
    // The failure panel speaks of the list shown; a new list starts without it.
    status.SetNote(QString());
    // The records found go to the list once the search ended.
    clsFiles found;
    if (!openMode) {
        SearchContext context(*state.DocumentServer, found, ListBoxDirs, state.StopSearch);
        const QString start = TrimBlanks(SearchPath);
        PrepareWalk(context, start);
        WalkThroughCache(context, start, state.UseMetadataCache, [&] {
            WalkFolderTree(context, start, [this](const QString &folder) {
                status.SetPanelText(SearchingText() + folder);
            });
        });
        ShowSearchFailures(context.FailedDocuments, context.FailedFolders, context.Log);
    } else {
        SearchPath = openPath;
        status.SetPanelText(SearchingText() + SearchPath);
        try {
            ReadDocumentWithReferences(found, *state.DocumentServer, SearchPath);
        } catch (...) {
            view.ShowFiles(found); // what was read before the failure
            throw;
        }
    }
    view.ShowFiles(found);
    // The keyboard goes on in the new list (the project drop-down it may have been in is
    // held while a list is shown).
    view.setFocus(Qt::OtherFocusReason);
    status.Update();
}
