#include "shell/frmMain.h"

#include "model/UserNames.h"
#include "reserve/ReservationRun.h"

#include <QAction>
#include <QScopedValueRollback>
#include <utility>

namespace {

const QString CheckOutUserPrompt = QStringLiteral("Check Out files for User:");
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

void frmMain::ConnectReserveCommands()
{
    connect(mnuReserveForUser, &QAction::triggered, this, &frmMain::mnuReserveForUserClick);
    auto checkOut = [this] { ChangeReservation(true); };
    auto checkIn = [this] { ChangeReservation(false); };
    connect(mnuReserveSelectedFiles, &QAction::triggered, this, checkOut);
    connect(pupmnuReserve, &QAction::triggered, this, checkOut);
    connect(mnuUnreserveSelectedFiles, &QAction::triggered, this, checkIn);
    connect(pupmnuUnreserve, &QAction::triggered, this, checkIn);
}

void frmMain::ChangeReservation(bool reserve)
{
    // A run would change records the search is still filling.
    if (Searching())
        return;
    if (Released())
        return;
    if (reserve && IsRefusedCheckOutUser(state.CheckOutUser)) {
        prompts.MessageBox(CheckOutUserRefusal, PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
        return;
    }

    {
        const QScopedValueRollback<bool> inRun(running, true);
        const ReservationFailures failures =
            reserve ? ReserveSelectedItems(state, prompts, *ListViewFiles)
                    : UnreserveSelectedItems(state, prompts, *ListViewFiles);
        RestoreSelectedProject(state);

        if (!failures.isEmpty())
            prompts.MessageBox(ReservationFailureText(reserve, failures), PromptButtons::OK,
                               PromptIcon::Information, BrevantTitle);
    }
    if (std::exchange(closeAfterRun, false))
        close();
}

void frmMain::mnuReserveForUserClick()
{
    if (searching || Released())
        return;
    // Every run writes the start-up name back, so this offers the start-up name.
    QString current = state.StartupUserName;
    try {
        current = state.DocumentServer->UserName();
    } catch (const std::exception &) {
    }

    const QRect window = frameGeometry();
    const QPoint position(window.left() + QuarterRoundedToEven(window.width()),
                          window.top() + QuarterRoundedToEven(window.height()));
    const QString answer = prompts.InputBox(CheckOutUserPrompt, BrevantTitle, current, position);

    if (answer.toLower() == Available) {
        prompts.MessageBox(ReservedUserNameRefusal, PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (!answer.isEmpty() && !IsValidUserName(answer)) {
        prompts.MessageBox(QStringLiteral("The user name can not be used: ") +
                               UserNameProblem(answer) + u'.',
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
        state.CheckOutUser = state.StartupUserName;
    } else if (answer.isEmpty()) {
        state.CheckOutUser = state.StartupUserName;
    } else {
        state.CheckOutUser = answer;
    }
    UpdateStatusbar();
}
