#pragma once

#include "model/Prompts.h"
#include "model/clsFiles.h"
#include "server/ProgramState.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// One document that a check-out or check-in run could not change, and why.
struct ReservationFailure
{
    QString FileName;
    QString Reason;
};
using ReservationFailures = QList<ReservationFailure>;

// Tells the caller that the record at this position of the run's list has changed.
using RecordChanged = std::function<void(qsizetype position)>;

// What a run or a refresh tells and asks while it works; each may be left empty. Where the
// server and the file system let several documents be in flight at once (see
// server/RequestWidth.h), these are called from several threads.
struct RunObserver
{
    // The record at this position of the run's list has changed.
    RecordChanged Changed;
    // One more row is done.
    std::function<void()> RowDone;
    // Asked before each row: true ends the run early; the rows not yet begun keep their
    // texts, as the server still holds their documents.
    std::function<bool()> Cancelled;
};

// The message after a run in which documents failed: a count line, one line per document
// for the first ten, then how many more. Lines are joined by CR.
QString ReservationFailureText(bool reserve, const ReservationFailures &failures);

// The refusal of a check-out for want of a user.
QString CheckOutUserRefusal();

// Check-out may not reserve under an empty name, nor under the marker of a free document in
// any letter case.
bool IsRefusedCheckOutUser(const QString &name);

// The full path of the record's document.
QString DocumentPathOf(const clsFile &record);

// What a refresh found: how many records changed, and how many documents could not be read.
struct RefreshResult
{
    int Changed = 0;
    int Unreadable = 0;
    // Per record: whether it was read (a cancelled refresh leaves the rest unread) and why
    // it could not be.
    struct Reading
    {
        bool Tried = false;
        bool Changed = false;
        QString Failure;
    };
    std::vector<Reading> Readings;
};

// Reads the reservation of every record's document again (holder, time and version) without
// walking any folder or reading the documents, and writes it into the record; each record
// whose texts changed is told to the observer. A damaged record reads as such; a record
// whose document is gone or cannot be read keeps its texts and counts as unreadable.
RefreshResult RefreshReservations(DocumentServer &server, const QList<clsFilePtr> &records,
                                  const RunObserver &observer);

// The end of a run: no project active while the run's working project is deleted, then the
// project chosen in the drop-down active again. Each step is tried on its own.
void RestoreSelectedProject(ProgramState &state);

// A whole check-out (reserve) or check-in run as a command makes it: the server's run turn
// first (runs of every program on the server take turns with its active project; waiting()
// is asked every 50 ms while another run has it, and false cancels the run: nullopt), then
// the engine over the records, then the selected project active again, all in the turn. A
// turn that cannot be had fails every record with the reason. The engine works on the
// records it is given (those of the selected rows, in display order) inside the run frame:
// server documents closed, the working project prepared and made active, the hourglass, the
// records, the default pointer, the start-up user name written back. Each record it changes
// is told to the observer. Failures are in the order of the records, however many were in
// flight. A record whose document cannot be opened, reserved or released keeps its texts and
// is returned as a failure; so is a whole run whose working project could not be set up
// (every record, with that reason).
std::optional<ReservationFailures> ChangeReservations(bool reserve, ProgramState &state,
                                                      Prompts &prompts,
                                                      const QList<clsFilePtr> &records,
                                                      const RunObserver &observer,
                                                      const std::function<bool()> &waiting);
