#include "server/scrivo/DocumentTurn.h"
#include "system/Translation.h"

#include "server/ServerError.h"
#include "system/DirectoryListing.h"
#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileSystems.h"
#include "system/PathAt.h"
#include "system/Umask.h"

#include <QRandomGenerator>
#include <QThread>
#include <cerrno>
#include <unistd.h>

namespace {

// A change takes milliseconds. A waiter whose look at the record cannot settle it waits
// this long: past the 20 s for which sshfs may still show a turn that another workstation
// has removed.
constexpr qint64 WaitMs = 25000;
// A turn older than this on the server's clock was left by a change that never ended...
constexpr qint64 LeftOverMs = 60000;
// ...and is taken over only by a waiter that has waited for it this long itself.
constexpr qint64 LeastWaitBeforeTakeOverMs = 5000;
// How often a waiter looks at the turn's age.
constexpr qint64 LeftOverCheckMs = 1000;

// The folder would take no new entry: a change then goes on without a turn, and its own step
// meets the same refusal.
bool RefusesNewEntries(int error)
{
    return error == EACCES || error == EPERM || error == EROFS || error == ENOSPC ||
           error == EDQUOT;
}

// Whether a move through the token failed because the token is gone: its turn was taken
// over (an NFS client that kept the removed folder's handle is told it is stale).
bool TokenGone(int error)
{
    return error == ENOENT || error == ESTALE || error == ENOTDIR;
}

qint64 Milliseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

[[noreturn]] void ThrowChangeFailed(const QString &document, const QString &why)
{
    throw ServerError(
        ServerErrors::WriteFailed,
        Brevant::tr("The reservation of %1 could not be changed: %2").arg(document, why));
}

} // namespace

void DocumentTurn::ThrowBusy(const QString &document)
{
    throw ServerError(ServerErrors::ReservationBusy,
                      Brevant::tr("The reservation of %1 is being changed by another "
                                  "process at the moment; it was not changed.")
                          .arg(document));
}

QByteArray DocumentTurn::TurnPathOf(const QByteArray &recordPath)
{
    static constexpr char RecordSuffix[] = ".reservation";
    QByteArray turn = recordPath;
    if (turn.endsWith(RecordSuffix))
        turn.chop(qsizetype(sizeof RecordSuffix) - 1);
    return turn + ".lock";
}

DocumentTurn::DocumentTurn(const QByteArray &recordPath, dev_t fileSystem, mode_t folderMode,
                           const QString &document, const std::function<bool()> &waitOn,
                           const Stage &stage)
    : record(recordPath), path(TurnPathOf(recordPath)), device(fileSystem), placing(bool(stage))
{
    // A stage, a look or a take-over that fails ends the change here, and a constructor that
    // throws leaves no destructor to remove the own folder.
    try {
        if (MakeOwnFolder(folderMode, document, stage))
            WaitForTurn(document, waitOn);
    } catch (...) {
        RemoveOwnFolder();
        throw;
    }
}

bool DocumentTurn::TryToTake()
{
    // Refused while another turn is at the name: it holds that change's token.
    if (RepeatWhileTransient(device, [&] { return RenamePath(ownFolder, path, false, device); }) !=
        0)
        return false;
    taken = true;
    token = path + "/" + tokenName;
    ownFolder.clear();
    return true;
}

DocumentTurn::TurnLook DocumentTurn::LookAtTurn(struct stat &turn, int refusal,
                                                const QString &document)
{
    if (RepeatWhileTransient(device, [&] { return StatPath(path, turn, false); }) != 0) {
        if (errno != ENOENT || waited.elapsed() >= WaitMs)
            ThrowChangeFailed(document, SystemReason(refusal));
        return TurnLook::Gone;
    }
    return S_ISDIR(turn.st_mode) ? TurnLook::There : TurnLook::NoTurnCanBeThere;
}

