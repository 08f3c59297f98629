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

// Makes the reads of the open file fd (whose status is st) return its current content. On a
// FUSE network file system the page cache may hold another machine's old version of the
// file, and reads through it stop at the size cached with it: there reads go past the cache
// (O_DIRECT). Elsewhere nothing changes. Read to the end of the file, never up to st_size,
// which may be an old size too.
void ReadCurrentContent(int fd, const struct stat &st);
