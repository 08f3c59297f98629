#include "server/scrivo/ReservationRecord.h"
#include "system/Translation.h"

#include "model/DateText.h"
#include "model/UserNames.h"
#include "projects/IniFile.h"
#include "system/FileError.h"
#include "system/FileIO.h"
#include "system/FileNames.h"
#include "system/FileRead.h"
#include "system/FileSystems.h"
#include "system/HardLinks.h"
#include "system/Notices.h"
#include "system/PathAt.h"
#include "system/Umask.h"

#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A record is a few lines; anything much larger is not one.
constexpr qsizetype MaxRecordSize = 64 * 1024;
constexpr int CreateAttempts = 3;
// A change whose turn was taken over while it stalled starts again this often.
constexpr int TurnAttempts = 3;
// How long a name that a network client still remembers is asked about again.
constexpr qint64 RememberedNameMs = 25000;
// A record without its last key is being written for at most this long; then it is left
// over from a writer that stopped (or, after a power loss, from one that wrote it).
constexpr qint64 BeingWrittenSeconds = 60;

const QByteArray RecordHead = QByteArrayLiteral("[Reservation]\n");
const QString ReservationSection = QStringLiteral("Reservation");
const QString ByKey = QStringLiteral("By");
const QString TimeKey = QStringLiteral("Time");
const QString VersionKey = QStringLiteral("Version");
const QString CommentKey = QStringLiteral("Comment");

bool MeansNoRecord(int error)
{
    // The record's folder is gone, or the record's name cannot exist there: either way no
    // record is there.
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

ServerError ReadFailure(const QString &record, int error)
{
    return ServerError(ServerErrors::ReservationRecordDamaged,
                       Brevant::tr("The reservation record %1 could not be read: %2")
                           .arg(record, SystemReason(error)));
}

// The mode a file was created with, asked of open(2), is cut by the umask: only then is it set
// again (a request to the server on a share).
bool SetModeAsked(int fd, mode_t mode)
{
    return (mode & ProcessUmask()) == 0 || ::fchmod(fd, mode) == 0;
}

// A record's time: ISO 8601 with its UTC offset; a time without one would be read
// differently in another time zone. Invalid when the text is none.
QDateTime RecordTime(const QString &text)
{
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
    return parsed.timeSpec() == Qt::LocalTime ? QDateTime() : parsed;
}

// Whether the bytes are the start of a record as written here whose last line is not yet
// there: its lines so far are the lines a writer writes, in their order, each as it can be,
// and what follows the last line break starts the next one.
bool IsUnfinishedRecord(const QByteArray &bytes)
{
    static const QByteArray Lines[] = {RecordHead.chopped(1), "By=", "Time=", "Version=",
                                       ReservationRecord::CompletionLine().chopped(1)};
    constexpr qsizetype Count = qsizetype(std::size(Lines));
    const QList<QByteArray> lines = bytes.split('\n');
    const qsizetype whole = lines.size() - 1; // the lines that end in a line break
    // With every line whole the record is finished (or none); the head line holds no value,
    // so it matches whole.
    if (whole >= Count || (whole > 0 && lines[0] != Lines[0]))
        return false;
    for (qsizetype i = 1; i < whole; ++i) {
        if (!lines[i].startsWith(Lines[i]))
            return false;
        const QString value = IniText(QByteArrayView(lines[i]).sliced(Lines[i].size()).trimmed());
        bool numbered = false;
        value.toInt(&numbered);
        const bool valid = i == 1   ? IsValidUserName(value) && !IsAvailableMarker(value)
                           : i == 2 ? RecordTime(value).isValid()
                                    : numbered;
        if (!valid)
            return false;
    }
    const QByteArray &rest = lines.last();
    return rest.startsWith(Lines[whole]) || Lines[whole].startsWith(rest);
}

// The keys of a record's first Reservation section, each from its first line.
struct RecordKeys
{
    bool seenSection = false;
    QString by;
    QString time;
    QString version;
    QString comment;
};

RecordKeys RecordKeysOf(const QByteArray &bytes)
{
    RecordKeys keys;
    bool inReservation = false;
    bool haveBy = false, haveTime = false, haveVersion = false, haveComment = false;
    ScanIni(bytes, [&](const IniLine &line) {
        if (line.IsSection) {
            if (keys.seenSection && inReservation)
                return false;
            inReservation = IniNameIs(line.Name, ReservationSection);
            keys.seenSection = keys.seenSection || inReservation;
        } else if (inReservation) {
            const auto take = [&](const QString &key, bool &have, QString &value) {
                if (!have && IniNameIs(line.Name, key)) {
                    value = IniText(line.Value);
                    have = true;
                }
            };
            take(ByKey, haveBy, keys.by);
            take(TimeKey, haveTime, keys.time);
            take(VersionKey, haveVersion, keys.version);
            take(CommentKey, haveComment, keys.comment);
        }
        return true;
    });
    return keys;
}

} // namespace

