#include "platform/DirectoryListing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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

} // namespace

QString DecodeFileName(const QByteArray &raw)
{
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

namespace {

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The entry's type from the listing where the file system gives it; links and entries of
// unknown type are looked up, following the link.
bool entryIsFolder(int folderFd, const dirent *entry)
{
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info;
    if (::fstatat(folderFd, entry->d_name, &info, 0) != 0)
        return false; // a broken link, or an entry that vanished meanwhile
    return S_ISDIR(info.st_mode);
}

bool isDotOrDotDot(const char *name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

DirectoryListing DirectoryListing::Read(const QString &folder)
{
    DirectoryListing listing;
    const QByteArray path = EncodeFileName(folder);
    DIR *dir = path.isEmpty() ? nullptr : ::opendir(path.constData());
    if (!dir) {
        listing.errorText = path.isEmpty() ? QStringLiteral("No folder given") : errnoText(errno);
        return listing;
    }
    const int fd = ::dirfd(dir);
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        listing.errorText = errnoText(errno);
        ::closedir(dir);
        return listing;
    }
    listing.identity = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};

    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                listing.errorText = errnoText(errno);
                listing.entries.clear();
                ::closedir(dir);
                return listing;
            }
            break;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        listing.entries.push_back({QByteArray(entry->d_name), entryIsFolder(fd, entry)});
    }
    ::closedir(dir);

    std::sort(
        listing.entries.begin(), listing.entries.end(),
        [](const DirectoryEntry &a, const DirectoryEntry &b) { return a.RawName < b.RawName; });
    listing.open = true;
    return listing;
}
