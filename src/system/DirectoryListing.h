#pragma once

#include "system/FileNames.h"

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>
#include <vector>

// One entry of a folder: its name as the file system holds it, and whether it is a folder
// (a link to a folder counts as a folder; a broken link is a file). The name refers to the
// listing's storage: it is valid while the listing lives (copy it to keep it longer).
struct DirectoryEntry
{
    QByteArray RawName;
    bool IsFolder = false;

    QString Name() const { return DecodeFileName(RawName); }
};

// The identity of a folder on disk, the same whichever path or link leads to it.
struct FolderIdentity
{
    quint64 Device = 0;
    quint64 Inode = 0;

    friend bool operator==(const FolderIdentity &, const FolderIdentity &) = default;
};

inline size_t qHash(const FolderIdentity &id, size_t seed = 0) noexcept
{
    return qHashMulti(seed, id.Device, id.Inode);
}

// The entries of one folder, read whole when the listing is made, "." and ".." left out,
// in byte order of the names so that a walk gives the same order every time.
class DirectoryListing
{
public:
    // Lists the folder at path (decoded as by DecodeFileName). When the folder cannot be
    // opened or read, IsOpen() is false and ErrorText() says why.
    static DirectoryListing Read(const QString &folder);

    bool IsOpen() const { return open; }
    QString ErrorText() const { return errorText; }
    FolderIdentity Identity() const { return identity; }
    const std::vector<DirectoryEntry> &Entries() const { return entries; }

private:
    // Reads the folder into this listing: 0, or the error.
    int ReadFrom(const QByteArray &path);

    bool open = false;
    QString errorText;
    FolderIdentity identity;
    std::vector<DirectoryEntry> entries;
    QByteArray names; // the entries' names, one after the other
};