Placing PlacingOn(dev_t device)
{
    // Wherever a workstation that makes no hard links may share the folder (a network file
    // system), records are placed in the document's turn, since such a workstation can only
    // rename its record into place.
    if (KnownToRefuseHardLinks(device))
        return Placing::RenameInTurn;
    return IsNetworkFileSystem(device) ? Placing::LinkInTurn : Placing::Link;
}

ReservationRecord::ReservationRecord(const QString &document, const QString &resolved,
                                     dev_t fileSystem)
    : ReservationRecord(document, EncodeFileName(resolved), fileSystem)
{
}

ReservationRecord::ReservationRecord(const QString &document, const QByteArray &nativeResolved,
                                     dev_t fileSystem)
    : documentPath(document), device(fileSystem)
{
    // Built from the bytes, so the record of a document whose name is not valid UTF-8 lies
    // beside that very document.
    const qsizetype slash = nativeResolved.lastIndexOf('/');
    const QByteArrayView folder = QByteArrayView(nativeResolved).first(slash + 1);
    const QByteArrayView name = QByteArrayView(nativeResolved).sliced(slash + 1);
    static constexpr char Suffix[] = ".reservation";
    nativeRecordPath.reserve(nativeResolved.size() + qsizetype(sizeof Suffix));
    nativeRecordPath.append(folder).append('.').append(name).append(Suffix);
}

QString ReservationRecord::Path() const
{
    return DecodeFileName(nativeRecordPath);
}

ReservationRecord::Look ReservationRecord::LookAtRecord() const
{
    return LookAt(nativeRecordPath);
}

ReservationRecord::Look ReservationRecord::LookAt(const QByteArray &at) const
{
    int error = 0;
    const std::optional<Look> look = RepeatWhileTransientFailure(
        [&] {
            std::optional<Look> once = LookOnce(at, error);
            errno = error;
            return once;
        },
        [](const std::optional<Look> &once) { return !once; },
        [this] { return IsFuseNetworkFileSystem(Device()); });
    if (!look)
        throw ReadFailure(DecodeFileName(at), error);
    return *look;
}

std::optional<ReservationRecord::Look> ReservationRecord::LookOnce(const QByteArray &at,
                                                                   int &error) const
{
    // Most documents are free. On a local disk the look for a record that is not there is
    // cheaper than an open that fails (which makes a file first); a network client asks its
    // server once either way, so there the open goes first.
    struct stat there;
    if (!IsNetworkFileSystem(Device()) && StatPath(at, there, false) != 0 && MeansNoRecord(errno))
        return Look{};
    // Opened without following a link and without waiting on a FIFO; only a regular file is
    // read, so nothing else in the record's place is ever acted on.
    const int fd = OpenPath(at, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return LookAtRefusedOpen(error);
    }
    std::optional<Look> look = ReadOpenRecord(fd, error);
    ::close(fd);
    return look;
}

