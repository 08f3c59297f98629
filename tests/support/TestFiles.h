#pragma once

#include "server/ServerError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The whole file, or "<unreadable>" when it cannot be read (so no expected content matches).
QByteArray ReadBytes(const QString &path);

// The names in the folder, hidden ones included, sorted by name.
QStringList FolderEntries(const QString &folder);

// Runs the call and returns the ServerError it threw; when it threw none, an error with
// number 0 and a description that names no file, so any check of the result fails.
template <typename Call> ServerError ErrorOf(Call call)
{
    try {
        call();
    } catch (const ServerError &error) {
        return error;
    }
    return ServerError(0, QStringLiteral("no error was thrown"));
}
