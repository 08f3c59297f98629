#include "server/scrivo/DocumentTurn.h"
#include "system/Translation.h"

#include "server/ServerError.h"
#include "system/FileError.h"
#include "system/FileSystems.h"
#include "system/PathAt.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A change takes milliseconds. A waiter whose look at the record cannot settle it waits
// this long: past the 20 s for which sshfs may still show a turn that another workstation
// has removed.
constexpr int WaitMs = 25000;
// A turn this old was left by a change that never ended; a waiter looks at its age this often.
constexpr qint64 LeftOverSeconds = 60;
constexpr qint64 LeftOverCheckMs = 1000;

bool IsLeftOver(const struct stat &st)
{
    return qAbs(QDateTime::currentSecsSinceEpoch() - qint64(st.st_mtim.tv_sec)) > LeftOverSeconds;
}

} // namespace

QByteArray DocumentTurn::TurnPathOf(const QByteArray &recordPath)
{
    static constexpr char RecordSuffix[] = ".reservation";
    QByteArray turn = recordPath;
    if (turn.endsWith(RecordSuffix))
        turn.chop(qsizetype(sizeof RecordSuffix) - 1);
    return turn + ".lock";
}

DocumentTurn::DocumentTurn(const QByteArray &recordPath, dev_t fileSystem, const QString &document,
                           const std::function<bool()> &waitOn)
    : path(TurnPathOf(recordPath)), device(fileSystem)
{
    QElapsedTimer waited;
    waited.start();
    qint64 lastChecked = 0;
    unsigned long pause = 2;
    for (;;) {
        // Anyone who may change records in the folder may end a turn left over.
        if (RepeatWhileTransient(device, [&] { return MakeFolder(path, 0777); }) == 0) {
            taken = true;
            return;
        }
        const int error = errno;
        // The turn is looked at only when the refusal does not tell (an SFTP server refuses
        // a folder that is there in its own words) and now and then for its age: a look at
        // a folder that another client is removing makes the FUSE SMB client drop its
        // connection.
        struct stat st;
        const bool check = error != EEXIST || waited.elapsed() - lastChecked >= LeftOverCheckMs;
        if (check) {
            lastChecked = waited.elapsed();
            if (RepeatWhileTransient(device, [&] { return StatPath(path, st, false); }) != 0) {
                if (error == EEXIST)
                    continue; // gone meanwhile
                // The folder takes no new entries: the change goes on without a turn, and its
                // own step meets the same refusal.
                if (error == EACCES || error == EPERM || error == EROFS || error == ENOSPC ||
                    error == EDQUOT)
                    return;
                throw ServerError(ServerErrors::WriteFailed,
                                  Brevant::tr("The reservation of %1 could not be changed: %2")
                                      .arg(document, SystemReason(error)));
            }
            if (!S_ISDIR(st.st_mode))
                return; // no turn in its place: the change goes on without one
        }
        if (!waitOn()) {
            gaveUp = true;
            return;
        }
        if (check && IsLeftOver(st)) {
            RepeatWhileTransient(device, [&] { return RemoveFolder(path); });
            continue;
        }
        if (waited.elapsed() >= WaitMs)
            throw ServerError(ServerErrors::ReservationBusy,
                              Brevant::tr("The reservation of %1 is being changed by another "
                                          "process at the moment; it was not changed.")
                                  .arg(document));
        QThread::msleep(pause);
        pause = qMin<unsigned long>(pause * 2, 100);
    }
}

DocumentTurn::~DocumentTurn()
{
    if (taken)
        RepeatWhileTransient(device, [&] { return RemoveFolder(path); });
}
