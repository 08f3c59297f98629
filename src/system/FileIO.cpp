#include "system/FileIO.h"

#include <cerrno>
#include <unistd.h>

bool ReadAtMost(int fd, qsizetype size, QByteArray &bytes)
{
    bytes.resize(size);
    qsizetype total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, bytes.data() + total, size_t(size - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        total += n;
    }
    bytes.truncate(total);
    return true;
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
