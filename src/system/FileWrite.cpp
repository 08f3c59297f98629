#include "system/FileWrite.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileIO.h"
#include "system/FileNames.h"
#include "system/HardLinks.h"
#include "system/Umask.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const QString &path, int error)
{
    if (error == ENAMETOOLONG)
        throw FileError(path, Brevant::tr("the file name is too long to write the new file "
                                          "beside the old one first; choose a shorter name"));
    throw FileError(path, SystemReason(error));
}

// The file a write to path replaces: the final target of a link to an existing file, else
// path itself (a dangling link is replaced by the file).
QByteArray ReplacedTarget(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path.constData(), resolved) == nullptr)
        return path;
    return QByteArray(resolved);
}

mode_t NewFileMode()
{
    return 0666 & ~ProcessUmask();
}

// A private file beside target, written whole and synced; its name is returned, the file is
// closed. On failure nothing of it is left.
QByteArray WritePrivateCopy(const QString &shownPath, const QByteArray &target,
                            const QByteArray &content, mode_t mode)
{
    QByteArray name = target + ".XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        Fail(shownPath, errno);
    const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !ok) {
        const int reason = ok ? errno : error;
        ::unlink(name.constData());
        Fail(shownPath, reason);
    }
    return name;
}

// The folder's entry of a renamed or linked file is made lasting too; a failure here does not
// undo a write that every process already sees.
void SyncFolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : path.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Whether the file st (at target) may be renamed over by this process in a folder with the
// sticky bit: only its owner (or the folder's) may, as in /tmp.
bool StickyFolderKeeps(const QByteArray &target, const struct stat &st)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(qMax<qsizetype>(slash, 1));
    struct stat dir;
    return ::stat(folder.constData(), &dir) == 0 && (dir.st_mode & S_ISVTX) &&
           st.st_uid != ::geteuid() && dir.st_uid != ::geteuid();
}

// Writes content over the file at target in place, keeping its owner and mode: where another
// user's file in a folder with the sticky bit cannot be replaced but may be written. A write
// that fails puts the old content back, so the file is never left half written.
void RewriteInPlace(const QString &shownPath, const QByteArray &target, const QByteArray &content)
{
    const int fd = ::open(target.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        Fail(shownPath, errno);
    QByteArray old;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAtMost(fd, st.st_size, old);
    const auto writeAt = [fd](const QByteArray &bytes) {
        return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, bytes) &&
               ::ftruncate(fd, bytes.size()) == 0 && ::fsync(fd) == 0;
    };
    ok = ok && writeAt(content);
    const int error = errno;
    if (!ok)
        writeAt(old);
    ::close(fd);
    if (!ok)
        Fail(shownPath, error);
}

// The file at target, created exclusively and written in place: for shares that make no hard
// links, where a reader may see the new file for a moment before it is whole. Nothing of it
// is left when the write fails.
void CreateInPlace(const QString &shownPath, const QByteArray &target, const QByteArray &content)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          NewFileMode());
    if (fd < 0) {
        if (errno == EEXIST)
            throw FileError(shownPath, Brevant::tr("something else is already there"));
        Fail(shownPath, errno);
    }
    const bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !ok) {
        const int reason = ok ? errno : error;
        ::unlink(target.constData());
        Fail(shownPath, reason);
    }
}

// Replaces the file at path with content; the new file takes the mode given, else the old
// file's, else the mode of a new file.
void Replace(const QString &path, const QByteArray &content, std::optional<mode_t> given)
{
    const QByteArray target = ReplacedTarget(EncodeFileName(path));
    mode_t mode = NewFileMode();
    struct stat st;
    const bool exists = ::lstat(target.constData(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            throw FileError(path, Brevant::tr("it is a folder"));
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            throw FileError(path, Brevant::tr("it is not a regular file"));
        if (S_ISREG(st.st_mode)) {
            // As the shell's redirect refuses it: a file its user may not write is not
            // written over, though the folder would let it be replaced.
            if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
                Fail(path, errno);
            mode = st.st_mode & 07777;
        }
    }
    const QByteArray copy = WritePrivateCopy(path, target, content, given.value_or(mode));
    if (::rename(copy.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(copy.constData());
        if (error != EPERM || !exists || !S_ISREG(st.st_mode) || !StickyFolderKeeps(target, st))
            Fail(path, error);
        RewriteInPlace(path, target, content);
    }
    SyncFolderOf(target);
}

} // namespace

void ReplaceFile(const QString &path, const QByteArray &content)
{
    Replace(path, content, std::nullopt);
}

void ReplacePrivateFile(const QString &path, const QByteArray &content)
{
    Replace(path, content, mode_t(0600));
}

void CreateNewFile(const QString &path, const QByteArray &content)
{
    const QByteArray target = EncodeFileName(path);
    const QByteArray copy = WritePrivateCopy(path, target, content, NewFileMode());
    struct stat written;
    const bool known = ::stat(copy.constData(), &written) == 0;
    if (known && KnownToRefuseHardLinks(written.st_dev)) {
        ::unlink(copy.constData());
        CreateInPlace(path, target, content);
        SyncFolderOf(target);
        return;
    }
    // link(2) never follows a link at its target and fails when anything is there.
    const int linked = ::link(copy.constData(), target.constData());
    const int error = errno;
    ::unlink(copy.constData());
    if (linked != 0) {
        if (error == EEXIST)
            throw FileError(path, Brevant::tr("something else is already there"));
        if (!RefusesHardLinks(error) || !known)
            Fail(path, error);
        RememberRefusedHardLinks(written.st_dev);
        CreateInPlace(path, target, content);
    }
    SyncFolderOf(target);
}

void AppendToFile(const QString &path, const QByteArray &content)
{
    const int fd = ::open(EncodeFileName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        Fail(path, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        Fail(path, error);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError(path, Brevant::tr("it is not a regular file"));
    }
    const bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
    const int error = errno;
    if (!ok) {
        // Whatever part of the text got in is taken out again.
        if (::ftruncate(fd, st.st_size) == 0)
            ::fsync(fd);
    }
    if (::close(fd) != 0 && ok)
        Fail(path, errno);
    if (!ok)
        Fail(path, error);
}

void RemoveFile(const QString &path)
{
    if (::unlink(EncodeFileName(path).constData()) != 0 && errno != ENOENT)
        Fail(path, errno);
}

void TellFileSizeLimitAsFailure()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
