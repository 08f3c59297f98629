#include "search/ErrorLog.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"
#include "system/UserFolders.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <sys/stat.h>

ErrorLog::ErrorLog(QString logPath) : path(std::move(logPath)) {}

QString ErrorLog::DefaultPath()
{
    return StateFolder() + QStringLiteral("/Error.log");
}

namespace {

// A log of this size is moved to "Error.log.1" (replacing the one there) before the next lines
// are written, so the log never grows without bound.
constexpr qint64 LogSizeLimit = 1024 * 1024;

// The name's bytes with every control character written escaped, as scrivo list writes its
// fields ("\t", "\n", "\r", "\\", else "\xHH"): a name with a line break cannot end an entry
// early or forge the next one.
QByteArray EscapedName(const QByteArray &name)
{
    QByteArray escaped;
    escaped.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\t')
            escaped += "\\t";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (byte < 0x20 || byte == 0x7F)
            escaped += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

void ErrorLog::Append(const QString &fullName)
{
    pending += QByteArrayLiteral("File has created Error: ") +
               EscapedName(EncodeFileName(fullName)) + QByteArrayLiteral("\r\n");
}

void ErrorLog::Flush()
{
    if (pending.isEmpty())
        return;
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QByteArray native = EncodeFileName(path);
        struct stat st;
        if (::stat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_size + pending.size() > LogSizeLimit)
            ::rename(native.constData(), QByteArray(native + ".1").constData());
        AppendToFile(path, pending);
    } catch (const FileError &error) {
        writeError = error.File + QStringLiteral(": ") + error.Reason;
    }
    pending.clear();
}

QString ErrorLog::FailuresText(int failedDocuments, int failedFolders) const
{
    const QString failed =
        failedFolders > 0
            ? Brevant::tr("%1 document(s) could not be read and %2 folder(s) could not be listed")
                  .arg(failedDocuments)
                  .arg(failedFolders)
            : Brevant::tr("%1 document(s) could not be read").arg(failedDocuments);
    if (writeError.isEmpty())
        return Brevant::tr("%1, see %2").arg(failed, path);
    // The log does not hold what it would point to.
    return Brevant::tr("%1; the error log could not be written: %2").arg(failed, writeError);
}
