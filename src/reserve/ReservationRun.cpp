#include "reserve/ReservationRun.h"
#include "system/Translation.h"

#include "model/DateText.h"
#include "projects/FileFunctions.h"
#include "projects/WorkingProject.h"
#include "reserve/PrepareWorkingProject.h"
#include "reserve/RunJournal.h"
#include "server/FileProcessing.h"
#include "server/RequestWidth.h"
#include "server/ServerError.h"
#include "system/Failure.h"
#include "system/InParallel.h"

#include <QHash>
#include <atomic>
#include <functional>
#include <numeric>
#include <vector>

QString CheckOutUserRefusal()
{
    return Brevant::tr(
        "Please choose a user with 'Check Out for User...' before you check out files.");
}

namespace {

// The failure message names this many documents; the rest are counted.
constexpr int ListedFailures = 10;

// One record of a run: the record, how to tell that it changed, and its failure.
struct RunRecord
{
    clsFile &record;
    std::function<void()> changed;
    std::optional<ReservationFailure> failure = std::nullopt;

    void Fail(const QString &reason) { failure = ReservationFailure{record.FileName(), reason}; }
};

// Writes the texts into the row and tells about it when they differ from what it showed.
void ShowReservation(RunRecord &row, const ReservationTexts &held)
{
    if (ShowTexts(row.record, held))
        row.changed();
}

// The reservation the server holds now, read without opening the document.
void ShowServerReservation(DocumentServer &server, RunRecord &row)
{
    ShowReservation(row, TextsOf(server.ReservationOf(DocumentPathOf(row.record))));
}

ServerDocumentPtr OpenRowDocument(DocumentServer &server, const clsFile &record)
{
    const QString path = DocumentPathOf(record);
    ServerDocumentPtr doc = server.OpenDocument(path);
    if (!doc)
        throw ServerError(ServerErrors::NotADocument,
                          Brevant::tr("The document %1 could not be opened.").arg(path));
    return doc;
}

// userToSet: the name the server is to act as for this row; null when the run set it for all.
// Whether the run reserved the document.
bool CheckOutRow(DocumentServer &server, const QString &userToSet, RunRecord &row)
{
    const clsFile &record = row.record;
    const bool listedFree = record.CheckedOutBy() == Available;
    ServerDocumentPtr doc;
    try {
        if (!userToSet.isNull())
            server.SetUserName(userToSet);
        doc = OpenRowDocument(server, record);
        const ReservationTexts held = TextsOf(doc->Reservation());
        if (held.By != Available) {
            // A reservation already there is left alone and shown; when the row offered the
            // document as free, the user is told.
            ShowReservation(row, held);
            if (listedFree)
                row.Fail(Brevant::tr("checked out by %1 since the list was read").arg(held.By));
            return false;
        }
        doc->Reserve();
        // The holder, time and version of the reservation just made, as the server has them.
        ShowReservation(row, TextsOf({true, doc->ReservedBy(), doc->ReservedTime(),
                                      doc->ReservedVersion(), false, doc->ReservedComment()}));
        return true;
    } catch (const std::exception &error) {
        row.Fail(ReasonOf(error));
        if (doc)
            IgnoringErrors([&] { ShowReservation(row, TextsOf(doc->Reservation())); });
    }
    return false;
}

// The server releases only for the holder, so the run acts as the holder the row shows:
// userToSet as for CheckOutRow.
void CheckInRow(DocumentServer &server, const QString &userToSet, RunRecord &row)
{
    try {
        if (!userToSet.isNull())
            server.SetUserName(userToSet);
        server.ReleaseReservationOf(DocumentPathOf(row.record));
        ShowReservation(row, {Available, Available, Available});
    } catch (const std::exception &error) {
        row.Fail(ReasonOf(error));
        // The row shows what the server holds now: a holder that has changed since the list
        // was read, a reservation made meanwhile, or a reservation that has gone. A document
        // that cannot be read leaves the row as it is.
        IgnoringErrors([&] { ShowServerReservation(server, row); });
    }
}

// The positions grouped by the key of each, the groups in the order their keys first appear.
template <typename KeyOf>
std::vector<std::vector<size_t>> GroupedBy(const std::vector<size_t> &which, KeyOf keyOf)
{
    std::vector<std::vector<size_t>> groups;
    QHash<QString, size_t> groupOf;
    for (const size_t row : which) {
        const QString key = keyOf(row);
        const auto found = groupOf.constFind(key);
        if (found == groupOf.constEnd()) {
            groupOf.insert(key, groups.size());
            groups.push_back({row});
        } else {
            groups[*found].push_back(row);
        }
    }
    return groups;
}

// The rows in an order that keeps the documents in flight at once in different folders,
// taking one row of each folder in turn: a client changes a folder's entries one at a time
// (the kernel locks the folder while a request that changes it waits for the server), so
// documents of one folder in flight together would wait for each other.
std::vector<size_t> AcrossFolders(const std::vector<RunRecord> &rows,
                                  const std::vector<size_t> &which)
{
    const std::vector<std::vector<size_t>> folders =
        GroupedBy(which, [&](size_t row) { return rows[row].record.FilePath(); });
    std::vector<size_t> order;
    order.reserve(which.size());
    for (size_t round = 0; order.size() < which.size(); ++round)
        for (const std::vector<size_t> &folder : folders)
            if (round < folder.size())
                order.push_back(folder[round]);
    return order;
}

// Works on the rows: one at a time in their order, or `width` at once across folders.
void WorkOnRows(std::vector<RunRecord> &rows, const std::vector<size_t> &which, int width,
                const RunObserver &observer, const std::function<void(RunRecord &)> &step)
{
    const std::vector<size_t> order = width > 1 ? AcrossFolders(rows, which) : which;
    InParallel(
        int(order.size()), width,
        [&](int i) {
            step(rows[order[size_t(i)]]);
            if (observer.RowDone)
                observer.RowDone();
        },
        observer.Cancelled);
}

// The rows' positions, all of them or grouped by the holder each shows (in the order the
// holders first appear): the server's user name is one for all documents in flight at once.
std::vector<std::vector<size_t>> RowGroups(const std::vector<RunRecord> &rows, bool byHolder)
{
    std::vector<size_t> all(rows.size());
    std::iota(all.begin(), all.end(), size_t(0));
    return GroupedBy(
        all, [&](size_t i) { return byHolder ? rows[i].record.CheckedOutBy() : QString(); });
}

// Makes the working project the run works in and activates it. False when that fails: no
// document can be changed without it, so every row fails for that reason (with no row
// selected, the project does, so the failure is still told).
bool PrepareRun(ProgramState &state, Prompts &prompts, DocumentServer &server,
                const std::vector<RunRecord> &rows, ReservationFailures &failures)
{
    try {
        server.CloseAllDocuments();
        server.ProjectHandler().SetActiveProject(QString());
        // A temporary project an earlier run may have left.
        DeleteTemporaryProject(state.WorkingProject);
        state.WorkingProject = PrepareWorkingProject(server, prompts, state.SelectedProject);
        server.ProjectHandler().SetActiveProject(state.WorkingProject);
        return true;
    } catch (const std::exception &error) {
        const QString reason = ReasonOf(error);
        for (const RunRecord &row : rows)
            failures.append({row.record.FileName(), reason});
        if (rows.empty())
            failures.append({FileNameOf(state.SelectedProject), reason});
        return false;
    }
}

// Checks every row out or in; each row keeps its own failure.
void ChangeEveryRow(const ProgramState &state, DocumentServer &server, std::vector<RunRecord> &rows,
                    const RunObserver &observer, bool reserve)
{
    // What the run reserves is written down as it goes, for the start-up after a kill; only
    // a run's own working project tells that start-up that a run was killed.
    std::optional<RunJournal> journal;
    if (reserve && IsWorkingProjectName(FileNameOf(state.WorkingProject)))
        journal.emplace(state.WorkingProject);
    const int width = RequestWidthFor(server, rows.front().record.FilePath());
    // One at a time, each row sets the user it acts as; with many in flight the user is set
    // before them, for all rows of one holder at once.
    for (const std::vector<size_t> &group : RowGroups(rows, !reserve && width > 1)) {
        const QString user =
            reserve ? state.CheckOutUser : rows[group.front()].record.CheckedOutBy();
        if (width > 1)
            server.SetUserName(user);
        const QString userToSet = width > 1 ? QString() : user;
        WorkOnRows(rows, group, width, observer, [&](RunRecord &row) {
            if (!reserve)
                CheckInRow(server, width > 1 ? QString() : row.record.CheckedOutBy(), row);
            else if (CheckOutRow(server, userToSet, row) && journal)
                journal->Reserved(row.record.CheckedOutBy(), DocumentPathOf(row.record));
        });
    }
}

// The engine of a check-out (reserve) or check-in run over the records, inside the run frame
// (see ChangeReservations); RestoreSelectedProject runs afterwards.
ReservationFailures RunOverRecords(ProgramState &state, Prompts &prompts,
                                   const QList<clsFilePtr> &records, const RunObserver &observer,
                                   bool reserve)
{
    ReservationFailures failures;
    if (!state.DocumentServer)
        return failures;
    const std::shared_ptr<DocumentServer> serverHeld = state.DocumentServer;
    DocumentServer &server = *serverHeld;
    std::vector<RunRecord> rows;
    for (qsizetype i = 0; i < records.size(); ++i)
        if (records.at(i))
            rows.push_back({*records.at(i), [&observer, i] {
                                if (observer.Changed)
                                    observer.Changed(i);
                            }});

    const QString comment = std::exchange(state.CheckOutComment, QString());
    if (PrepareRun(state, prompts, server, rows, failures) && !rows.empty()) {
        const HourglassPointer hourglass(prompts);
        if (reserve)
            server.SetReservationComment(comment);
        ChangeEveryRow(state, server, rows, observer, reserve);
        for (const RunRecord &row : rows)
            if (row.failure)
                failures.append(*row.failure);
    }
    IgnoringErrors([&] { server.SetUserName(state.StartupUserName); });
    IgnoringErrors([&] { server.SetReservationComment(QString()); });
    return failures;
}

} // namespace