std::optional<ReservationRecord::Look> ReservationRecord::LookAtRefusedOpen(int error)
{
    if (MeansNoRecord(error))
        return Look{};
    if (error == ELOOP)
        return Look{RecordState::Damaged, {}, Brevant::tr("it is a link, not a file")};
    if (error == ENXIO) // a socket
        return Look{RecordState::Damaged, {}, Brevant::tr("it is not a regular file")};
    // A record its writer's umask kept from the others can never be read by them: it is of
    // no use to anybody but in the way, so whoever may remove it may release it.
    if (error == EACCES || error == EPERM)
        return Look{
            RecordState::Damaged, {}, Brevant::tr("it cannot be read: ") + SystemReason(error)};
    return std::nullopt;
}

std::optional<ReservationRecord::Look> ReservationRecord::ReadOpenRecord(int fd, int &error) const
{
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode))
        return Look{
            RecordState::Damaged, {}, Brevant::tr("it is not a regular file"), S_ISDIR(st.st_mode)};
    // Read to its end, never to the size the status gives: a network client may still give
    // the size of the record this one replaced.
    QByteArray bytes;
    if (!ReadCurrentContent(fd, st, MaxRecordSize + 1, bytes)) {
        error = errno;
        return std::nullopt;
    }
    if (bytes.size() > MaxRecordSize)
        return Look{RecordState::Damaged, {}, Brevant::tr("it is too large"), false, st.st_ino};
    // The record's time is asked again only when the record's age matters (one stopping short
    // of its last line).
    Look look = Parse(bytes, [fd] {
        struct stat now;
        return ::fstat(fd, &now) == 0 ? qint64(now.st_mtim.tv_sec) : qint64(0);
    });
    look.inode = st.st_ino;
    return look;
}

ReservationRecord::Look
ReservationRecord::Parse(const QByteArray &bytes,
                         const std::function<qint64()> &modifiedSeconds) const
{
    const RecordKeys keys = RecordKeysOf(bytes);
    QString damage;
    bool numbered = false;
    const int number = keys.version.toInt(&numbered);
    const QDateTime time = RecordTime(keys.time);
    if (!keys.seenSection)
        damage = Brevant::tr("it holds no reservation");
    else if (!IsValidUserName(keys.by) || IsAvailableMarker(keys.by))
        damage = Brevant::tr("it names no valid holder");
    else if (!time.isValid())
        damage =
            Brevant::tr("its time \"%1\" is not a date and time with UTC offset").arg(keys.time);
    else if (!numbered)
        damage = Brevant::tr("its version \"%1\" is not a whole number").arg(keys.version);
    // A comment that another program wrote unsafely is left out; the reservation holds.
    const QString comment = CommentProblem(keys.comment).isEmpty() ? keys.comment : QString();
    if (damage.isEmpty())
        return {RecordState::Held, {true, keys.by, time.toLocalTime(), number, false, comment}, {}};

    // The start of a record written at its own name a moment ago, by a writer that has not
    // yet written the rest.
    if (IsUnfinishedRecord(bytes) &&
        qAbs(QDateTime::currentSecsSinceEpoch() - modifiedSeconds()) <= BeingWrittenSeconds)
        return {RecordState::BeingWritten, {true, {}, {}, 0, true, {}}, {}};
    return {RecordState::Damaged, {}, damage};
}

ReservationState ReservationRecord::Answer(const Look &look) const
{
    if (look.kind == RecordState::Damaged)
        throw ServerError(
            ServerErrors::ReservationRecordDamaged,
            Brevant::tr("The reservation record %1 is damaged: %2.").arg(Path(), look.damage));
    return look.state;
}

ReservationState ReservationRecord::State()
{
    last = LookAtRecord();
    return Answer(*last);
}

ReservationState ReservationRecord::LastState()
{
    return last ? Answer(*last) : State();
}

QByteArray ReservationRecord::Folder() const
{
    const qsizetype slash = nativeRecordPath.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : nativeRecordPath.left(qMax<qsizetype>(slash, 1));
}

dev_t ReservationRecord::Device() const
{
    struct stat st;
    if (device == 0 && StatPath(Folder(), st) == 0)
        device = st.st_dev;
    return device;
}

mode_t ReservationRecord::FolderMode() const
{
    struct stat folder;
    if (!folderMode)
        folderMode = StatPath(Folder(), folder) == 0 ? folder.st_mode : mode_t(0);
    return *folderMode;
}

