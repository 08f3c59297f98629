#pragma once

#include <QByteArray>
#include <cerrno>
#include <sys/types.h>

// What the programs need to know of the file system a file lies on, from its device number
// (st_dev) and the mount table (/proc/self/mountinfo).
//
// Network file systems mounted through FUSE (sshfs, the FUSE SMB clients) answer from caches
// of their own: for seconds after another machine replaced a file, its size and times may be
// the old ones and a read through the page cache stops at the old size. Their inode numbers
// are the client's own (a file put at the same name keeps the number) and their link counts
// are always 1. Kernel file systems, NFS and the kernel's SMB client do not cache that way.

// The type of the file system, "ext4", "nfs4", "fuse.sshfs", ...; "" when the device is in no
// mount of this process.
QByteArray FileSystemTypeOf(dev_t device);

// Whether the device is a FUSE mount of a network file system: a file system type
// "fuse.<client>" ("fuseblk" is a local disk).
bool IsFuseNetworkFileSystem(dev_t device);

// Whether each request on the device goes to another machine: a FUSE network client, NFS,
// the kernel's SMB client, 9p, Ceph, GlusterFS, AFS. There a request costs a network round
// trip, and many in flight together take little longer than one.
bool IsNetworkFileSystem(dev_t device);

// Whether the device is a mount of the kernel's SMB client ("cifs", "smb3"). It keeps a file
// open for a second after it was closed (deferred close), and an open of the same name in that
// second, by any program of the workstation, is given that handle without asking the server:
// it reads the file that was at the name even when another workstation has put another there.
bool IsKernelSmbClient(dev_t device);

// The mount point of the network file system that path was on, when the programs saw that
// share mounted there before and it is mounted there no more; "" otherwise.
QByteArray LostShareOf(const QByteArray &path);

// The device of path, or of the nearest folder above it that is there (0: none).
dev_t DeviceOfNearest(const QByteArray &path);

// A FUSE network client may fail a call with EIO for a moment: the FUSE SMB client drops its
// connection when another workstation removes a file it is looking up, and fails what was in
// flight on it. Waits a little before the next try; false when the tries are used up.
bool WaitAfterTransientFailure(int attempt);

// Sleeps this long (without a Qt event loop).
void PauseMilliseconds(unsigned long milliseconds);

// Makes the call again while it fails for a moment on a FUSE network file system (EIO), for
// about six seconds at most: failed(result) tells a failure, errno then saying why, and
// onFuse() whether the file system is such a client (asked only after such a failure). Its
// last result, errno as it left it.
template <typename Call, typename Failed, typename OnFuse>
auto RepeatWhileTransientFailure(Call call, Failed failed, OnFuse onFuse) -> decltype(call())
{
    for (int attempt = 0;; ++attempt) {
        auto result = call();
        const int error = errno;
        if (!failed(result) || error != EIO || !onFuse() || !WaitAfterTransientFailure(attempt)) {
            errno = error;
            return result;
        }
    }
}

// The same for a system call on the device, which fails with a negative result.
template <typename Call> auto RepeatWhileTransient(dev_t device, Call call) -> decltype(call())
{
    return RepeatWhileTransientFailure(
        call, [](const auto &result) { return result < 0; },
        [device] { return IsFuseNetworkFileSystem(device); });
}

// The same for a call on path, which fails with a result other than 0; the file system is
// that of path, or of the nearest folder above it that is there.
template <typename Call>
auto RepeatWhileTransientAt(const QByteArray &path, Call call) -> decltype(call())
{
    return RepeatWhileTransientFailure(
        call, [](const auto &result) { return result != 0; },
        [&path] { return IsFuseNetworkFileSystem(DeviceOfNearest(path)); });
}

// Makes the call (a folder's removal) again while it fails with ENOTEMPTY on a network file
// system, for about two and a half seconds: a file just removed from the folder stays there
// while a client still has it open, and the kernel's SMB client keeps a file open for a
// second after it was closed (deferred close), so the folder empties a moment later. Each try
// is repeated while the file system fails it for a moment.
template <typename Call> int RepeatWhileEmptying(dev_t device, Call call)
{
    for (unsigned long pause = 5;; pause *= 2) {
        const int result = RepeatWhileTransient(device, call);
        if (result == 0 || errno != ENOTEMPTY || pause > 1280 || !IsNetworkFileSystem(device))
            return result;
        const int error = errno;
        PauseMilliseconds(pause);
        errno = error;
    }
}

// Makes the call again while it fails with EBUSY, for about two seconds: an SMB server refuses
// to remove or rename a file for a moment while another client has it open (a workstation
// reading it). Each try is repeated while the file system fails it for a moment.
template <typename Call> int RepeatWhileBusy(dev_t device, Call call)
{
    for (unsigned long pause = 5;; pause *= 2) {
        const int result = RepeatWhileTransient(device, call);
        if (result == 0 || errno != EBUSY || pause > 1000)
            return result;
        const int error = errno;
        PauseMilliseconds(pause);
        errno = error;
    }
}
