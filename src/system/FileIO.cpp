#include "system/FileIO.h"

#include <cerrno>
#include <unistd.h>

bool ReadAtMost(int fd, qsizetype size, QByteArray &bytes)
{
    bytes.resize(size);
    const qsizetype total = ReadAtMost(fd, bytes.data(), size);
    bytes.truncate(qMax<qsizetype>(total, 0));
    return total >= 0;
}

qsizetype ReadAtMost(int fd, char *buffer, qsizetype size)
{
    qsizetype total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, buffer + total, size_t(size - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
