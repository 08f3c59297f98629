#include "Hostile.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

int RunInChildProcess(const std::function<void()> &body, bool killAfter)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        if (killAfter)
            ::raise(SIGKILL);
        ::_exit(0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

QString ScrivoToolPath()
{
    return qEnvironmentVariable("BREVANT_BIN_DIR") + QStringLiteral("/scrivo");
}

ToolResult FinishTool(QProcess &process, int timeoutMs)
{
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

ToolResult RunScrivo(const QStringList &arguments, int timeoutMs,
                     const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(ScrivoToolPath(), arguments);
    return FinishTool(process, timeoutMs);
}

QProcessEnvironment WithPreload(QProcessEnvironment base,
                                const QList<std::pair<QString, QString>> &variables)
{
    base.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(BREVANT_PAUSE_PRELOAD));
    // A sanitized build would refuse a library loaded before its runtime.
    base.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    for (const auto &[name, value] : variables)
        base.insert(name, value);
    return base;
}

QProcessEnvironment PausedBefore(const QString &pattern, const QString &folder,
                                 const QProcessEnvironment &base)
{
    QDir().mkpath(folder);
    return WithPreload(base, {{QStringLiteral("BREVANT_PAUSE_PATH"), pattern},
                              {QStringLiteral("BREVANT_PAUSE_FOLDER"), folder}});
}

bool WaitUntilPaused(const QString &folder, QProcess &program)
{
    // Bounded only so that a hung run ends: a busy machine may take long to get there.
    const bool paused = QTest::qWaitFor(
        [&] {
            return QDir(folder).exists(QStringLiteral("paused")) ||
                   program.state() == QProcess::NotRunning;
        },
        120000);
    if (program.state() != QProcess::NotRunning) {
        if (!paused)
            qWarning("the program did not pause within 120 s");
        return paused;
    }
    qWarning("the program ended before it paused (%s): %s",
             qPrintable(program.error() == QProcess::FailedToStart
                            ? program.errorString()
                            : QStringLiteral("exit code %1").arg(program.exitCode())),
             program.readAllStandardError().constData());
    return false;
}

void LetGo(const QString &folder)
{
    QFile(folder + QStringLiteral("/go")).open(QIODevice::WriteOnly);
}

void MakeNode(const QString &kind, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    int rc = -1;
    if (kind == u"fifo") {
        rc = ::mkfifo(native.constData(), 0644);
    } else if (kind == u"device") {
        rc = ::mknod(native.constData(), S_IFCHR | 0644, makedev(1, 3));
    } else if (kind == u"folder") {
        rc = ::mkdir(native.constData(), 0755);
    } else if (kind == u"socket") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{AF_UNIX, {}};
        std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
        rc = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::close(fd);
    } else {
        rc = ::symlink(kind == u"link loop" ? native.constData() : "nowhere", native.constData());
    }
    QVERIFY2(rc == 0, qPrintable(kind + u' ' + path));
}
