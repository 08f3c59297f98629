#include "system/FileNames.h"

#include <algorithm>

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at position i (overlong forms, surrogates and
// code points above U+10FFFF are not well-formed), or 0 when the byte there starts none.
int sequenceLength(const QByteArray &raw, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(raw.at(k)); };
    const unsigned char lead = at(i);
    const qsizetype left = raw.size() - i;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(at(i + 1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(at(i + 1)) || !isContinuation(at(i + 2)))
            return 0;
        if (lead == 0xE0 && at(i + 1) < 0xA0)
            return 0; // overlong
        if (lead == 0xED && at(i + 1) >= 0xA0)
            return 0; // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(at(i + 1)) || !isContinuation(at(i + 2)) ||
            !isContinuation(at(i + 3)))
            return 0;
        if (lead == 0xF0 && at(i + 1) < 0x90)
            return 0; // overlong
        if (lead == 0xF4 && at(i + 1) >= 0x90)
            return 0; // above U+10FFFF
        return 4;
    }
    return 0;
}

bool isEscape(char16_t c)
{
    return c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF;
}

// Whether every byte of raw belongs to a well-formed UTF-8 sequence.
bool isValidUtf8(const QByteArray &raw)
{
    qsizetype i = 0;
    const qsizetype size = raw.size();
    while (i < size) {
        if (static_cast<unsigned char>(raw.at(i)) < 0x80) {
            ++i;
            continue;
        }
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
