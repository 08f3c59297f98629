// The INI writer on any file content: writing one key changes only lines of that key (one
// replaced or one added, plus a section header and a blank line when the section is new);
// every other line survives byte for byte, the key reads back as written, and a refused
// write leaves the file as it was.

#include "FuzzSupport.h"
#include "projects/IniFile.h"
#include "system/FileError.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

// Lines with their line ends ("\n" or "\r\n"; the last may have none).
QList<QByteArray> LinesOf(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', pos);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        lines.append(bytes.mid(pos, end - pos));
        pos = end;
    }
    return lines;
}

QByteArray WithoutEnd(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// A line that the reader takes as a key of this name (in whatever section).
bool IsLineOfKey(const QByteArray &line, const QString &key)
{
    const auto entries =
        IniDocument::FromBytes("[s]\n" + WithoutEnd(line)).EntriesOf(QStringLiteral("s"));
    return entries.size() == 1 &&
           QString::compare(entries.first().first, key, Qt::CaseInsensitive) == 0;
}

// The original line survives in the written line: the same bytes, or for a last line
// without a line end the same bytes with one added.
bool Survives(const QByteArray &original, const QByteArray &written, bool lastWithoutEnd)
{
    return written == original ||
           (lastWithoutEnd && (written == original + '\n' || written == original + "\r\n"));
}

void CheckOnlyTheKeyChanged(const QByteArray &before, const QByteArray &after,
                            const QString &section, const QString &key)
{
    Check(before.startsWith(Bom) == after.startsWith(Bom), "the byte-order mark changed");
    const qsizetype skip = before.startsWith(Bom) ? Bom.size() : 0;
    const QList<QByteArray> old = LinesOf(before.mid(skip));
    const QList<QByteArray> now = LinesOf(after.mid(skip));
    const bool lastWithoutEnd = !old.isEmpty() && !old.last().endsWith('\n');

    // Lines of other names: the old ones in order, plus at most a blank line and the new
    // section's header.
    qsizetype j = 0;
    int added = 0;
    int oldKeyLines = 0;
    for (qsizetype i = 0; i < old.size(); ++i) {
        if (IsLineOfKey(old[i], key)) {
            ++oldKeyLines;
            continue;
        }
        const bool last = i == old.size() - 1 && lastWithoutEnd;
        while (j < now.size() && (IsLineOfKey(now[j], key) || !Survives(old[i], now[j], last))) {
            if (!IsLineOfKey(now[j], key)) {
                const QByteArray text = WithoutEnd(now[j]).trimmed();
                Check(text.isEmpty() || text == '[' + section.toUtf8() + ']',
                      "a line was added that is neither blank nor the section header");
                ++added;
            }
            ++j;
        }
        Check(j < now.size(), "a line of the file did not survive the write");
        ++j;
    }
    int newKeyLines = 0;
    for (const QByteArray &line : now)
        newKeyLines += IsLineOfKey(line, key) ? 1 : 0;
    for (; j < now.size(); ++j)
        if (!IsLineOfKey(now[j], key))
            ++added;
    Check(added <= 2, "more lines were added than a new section needs");
    Check(newKeyLines == oldKeyLines || newKeyLines == oldKeyLines + 1,
          "lines of the key were lost or added more than once");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString file = ScratchFolder() + QStringLiteral("/project.kpj");
    FuzzedDataProvider input(data, size);
    const QString section = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString key = QString::fromStdString(input.ConsumeRandomLengthString(64));
    const QString value = QString::fromStdString(input.ConsumeRandomLengthString(128));
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray before(rest.data(), qsizetype(rest.size()));
    WriteScratchFile(file, before);

    QString error;
    bool written = true;
    try {
        WriteINI(section, key, value, file);
    } catch (const FileError &failure) {
        written = false;
        error = failure.Reason;
    }
    const QByteArray after = ReadScratchFile(file);
    if (!written) {
        Check(!error.isEmpty(), "a refused write gave no reason");
        Check(after == before, "a refused write changed the file");
        return 0;
    }
    Check(IniDocument::FromBytes(after).ValueOf(section, key) == value,
          "the key does not read back as written");
    CheckOnlyTheKeyChanged(before, after, section.trimmed(), key.trimmed());

    // Writing the same value again changes nothing.
    WriteINI(section, key, value, file);
    Check(ReadScratchFile(file) == after, "a repeated write changed the file");
    return 0;
}
