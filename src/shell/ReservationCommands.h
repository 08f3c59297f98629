#pragma once

#include "reserve/ReservationRun.h"

#include <QList>
#include <QString>
#include <functional>

class frmMain;

// Check Out for User..., Check Out selected files, Check In selected files, and Refresh of
// the listed reservations (also from the list's popup menu).
class ReservationCommands
{
public:
    explicit ReservationCommands(frmMain &window);

    // One check-out (reserve true) or check-in run over the selected rows.
    void ChangeReservation(bool reserve);
    // Reads the reservation of every listed document again.
    void Refresh();

private:
    void ChooseCheckOutUser();

    // Work over the records of some rows, made on a thread of its own so that the window
    // goes on (it repaints, and the commands that would change the list stay held).
    using BackgroundWork =
        std::function<void(const QList<clsFilePtr> &records, const RunObserver &observer,
                           const std::function<bool()> &waiting)>;
    // Runs work over the records of rows (0-based), telling "<doing>: n of m" in the status
    // bar with a Cancel button, and returns when it has returned.
    void OffTheWindow(const QString &doing, const QList<int> &rows, const BackgroundWork &work);

    frmMain &window;
};
