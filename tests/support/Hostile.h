#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// Hostile environments for tests: a small disk that fills up, another process, the scrivo
// tool as another user's program would run it, and a process paused between two steps.

// A tmpfs of a few hundred KiB mounted by the test itself (tests run as root) and unmounted
// when the object goes. Fill() writes a filler file until the disk is full.
class SmallDisk
{
public:
    explicit SmallDisk(int kibibytes = 512);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return isMounted; }
    QString path(const QString &relative = QString()) const;
    void Fill() const;

private:
    QTemporaryDir dir;
    bool isMounted = false;
};

// Runs body in a child process (fork) and waits for it; the child ends with status 0 after
// the body, or is killed with SIGKILL after it when killAfter is set, as a program killed
// in the middle of its work. Returns the wait status.
int RunInChildProcess(const std::function<void()> &body, bool killAfter = false);

struct ToolResult
{
    int exitCode = -1; // -1: crashed, or did not finish in time (then killed)
    QString out;
    QString err;
};

// The scrivo tool of the build, run to its end (killed after timeoutMs) in the test's own
// environment, or in the given one.
ToolResult RunScrivo(const QStringList &arguments, int timeoutMs = 30000);
ToolResult RunScrivo(const QStringList &arguments, const QProcessEnvironment &environment,
                     int timeoutMs = 30000);
QString ScrivoToolPath();

// The environment that makes a program stop before it renames, links or unlinks the file
// at path, until the test lets it go: it creates "<folder>/paused" and waits for
// "<folder>/go" (see PausePreload.cpp).
QProcessEnvironment PausedBefore(const QString &path, const QString &folder);
// Waits up to timeoutMs for the program to stop there.
bool WaitUntilPaused(const QString &folder, int timeoutMs = 20000);
void LetGo(const QString &folder);
