#include "system/KorvexProcess.h"

#include <QDir>
#include <QFile>

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
    try {
        const QStringList entries =
            QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            // Processes come and go while the folder is read: a vanished one reads as "".
            if (isDecimal(entry) && commandOf(entry) == "korvex")
                return true;
        }
    } catch (...) {
    }
    return false;
}
