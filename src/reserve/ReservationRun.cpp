#include "reserve/ReservationRun.h"

#include "model/DateText.h"
#include "projects/FileFunctions.h"
#include "projects/WorkingProject.h"
#include "reserve/PrepareWorkingProject.h"
#include "server/FileProcessing.h"
#include "server/ServerError.h"

#include <functional>
#include <vector>

const QString CheckOutUserRefusal =
    QStringLiteral("Please choose a user with 'Check Out for User...' before you check out files.");

namespace {

// The failure message names this many documents; the rest are counted.
constexpr int ListedFailures = 10;

// One record of a run: the record and how to tell that it changed.
struct RunRecord
{
    clsFile &record;
    std::function<void()> changed;
};

using RecordStep = std::function<void(DocumentServer &, RunRecord &, ReservationFailures &)>;

// The reservation as a row shows it, from one reading: a failing read changes nothing.
ReservationTexts ReservationOf(ServerDocument &doc)
{
    return TextsOf(doc.Reservation());
}

// Writes the texts into the row and tells about it when they differ from what it showed.
void ShowReservation(RunRecord &row, const ReservationTexts &held)
{
    clsFile &record = row.record;
    if (record.CheckedOutBy() == held.By && record.CheckedOutTime() == held.Time &&
        record.CheckedOutVersion() == held.Version)
        return;
    record.SetCheckedOutBy(held.By);
    record.SetCheckedOutTime(held.Time);
    record.SetCheckedOutVersion(held.Version);
    row.changed();
}

void ShowAvailable(RunRecord &row)
{
    ShowReservation(row, {Available, Available, Available});
}

// After a failed step the row shows what the server holds now: a holder that has changed
// since the list was read, a reservation made meanwhile, or a reservation that has gone.
// A document that cannot be read leaves the row as it is.
void ShowServerState(ServerDocument *doc, RunRecord &row)
{
    if (doc)
        IgnoringErrors([&] { ShowReservation(row, ReservationOf(*doc)); });
}

ServerDocumentPtr OpenRowDocument(DocumentServer &server, const clsFile &record)
{
    const QString path = DocumentPathOf(record);
    ServerDocumentPtr doc = server.OpenDocument(path);
    if (!doc)
        throw ServerError(ServerErrors::NotADocument,
                          QStringLiteral("The document %1 could not be opened.").arg(path));
    return doc;
}

void CheckOutRow(DocumentServer &server, const QString &user, RunRecord &row,
                 ReservationFailures &failures)
{
    const clsFile &record = row.record;
    const bool listedFree = record.CheckedOutBy() == Available;
    ServerDocumentPtr doc;
    try {
        server.SetUserName(user);
        doc = OpenRowDocument(server, record);
        const ReservationTexts held = ReservationOf(*doc);
        if (held.By != Available) {
            // A reservation already there is left alone and shown; when the row offered the
            // document as free, the user is told.
            ShowReservation(row, held);
            if (listedFree)
                failures.append(
                    {record.FileName(),
                     QStringLiteral("checked out by %1 since the list was read").arg(held.By)});
            return;
        }
        doc->Reserve();
        // The holder, time and version of the reservation just made, as the server has them.
        ReservationState made;
        made.Reserved = true;
        made.By = doc->ReservedBy();
        made.Time = doc->ReservedTime();
        made.Version = doc->ReservedVersion();
        ShowReservation(row, TextsOf(made));
    } catch (const std::exception &error) {
        failures.append({record.FileName(), ReasonOf(error)});
        ShowServerState(doc.get(), row);
    }
}

void CheckInRow(DocumentServer &server, RunRecord &row, ReservationFailures &failures)
{
    const clsFile &record = row.record;
    ServerDocumentPtr doc;
    try {
        // The server releases only for the holder, so the run acts as the holder the row
        // shows.
        server.SetUserName(record.CheckedOutBy());
        doc = OpenRowDocument(server, record);
        doc->ReleaseReservation();
        ShowAvailable(row);
    } catch (const std::exception &error) {
        failures.append({record.FileName(), ReasonOf(error)});
        ShowServerState(doc.get(), row);
    }
}

ReservationFailures RunOverRecords(ProgramState &state, Prompts &prompts,
                                   const QList<clsFilePtr> &records, const RecordChanged &changed,
                                   const RecordStep &step)
{
    ReservationFailures failures;
    if (!state.Files || !state.DocumentServer)
        return failures;
    const std::shared_ptr<DocumentServer> serverHeld = state.DocumentServer;
    DocumentServer &server = *serverHeld;
    std::vector<RunRecord> rows;
    for (qsizetype i = 0; i < records.size(); ++i)
        if (records.at(i))
            rows.push_back({*records.at(i), [&changed, i] {
                                if (changed)
                                    changed(i);
                            }});

    bool ready = false;
    try {
        server.CloseAllDocuments();
        server.ProjectHandler().SetActiveProject(QString());
        // A temporary project an earlier run may have left.
        DeleteTemporaryProject(state.WorkingProject);
        state.WorkingProject = PrepareWorkingProject(server, prompts, state.SelectedProject);
        server.ProjectHandler().SetActiveProject(state.WorkingProject);
        ready = true;
    } catch (const std::exception &error) {
        // No document can be changed without the working project.
        const QString reason = ReasonOf(error);
        for (const RunRecord &row : rows)
            failures.append({row.record.FileName(), reason});
        // With no row selected the failure still has to be told.
        if (rows.empty())
            failures.append({FileNameOf(state.SelectedProject), reason});
    }

    if (ready) {
        const HourglassPointer hourglass(prompts);
        for (RunRecord &row : rows)
            step(server, row, failures);
    }
    IgnoringErrors([&] { server.SetUserName(state.StartupUserName); });
    return failures;
}

} // namespace

