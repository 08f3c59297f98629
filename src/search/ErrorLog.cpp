#include "search/ErrorLog.h"

#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"

#include <QDir>
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

void ErrorLog::Append(const QString &fullName)
{
    pending += QByteArrayLiteral("File has created Error: ") + EncodeFileName(fullName) +
               QByteArrayLiteral("\r\n");
}

void ErrorLog::Flush()
{
    if (pending.isEmpty())
        return;
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        AppendToFile(path, pending);
    } catch (const FileError &error) {
        writeError = error.File + QStringLiteral(": ") + error.Reason;
    }
    pending.clear();
}

QString ErrorLog::FailuresText(int failed) const
{
    if (writeError.isEmpty())
        return QStringLiteral("%1 document(s) could not be read, see %2").arg(failed).arg(path);
    // The log does not hold what it would point to.
    return QStringLiteral("%1 document(s) could not be read; the error log could not be "
                          "written: %2")
        .arg(failed)
        .arg(writeError);
}
