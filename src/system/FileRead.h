#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/stat.h>

// The INI files the programs read (server.ini, project files) are refused above this size
// instead of being read whole.
inline constexpr qint64 IniFileSizeLimit = 16 * 1024 * 1024;

// Reads a whole regular file. Missing (also when a folder on the way is a file): nullopt.
// Anything else that is there but cannot be read whole throws FileError at once: a folder,
// a FIFO, socket or device (never waited on), a file above limit bytes, a link loop, an I/O
// error.
std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 limit);

// Reads the open regular file fd (whose status is st) from where it is to its end, at most
// size bytes into buffer: the count read, or -1 with errno set. The file's current content
// whatever the size in st says: on a FUSE network file system the page cache may hold
// another machine's old version of the file, and reads through it stop at the size cached
// with it, so there the reads go past the cache (O_DIRECT). Each read past the cache is a
// request to the server, so the first asks for a few KiB only and a short read ends it.
qsizetype ReadCurrentContent(int fd, const struct stat &st, char *buffer, qsizetype size);
// The same into bytes (resized to what was read); false with errno set on failure.
bool ReadCurrentContent(int fd, const struct stat &st, qsizetype size, QByteArray &bytes);
