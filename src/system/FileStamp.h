#pragma once

#include <sys/stat.h>

// What tells a file's content apart without reading it: the file itself (device and inode)
// and its size and times to the nanosecond. A file replaced or written since shows another
// stamp.
struct FileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileStamp Of(const struct stat &st)
    {
        return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }
    static bool SameTime(const timespec &a, const timespec &b)
    {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
    bool operator==(const FileStamp &other) const
    {
        return device == other.device && inode == other.inode && size == other.size &&
               SameTime(modified, other.modified) && SameTime(changed, other.changed);
    }
};
