#pragma once

#include <QByteArray>
#include <QString>

#include "reports/TabSeparated.h"

// What the scrivo tool writes: lines on standard output, messages on standard error, and
// its exit status.

inline constexpr int ExitSuccess = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// One line; paths go out as the bytes they have on disk, also when not valid UTF-8.
void Print(const QString &line);
// Bytes as they are.
void PrintBytes(const QByteArray &bytes);
// One line "scrivo: <message>" on standard error.
void PrintError(const QString &message);
// The message and a hint to the help; returns ExitUsage.
int UsageError(const QString &message);

// Flushes standard output at the end: status when everything printed got out, else the
// message naming standard output and ExitFailure (a nightly "scrivo list > file" on a full
// disk must not report success).
int FinishOutput(int status);
