#include "system/PathAt.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <set>
#include <unistd.h>

namespace {

// The parts a long folder path is opened in stay well below the limit.
constexpr qsizetype PartLength = PATH_MAX / 2;

} // namespace

PathAt::PathAt(const QByteArray &path) : name(path)
{
    if (path.size() < PATH_MAX)
        return;
    const qsizetype slash = path.lastIndexOf('/');
    name = path.mid(slash + 1);
    // The folder, part after part, each part ending at a separator.
    qsizetype done = 0;
    const QByteArray folderPath = path.left(slash + 1);
    int at = AT_FDCWD;
    while (done < folderPath.size()) {
        qsizetype end = folderPath.lastIndexOf('/', done + PartLength);
        if (end < done) { // a single name longer than a part: no system call takes it
            error = ENAMETOOLONG;
            break;
        }
        const QByteArray part = end == 0 ? QByteArray("/") : folderPath.mid(done, end - done);
        const int next = ::openat(at, part.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (next < 0)
            error = errno;
        if (at != AT_FDCWD)
            ::close(at);
        at = next;
        done = end + 1;
        if (at < 0)
            break;
    }
    folder = error == 0 ? at : -1;
    if (error != 0 && at >= 0)
        ::close(at);
}

PathAt::~PathAt()
{
    if (folder >= 0)
        ::close(folder);
}

namespace {

// Calls call(folder, name) through the path's PathAt, keeping the call's errno.
template <typename Call> int Through(const QByteArray &path, Call call)
{
    const PathAt at(path);
    if (at.Folder() == -1) {
        errno = at.Error();
        return -1;
    }
    return call(at.Folder(), at.Name());
}

} // namespace

int OpenPath(const QByteArray &path, int flags, mode_t mode)
{
    return Through(
        path, [&](int folder, const char *name) { return ::openat(folder, name, flags, mode); });
}

int StatPath(const QByteArray &path, struct stat &st, bool follow)
{
    return Through(path, [&](int folder, const char *name) {
        return ::fstatat(folder, name, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW);
    });
}

int MakeFolder(const QByteArray &path, mode_t mode)
{
    return Through(path,
                   [&](int folder, const char *name) { return ::mkdirat(folder, name, mode); });
}

int RemoveFolder(const QByteArray &path)
{
    return Through(
        path, [](int folder, const char *name) { return ::unlinkat(folder, name, AT_REMOVEDIR); });
}

int RemovePath(const QByteArray &path)
{
    return Through(path, [](int folder, const char *name) { return ::unlinkat(folder, name, 0); });
}

namespace {

// Calls call(fromFolder, fromName, toFolder, toName) through both paths' PathAt.
template <typename Call> int ThroughBoth(const QByteArray &from, const QByteArray &to, Call call)
{
    const PathAt source(from);
    const PathAt target(to);
    if (source.Folder() == -1 || target.Folder() == -1) {
        errno = source.Folder() == -1 ? source.Error() : target.Error();
        return -1;
    }
    return call(source.Folder(), source.Name(), target.Folder(), target.Name());
}

} // namespace

int LinkPath(const QByteArray &from, const QByteArray &to)
{
    return ThroughBoth(from, to,
                       [](int fromFolder, const char *fromName, int toFolder, const char *toName) {
                           return ::linkat(fromFolder, fromName, toFolder, toName, 0);
                       });
}

namespace {

// The file systems that answered RENAME_NOREPLACE as unknown.
std::mutex plainRenamesLock;
std::set<dev_t> plainRenames;

bool RenamesOnlyPlainly(dev_t device)
{
    const std::lock_guard<std::mutex> locked(plainRenamesLock);
    return device != 0 && plainRenames.count(device) > 0;
}

void RememberPlainRenames(dev_t device)
{
    const std::lock_guard<std::mutex> locked(plainRenamesLock);
    if (device != 0)
        plainRenames.insert(device);
}

} // namespace

int RenamePath(const QByteArray &from, const QByteArray &to, bool replace, dev_t device)
{
    return ThroughBoth(
        from, to, [&](int fromFolder, const char *fromName, int toFolder, const char *toName) {
            if (!replace && !RenamesOnlyPlainly(device)) {
                const int result =
                    ::renameat2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE);
                if (result == 0 || (errno != EINVAL && errno != ENOSYS))
                    return result;
                RememberPlainRenames(device);
            }
            return ::renameat(fromFolder, fromName, toFolder, toName);
        });
}

int ChangeModePath(const QByteArray &path, mode_t mode)
{
    return Through(path,
                   [&](int folder, const char *name) { return ::fchmodat(folder, name, mode, 0); });
}