QString ReservationFailureText(bool reserve, const ReservationFailures &failures)
{
    const qsizetype count = failures.size();
    QStringList lines;
    lines.append((reserve ? Brevant::tr("%1 document(s) could not be checked out:")
                          : Brevant::tr("%1 document(s) could not be checked in:"))
                     .arg(count));
    for (qsizetype i = 0; i < qMin<qsizetype>(count, ListedFailures); ++i)
        lines.append(failures.at(i).FileName + QStringLiteral(": ") + failures.at(i).Reason);
    if (count > ListedFailures)
        lines.append(Brevant::tr("... and %1 more").arg(count - ListedFailures));
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

RefreshResult RefreshReservations(DocumentServer &server, const QList<clsFilePtr> &records,
                                  const RunObserver &observer)
{
    std::atomic<int> changedRows = 0;
    std::atomic<int> unreadable = 0;
    std::vector<RefreshResult::Reading> readings(size_t(records.size()));
    const int width = records.isEmpty() || !records.front()
                          ? 1
                          : RequestWidthFor(server, records.front()->FilePath());
    InParallel(
        int(records.size()), width,
        [&](int i) {
            if (records.at(i)) {
                bool rowChanged = false;
                RunRecord row{*records.at(i), [&] { rowChanged = true; }};
                RefreshResult::Reading &reading = readings[size_t(i)];
                reading.Tried = true;
                try {
                    // Only the reservation is read: the document itself is not opened.
                    ShowServerReservation(server, row);
                } catch (const ServerError &error) {
                    if (error.number == ServerErrors::ReservationRecordDamaged) {
                        ShowReservation(row, DamagedRecordTexts);
                    } else {
                        reading.Failure = ReasonOf(error);
                        ++unreadable;
                    }
                } catch (const std::exception &error) {
                    reading.Failure = ReasonOf(error);
                    ++unreadable;
                }
                if (rowChanged) {
                    reading.Changed = true;
                    ++changedRows;
                    if (observer.Changed)
                        observer.Changed(i);
                }
            }
            if (observer.RowDone)
                observer.RowDone();
        },
        observer.Cancelled);
    return {changedRows, unreadable, std::move(readings)};
}

void RestoreSelectedProject(ProgramState &state)
{
    if (!state.DocumentServer)
        return;
    ProjectHandler &projects = state.DocumentServer->ProjectHandler();
    IgnoringErrors([&] { projects.SetActiveProject(QString()); });
    DeleteTemporaryProject(state.WorkingProject);
    RemoveRunJournal(state.WorkingProject);
    IgnoringErrors([&] { projects.SetActiveProject(state.SelectedProject); });
}

std::optional<ReservationFailures> ChangeReservations(bool reserve, ProgramState &state,
                                                      Prompts &prompts,
                                                      const QList<clsFilePtr> &records,
                                                      const RunObserver &observer,
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
    const ReservationFailures failures = RunOverRecords(state, prompts, records, observer, reserve);
    RestoreSelectedProject(state);
    return failures;
}
