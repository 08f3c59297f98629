#pragma once

#include "server/ServerError.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

// Every test writes its texts as u"..."_s.
using namespace Qt::StringLiterals;

// Files for tests: a private Scrivo home and state folder, documents and reservation records
// as Scrivo keeps them, and checks of files and failures.

// A private Scrivo home and XDG state and configuration folders, made in a temporary folder
// and set in the environment while the object lives, so no test touches the real home folder.
// Removed with all it holds, names that are not UTF-8 included.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return dir.path(); }
    QString scrivoHome() const { return dir.filePath(QStringLiteral("scrivo-home")); }
    QString stateHome() const { return dir.filePath(QStringLiteral("state")); }
    // Where the window keeps the user's layout choices.
    QString configHome() const { return dir.filePath(QStringLiteral("config")); }
    QString path(const QString &relative) const { return dir.filePath(relative); }
    // Writes a file (creating its folders) and returns its full path.
    QString writeFile(const QString &relative, const QByteArray &content) const;

private:
    QTemporaryDir dir;
    // The variables set, with the values they had before.
    QList<std::pair<const char *, QByteArray>> old;
};

// Writes the file whole (creating its folders); a test file that cannot be written ends the
// test run.
void WriteWhole(const QString &path, const QByteArray &content);
// A document with metadata (references relative to its folder or absolute); its path.
QString WriteScrivoDocument(const QString &path, const QString &displayName, int version = 1,
                            const QStringList &references = {});
// The hidden reservation record beside the document.
QString ScrivoReservationPath(const QString &documentPath);
void WriteScrivoReservation(const QString &documentPath, const QString &by, const QDateTime &time,
                            int version, const QByteArray &comment = {});
// A record Scrivo cannot parse, so every reservation read of the document fails.
void WriteDamagedScrivoReservation(const QString &documentPath);

// The whole file, or "<unreadable>" (which no expected content matches).
QByteArray ReadBytes(const QString &path);
// The names in the folder, hidden ones, broken links, FIFOs and sockets included, by name.
QStringList FolderEntries(const QString &folder);
// Sets the file's access and modification times to now plus seconds (minus: in the past).
void SetTimes(const QString &path, int seconds);
// A symbolic link at path to target (which need not exist); fails the test when it cannot.
void MakeLink(const QString &target, const QString &path);

// The text of the failure the call threw (what() of any exception), "" when it threw none.
QString FailureOf(const std::function<void()> &call);
// Whether the call throws the ServerError with this number whose description names each of
// `named`; a mismatch is printed.
bool ThrowsServerError(const std::function<void()> &call, int number,
                       const QStringList &named = {});
#define QVERIFY_SERVER_ERROR(statement, number, ...)                                               \
    QVERIFY(ThrowsServerError([&] { statement; }, ServerErrors::number, {__VA_ARGS__}))
