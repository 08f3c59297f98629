#pragma once

#include "server/ServerError.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The whole file, or "<unreadable>" when it cannot be read (so no expected content matches).
QByteArray ReadBytes(const QString &path);

// The names in the folder, hidden ones, broken links, FIFOs and sockets included, sorted by
// name.
QStringList FolderEntries(const QString &folder);

// Makes a symbolic link at path pointing to target (which need not exist); fails the test
// when it cannot.
void MakeLink(const QString &target, const QString &path);

// Folders and files named by their bytes (names that are not UTF-8, which QTemporaryDir
// cannot remove): made at once, folders first, and removed with everything in them when the
// object goes.
class RawPaths
{
public:
    RawPaths(QList<QByteArray> folders, QList<QByteArray> files,
             const QByteArray &content = QByteArray());
    ~RawPaths();
    RawPaths(const RawPaths &) = delete;
    RawPaths &operator=(const RawPaths &) = delete;

private:
    QList<QByteArray> folders;
    QList<QByteArray> files;
};

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

// The text of the failure the call threw (what() of any exception), "" when it threw none.
QString FailureOf(const std::function<void()> &call);

// Whether the call throws the ServerError with this number whose description names each of
// `named`; a mismatch is printed with what was thrown.
bool ThrowsServerError(const std::function<void()> &call, int number,
                       const QStringList &named = {});
