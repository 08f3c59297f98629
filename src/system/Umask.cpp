#include "system/Umask.h"

#include <QFile>
#include <sys/stat.h>

namespace {

mode_t ReadUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        while (!status.atEnd()) {
            const QByteArray line = status.readLine();
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask);
            }
        }
    }
    // Without /proc: set and put back, once, while the program starts.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

mode_t ProcessUmask()
{
    static const mode_t mask = ReadUmask();
    return mask;
}
