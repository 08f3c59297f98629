#include "system/ProcessIdentity.h"

#include <QFile>
#include <cerrno>
#include <climits>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

QString HostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QStringLiteral("localhost");
    return QString::fromLocal8Bit(name);
}

QByteArray FileText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096).trimmed();
}

// The boot this system is in and the process's start time in clock ticks since that boot
// ("" when the process does not exist).
QString StartOf(qint64 process)
{
    const QByteArray stat = FileText(QStringLiteral("/proc/%1/stat").arg(process));
    // The command name (field 2) may hold blanks and parentheses: fields are counted after
    // its last ")". The start time is field 22.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    constexpr int StartTimeField = 22 - 3;
    if (fields.size() <= StartTimeField)
        return {};
    const QByteArray boot = FileText(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return QString::fromLatin1(boot + '/' + fields.at(StartTimeField));
}

} // namespace

ProcessIdentity ThisProcess()
{
    // Not kept between calls: a forked child is a process of its own.
    return {HostName(), ::getpid(), StartOf(::getpid())};
}

bool ProcessIsGone(const ProcessIdentity &process)
{
    if (process.Host != ThisProcess().Host || process.Process <= 0)
        return false;
    // Asked of the kernel itself: /proc may hide the processes of other accounts
    // (hidepid), which must not make them count as gone.
    if (::kill(pid_t(process.Process), 0) != 0 && errno == ESRCH)
        return true;
    // The number is taken: by the process itself, unless it started at another time. A
    // process whose start cannot be read is taken to be the one recorded.
    const QString started = StartOf(process.Process);
    return !started.isEmpty() && started != process.Started;
}

QString AccountName()
{
    if (const passwd *entry = ::getpwuid(::geteuid()); entry && entry->pw_name && *entry->pw_name)
        return QFile::decodeName(entry->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QString::number(::geteuid()) : fromEnvironment;
}
