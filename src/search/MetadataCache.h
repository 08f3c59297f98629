#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <optional>

// What a search read of a document's own bytes (its full name as the server gives it, its
// display name and the documents it references), kept per user between searches so that an
// unchanged document on a file server need not be opened and read again. It is only a hint:
// a document is taken from it only while everything the file system tells of the file
// without reading it is as it was, and reservations are never kept here (every search still
// looks up every record).
struct CachedDocument
{
    QString FullFileName;
    QString DisplayName;
    QStringList References;

    friend bool operator==(const CachedDocument &, const CachedDocument &) = default;
};

// What tells a document's content apart without reading it: its size and modification and
// change times to the nanosecond, and its inode where the file system gives a lasting one
// (a FUSE network client numbers files itself, differently from mount to mount).
struct DocumentIdentity
{
    qint64 Size = 0;
    qint64 ModifiedNs = 0;
    qint64 ChangedNs = 0;
    quint64 Inode = 0;

    // The identity of the regular file at fullName, not followed through a link; nullopt
    // for anything else (a link, a folder, a file that is not there), which is always read.
    static std::optional<DocumentIdentity> Of(const QString &fullName);

    friend bool operator==(const DocumentIdentity &, const DocumentIdentity &) = default;
};

class MetadataCache
{
public:
    // A document modified this recently before it was read (or after, by the clock of this
    // computer) is not kept: a share keeps times in steps of up to two seconds, and its clock
    // may differ from this one by a few, so a second write within the same step would not
    // show in the identity.
    static constexpr qint64 SettleSeconds = 10;
    // At most this many documents are kept; those a search used longest ago go first.
    static constexpr qsizetype MaximumEntries = 100000;

    // $XDG_CACHE_HOME/korvex-brevant/metadata.cache, default
    // ~/.cache/korvex-brevant/metadata.cache.
    static QString DefaultPath();

    // Whether a cache is worth its cost below folder: on a network file system, where each
    // request waits a round trip. On a local disk opening and reading a document costs about
    // as much as looking it up here, so the cache is not used there.
    static bool HelpsAt(const QString &folder);

    // Reads the cache file at path. A file that is missing, damaged, cut short, of another
    // version, not a regular file or not this user's own is passed over: the cache starts
    // empty and the next Save writes it anew.
    explicit MetadataCache(QString path = DefaultPath());

    // What was kept of the document at fullName for exactly this identity; a hit counts as a
    // use. Safe to call from several threads.
    std::optional<CachedDocument> Find(const QString &fullName, const DocumentIdentity &identity);
    // Keeps what was read of the document, unless it was modified too recently to tell a
    // later change apart (see SettleSeconds). Safe to call from several threads.
    void Store(const QString &fullName, const DocumentIdentity &identity,
               const CachedDocument &document);

    // Writes the cache file (only this user may read it) when anything changed since it was
    // read; false when it could not be written, the file then as it was.
    bool Save();

    qsizetype Size() const;

private:
    struct Entry
    {
        DocumentIdentity Identity;
        CachedDocument Document;
        qint64 UsedSeconds = 0;
    };

    QString path;
    mutable QMutex lock;
    QHash<QString, Entry> entries;
    bool changed = false;
    qint64 nowSeconds = 0;

    void Load();
    QByteArray Serialized() const;
};
