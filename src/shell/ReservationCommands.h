#pragma once

class frmMain;

// Check Out for User..., Check Out selected files, Check In selected files (also from the
// list's popup menu).
class ReservationCommands
{
public:
    explicit ReservationCommands(frmMain &window);

    // One check-out (reserve true) or check-in run over the selected rows.
    void ChangeReservation(bool reserve);

private:
    void ChooseCheckOutUser();

    frmMain &window;
};
