#include "shell/ReservationCommands.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "model/UserNames.h"
#include "reserve/ReservationRun.h"
#include "server/FileProcessing.h"
#include "shell/FileListView.h"
#include "shell/MainThreadPrompts.h"
#include "shell/frmMain.h"
#include "system/Failure.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMutex>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <atomic>
#include <thread>

namespace {

QString CheckOutUserPrompt()
{
    return Brevant::tr("Check Out files for User:");
}
QString WaitingForRunText()
{
    return Brevant::tr("Waiting for another check-out run…");
}
QString CheckingOutText()
{
    return Brevant::tr("Checking out");
}
QString CheckingInText()
{
    return Brevant::tr("Checking in");
}
QString RefreshingText()
{
    return Brevant::tr("Refreshing");
}
// The status bar's progress is told this often while work runs off the window's thread.
constexpr int ProgressIntervalMs = 100;
QString ReservedUserNameRefusal()
{
    return Brevant::tr("The user name 'available' is a internal name and can not be used.");
}

// A quarter of a length, rounded to a whole number with halves to the even neighbour.
int QuarterRoundedToEven(int length)
{
    const int whole = length / 4;
    const int rest = length % 4;
    if (rest < 2)
        return whole;
    if (rest > 2)
        return whole + 1;
    return whole % 2 == 0 ? whole : whole + 1;
}

} // namespace

ReservationCommands::ReservationCommands(frmMain &mainWindow) : window(mainWindow)
{
    QObject::connect(window.mnuReserveForUser, &QAction::triggered, &window,
                     [this] { ChooseCheckOutUser(); });
    for (QAction *checkOut : {window.mnuReserveSelectedFiles, window.pupmnuReserve})
        QObject::connect(checkOut, &QAction::triggered, &window,
                         [this] { ChangeReservation(true); });
    for (QAction *checkIn : {window.mnuUnreserveSelectedFiles, window.pupmnuUnreserve})
        QObject::connect(checkIn, &QAction::triggered, &window,
                         [this] { ChangeReservation(false); });
    for (QAction *refresh : {window.mnuRefresh, window.pupmnuRefresh})
        QObject::connect(refresh, &QAction::triggered, &window, [this] { Refresh(); });
}

void ReservationCommands::ChangeReservation(bool reserve)
{
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    ProgramState &state = window.state;
    if (reserve && IsRefusedCheckOutUser(state.CheckOutUser)) {
        window.prompts.MessageBox(CheckOutUserRefusal(), PromptButtons::OK, PromptIcon::Information,
                                  BrevantTitle);
        return;
    }
    // The records of the rows selected when the run starts, in display order.
    const QList<int> rows = window.ListViewFiles->SelectedRows();
    std::optional<ReservationFailures> failures;
    OffTheWindow(reserve ? CheckingOutText() : CheckingInText(), rows,
                 [&](const QList<clsFilePtr> &records, const RunObserver &observer,
                     const std::function<bool()> &waiting) {
                     MainThreadPrompts prompts(window.prompts, &window);
                     failures =
                         ChangeReservations(reserve, state, prompts, records, observer, waiting);
                 });
    if (failures && !failures->isEmpty())
        window.prompts.MessageBox(ReservationFailureText(reserve, *failures), PromptButtons::OK,
                                  PromptIcon::Information, BrevantTitle);
}

void ReservationCommands::Refresh()
{
    if (!window.guard.MayRun() || !window.state.DocumentServer)
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    QList<int> rows;
    for (int row = 0; row < window.listModel->Count(); ++row)
        rows.append(row);
    RefreshResult result;
    {
        const HourglassPointer hourglass(window.prompts);
        const std::shared_ptr<DocumentServer> server = window.state.DocumentServer;
        OffTheWindow(RefreshingText(), rows,
                     [&](const QList<clsFilePtr> &records, const RunObserver &observer,
                         const std::function<bool()> &) {
                         result = RefreshReservations(*server, records, observer);
                     });
    }
    if (result.Changed > 0)
        window.listSaved = false;
    QString note = Brevant::tr("Refreshed %1").arg(QTime::currentTime().toString(u"HH:mm:ss"));
    if (result.Unreadable > 0)
        note += Brevant::tr("; %1 row(s) could not be read").arg(result.Unreadable);
    window.SetStatusNote(note);
}

