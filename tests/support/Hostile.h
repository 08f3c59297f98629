#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <functional>

// Hostile environments: a process killed in the middle of its work,
// the scrivo tool as another user's program, and a process paused between two steps.

// A file system object that is no regular file at path: "fifo", "socket", "device", "folder",
// "dangling link" or "link loop"; fails the test when it cannot be made.
void MakeNode(const QString &kind, const QString &path);

// Runs body in a forked child and waits for it: the child ends with status 0 after the body,
// or is killed with SIGKILL when killAfter is set. The wait status.
int RunInChildProcess(const std::function<void()> &body, bool killAfter = false);

struct ToolResult
{
    int exitCode = -1; // -1: crashed, or killed after the time limit
    QString out, err;
};

// Waits for the started process to end (if it has not yet), killing it after timeoutMs, and
// collects its exit code and output.
ToolResult FinishTool(QProcess &process, int timeoutMs);

QString ScrivoToolPath();
// The scrivo tool of the build, run to its end in the test's environment or the given one.
ToolResult
RunScrivo(const QStringList &arguments, int timeoutMs = 120000,
          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());

// The environment base with the tests' preload (PausePreload.cpp) and the variables that tell
// it what to do.
QProcessEnvironment WithPreload(QProcessEnvironment base,
                                const QList<std::pair<QString, QString>> &variables);
// An environment in which a program stops before it renames, links or removes a file whose
// path matches pattern until LetGo: it then creates "<folder>/paused" (the folder is made).
QProcessEnvironment
PausedBefore(const QString &pattern, const QString &folder,
             const QProcessEnvironment &base = QProcessEnvironment::systemEnvironment());
// Waits until program paused there; else false, with why not (it ended first, or the bound
// passed) printed.
bool WaitUntilPaused(const QString &folder, QProcess &program);
void LetGo(const QString &folder);
