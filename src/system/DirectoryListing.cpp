#include "system/DirectoryListing.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileSystems.h"
#include "system/PathAt.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Opens the folder for reading its entries; null with errno set when it cannot. A folder
// nested past PATH_MAX is opened through PathAt.
DIR *OpenFolder(const QByteArray &path)
{
    if (path.size() < PATH_MAX)
        return ::opendir(path.constData());
    const int folderFd = OpenPath(path, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    DIR *dir = folderFd < 0 ? nullptr : ::fdopendir(folderFd);
    if (!dir && folderFd >= 0) {
        const int error = errno;
        ::close(folderFd);
        errno = error;
    }
    return dir;
}

// One entry read: its name's place in the buffer of names.
struct FoundEntry
{
    qsizetype offset;
    qsizetype length;
    bool isFolder;
};

// Reads every entry of dir but "." and "..", their names into one buffer; 0, or the error
// that ended the reading.
int ReadAllEntries(DIR *dir, QByteArray &names, std::vector<FoundEntry> &found)
{
    const int fd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry)
            return errno;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const qsizetype length = qsizetype(std::strlen(entry->d_name));
        found.push_back({names.size(), length, entryIsFolder(fd, entry)});
        names.append(entry->d_name, length);
    }
}

} // namespace

DirectoryListing DirectoryListing::Read(const QString &folder)
{
    const QByteArray path = EncodeFileName(folder);
    DirectoryListing listing;
    if (path.isEmpty()) {
        listing.errorText = Brevant::tr("No folder given");
        return listing;
    }
    // A FUSE network client that failed for a moment is asked again, as for documents.
    const int error = RepeatWhileTransientAt(path, [&] {
        listing = DirectoryListing();
        return errno = listing.ReadFrom(path);
    });
    // Listings are made on several threads at once: the reason is not strerror(3)'s.
    if (error != 0)
        listing.errorText =
            error == ENOENT || error == ENOTDIR ? MissingReason(path, error) : SystemReason(error);
    return listing;
}

int DirectoryListing::ReadFrom(const QByteArray &path)
{
    DIR *dir = OpenFolder(path);
    if (!dir)
        return errno;
    struct stat info;
    if (::fstat(::dirfd(dir), &info) != 0) {
        const int error = errno;
        ::closedir(dir);
        return error;
    }
    identity = {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};

    // The names go into one buffer and the entries point into it: one allocation for a
    // folder instead of one for each of its entries.
    std::vector<FoundEntry> found;
    const int error = ReadAllEntries(dir, names, found);
    ::closedir(dir);
    if (error != 0)
        return error;

    entries.reserve(found.size());
    for (const FoundEntry &entry : found)
        entries.push_back({QByteArray::fromRawData(names.constData() + entry.offset, entry.length),
                           entry.isFolder});
    std::sort(entries.begin(), entries.end(), [](const DirectoryEntry &a, const DirectoryEntry &b) {
        return std::string_view(a.RawName.constData(), size_t(a.RawName.size())) <
               std::string_view(b.RawName.constData(), size_t(b.RawName.size()));
    });
    open = true;
    return 0;
}