QString ReservationFailureText(bool reserve, const ReservationFailures &failures)
{
    const qsizetype count = failures.size();
    QStringList lines;
    lines.append(QStringLiteral("%1 document(s) could not be %2:")
                     .arg(count)
                     .arg(reserve ? QStringLiteral("checked out") : QStringLiteral("checked in")));
    for (qsizetype i = 0; i < qMin<qsizetype>(count, ListedFailures); ++i)
        lines.append(failures.at(i).FileName + QStringLiteral(": ") + failures.at(i).Reason);
    if (count > ListedFailures)
        lines.append(QStringLiteral("... and %1 more").arg(count - ListedFailures));
    return lines.join(u'\r');
}

bool IsRefusedCheckOutUser(const QString &name)
{
    return name.isEmpty() || name.toLower() == Available;
}

QString DocumentPathOf(const clsFile &record)
{
    return JoinPath(record.FilePath(), record.FileName());
}

ReservationFailures ReserveSelectedItems(ProgramState &state, Prompts &prompts,
                                         const QList<clsFilePtr> &records,
                                         const RecordChanged &changed)
{
    const QString user = state.CheckOutUser;
    return RunOverRecords(
        state, prompts, records, changed,
        [&user](DocumentServer &server, RunRecord &row, ReservationFailures &failures) {
            CheckOutRow(server, user, row, failures);
        });
}

ReservationFailures UnreserveSelectedItems(ProgramState &state, Prompts &prompts,
                                           const QList<clsFilePtr> &records,
                                           const RecordChanged &changed)
{
    return RunOverRecords(state, prompts, records, changed, CheckInRow);
}

RefreshResult RefreshReservations(DocumentServer &server, const QList<clsFilePtr> &records,
                                  const RecordChanged &changed)
{
    RefreshResult result;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (!records.at(i))
            continue;
        bool rowChanged = false;
        RunRecord row{*records.at(i), [&] { rowChanged = true; }};
        try {
            ShowReservation(row, ReservationOf(*OpenRowDocument(server, row.record)));
        } catch (const std::exception &) {
            ++result.Unreadable;
        }
        if (rowChanged) {
            ++result.Changed;
            if (changed)
                changed(i);
        }
    }
    return result;
}

void RestoreSelectedProject(ProgramState &state)
{
    if (!state.DocumentServer)
        return;
    ProjectHandler &projects = state.DocumentServer->ProjectHandler();
    IgnoringErrors([&] { projects.SetActiveProject(QString()); });
    DeleteTemporaryProject(state.WorkingProject);
    IgnoringErrors([&] { projects.SetActiveProject(state.SelectedProject); });
}

std::optional<ReservationFailures> ChangeReservations(bool reserve, ProgramState &state,
                                                      Prompts &prompts,
                                                      const QList<clsFilePtr> &records,
                                                      const RecordChanged &changed,
                                                      const std::function<bool()> &waiting)
{
    if (!state.DocumentServer)
        return ReservationFailures{};
    RunTurnPtr turn;
    try {
        turn = state.DocumentServer->TakeRunTurn(waiting);
    } catch (const std::exception &error) {
        ReservationFailures failures;
        for (const clsFilePtr &record : records)
            if (record)
                failures.append({record->FileName(), ReasonOf(error)});
        return failures;
    }
    if (!turn)
        return std::nullopt;
    const ReservationFailures failures =
        reserve ? ReserveSelectedItems(state, prompts, records, changed)
                : UnreserveSelectedItems(state, prompts, records, changed);
    RestoreSelectedProject(state);
    return failures;
}
