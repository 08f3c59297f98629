#include "Hostile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

SmallDisk::SmallDisk()
{
    isMounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                        "size=512k,nr_inodes=4096") == 0;
}

SmallDisk::~SmallDisk()
{
    if (isMounted)
        ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
}

void SmallDisk::Fill() const
{
    const int fd = ::open(QFile::encodeName(path(QStringLiteral(".filler"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const QByteArray block(4096, 'f');
    for (const qsizetype size : {block.size(), qsizetype(1)}) // then the last bytes that fit
        while (::write(fd, block.constData(), size_t(size)) > 0) {
        }
    ::close(fd);
}

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
    ToolResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ToolResult RunScrivo(const QStringList &arguments, int timeoutMs,
                     const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(ScrivoToolPath(), arguments);
    return FinishTool(process, timeoutMs);
}

QProcessEnvironment PausedBefore(const QString &path, const QString &folder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(BREVANT_PAUSE_PRELOAD));
    environment.insert(QStringLiteral("BREVANT_PAUSE_PATH"), path);
    environment.insert(QStringLiteral("BREVANT_PAUSE_FOLDER"), folder);
    // A sanitized build would refuse a library loaded before its runtime.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    return environment;
}

bool WaitUntilPaused(const QString &folder)
{
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(folder + QStringLiteral("/paused")) && waited.elapsed() < 20000)
        QThread::msleep(10);
    return QFile::exists(folder + QStringLiteral("/paused"));
}

void LetGo(const QString &folder)
{
    QFile(folder + QStringLiteral("/go")).open(QIODevice::WriteOnly);
}

void MakeNode(const QString &kind, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    bool made = false;
    if (kind == u"fifo") {
        made = ::mkfifo(native.constData(), 0644) == 0;
    } else if (kind == u"device") {
        made = ::mknod(native.constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
    } else if (kind == u"folder") {
        made = ::mkdir(native.constData(), 0755) == 0;
    } else if (kind == u"socket") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
        made = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
    } else {
        made = ::symlink(kind == u"link loop" ? native.constData() : "nowhere",
                         native.constData()) == 0;
    }
    QVERIFY2(made, qPrintable(kind + u' ' + path));
}