mode_t ReservationRecord::RecordMode(mode_t documentMode) const
{
    const mode_t mode = S_IWUSR | (documentMode & (S_IRUSR | S_IRGRP | S_IROTH));
    return mode | (FolderMode() & S_IWGRP);
}

QByteArray ReservationRecord::PrivateName() const
{
    // Short, so that every record whose own name fits can be written: a hidden name in the
    // record's folder that no record has.
    const qsizetype slash = nativeRecordPath.lastIndexOf('/');
    return nativeRecordPath.left(slash + 1) + ".rsv-" + QByteArray::number(::getpid()) + '-' +
           QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

QByteArray ReservationRecord::RecordText(const Reservation &reservation, const QDateTime &time)
{
    // The holder and comment are quoted so that blanks at their ends survive the INI rules;
    // readers that know no comment pass over its key. The last line tells a reader that the
    // record is whole.
    QByteArray text = RecordHead;
    text += "By=\"" + reservation.user.toUtf8() + "\"\n";
    text += "Time=" + IsoDateText(time).toLatin1() + '\n';
    text += "Version=" + QByteArray::number(reservation.version) + '\n';
    if (!reservation.comment.isEmpty())
        text += "Comment=\"" + reservation.comment.toUtf8() + "\"\n";
    text += CompletionLine();
    return text;
}

ServerError ReservationRecord::WriteFailure(int error) const
{
    return ServerError(ServerErrors::WriteFailed,
                       Brevant::tr("The reservation of %1 could not be written: %2")
                           .arg(documentPath, SystemReason(error)));
}

bool ReservationRecord::SettleTakenName(const QByteArray &copy, const QElapsedTimer &since)
{
    // Decided on a fresh look, never on the refusal alone: an NFS client that sent link(2)
    // again after its answer got lost is told EEXIST for the record it has just linked (the
    // record is then the very file of the copy, which has two names now), and sshfs refuses
    // a name it still remembers after another workstation removed the record. (A FUSE
    // client's inode numbers are its own, but it sends no request twice.)
    last = LookAtRecord();
    struct stat mine;
    if (last->kind == RecordState::Held && !IsFuseNetworkFileSystem(Device()) &&
        StatPath(copy, mine, false) == 0 && mine.st_ino == last->inode && mine.st_nlink > 1)
        return true;
    if (last->kind != RecordState::Absent)
        ThrowTaken(Answer(*last)); // a damaged record is told as such
    if (since.elapsed() >= RememberedNameMs)
        throw ServerError(ServerErrors::ReservationBusy,
                          Brevant::tr("%1 was not reserved: the share still reports a "
                                      "reservation record that the file server no longer "
                                      "holds. Try again in a moment.")
                              .arg(documentPath));
    PauseMilliseconds(200);
    return false;
}

bool ReservationRecord::LinkIntoPlace(const QByteArray &text, mode_t mode)
{
    // The whole record goes into a private file first; link(2) then puts it in place only
    // when no record is there, so readers never see a part of it.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temporary = PrivateName();
        fd = OpenPath(temporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && (errno != EEXIST || attempt >= CreateAttempts))
            throw WriteFailure(errno);
    }
    // No fsync: the record is linked into place only once it is whole, so no process ever
    // sees a partial record. After a power loss the newest records may come back empty,
    // which readers take as damaged once they are a minute old, and anyone may release them.
    // Flushing every record to disk made a check-out of a thousand documents take seconds.
    WriteRecordFile(fd, text, mode, temporary);
    const struct RemovedAtEnd
    {
        const QByteArray &path;
        ~RemovedAtEnd() { RemovePath(path); }
    } removed{temporary};
    QElapsedTimer since;
    since.start();
    for (;;) {
        const int linked =
            RepeatWhileTransient(Device(), [&] { return LinkPath(temporary, nativeRecordPath); });
        const int error = errno;
        if (linked == 0 || (error == EEXIST && SettleTakenName(temporary, since)))
            return true;
        if (error == EEXIST)
            continue;
        if (RefusesHardLinks(error))
            return false;
        throw WriteFailure(error);
    }
}