void DocumentTurn::WaitForTurn(const QString &document, const std::function<bool()> &waitOn)
{
    qint64 lastChecked = -LeftOverCheckMs;
    unsigned long pause = 2;
    while (!TryToTake()) {
        const int error = errno;
        // A turn at the name is no reason for ENOENT, but smbnetfs gives it for one: the own
        // folder, or the record's, went only when the own folder is no longer there.
        struct stat own;
        if ((error == ENOENT || error == ENOTDIR) && StatPath(ownFolder, own, false) != 0)
            ThrowChangeFailed(document, MissingReason(ownFolder, error));
        // The turn is looked at when the refusal does not tell (an SFTP server refuses in its
        // own words) and now and then for its age: a look at a folder that another client is
        // removing makes the FUSE SMB client drop its connection.
        struct stat turn;
        const bool told = error == EEXIST || error == ENOTEMPTY;
        const bool check = !told || waited.elapsed() - lastChecked >= LeftOverCheckMs;
        if (check) {
            lastChecked = waited.elapsed();
            const TurnLook look = LookAtTurn(turn, error, document);
            if (look == TurnLook::Gone)
                continue;
            if (look == TurnLook::NoTurnCanBeThere) {
                RemoveOwnFolder(); // the change goes on without a turn
                return;
            }
        }
        if (!waitOn()) {
            gaveUp = true;
            RemoveOwnFolder();
            return;
        }
        if (check && IsLeftOver(turn)) {
            TakeOver();
            continue;
        }
        if (waited.elapsed() >= WaitMs)
            ThrowBusy(document);
        QThread::msleep(pause);
        pause = qMin<unsigned long>(pause * 2, 100);
    }
}

bool DocumentTurn::MakeOwnFolder(mode_t folderMode, const QString &document, const Stage &stage)
{
    // Whoever may change records in the folder may take over a turn left there, which means
    // removing what the turn holds: the turn and its token get the folder's access bits.
    const QByteArray folder = record.left(qMax<qsizetype>(record.lastIndexOf('/'), 1));
    const mode_t mode = S_IRWXU | (folderMode & 0077);
    const auto make = [&](const QByteArray &at) {
        // The name is this change's own: EEXIST is a make that a FUSE SMB client failed with
        // EIO after the server had made the folder, asked again.
        if (RepeatWhileTransient(device, [&] { return MakeFolder(at, mode); }) != 0 &&
            errno != EEXIST)
            return false;
        if ((mode & ProcessUmask()) != 0)
            ChangeModePath(at, mode);
        return true;
    };
    // A short private name, so every record whose own name fits can take a turn.
    const QByteArray unique = QByteArray::number(::getpid()) + '-' +
                              QByteArray::number(QRandomGenerator::global()->generate(), 36);
    ownFolder = folder + "/.trn-" + unique;
    tokenName = (placing ? 'n' : 't') + unique;
    if (!make(ownFolder) || (!placing && !make(ownFolder + '/' + tokenName))) {
        const int error = errno;
        RemoveOwnFolder();
        if (RefusesNewEntries(error))
            return false;
        ThrowChangeFailed(document, SystemReason(error));
    }
    if (placing) {
        stage(ownFolder + '/' + tokenName);
        staged = true;
    }
    waited.start();
    return true;
}

int DocumentTurn::RemoveToken(const QByteArray &at)
{
    if (placing)
        return RepeatWhileTransient(device, [&] { return RemovePath(at); });
    return RepeatWhileEmptying(device, [&] { return RemoveFolder(at); });
}

QByteArray DocumentTurn::PrivateName() const
{
    return path.left(path.lastIndexOf('/')) + "/.trn-" + tokenName.mid(1);
}

bool DocumentTurn::SetTokenAside()
{
    // A record removed while a program of this workstation still has it open stays in the
    // token as long as it is open: NFS keeps it as a hidden ".nfsXXXX" file. The token then
    // leaves the turn under this change's private name (a hidden folder, gone with its file
    // once emptied), so the turn ends now rather than blocking the document for a minute.
    const QByteArray aside = PrivateName();
    if (placing || errno != ENOTEMPTY ||
        RepeatWhileTransient(device, [&] { return RenamePath(token, aside); }) != 0)
        return false;
    RemoveFolder(aside);
    return true;
}

