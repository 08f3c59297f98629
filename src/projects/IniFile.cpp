#include "projects/IniFile.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileRead.h"
#include "system/FileWrite.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstring>

// The file is handled as bytes, line by line: only the lines a write changes are rebuilt,
// so comments, unknown sections, line ends and bytes that are not valid UTF-8 survive.

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

struct Line
{
    enum class Kind { Other, Section, Key };

    QByteArray text; // without its line end
    QByteArray end;  // "\n", "\r\n", or "" for a last line without one
    Kind kind = Kind::Other;
    QString name; // section or key name, blanks dropped
};

struct Text
{
    QByteArray bom;
    QList<Line> lines;
};

QByteArray Unquoted(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// A name or value as text. QString::fromUtf8 would drop a U+FEFF at its start as if it were
// a byte-order mark; only the file's first bytes can be one. Stateless, so that a sequence
// cut off at the end gives a replacement character instead of being held back.
QString TextOf(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The part [begin, end) of bytes without blanks at either end, as QByteArray::trimmed cuts.
void Trim(const char *bytes, qsizetype &begin, qsizetype &end)
{
    while (begin < end && IsAsciiSpace(bytes[begin]))
        ++begin;
    while (end > begin && IsAsciiSpace(bytes[end - 1]))
        --end;
}

// A section header "[name]" from begin to end (trimmed); false when it has no "]".
bool SectionLine(const char *data, qsizetype begin, qsizetype end, IniLine &line)
{
    const char *close = static_cast<const char *>(std::memchr(data + begin, ']', end - begin));
    if (!close)
        return false;
    qsizetype nameBegin = begin + 1;
    qsizetype nameEnd = close - data;
    Trim(data, nameBegin, nameEnd);
    line.IsSection = true;
    line.Name = QByteArrayView(data + nameBegin, nameEnd - nameBegin);
    return true;
}

// A key line "name = value" from begin (trimmed) to lineEnd; false when it has no "=" or no
// name.
bool KeyLine(const char *data, qsizetype begin, qsizetype lineEnd, IniLine &line)
{
    const char *equals = static_cast<const char *>(std::memchr(data + begin, '=', lineEnd - begin));
    if (!equals)
        return false;
    qsizetype keyBegin = begin;
    qsizetype keyEnd = equals - data;
    Trim(data, keyBegin, keyEnd);
    if (keyBegin == keyEnd)
        return false;
    qsizetype valueBegin = equals - data + 1;
    qsizetype valueEnd = lineEnd;
    Trim(data, valueBegin, valueEnd);
    // Matching quotes around the value are dropped, as Unquoted does.
    if (valueEnd - valueBegin >= 2 && (data[valueBegin] == '"' || data[valueBegin] == '\'') &&
        data[valueEnd - 1] == data[valueBegin]) {
        ++valueBegin;
        --valueEnd;
    }
    line.Name = QByteArrayView(data + keyBegin, keyEnd - keyBegin);
    line.Value = QByteArrayView(data + valueBegin, valueEnd - valueBegin);
    return true;
}

// A section header or key line from begin to lineEnd (the line without its line end);
// false for a blank line, a comment or any other line.
bool ParseLine(const char *data, qsizetype begin, qsizetype lineEnd, IniLine &line)
{
    qsizetype end = lineEnd;
    Trim(data, begin, end);
    if (begin == end || data[begin] == ';')
        return false;
    return data[begin] == '[' ? SectionLine(data, begin, end, line)
                              : KeyLine(data, begin, lineEnd, line);
}

void Classify(Line &line)
{
    IniLine parsed;
    if (!ParseLine(line.text.constData(), 0, line.text.size(), parsed))
        return;
    line.kind = parsed.IsSection ? Line::Kind::Section : Line::Kind::Key;
    line.name = IniText(parsed.Name);
}

Text Parse(const QByteArray &bytes)
{
    Text text;
    qsizetype pos = 0;
    if (bytes.startsWith(Utf8Bom)) {
        text.bom = Utf8Bom;
        pos = Utf8Bom.size();
    }
    while (pos < bytes.size()) {
        Line line;
        const qsizetype newline = bytes.indexOf('\n', pos);
        if (newline < 0) {
            line.text = bytes.mid(pos);
            pos = bytes.size();
        } else {
            const bool crlf = newline > pos && bytes.at(newline - 1) == '\r';
            const qsizetype textEnd = crlf ? newline - 1 : newline;
            line.text = bytes.mid(pos, textEnd - pos);
            line.end = crlf ? QByteArray("\r\n") : QByteArray("\n");
            pos = newline + 1;
        }
        Classify(line);
        text.lines.append(std::move(line));
    }
    return text;
}

QByteArray Serialized(const Text &text)
{
    QByteArray bytes = text.bom;
    for (const Line &line : text.lines) {
        bytes.append(line.text);
        bytes.append(line.end);
    }
    return bytes;
}

bool SameName(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// The line end new lines get: the file's own style, LF for a file without line ends.
QByteArray LineEndOf(const Text &text)
{
    for (const Line &line : text.lines)
        if (!line.end.isEmpty())
            return line.end;
    return QByteArray("\n");
}

qsizetype FindSection(const Text &text, const QString &name, qsizetype from = 0)
{
    for (qsizetype i = from; i < text.lines.size(); ++i)
        if (text.lines[i].kind == Line::Kind::Section && SameName(text.lines[i].name, name))
            return i;
    return -1;
}

// Index of the next section header after the header at index, or the line count.
qsizetype SectionEnd(const Text &text, qsizetype header)
{
    for (qsizetype i = header + 1; i < text.lines.size(); ++i)
        if (text.lines[i].kind == Line::Kind::Section)
            return i;
    return text.lines.size();
}

// A value with blanks at either end, or in matching quotes, is written in quotes, so that
// reading it back gives the same value.
QByteArray EncodedValue(const QString &value)
{
    const QByteArray bytes = value.toUtf8();
    if (bytes.isEmpty())
        return bytes;
    const bool blankAtEnds =
        QChar::isSpace(uchar(bytes.front())) || QChar::isSpace(uchar(bytes.back()));
    if (blankAtEnds || Unquoted(bytes).size() != bytes.size())
        return '"' + bytes + '"';
    return bytes;
}

Line MakeLine(const QByteArray &text, const QByteArray &end)
{
    Line line;
    line.text = text;
    line.end = end;
    Classify(line);
    return line;
}

// Inserts a line after the line at index (or at the start for -1); the line before gets a
// line end when it had none.
void InsertAfter(Text &text, qsizetype index, const QByteArray &lineText)
{
    const QByteArray end = LineEndOf(text);
    if (index >= 0 && text.lines[index].end.isEmpty())
        text.lines[index].end = end;
    text.lines.insert(index + 1, MakeLine(lineText, end));
}

void SetValue(Text &text, const QString &section, const QString &key, const QString &value)
{
    const QByteArray encoded = EncodedValue(value);
    const qsizetype header = FindSection(text, section);
    if (header < 0) {
        qsizetype last = text.lines.size() - 1;
        if (last >= 0 && !text.lines[last].text.trimmed().isEmpty()) {
            InsertAfter(text, last, QByteArray());
            ++last;
        }
        InsertAfter(text, last, '[' + section.toUtf8() + ']');
        InsertAfter(text, last + 1, key.toUtf8() + '=' + encoded);
        return;
    }
    const qsizetype end = SectionEnd(text, header);
    qsizetype lastKey = header;
    for (qsizetype i = header + 1; i < end; ++i) {
        Line &line = text.lines[i];
        if (line.kind != Line::Kind::Key)
            continue;
        if (SameName(line.name, key)) {
            // Keep the key as written and the blanks after "=": only the value changes.
            qsizetype valueStart = line.text.indexOf('=') + 1;
            while (valueStart < line.text.size() &&
                   (line.text.at(valueStart) == ' ' || line.text.at(valueStart) == '\t'))
                ++valueStart;
            line = MakeLine(line.text.left(valueStart) + encoded, line.end);
            return;
        }
        lastKey = i;
    }
    InsertAfter(text, lastKey, key.toUtf8() + '=' + encoded);
}

// Removes every section of the name, header and lines, so that none is left to be read.
void RemoveSection(Text &text, const QString &section)
{
    for (qsizetype header = FindSection(text, section); header >= 0;
         header = FindSection(text, section, header)) {
        const qsizetype end = SectionEnd(text, header);
        text.lines.remove(header, end - header);
    }
}

// Removes every line of the key in every section of the name.
void RemoveKey(Text &text, const QString &section, const QString &key)
{
    for (qsizetype header = FindSection(text, section); header >= 0;
         header = FindSection(text, section, header + 1)) {
        for (qsizetype i = SectionEnd(text, header) - 1; i > header; --i)
            if (text.lines[i].kind == Line::Kind::Key && SameName(text.lines[i].name, key))
                text.lines.remove(i);
    }
}

bool HasLineBreakOrNul(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(u'\0'));
}

QString InvalidChange(const IniChange &change)
{
    const QString section = change.section.trimmed();
    if (section.isEmpty())
        return Brevant::tr("the section name is empty");
    if (HasLineBreakOrNul(section) || section.contains(u']'))
        return Brevant::tr("the section name \"%1\" cannot be stored").arg(section);
    if (change.key.isNull())
        return QString();
    const QString key = change.key.trimmed();
    if (key.isEmpty())
        return Brevant::tr("the key name is empty");
    if (HasLineBreakOrNul(key) || key.contains(u'=') || key.startsWith(u';') ||
        key.startsWith(u'['))
        return Brevant::tr("the key name \"%1\" cannot be stored").arg(key);
    if (HasLineBreakOrNul(change.value))
        return Brevant::tr("the value of \"%1\" holds a line break").arg(key);
    return QString();
}

} // namespace

QString IniText(QByteArrayView bytes)
{
    // Without a copy where no byte-order mark starts the part.
    if (bytes.startsWith(Utf8Bom))
        return TextOf(bytes.toByteArray());
    return QString::fromUtf8(bytes);
}

bool IniNameIs(QByteArrayView name, const QString &wanted)
{
    // Plain ASCII names compare byte by byte (only letters differ by case there); anything
    // else as text, without regard to case.
    if (name.size() == wanted.size()) {
        const QChar *expected = wanted.constData();
        qsizetype i = 0;
        for (; i < name.size(); ++i) {
            const uchar c = uchar(name[i]);
            const char16_t w = expected[i].unicode();
            if (c >= 0x80 || w >= 0x80)
                break;
            if ((c | 0x20) != (w | 0x20) || !(((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == w))
                return false;
        }
        if (i == name.size())
            return true;
    } else if (std::all_of(name.begin(), name.end(), [](char c) { return uchar(c) < 0x80; }) &&
               std::all_of(wanted.begin(), wanted.end(),
                           [](QChar c) { return c.unicode() < 0x80; })) {
        return false; // ASCII names of other lengths
    }
    return SameName(IniText(name), wanted);
}

void ScanIni(const QByteArray &bytes, const std::function<bool(const IniLine &)> &visit)
{
    // The lines as Classify sees them, read in place: this runs for every document a search
    // reads, so no line is copied and nothing is decoded that the caller does not ask for.
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    while (pos < size) {
        const char *newline = static_cast<const char *>(std::memchr(data + pos, '\n', size - pos));
        const qsizetype lineEnd = newline ? newline - data : size;
        IniLine line;
        const bool parsed = ParseLine(data, pos, lineEnd, line);
        pos = lineEnd + 1;
        if (parsed && !visit(line))
            return;
    }
}

IniDocument IniDocument::FromBytes(const QByteArray &bytes)
{
    IniDocument document;
    ScanIni(bytes, [&document](const IniLine &line) {
        if (line.IsSection)
            document.sections.append(Section{IniText(line.Name), {}});
        else if (!document.sections.isEmpty())
            document.sections.last().entries.append({IniText(line.Name), IniText(line.Value)});
        return true;
    });
    return document;
}

IniDocument IniDocument::FromFile(const QString &file)
{
    const std::optional<QByteArray> bytes = ReadRegularFile(file, IniFileSizeLimit);
    return bytes ? FromBytes(*bytes) : IniDocument();
}

const IniDocument::Section *IniDocument::SectionNamed(const QString &section) const
{
    const QString name = section.trimmed();
    for (const Section &candidate : sections)
        if (SameName(candidate.name, name))
            return &candidate;
    return nullptr;
}

QString IniDocument::ValueOf(const QString &section, const QString &key) const
{
    const Section *found = SectionNamed(section);
    if (!found)
        return QString();
    const QString name = key.trimmed();
    for (const auto &entry : found->entries)
        if (SameName(entry.first, name))
            return entry.second;
    return QString();
}

QList<QPair<QString, QString>> IniDocument::EntriesOf(const QString &section) const
{
    const Section *found = SectionNamed(section);
    return found ? found->entries : QList<QPair<QString, QString>>();
}

QString ReadINI(const QString &section, const QString &key, const QString &file)
{
    return IniDocument::FromFile(file).ValueOf(section, key);
}

QByteArray IniWithChanges(const QByteArray &original, const QList<IniChange> &changes,
                          const QString &file)
{
    for (const IniChange &change : changes)
        if (const QString invalid = InvalidChange(change); !invalid.isEmpty())
            throw FileError(file, invalid);
    Text text = Parse(original);
    for (const IniChange &change : changes) {
        if (change.key.isNull())
            RemoveSection(text, change.section.trimmed());
        else if (change.removeKey)
            RemoveKey(text, change.section.trimmed(), change.key.trimmed());
        else
            SetValue(text, change.section.trimmed(), change.key.trimmed(), change.value);
    }
    return Serialized(text);
}

void WriteINIChanges(const QList<IniChange> &changes, const QString &file)
{
    const std::optional<QByteArray> original = ReadRegularFile(file, IniFileSizeLimit);
    const QByteArray updated = IniWithChanges(original.value_or(QByteArray()), changes, file);
    // A write that changes nothing leaves the file alone.
    if (original ? updated == *original : updated.isEmpty())
        return;
    ReplaceFile(file, updated);
}

void WriteINI(const QString &section, const QString &key, const QString &value, const QString &file)
{
    WriteINIChanges({IniChange{section, key, value}}, file);
}
