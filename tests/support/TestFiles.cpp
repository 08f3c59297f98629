#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool ThrowsServerError(const std::function<void()> &call, int number, const QStringList &named)
{
    const ServerError error = ErrorOf(call);
    bool matches = error.number == number;
    for (const QString &name : named)
        matches = matches && error.description.contains(name);
    if (!matches)
        qWarning("expected error %d naming %s, got %d: %s", number, qPrintable(named.join(u", ")),
                 error.number, qPrintable(error.description));
    return matches;
}

void MakeLink(const QString &target, const QString &path)
{
    QVERIFY2(
        ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
        qPrintable(path));
}

RawPaths::RawPaths(QList<QByteArray> folderPaths, QList<QByteArray> filePaths,
                   const QByteArray &content)
    : folders(std::move(folderPaths)), files(std::move(filePaths))
{
    for (const QByteArray &folder : std::as_const(folders))
        QVERIFY2(::mkdir(folder.constData(), 0755) == 0, folder.constData());
    for (const QByteArray &file : std::as_const(files)) {
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY2(fd >= 0, file.constData());
        const bool written =
            ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
        ::close(fd);
        QVERIFY2(written, file.constData());
    }
}

// Files first, then each folder with what the test left in it (e.g. a reservation record),
// the innermost last made first.
RawPaths::~RawPaths()
{
    for (const QByteArray &file : std::as_const(files))
        ::unlink(file.constData());
    for (auto folder = folders.crbegin(); folder != folders.crend(); ++folder) {
        if (DIR *dir = ::opendir(folder->constData())) {
            while (const dirent *entry = ::readdir(dir)) {
                const QByteArray name(entry->d_name);
                if (name != "." && name != "..")
                    ::unlink(QByteArray(*folder + '/' + name).constData());
            }
            ::closedir(dir);
        }
        ::rmdir(folder->constData());
    }
}

QString FailureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}
