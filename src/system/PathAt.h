#pragma once

#include <QByteArray>
#include <fcntl.h>
#include <sys/stat.h>

// A path for the *at(2) system calls. A path that one call cannot take (PATH_MAX bytes or
// more, as in a tree nested deeper than that) is reached step by step: its folder is opened
// in parts of a fitting length and the call is made relative to it, so depth alone never
// stops the programs. A shorter path is used as it is (AT_FDCWD), at no cost.
class PathAt
{
public:
    explicit PathAt(const QByteArray &path);
    ~PathAt();
    PathAt(const PathAt &) = delete;
    PathAt &operator=(const PathAt &) = delete;

    // The folder to call relative to, or -1 (errno in Error()) when it could not be opened.
    int Folder() const { return folder; }
    int Error() const { return error; }
    // The name relative to Folder(): the whole path when it was short enough.
    const char *Name() const { return name.constData(); }

private:
    int folder = AT_FDCWD;
    int error = 0;
    QByteArray name;
};

// The system calls on paths that the programs make where a path may be that long, each
// through PathAt; results and errno as the calls give them.
int OpenPath(const QByteArray &path, int flags, mode_t mode = 0);
// With follow false, a link itself (lstat).
int StatPath(const QByteArray &path, struct stat &st, bool follow = true);
int MakeFolder(const QByteArray &path, mode_t mode);
int RemoveFolder(const QByteArray &path);
int RemovePath(const QByteArray &path);
int LinkPath(const QByteArray &from, const QByteArray &to);
// With replace false, nothing at to is replaced where the file system can refuse it
// (RENAME_NOREPLACE: local disks); elsewhere an empty folder or a file at to is replaced.
// device, where given, is the file system of both: one that cannot refuse is asked plainly
// from then on (on a network share, each refused asking costs a round trip).
int RenamePath(const QByteArray &from, const QByteArray &to, bool replace = true, dev_t device = 0);
int ChangeModePath(const QByteArray &path, mode_t mode);
