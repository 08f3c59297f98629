#include "system/DirectoryListing.h"
#include "system/Translation.h"

#include "system/FileError.h"
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

QString errnoText(int error)
{
    // Listings are made on several threads at once: not strerror(3).
    return SystemReason(error);
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
    if (path.isEmpty()) {
        listing.errorText = Brevant::tr("No folder given");
        return listing;
    }
    // A folder nested past PATH_MAX is opened through PathAt.
    DIR *dir = nullptr;
    if (path.size() < PATH_MAX) {
        dir = ::opendir(path.constData());
    } else {
        const int folderFd = OpenPath(path, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
        dir = folderFd < 0 ? nullptr : ::fdopendir(folderFd);
        if (!dir && folderFd >= 0) {
            const int error = errno;
            ::close(folderFd);
            errno = error;
        }
    }
    if (!dir) {
        listing.errorText = errnoText(errno);
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

    // The names go into one buffer and the entries point into it: one allocation for a
    // folder instead of one for each of its entries.
    struct Found
    {
        qsizetype offset;
        qsizetype length;
        bool isFolder;
    };
    std::vector<Found> found;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                listing.errorText = errnoText(errno);
                ::closedir(dir);
                return listing;
            }
            break;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        const qsizetype length = qsizetype(std::strlen(entry->d_name));
        found.push_back({listing.names.size(), length, entryIsFolder(fd, entry)});
        listing.names.append(entry->d_name, length);
    }
    ::closedir(dir);

    listing.entries.reserve(found.size());
    for (const Found &entry : found)
        listing.entries.push_back(
            {QByteArray::fromRawData(listing.names.constData() + entry.offset, entry.length),
             entry.isFolder});
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const DirectoryEntry &a, const DirectoryEntry &b) {
                  return std::string_view(a.RawName.constData(), size_t(a.RawName.size())) <
                         std::string_view(b.RawName.constData(), size_t(b.RawName.size()));
              });
    listing.open = true;
    return listing;
}
