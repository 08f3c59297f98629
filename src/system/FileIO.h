#pragma once

#include <QByteArray>

// Whole reads and writes on a file descriptor: interrupted calls are resumed, short ones
// continued.

// Reads at most size bytes from fd into bytes (fewer at the end of the file).
bool ReadAtMost(int fd, qsizetype size, QByteArray &bytes);
// The same into a buffer of the caller's: the count read, or -1 with errno set.
qsizetype ReadAtMost(int fd, char *buffer, qsizetype size);

// Writes every byte, or returns false with errno set.
bool WriteAll(int fd, const QByteArray &bytes);
