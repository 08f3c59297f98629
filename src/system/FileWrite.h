#pragma once

#include <QByteArray>
#include <QString>

// The one way the programs write their files. Every write, the flush to disk and the rename
// are checked; a failure throws FileError with the file's name and the system's reason and
// leaves the old file byte for byte, with no private file left behind.

// Replaces the file at path with content: written to a private file beside it (the name
// followed by ".XXXXXX"), synced, then renamed over it in one step, so readers see the old
// file or the new one, never a part. A link to an existing file is followed (the link stays
// a link); the new file keeps the old one's permissions. A folder or anything else that is
// not a regular file at path is refused, and so is a file this process may not write ("Permission
// denied", as the shell says). Another user's file in a folder with the sticky bit cannot be
// replaced: where it may be written, it is written over in place (its old content back should
// that fail).
void ReplaceFile(const QString &path, const QByteArray &content);

// Replaces the file at path as ReplaceFile does, but the new file may be read and written by
// its user alone (0600), whatever the old one's permissions: for what the programs keep of
// their user's own work.
void ReplacePrivateFile(const QString &path, const QByteArray &content);

// Creates a new file with content, exclusively: when anything at all is at path (a file, a
// folder, a link, even a dangling one) nothing is written and FileError says so. Nothing is
// ever written through a link. The file appears whole or not at all.
void CreateNewFile(const QString &path, const QByteArray &content);

// Appends content to the file at path, creating it when missing; synced before it returns.
// A failed append is cut off again, so the file never ends in a part of it.
void AppendToFile(const QString &path, const QByteArray &content);

// Removes the file at path when it is there; a missing file is no failure.
void RemoveFile(const QString &path);

// A write past the process's file-size limit (ulimit -f) fails with "File too large", told and
// cleaned up as any failed write, instead of killing the program (SIGXFSZ). Called once at
// start.
void TellFileSizeLimitAsFailure();
