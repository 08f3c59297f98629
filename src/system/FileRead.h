#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The INI files the programs read (server.ini, project files) are refused above this size
// instead of being read whole.
inline constexpr qint64 IniFileSizeLimit = 16 * 1024 * 1024;

// Reads a whole regular file. Missing (also when a folder on the way is a file): nullopt.
// Anything else that is there but cannot be read whole throws FileError at once: a folder,
// a FIFO, socket or device (never waited on), a file above limit bytes, a link loop, an I/O
// error.
std::optional<QByteArray> ReadRegularFile(const QString &path, qint64 limit);
