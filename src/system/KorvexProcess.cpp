#include "system/KorvexProcess.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isDecimal(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (!c.isDigit())
            return false;
    return true;
}

// The process name as the kernel keeps it (at most 15 bytes, then a line feed).
QByteArray commandOf(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/") + pid + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return comm.readAll().trimmed();
}

} // namespace

bool IsKorvexRunning()
{
    // Only this account's: on a shared workstation the CAD application of another user
    // neither holds this user's files nor runs this user's server.
    const uid_t self = ::geteuid();
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (!isDecimal(entry))
            continue;
        // Processes come and go while the folder is read: a vanished one reads as "".
        struct stat st;
        if (::stat(QFile::encodeName(QStringLiteral("/proc/") + entry).constData(), &st) == 0 &&
            st.st_uid == self && commandOf(entry) == "korvex")
            return true;
    }
    return false;
}
