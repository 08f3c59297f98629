#include "shell/ReservationCommands.h"

#include "model/FileListModel.h"
#include "model/UserNames.h"
#include "reserve/ReservationRun.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"
#include "system/Failure.h"

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QTime>

namespace {

const QString CheckOutUserPrompt = QStringLiteral("Check Out files for User:");
const QString WaitingForRunText = QStringLiteral("Waiting for another check-out run…");
const QString ReservedUserNameRefusal =
    QStringLiteral("The user name 'available' is a internal name and can not be used.");

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
        window.prompts.MessageBox(CheckOutUserRefusal, PromptButtons::OK, PromptIcon::Information,
                                  BrevantTitle);
        return;
    }
    // The records of the rows selected when the run starts, in display order.
    FileListModel &list = *window.listModel;
    const QList<int> rows = window.ListViewFiles->SelectedRows();
    QList<clsFilePtr> records;
    for (const int row : rows)
        records.append(list.Record(row));

    // The run processes no events, so the rows it changed are shown in one update at its end
    // rather than one for each row.
    int first = list.Count();
    int last = -1;
    const RecordChanged changed = [&](qsizetype position) {
        first = qMin(first, rows[position]);
        last = qMax(last, rows[position]);
    };
    // While another program's run has the turn, the window says so and stays usable; its
    // Cancel button or a request to close the window ends the waiting, and no run is made.
    bool told = false;
    bool cancelled = false;
    const QMetaObject::Connection cancel = QObject::connect(
        window.statusCancel, &QPushButton::clicked, &window, [&cancelled] { cancelled = true; });
    const auto waiting = [&] {
        if (!told) {
            window.SetStatusPanelText(1, WaitingForRunText);
            window.statusCancel->show();
            told = true;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 40);
        return !cancelled && !window.guard.CloseRequested();
    };
    const std::optional<ReservationFailures> failures =
        ChangeReservations(reserve, state, window.prompts, records, changed, waiting);
    QObject::disconnect(cancel);
    if (told) {
        window.statusCancel->hide();
        window.UpdateStatusbar();
    }
    if (first <= last)
        list.RowsChanged(first, last);

    if (failures && !failures->isEmpty())
        window.prompts.MessageBox(ReservationFailureText(reserve, *failures), PromptButtons::OK,
                                  PromptIcon::Information, BrevantTitle);
}

void ReservationCommands::Refresh()
{
    if (!window.guard.MayRun() || !window.state.DocumentServer)
        return;
    const CommandGuard::Hold running(window.guard, CommandGuard::Activity::Running);
    FileListModel &list = *window.listModel;
    QList<clsFilePtr> records;
    records.reserve(list.Count());
    for (int row = 0; row < list.Count(); ++row)
        records.append(list.Record(row));
    int first = list.Count();
    int last = -1;
    RefreshResult result;
    {
        const HourglassPointer hourglass(window.prompts);
        result = RefreshReservations(*window.state.DocumentServer, records, [&](qsizetype row) {
            first = qMin(first, int(row));
            last = qMax(last, int(row));
        });
    }
    if (first <= last)
        list.RowsChanged(first, last);
    if (result.Changed > 0)
        window.listSaved = false;
    QString note = QStringLiteral("Refreshed ") + QTime::currentTime().toString(u"HH:mm:ss");
    if (result.Unreadable > 0)
        note += QStringLiteral("; %1 row(s) could not be read").arg(result.Unreadable);
    window.SetStatusNote(note);
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
        window.prompts.InputBox(CheckOutUserPrompt, BrevantTitle, current, position);

    if (answer.toLower() == Available) {
        window.prompts.MessageBox(ReservedUserNameRefusal, PromptButtons::OK,
                                  PromptIcon::Information, BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (!answer.isEmpty() && !IsValidUserName(answer)) {
        window.prompts.MessageBox(QStringLiteral("The user name can not be used: ") +
                                      UserNameProblem(answer) + u'.',
                                  PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (answer.isEmpty()) {
        state.CheckOutUser = state.StartupUserName;
    } else {
        state.CheckOutUser = answer;
    }
    window.UpdateStatusbar();
}
