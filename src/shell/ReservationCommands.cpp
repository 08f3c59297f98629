#include "shell/ReservationCommands.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "model/UserNames.h"
#include "server/FileProcessing.h"
#include "server/ProgramState.h"
#include "shell/CommandGuard.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"
#include "shell/ListSession.h"
#include "shell/MainThreadPrompts.h"
#include "shell/StatusPanels.h"
#include "system/BesideEvents.h"
#include "system/Failure.h"

#include <QApplication>
#include <QMutex>
#include <QTime>
#include <QTimer>
#include <atomic>

namespace {

QString CheckOutUserPrompt()
{
    return Brevant::tr("Check Out files for User:");
}
QString WaitingForRunText()
{
    return Brevant::tr("Waiting for another check-out run…");
}
// The status bar's progress is told this often while work runs off the window's thread.
constexpr int ProgressIntervalMs = 100;
QString ReservedUserNameRefusal()
{
    return Brevant::tr("The user name 'available' is a internal name and can not be used.");
}

// The rows a run works over. The work gets copies of their records: the window shows the
// records while the work runs. The texts of a copy that changed wait here, as the work left
// them, until the window's thread writes them into the row's record: a few times a second,
// in one update of the rows they are in.
class RunRows
{
public:
    RunRows(FileListModel &listed, const QList<int> &rowsRun) : model(listed), rows(rowsRun)
    {
        for (const int row : rows) {
            records.append(model.Record(row));
            copies.append(std::make_shared<clsFile>(*model.Record(row)));
        }
    }

    const QList<clsFilePtr> &Copies() const { return copies; }

    // On the work's thread: the copy at position changed.
    void Changed(qsizetype position)
    {
        const clsFile &changed = *copies.at(position);
        const QMutexLocker locked(&pendingLock);
        pending.append(
            {position,
             {changed.CheckedOutBy(), changed.CheckedOutTime(), changed.CheckedOutVersion(),
              changed.CheckedOutSince(), changed.CheckedOutComment()}});
    }

    // On the window's thread: the changed texts into their rows.
    void ShowChanges()
    {
        QList<QPair<qsizetype, ReservationTexts>> taken;
        {
            const QMutexLocker locked(&pendingLock);
            taken.swap(pending);
        }
        QList<int> shown;
        for (const auto &[position, texts] : std::as_const(taken)) {
            ShowTexts(*records.at(position), texts);
            shown.append(rows.at(position));
        }
        model.RowsChanged(shown);
    }

private:
    FileListModel &model;
    const QList<int> rows;
    QList<clsFilePtr> records;
    QList<clsFilePtr> copies;
    QMutex pendingLock;
    QList<QPair<qsizetype, ReservationTexts>> pending;
};

} // namespace

ReservationCommands::ReservationCommands(const WindowParts &parts, const QWidget &windowFrame)
    : WindowCommand(parts), frame(windowFrame)
{
}

void ReservationCommands::CheckOut()
{
    guard.Run(CommandGuard::Activity::Running, [this] { RunOverSelectedRows(true); });
}

void ReservationCommands::CheckOutWithComment()
{
    guard.Run(CommandGuard::Activity::Running, [this] {
        state.CheckOutComment = AskCheckOutComment();
        if (!state.CheckOutComment.isEmpty())
            RunOverSelectedRows(true);
    });
}

QString ReservationCommands::AskCheckOutComment()
{
    const QString answer = prompts.InputBox(
        Brevant::tr("Comment for the check-out (for example why, and until when):"), BrevantTitle,
        QString(), InputBoxPosition(frame));
    const QString problem = CommentProblem(answer);
    if (problem.isEmpty())
        return answer;
    prompts.MessageBox(Brevant::tr("The comment cannot be used: %1.").arg(problem),
                       PromptButtons::OK, PromptIcon::Exclamation, BrevantTitle);
    return QString();
}

void ReservationCommands::CheckIn()
{
    guard.Run(CommandGuard::Activity::Running, [this] { RunOverSelectedRows(false); });
}

