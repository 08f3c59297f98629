#include "system/FileLock.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileNames.h"

#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FileLock::FileLock(const QString &lockPath, int timeoutMs) : path(EncodeFileName(lockPath))
{
    QElapsedTimer waited;
    waited.start();
    while (!TryLock(lockPath)) {
        if (waited.elapsed() >= timeoutMs)
            throw FileError(lockPath, Brevant::tr("it is locked by another process"));
        QThread::msleep(5);
    }
}

FileLock::FileLock(const QString &lockPath, const std::function<bool()> &waitOn)
    : path(EncodeFileName(lockPath))
{
    while (!TryLock(lockPath) && waitOn())
        QThread::msleep(50);
}

bool FileLock::TryLock(const QString &lockPath)
{
    // Read-only, which is all flock(2) needs: everyone who may read the file can take the
    // lock, so the users who share a folder share its lock.
    const int opened = ::open(path.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (opened < 0)
        throw FileError(lockPath, SystemReason(errno));
    // Readable by all whatever this process's umask; only the file's owner can set it.
    ::fchmod(opened, 0644);
    if (::flock(opened, LOCK_EX | LOCK_NB) == 0) {
        // The holder before may have removed the file after this one opened it: the lock
        // counts only on the file that is at the path now.
        struct stat held;
        struct stat current;
        if (::fstat(opened, &held) == 0 && ::stat(path.constData(), &current) == 0 &&
            held.st_dev == current.st_dev && held.st_ino == current.st_ino) {
            fd = opened;
            return true;
        }
    } else if (errno != EWOULDBLOCK && errno != EINTR) {
        const int error = errno;
        ::close(opened);
        throw FileError(lockPath, SystemReason(error));
    }
    ::close(opened);
    return false;
}

FileLock::~FileLock()
{
    // Removed while still locked, so no other process locks a file that is going away. In a
    // folder with the sticky bit only its owner may remove it: then it stays for the next.
    if (fd < 0)
        return;
    ::unlink(path.constData());
    ::close(fd);
}
