#include "system/FileLock.h"

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
    for (;;) {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            throw FileError(lockPath, SystemReason(errno));
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The holder before may have removed the file after this one opened it: the lock
            // counts only on the file that is at the path now.
            struct stat held;
            struct stat current;
            if (::fstat(fd, &held) == 0 && ::stat(path.constData(), &current) == 0 &&
                held.st_dev == current.st_dev && held.st_ino == current.st_ino)
                return;
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw FileError(lockPath, SystemReason(error));
        }
        ::close(fd);
        fd = -1;
        if (waited.elapsed() >= timeoutMs)
            throw FileError(lockPath, QStringLiteral("it is locked by another process"));
        QThread::msleep(5);
    }
}

FileLock::~FileLock()
{
    // Removed while still locked, so no other process locks a file that is going away.
    ::unlink(path.constData());
    ::close(fd);
}