void DocumentTurn::RemoveTakenRecord()
{
    QByteArray gone = TakenRecord();
    // On the kernel's SMB client a removed file that a program of this workstation holds open
    // stays where it was until it is closed, and the server refuses to move a folder with an
    // open file in it: the token could then neither be emptied nor set aside, and the turn
    // would block the document for a minute. There the record leaves the token before it is
    // removed (it is this change's own since it was taken into the token).
    if (IsKernelSmbClient(device)) {
        const QByteArray aside = PrivateName();
        if (RepeatWhileTransient(device, [&] { return RenamePath(gone, aside); }) == 0)
            gone = aside;
    }
    RepeatWhileTransient(device, [&] { return RemovePath(gone); });
}

void DocumentTurn::RemoveOwnFolder()
{
    if (ownFolder.isEmpty())
        return;
    RemoveToken(ownFolder + '/' + tokenName);
    RepeatWhileTransient(device, [&] { return RemoveFolder(ownFolder); });
    ownFolder.clear();
}

bool DocumentTurn::IsLeftOver(const struct stat &turn)
{
    if (waited.elapsed() < LeastWaitBeforeTakeOverMs)
        return false;
    if (serverStart.tv_sec == 0) {
        // The server set the time of the waiter's own folder when its token was made, just
        // before the waiter started counting.
        struct stat own;
        if (RepeatWhileTransient(device, [&] { return StatPath(ownFolder, own); }) != 0)
            return false;
        serverStart = own.st_mtim;
    }
    const qint64 serverNow = Milliseconds(serverStart) + waited.elapsed();
    // A turn from the server's future is no more alive than one from long ago.
    return qAbs(serverNow - Milliseconds(turn.st_mtim)) > LeftOverMs;
}

void DocumentTurn::TakeOver()
{
    // The tokens go first, each with what its change moved into it; then the turn. Whatever
    // cannot be removed keeps the turn where it is, and the wait bound ends the wait.
    const DirectoryListing listing = DirectoryListing::Read(DecodeFileName(path));
    for (const DirectoryEntry &entry : listing.Entries()) {
        const QByteArray inner = path + '/' + entry.RawName;
        if (!entry.IsFolder) {
            RepeatWhileTransient(device, [&] { return RemovePath(inner); });
            continue;
        }
        for (const char *held : {"/gone", "/new"})
            RepeatWhileTransient(device, [&] { return RemovePath(inner + held); });
        RepeatWhileEmptying(device, [&] { return RemoveFolder(inner); });
    }
    RepeatWhileEmptying(device, [&] { return RemoveFolder(path); });
}

DocumentTurn::Move DocumentTurn::TakeRecord()
{
    if (RepeatWhileBusy(device, [&] { return RenamePath(record, TakenRecord()); }) == 0) {
        moved = true;
        return Move::Done;
    }
    return TokenGone(errno) ? Move::TurnLost : Move::Failed;
}

DocumentTurn::Move DocumentTurn::PutBackRecord()
{
    // Nobody else changes the record in this turn, so its place is still empty. Where it
    // cannot go back it is kept, never removed with the turn.
    moved = false;
    if (RepeatWhileBusy(device, [&] { return RenamePath(TakenRecord(), record, false, device); }) ==
        0)
        return Move::Done;
    return TokenGone(errno) ? Move::TurnLost : Move::Failed;
}

DocumentTurn::Move DocumentTurn::PutInPlace(bool byLink)
{
    const int placed = RepeatWhileTransient(device, [&] {
        return byLink ? LinkPath(token, record) : RenamePath(token, record, false, device);
    });
    if (placed == 0) {
        staged = byLink; // a link leaves the staged name, a rename takes it
        return Move::Done;
    }
    return TokenGone(errno) ? Move::TurnLost : Move::Failed;
}

DocumentTurn::~DocumentTurn()
{
    if (!taken) {
        RemoveOwnFolder();
        return;
    }
    const int error = errno;
    if (moved)
        RemoveTakenRecord();
    // Without its token the turn at this name is no longer this change's: it was taken over,
    // and whatever is there now belongs to another change. (A staged record that was renamed
    // into place took the token along while the turn was still this change's.)
    if ((placing && !staged) || RemoveToken(token) == 0 || SetTokenAside())
        RepeatWhileEmptying(device, [&] { return RemoveFolder(path); });
    errno = error;
}
