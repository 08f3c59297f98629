#include "search/ErrorLog.h"

#include "platform/DirectoryListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ErrorLog::ErrorLog() : path(DefaultPath()) {}

ErrorLog::ErrorLog(QString logPath) : path(std::move(logPath)) {}

QString ErrorLog::DefaultPath()
{
    // A relative XDG_STATE_HOME is to be ignored, as the base directory rules say.
    QString stateHome = DecodeFileName(qgetenv("XDG_STATE_HOME"));
    if (stateHome.isEmpty() || !QDir::isAbsolutePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/korvex-brevant/Error.log");
}

bool ErrorLog::Append(const QString &fullName)
{
    const QByteArray line = QByteArrayLiteral("File has created Error: ") +
                            EncodeFileName(fullName) + QByteArrayLiteral("\r\n");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                         file.write(line) == line.size() && file.flush();
    if (written)
        ++linesWritten;
    else
        ++writeFailures;
    return written;
}
