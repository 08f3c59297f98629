#include "system/FileNames.h"

#include <algorithm>

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// Length of the well-formed UTF-8 sequence at position i (overlong forms, surrogates and
// code points above U+10FFFF are not well-formed), or 0 when the byte there starts none.
int sequenceLength(const QByteArray &raw, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(raw.at(k)); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    const int length = lead >= 0xC2 && lead <= 0xDF   ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || raw.size() - i < length)
        return 0;
    for (int k = 1; k < length; ++k)
        if ((at(i + k) & 0xC0) != 0x80) // not a continuation byte
            return 0;
    const unsigned char second = at(i + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90))
        return 0; // overlong
    if (lead == 0xED && second >= 0xA0)
        return 0; // surrogate
    if (lead == 0xF4 && second >= 0x90)
        return 0; // above U+10FFFF
    return length;
}

bool isEscape(char16_t c)
{
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// Whether every byte of raw belongs to a well-formed UTF-8 sequence.
bool isValidUtf8(const QByteArray &raw)
{
    for (qsizetype i = 0; i < raw.size();) {
        const int length = sequenceLength(raw, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

} // namespace

QString DecodeFileName(const QByteArray &raw)
{
    // Nearly every name is valid UTF-8: one check, then one conversion of the whole name.
    if (isValidUtf8(raw))
        return QString::fromUtf8(raw);
    QString text;
    text.reserve(raw.size());
    qsizetype i = 0;
    while (i < raw.size()) {
        const int length = sequenceLength(raw, i);
        if (length == 0) {
            text.append(QChar(EscapeBase + static_cast<unsigned char>(raw.at(i))));
            ++i;
        } else {
            text.append(QString::fromUtf8(raw.constData() + i, length));
            i += length;
        }
    }
    return text;
}

QByteArray EncodeFileName(const QString &name)
{
    // Nearly every name holds no escaped byte: one conversion of the whole name.
    if (std::none_of(name.cbegin(), name.cend(), [](QChar c) { return isEscape(c.unicode()); }))
        return name.toUtf8();
    QByteArray raw;
    raw.reserve(name.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        raw.append(name.mid(runStart, end - runStart).toUtf8());
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        // A low surrogate right after a high one is half of a real character.
        const bool paired = i > 0 && name.at(i - 1).isHighSurrogate();
        if (isEscape(c) && !paired) {
            flushRun(i);
            raw.append(static_cast<char>(c - EscapeBase));
            runStart = i + 1;
        }
    }
    flushRun(name.size());
    return raw;
}
