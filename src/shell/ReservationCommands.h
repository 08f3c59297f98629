#pragma once

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

    frmMain &window;
};
