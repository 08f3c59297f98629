#include "search/MetadataCache.h"

#include "system/FileError.h"
#include "system/FileIO.h"
#include "system/FileNames.h"
#include "system/FileSystems.h"
#include "system/FileWrite.h"
#include "system/PathAt.h"
#include "system/UserFolders.h"

#include <QDateTime>
#include <QDir>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The first line of the file; another version's file is not read.
const QByteArray Header = "korvex-brevant metadata cache\t1";
// The last line names the count of entries, so a file cut at a line's end shows.
const QByteArray EndMark = "end\t";
// A file larger than this is no cache this program wrote.
constexpr qint64 FileSizeLimit = 64 * 1024 * 1024;
// Path, size, modification and change time, inode, last use, full name, display name; then
// one field for each reference.
constexpr qsizetype FixedFields = 8;

qint64 Nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Every text is kept as the bytes of its name on disk, percent-encoded, so neither a tab, a
// line break nor a byte that is no UTF-8 can break a line.
QByteArray Field(const QString &text)
{
    return EncodeFileName(text).toPercentEncoding();
}

QString Text(const QByteArray &field)
{
    return DecodeFileName(QByteArray::fromPercentEncoding(field));
}

std::optional<qint64> Number(const QByteArray &field)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

std::optional<quint64> Unsigned(const QByteArray &field)
{
    bool ok = false;
    const quint64 value = field.toULongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

// The file's bytes when it is a regular file of this user's own of a sane size; nullopt
// otherwise. Opened without following a link and without waiting on a FIFO.
std::optional<QByteArray> ReadOwnFile(const QString &path)
{
    const int fd = OpenPath(EncodeFileName(path), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    QByteArray bytes;
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                    st.st_size <= FileSizeLimit && ReadAtMost(fd, FileSizeLimit + 1, bytes) &&
                    bytes.size() <= FileSizeLimit;
    ::close(fd);
    return ok ? std::optional(bytes) : std::nullopt;
}

} // namespace

std::optional<DocumentIdentity> DocumentIdentity::Of(const QString &fullName)
{
    struct stat st;
    if (StatPath(EncodeFileName(fullName), st, false) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const bool lastingInode = !IsFuseNetworkFileSystem(st.st_dev);
    return DocumentIdentity{qint64(st.st_size), Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim),
                            lastingInode ? quint64(st.st_ino) : 0};
}

QString MetadataCache::DefaultPath()
{
    return UserFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) +
           QStringLiteral("/korvex-brevant/metadata.cache");
}

bool MetadataCache::HelpsAt(const QString &folder)
{
    struct stat st;
    return StatPath(EncodeFileName(folder), st) == 0 && IsNetworkFileSystem(st.st_dev);
}

MetadataCache::MetadataCache(QString cachePath)
    : path(std::move(cachePath)), nowSeconds(QDateTime::currentSecsSinceEpoch())
{
    Load();
}

void MetadataCache::Load()
{
    const std::optional<QByteArray> bytes = ReadOwnFile(path);
    if (!bytes || !bytes->endsWith('\n'))
        return;
    const QList<QByteArray> lines = bytes->chopped(1).split('\n');
    if (lines.size() < 2 || lines.first() != Header ||
        lines.last() != EndMark + QByteArray::number(lines.size() - 2))
        return;
    QHash<QString, Entry> read;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        if (fields.size() < FixedFields)
            return;
        const auto size = Number(fields[1]), modified = Number(fields[2]),
                   statusChanged = Number(fields[3]), used = Number(fields[5]);
        const auto inode = Unsigned(fields[4]);
        if (!size || !modified || !statusChanged || !inode || !used)
            return;
        Entry entry{{*size, *modified, *statusChanged, *inode},
                    {Text(fields[6]), Text(fields[7]), {}},
                    *used};
        for (qsizetype f = FixedFields; f < fields.size(); ++f)
            entry.Document.References.append(Text(fields[f]));
        read.insert(Text(fields[0]), std::move(entry));
    }
    entries = std::move(read);
}

std::optional<CachedDocument> MetadataCache::Find(const QString &fullName,
                                                  const DocumentIdentity &identity)
{
    const QMutexLocker locked(&lock);
    const auto found = entries.find(fullName);
    if (found == entries.end() || !(found->Identity == identity))
        return std::nullopt;
    if (found->UsedSeconds != nowSeconds) {
        found->UsedSeconds = nowSeconds;
        changed = true;
    }
    return found->Document;
}

void MetadataCache::Store(const QString &fullName, const DocumentIdentity &identity,
                          const CachedDocument &document)
{
    const qint64 settled = QDateTime::currentSecsSinceEpoch() - SettleSeconds;
    const QMutexLocker locked(&lock);
    if (identity.ModifiedNs / 1000000000 >= settled) {
        // Too recent to be told apart from a change in the same step: not kept, and what
        // was kept of an earlier state goes.
        changed = entries.remove(fullName) || changed;
        return;
    }
    entries.insert(fullName, {identity, document, nowSeconds});
    changed = true;
}

QByteArray MetadataCache::Serialized() const
{
    // The entries used last are kept, as many as the limit allows.
    QList<QHash<QString, Entry>::const_iterator> kept;
    kept.reserve(entries.size());
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        kept.append(it);
    std::sort(kept.begin(), kept.end(),
              [](const auto &a, const auto &b) { return a->UsedSeconds > b->UsedSeconds; });
    if (kept.size() > MaximumEntries)
        kept.resize(MaximumEntries);
    QByteArray out = Header + '\n';
    for (const auto &it : kept) {
        const Entry &entry = *it;
        out += Field(it.key()) + '\t' + QByteArray::number(entry.Identity.Size) + '\t' +
               QByteArray::number(entry.Identity.ModifiedNs) + '\t' +
               QByteArray::number(entry.Identity.ChangedNs) + '\t' +
               QByteArray::number(entry.Identity.Inode) + '\t' +
               QByteArray::number(entry.UsedSeconds) + '\t' + Field(entry.Document.FullFileName) +
               '\t' + Field(entry.Document.DisplayName);
        for (const QString &reference : entry.Document.References)
            out += '\t' + Field(reference);
        out += '\n';
    }
    return out + EndMark + QByteArray::number(kept.size()) + '\n';
}

bool MetadataCache::Save()
{
    const QMutexLocker locked(&lock);
    if (!changed)
        return true;
    const QString folder = path.left(path.lastIndexOf(u'/'));
    // The folder is made for this user alone, as the file is.
    QDir().mkpath(folder.left(folder.lastIndexOf(u'/')));
    MakeFolder(EncodeFileName(folder), 0700);
    try {
        ReplacePrivateFile(path, Serialized());
    } catch (const FileError &) {
        return false;
    }
    changed = false;
    return true;
}

qsizetype MetadataCache::Size() const
{
    const QMutexLocker locked(&lock);
    return entries.size();
}