void ReservationCommands::OffTheWindow(const QString &doing, const QList<int> &rows,
                                       const BackgroundWork &work)
{
    // The work gets copies of the rows' records: the window shows the records while the work
    // runs, and the texts of a row that changed are written into its record here, on the
    // window's thread.
    FileListModel &list = *window.listModel;
    QList<clsFilePtr> records;
    QList<clsFilePtr> copies;
    for (const int row : rows) {
        records.append(list.Record(row));
        copies.append(std::make_shared<clsFile>(*list.Record(row)));
    }
    std::atomic<int> done = 0;
    std::atomic<bool> cancelled = false;
    std::atomic<bool> waitingForTurn = false;
    // The changed texts wait here, as the work left them, until the window takes them: a few
    // times a second, in one update of the rows they are in.
    QMutex pendingLock;
    QList<QPair<qsizetype, ReservationTexts>> pending;
    RunObserver observer;
    observer.Changed = [&](qsizetype position) {
        const clsFile &changed = *copies.at(position);
        const QMutexLocker locked(&pendingLock);
        pending.append(
            {position,
             {changed.CheckedOutBy(), changed.CheckedOutTime(), changed.CheckedOutVersion()}});
    };
    const auto showChanges = [&] {
        QList<QPair<qsizetype, ReservationTexts>> taken;
        {
            const QMutexLocker locked(&pendingLock);
            taken.swap(pending);
        }
        int first = list.Count();
        int last = -1;
        for (const auto &[position, texts] : std::as_const(taken)) {
            clsFile &record = *records.at(position);
            record.SetCheckedOutBy(texts.By);
            record.SetCheckedOutTime(texts.Time);
            record.SetCheckedOutVersion(texts.Version);
            first = qMin(first, rows.at(position));
            last = qMax(last, rows.at(position));
        }
        if (first <= last)
            list.RowsChanged(first, last);
    };
    observer.RowDone = [&] { ++done; };
    observer.Cancelled = [&] { return cancelled.load(); };
    const auto waiting = [&] {
        waitingForTurn = true;
        return !cancelled.load();
    };

    // The status bar tells the progress, or that the run waits for another program's; Cancel
    // or a request to close the window ends the work after the rows in flight.
    const QMetaObject::Connection cancel = QObject::connect(
        window.statusCancel, &QPushButton::clicked, &window, [&cancelled] { cancelled = true; });
    QTimer progress;
    const auto tell = [&] {
        showChanges();
        if (window.guard.CloseRequested())
            cancelled = true;
        const bool waits = waitingForTurn && done == 0;
        window.SetStatusPanelText(1, waits ? WaitingForRunText()
                                           : Brevant::tr("%1: %2 of %3")
                                                 .arg(doing, QString::number(done.load()),
                                                      QString::number(copies.size())));
        window.statusCancel->show();
    };
    QObject::connect(&progress, &QTimer::timeout, &window, tell);
    progress.start(ProgressIntervalMs);

    QEventLoop loop;
    std::thread worker([&] {
        work(copies, observer, waiting);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();

    progress.stop();
    showChanges();
    QObject::disconnect(cancel);
    window.statusCancel->hide();
    window.UpdateStatusbar();
}

void ReservationCommands::ChooseCheckOutUser()
{
    if (!window.guard.MayRun())
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    ProgramState &state = window.state;
    // Every run writes the start-up name back, so this offers the start-up name.
    QString current = state.StartupUserName;
    IgnoringErrors([&] { current = state.DocumentServer->UserName(); });

    const QRect frame = window.frameGeometry();
    const QPoint position(frame.left() + QuarterRoundedToEven(frame.width()),
                          frame.top() + QuarterRoundedToEven(frame.height()));
    const QString answer =
        window.prompts.InputBox(CheckOutUserPrompt(), BrevantTitle, current, position);

    if (answer.toLower() == Available) {
        window.prompts.MessageBox(ReservedUserNameRefusal(), PromptButtons::OK,
                                  PromptIcon::Information, BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (!answer.isEmpty() && !IsValidUserName(answer)) {
        window.prompts.MessageBox(
            Brevant::tr("The user name can not be used: %1.").arg(UserNameProblem(answer)),
            PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (answer.isEmpty()) {
        state.CheckOutUser = state.StartupUserName;
    } else {
        state.CheckOutUser = answer;
    }
    window.UpdateStatusbar();
}
