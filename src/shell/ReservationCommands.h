#pragma once

#include "shell/WindowCommand.h"

#include "reserve/ReservationRun.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Check Out for User..., Check Out selected files, Check In selected files, and Refresh of
// the listed reservations (also from the list's popup menu).
class ReservationCommands : public WindowCommand
{
    Q_OBJECT

public:
    // The input box for the user is placed within frame, the window.
    ReservationCommands(const WindowParts &parts, const QWidget &frame);

public slots:
    void ChooseCheckOutUser();
    // One check-out or check-in run over the selected rows.
    void CheckOut();
    // A check-out run whose reservations carry a comment, asked for first.
    void CheckOutWithComment();
    void CheckIn();
    // Reads the reservation of every listed document again.
    void Refresh();
    // The automatic refresh: only while no command runs and no dialog is open.
    void RefreshWhenIdle();

private:
    void RunOverSelectedRows(bool reserve);
    void RefreshAllRows();
    void AskCheckOutUser();
    // The comment for a check-out run; "" when none was given or it was refused (and told).
    QString AskCheckOutComment();

    // Work over the records of some rows, made on a thread of its own so that the window
    // goes on (it repaints, and the commands that would change the list stay held).
    using BackgroundWork =
        std::function<void(const QList<clsFilePtr> &records, const RunObserver &observer,
                           const std::function<bool()> &waiting)>;
    // Runs work over the records of rows (0-based), telling "<doing>: n of m" in the status
    // bar with a Cancel button, and returns when it has returned: true when it ran through,
    // false when it failed (which is then told).
    bool OffTheWindow(const QString &doing, const QList<int> &rows, const BackgroundWork &work);

    const QWidget &frame;
};
