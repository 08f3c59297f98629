#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// An exclusive lock between the processes of one host, held for as long as the object
// lives: an empty lock file at path, readable by everyone, locked with flock(2) through a
// read-only descriptor (so every user who shares the folder can take it) and removed again on
// release.
class FileLock
{
public:
    // Waits up to timeoutMs for another holder; throws FileError naming the lock file when the
    // lock cannot be had (with the system's reason, or "it is locked by another process").
    FileLock(const QString &path, int timeoutMs);
    // Waits for another holder as long as waitOn() says so, asking it every 50 ms; Held() is
    // false when it said no. Throws FileError when the lock file cannot be used at all.
    FileLock(const QString &path, const std::function<bool()> &waitOn);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool Held() const { return fd >= 0; }

private:
    QByteArray path;
    int fd = -1;

    // One try; false while another process holds the lock.
    bool TryLock(const QString &lockPath);
};
