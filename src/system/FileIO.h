#pragma once

#include <QByteArray>

// Whole reads and writes on a file descriptor: interrupted calls are resumed, short ones
// continued.

// Reads at most size bytes from fd into bytes (fewer at the end of the file).
bool ReadAtMost(int fd, qsizetype size, QByteArray &bytes);

// Writes every byte, or returns false with errno set.
bool WriteAll(int fd, const QByteArray &bytes);
