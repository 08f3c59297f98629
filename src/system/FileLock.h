#pragma once

#include <QByteArray>
#include <QString>

// An exclusive lock between the processes of one host, held for as long as the object
// lives: an empty lock file at path, locked with flock(2) and removed again on release.
// Waits up to timeoutMs for another holder; throws FileError when the lock cannot be had
// (with the system's reason, or "it is locked by another process").
class FileLock
{
public:
    FileLock(const QString &path, int timeoutMs);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

private:
    QByteArray path;
    int fd = -1;
};