void ReservationRecord::WriteRecordFile(int fd, const QByteArray &text, mode_t mode,
                                        const QByteArray &path) const
{
    const bool whole = SetModeAsked(fd, mode) && WriteAll(fd, text);
    const int writeError = errno;
    if (::close(fd) != 0 || !whole) {
        const int error = whole ? errno : writeError;
        RemovePath(path);
        throw WriteFailure(error);
    }
}

void ReservationRecord::TellNoHardLinks() const
{
    if (RememberRefusedHardLinks(Device()))
        Notice(DecodeFileName(Folder()) +
               Brevant::tr(": This folder's file system cannot make hard links; Scrivo "
                           "reserves by exclusive creation here"));
}

void ReservationRecord::StageRecord(const QByteArray &at, const QByteArray &text, mode_t mode) const
{
    // The name is in this change's own new folder, so no exclusive create is needed, and none
    // may be asked: a create that a FUSE SMB client failed with EIO after the server made the
    // file would be refused when asked again.
    const int fd = RepeatWhileTransient(Device(), [&] {
        return OpenPath(at, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    });
    if (fd < 0)
        throw WriteFailure(errno);
    WriteRecordFile(fd, text, mode, at);
}

bool ReservationRecord::PlaceInTurn(const QByteArray &text, mode_t mode)
{
    // The new record is written whole before the turn is taken: it is the turn's token.
    DocumentTurn turn(
        nativeRecordPath, Device(), FolderMode(), documentPath,
        [this] { return Answer(*(last = LookAtRecord())).Reserved == false; },
        [&](const QByteArray &at) { StageRecord(at, text, mode); });
    if (turn.GaveUp())
        ThrowTaken(last->state);
    if (!turn.Taken()) {
        // No turn can be taken here (a read-only folder, a full disk): the link meets the
        // same refusal, or decides alone.
        if (!LinkIntoPlace(text, mode))
            throw WriteFailure(EPERM);
        return true;
    }
    return PutStagedInPlace(turn);
}

bool ReservationRecord::PutStagedInPlace(DocumentTurn &turn)
{
    Placing placing = PlacingOn(Device());
    QElapsedTimer since;
    since.start();
    // A rename puts the record over whatever is at its name, so it is looked for first; no
    // other change can place one while this turn holds.
    const auto lookBeforeRename = [&] {
        if (placing == Placing::RenameInTurn && LookAtRecord().kind != RecordState::Absent)
            ThrowTaken(State());
    };
    lookBeforeRename();
    for (;;) {
        switch (turn.PutInPlace(placing != Placing::RenameInTurn)) {
        case DocumentTurn::Move::Done:
            return true;
        case DocumentTurn::Move::TurnLost:
            return false;
        case DocumentTurn::Move::Failed:
            break;
        }
        const int error = errno;
        if (placing != Placing::RenameInTurn && RefusesHardLinks(error)) {
            TellNoHardLinks();
            placing = PlacingOn(Device());
            lookBeforeRename();
        } else if (error != EEXIST) {
            throw WriteFailure(error);
        } else if (SettleTakenName(turn.Staged(), since)) {
            return true;
        }
    }
}

void ReservationRecord::ThrowTaken(const ReservationState &held) const
{
    throw ServerError(ServerErrors::AlreadyReserved,
                      Brevant::tr("%1 is already reserved by %2.")
                          .arg(documentPath, held.Reserved && !held.HolderUnknown
                                                 ? held.By
                                                 : Brevant::tr("another user")));
}

void ReservationRecord::Create(const Reservation &reservation, mode_t documentMode)
{
    const mode_t mode = RecordMode(documentMode);
    // The record holds whole seconds.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QDateTime stamped = QDateTime::fromMSecsSinceEpoch(now - now % 1000);
    const QByteArray text = RecordText(reservation, stamped);
    const Look written{
        RecordState::Held,
        {true, reservation.user, stamped, reservation.version, false, reservation.comment},
        {}};

    const bool linking = PlacingOn(Device()) == Placing::Link;
    bool placed = linking && LinkIntoPlace(text, mode);
    if (linking && !placed)
        TellNoHardLinks();
    for (int attempt = 0; !placed && attempt < TurnAttempts; ++attempt)
        placed = PlaceInTurn(text, mode);
    if (!placed)
        DocumentTurn::ThrowBusy(documentPath);
    // What was just written is the last look: the holder, time and version need no read.
    last = written;
}

DocumentTurn::Move ReservationRecord::TakeAway(DocumentTurn &turn) const
{
    // Only a file or a link is taken away; a folder in the record's place stays.
    if (last->folder) {
        errno = EISDIR;
        return DocumentTurn::Move::Failed;
    }
    if (turn.Taken())
        return turn.TakeRecord();
    // Without a turn (the folder takes no new entry) the removal meets the same refusal.
    return RepeatWhileBusy(Device(), [&] { return RemovePath(nativeRecordPath); }) == 0
               ? DocumentTurn::Move::Done
               : DocumentTurn::Move::Failed;
}

bool ReservationRecord::MayRelease(const Look &look, const QString &user)
{
    return look.kind == RecordState::Damaged ||
           (look.kind == RecordState::Held && look.state.By == user);
}

void ReservationRecord::RefuseUnlessReleasable(const Look &look, const QString &user) const
{
    if (look.kind == RecordState::BeingWritten)
        throw ServerError(ServerErrors::BeingReserved,
                          Brevant::tr("%1 is being reserved by another user right now; its "
                                      "reservation was not released.")
                              .arg(documentPath));
    if (!MayRelease(look, user))
        throw ServerError(
            ServerErrors::NotTheHolder,
            Brevant::tr("%1 is reserved by %2, not by %3.").arg(documentPath, look.state.By, user));
}

void ReservationRecord::ConfirmTaken(DocumentTurn &turn, const QString &user)
{
    // The look in the turn may have been given a handle the kernel's SMB client kept open
    // from an earlier look, and so have read the record another workstation has replaced
    // since. The record taken is read again under the token's name, where no handle can be
    // kept; one this user may not release goes back to its place untouched.
    if (!IsKernelSmbClient(Device()))
        return;
    std::optional<Look> taken;
    try {
        taken = LookAt(turn.TakenRecord());
    } catch (const ServerError &) {
        turn.PutBackRecord();
        throw;
    }
    // Nothing taken is left when the turn was taken over meanwhile: it went with the token.
    if (taken->kind == RecordState::Absent || MayRelease(*taken, user))
        return;
    last = taken;
    if (turn.PutBackRecord() != DocumentTurn::Move::Done)
        throw ServerError(ServerErrors::WriteFailed,
                          Brevant::tr("The reservation record %1 could not be put back in its "
                                      "place: %2")
                              .arg(Path(), SystemReason(errno)));
    RefuseUnlessReleasable(*taken, user);
}

void ReservationRecord::Remove(const QString &user)
{
    // In this change's turn, the record looked at is the record removed. While another has
    // the turn, waiting is needed only while the record is one this user may release.
    for (int attempt = 0; attempt < TurnAttempts; ++attempt) {
        DocumentTurn turn(nativeRecordPath, Device(), FolderMode(), documentPath,
                          [&] { return MayRelease(*(last = LookAtRecord()), user); });
        if (!turn.GaveUp())
            last = LookAtRecord();
        if (last->kind == RecordState::Absent)
            return;
        RefuseUnlessReleasable(*last, user);
        const DocumentTurn::Move move = TakeAway(turn);
        if (move == DocumentTurn::Move::TurnLost)
            continue; // looked at again in a turn of its own
        if (move == DocumentTurn::Move::Failed && !MeansNoRecord(errno))
            throw ServerError(ServerErrors::WriteFailed,
                              Brevant::tr("The reservation record %1 could not be removed: %2")
                                  .arg(Path(), SystemReason(errno)));
        if (move == DocumentTurn::Move::Done && turn.Taken())
            ConfirmTaken(turn, user);
        last = Look{};
        return;
    }
    DocumentTurn::ThrowBusy(documentPath);
}