void ReservationCommands::RunOverSelectedRows(bool reserve)
{
    if (reserve && IsRefusedCheckOutUser(state.CheckOutUser)) {
        prompts.MessageBox(CheckOutUserRefusal(), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
        return;
    }
    // The records of the rows selected when the run starts, in display order.
    const QList<int> rows = view.SelectedRows();
    std::optional<ReservationFailures> failures;
    OffTheWindow(reserve ? Brevant::tr("Checking out") : Brevant::tr("Checking in"), rows,
                 [&](const QList<clsFilePtr> &records, const RunObserver &observer,
                     const std::function<bool()> &waiting) {
                     MainThreadPrompts shownOnWindow(prompts, this);
                     failures = ChangeReservations(reserve, state, shownOnWindow, records, observer,
                                                   waiting);
                 });
    if (failures && !failures->isEmpty())
        prompts.MessageBox(ReservationFailureText(reserve, *failures), PromptButtons::OK,
                           PromptIcon::Information, BrevantTitle);
}

void ReservationCommands::Refresh()
{
    if (state.DocumentServer)
        guard.Run(CommandGuard::Activity::Running, [this] { RefreshAllRows(); });
}

void ReservationCommands::RefreshWhenIdle()
{
    if (!QApplication::activeModalWidget() && view.Model()->Count() > 0)
        Refresh();
}

void ReservationCommands::RefreshAllRows()
{
    QList<int> rows;
    for (int row = 0; row < view.Model()->Count(); ++row)
        rows.append(row);
    RefreshResult result;
    {
        const HourglassPointer hourglass(prompts);
        const std::shared_ptr<DocumentServer> server = state.DocumentServer;
        const bool ranThrough =
            OffTheWindow(Brevant::tr("Refreshing"), rows,
                         [&](const QList<clsFilePtr> &records, const RunObserver &observer,
                             const std::function<bool()> &) {
                             result = RefreshReservations(*server, records, observer);
                         });
        if (!ranThrough)
            return;
    }
    // Rows that could not be read are marked as out of date, and rows that changed as such,
    // until a refresh reads them again; the view (and the counts) hear of it once.
    FileListModel &model = *view.Model();
    QList<int> marked;
    for (size_t i = 0; i < result.Readings.size(); ++i) {
        const RefreshResult::Reading &reading = result.Readings[i];
        const int row = rows.at(qsizetype(i));
        if (reading.Tried && model.SetRefreshMarks(row, reading.Failure, reading.Changed))
            marked.append(row);
    }
    model.RowsChanged(marked);
    if (result.Changed > 0)
        list.SetSaved(false);
    QString note = Brevant::tr("Refreshed %1").arg(QTime::currentTime().toString(u"HH:mm:ss"));
    if (result.Unreadable > 0)
        note += Brevant::tr("; %1 row(s) could not be read").arg(result.Unreadable);
    status.SetNote(note);
}

bool ReservationCommands::OffTheWindow(const QString &doing, const QList<int> &rows,
                                       const BackgroundWork &work)
{
    RunRows run(*view.Model(), rows);
    std::atomic<int> done = 0;
    std::atomic<bool> cancelled = false;
    std::atomic<bool> waitingForTurn = false;
    RunObserver observer;
    observer.Changed = [&run](qsizetype position) { run.Changed(position); };
    observer.RowDone = [&] { ++done; };
    observer.Cancelled = [&] { return cancelled.load(); };
    const auto waiting = [&] {
        waitingForTurn = true;
        return !cancelled.load();
    };

    // The status bar tells the progress, or that the run waits for another program's; Cancel
    // or a request to close the window ends the work after the rows in flight.
    const QMetaObject::Connection cancel = QObject::connect(
        &status, &StatusPanels::CancelClicked, this, [&cancelled] { cancelled = true; });
    QTimer progress;
    const auto tell = [&] {
        run.ShowChanges();
        if (guard.CloseRequested())
            cancelled = true;
        const bool waits = waitingForTurn && done == 0;
        status.SetPanelText(
            waits ? WaitingForRunText()
                  : Brevant::tr("%1: %2 of %3")
                        .arg(doing, QString::number(done.load()), QString::number(rows.size())));
        status.ShowCancel(true);
    };
    QObject::connect(&progress, &QTimer::timeout, this, tell);
    progress.start(ProgressIntervalMs);

    const std::optional<QString> failure =
        RunBesideEvents([&] { work(run.Copies(), observer, waiting); });

    progress.stop();
    run.ShowChanges();
    QObject::disconnect(cancel);
    status.ShowCancel(false);
    status.Update();
    if (failure)
        prompts.MessageBox(Brevant::tr("%1 was stopped by a failure:\r%2").arg(doing, *failure),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    return !failure;
}

void ReservationCommands::ChooseCheckOutUser()
{
    guard.Run(CommandGuard::Activity::Running, [this] { AskCheckOutUser(); });
}

void ReservationCommands::AskCheckOutUser()
{
    // Every run writes the start-up name back, so this offers the start-up name.
    QString current = state.StartupUserName;
    IgnoringErrors([&] { current = state.DocumentServer->UserName(); });

    const QString answer =
        prompts.InputBox(CheckOutUserPrompt(), BrevantTitle, current, InputBoxPosition(frame));

    // A refused name is told and changes nothing; Cancel or no name goes back to the
    // start-up user. Blanks at either end would make a name that looks like another one
    // ("available " like a free document).
    QString problem;
    if (!answer.isEmpty() && answer.trimmed() != answer)
        problem = Brevant::tr("it begins or ends with a blank");
    else if (!answer.isEmpty())
        problem = UserNameProblem(answer);
    if (IsAvailableMarker(answer.trimmed()) && !answer.isEmpty()) {
        prompts.MessageBox(ReservedUserNameRefusal(), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
    } else if (!problem.isEmpty()) {
        prompts.MessageBox(Brevant::tr("The user name can not be used: %1.").arg(problem),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    } else {
        state.CheckOutUser = answer.isEmpty() ? state.StartupUserName : answer;
    }
    status.Update();
    view.Filter()->SetUser(state.CheckOutUser);
}
