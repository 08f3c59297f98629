#include "system/FileRead.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileSystems.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads the open file fd whose status is st (the caller closes fd).
QByteArray ReadOpenFile(int fd, const QString &path, const struct stat &st, qint64 limit)
{
    if (!S_ISREG(st.st_mode))
        throw FileError(path, S_ISDIR(st.st_mode) ? Brevant::tr("it is a folder")
                                                  : Brevant::tr("it is not a regular file"));
    if (st.st_size > limit)
        throw FileError(path, Brevant::tr("it is larger than %1 MiB").arg(limit >> 20));
    QByteArray bytes;
    // As much as the stat says and one byte more, so that a file that grew since shows; it is
    // then read on, up to one byte past the limit. Never a buffer of the limit's size for a
    // small file.
    qint64 wanted = qMin<qint64>(st.st_size, limit) + 1;
    for (;;) {
        QByteArray chunk;
        if (!ReadCurrentContent(fd, st, wanted, chunk))
            throw FileError(path, SystemReason(errno));
        bytes += chunk;
        if (chunk.size() < wanted || bytes.size() > limit)
            break;
        wanted = qMin<qint64>(bytes.size(), limit + 1 - bytes.size());
    }
    if (bytes.size() > limit)
        throw FileError(path, Brevant::tr("it is larger than %1 MiB").arg(limit >> 20));
    return bytes;
}

} // namespace

qsizetype ReadCurrentContent(int fd, const struct stat &st, char *buffer, qsizetype size)
{
    if (IsFuseNetworkFileSystem(st.st_dev)) {
        // A client that cannot read past its cache refuses the flag; its reads stay as they
        // are.
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0)
            ::fcntl(fd, F_SETFL, flags | O_DIRECT);
    }
    constexpr qsizetype FirstRead = 4096;
    qsizetype total = 0;
    qsizetype wanted = qMin(size, FirstRead);
    while (total < size) {
        const ssize_t n = ::read(fd, buffer + total, size_t(wanted));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        total += n;
        // A regular file reads short only at its end.
        if (n < wanted)
            break;
        wanted = size - total;
    }
    return total;
}

bool ReadCurrentContent(int fd, const struct stat &st, qsizetype size, QByteArray &bytes)
{
    bytes.resize(size);
    const qsizetype total = ReadCurrentContent(fd, st, bytes.data(), size);
    bytes.truncate(qMax<qsizetype>(total, 0));
    return total >= 0;
}

std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 limit)
{
    // Opened without ever blocking: a FIFO without a writer would otherwise stop the reader.
    const int fd =
        ::open(EncodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return std::nullopt;
        throw FileError(path, SystemReason(error));
    }
    // Closed however the read ends, once the failure is told.
    const struct ClosedAtEnd
    {
        int descriptor;
        ~ClosedAtEnd() { ::close(descriptor); }
    } closed{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throw FileError(path, SystemReason(errno));
    return ReadOpenFile(fd, path, st, limit);
}
