#pragma once

#include <QByteArray>
#include <QString>

// What the fuzz targets share: a private scratch folder (in memory where /dev/shm exists,
// removed when the process ends) and a check that stops the fuzzer with a message.

// The scratch folder of this process, made on first use.
const QString &ScratchFolder();

// Replaces the file's content with bytes; stops the fuzzer when that fails.
void WriteScratchFile(const QString &path, const QByteArray &bytes);

// The file's whole content; stops the fuzzer when it cannot be read.
QByteArray ReadScratchFile(const QString &path);

// Stops the fuzzer with the message when the condition does not hold; the input is saved.
void Check(bool condition, const char *message);
