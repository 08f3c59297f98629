#include "TestFiles.h"

#include <cstdio>
#include <ctime>
#include <ftw.h>
#include <sys/time.h>

TestEnvironment::TestEnvironment()
{
    for (const auto &[name, folder] :
         {std::pair{"KORVEX_SCRIVO_HOME", scrivoHome()}, std::pair{"XDG_STATE_HOME", stateHome()},
          std::pair{"XDG_CONFIG_HOME", configHome()}}) {
        QDir().mkpath(folder);
        old.emplace_back(name, qgetenv(name));
        qputenv(name, QFile::encodeName(folder));
    }
}

TestEnvironment::~TestEnvironment()
{
    ::nftw(
        QFile::encodeName(root()).constData(),
        [](const char *path, const struct stat *, int, FTW *) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
    for (const auto &[name, value] : old)
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
}

QString TestEnvironment::writeFile(const QString &relative, const QByteArray &content) const
{
    WriteWhole(path(relative), content);
    return path(relative);
}

void WriteWhole(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QString WriteScrivoDocument(const QString &path, const QString &displayName, int version,
                            const QStringList &references)
{
    QByteArray text = "[Document]\nDisplayName=" + displayName.toUtf8() +
                      "\nVersion=" + QByteArray::number(version) + "\n[References]\n";
    for (int i = 0; i < references.size(); ++i)
        text += "Ref" + QByteArray::number(i + 1) + '=' + references.at(i).toUtf8() + '\n';
    WriteWhole(path, text);
    return path;
}

QString ScrivoReservationPath(const QString &documentPath)
{
    const QFileInfo info(documentPath);
    return info.path() + u"/."_s + info.fileName() + u".reservation"_s;
}

void WriteScrivoReservation(const QString &documentPath, const QString &by, const QDateTime &time,
                            int version, const QByteArray &comment)
{
    WriteWhole(ScrivoReservationPath(documentPath),
               "[Reservation]\nBy=" + by.toUtf8() + "\nTime=" +
                   time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate).toUtf8() +
                   "\nVersion=" + QByteArray::number(version) + "\n" +
                   (comment.isEmpty() ? QByteArray() : "Comment=" + comment + '\n'));
}

void WriteDamagedScrivoReservation(const QString &documentPath)
{
    WriteWhole(ScrivoReservationPath(documentPath), "[Reservation]\nBy=someone\nTime=not a time\n");
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void SetTimes(const QString &path, int seconds)
{
    const timeval times[2] = {{::time(nullptr) + seconds, 0}, {::time(nullptr) + seconds, 0}};
    QVERIFY2(::utimes(QFile::encodeName(path).constData(), times) == 0, qPrintable(path));
}

void MakeLink(const QString &target, const QString &path)
{
    QVERIFY2(QFile::link(target, path), qPrintable(path));
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

bool ThrowsServerError(const std::function<void()> &call, int number, const QStringList &named)
{
    try {
        call();
    } catch (const ServerError &error) {
        bool matches = error.number == number;
        for (const QString &name : named)
            matches = matches && error.description.contains(name);
        if (!matches)
            qWarning("expected error %d naming %s, got %d: %s", number,
                     qPrintable(named.join(u", ")), error.number, qPrintable(error.description));
        return matches;
    }
    qWarning("expected error %d, none was thrown", number);
    return false;
}
