#include "ScrivoDocuments.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

static void writeWhole(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        qFatal("cannot write test file %s", qPrintable(path));
}

QString WriteScrivoDocument(const QString &path, const QString &displayName, int version,
                            const QStringList &references)
{
    QByteArray text = "[Document]\nDisplayName=" + displayName.toUtf8() +
                      "\nVersion=" + QByteArray::number(version) + "\n";
    if (!references.isEmpty()) {
        text += "[References]\n";
        for (int i = 0; i < references.size(); ++i)
            text += "Ref" + QByteArray::number(i + 1) + '=' + references.at(i).toUtf8() + '\n';
    }
    writeWhole(path, text);
    return path;
}

QString ScrivoReservationPath(const QString &documentPath)
{
    const QFileInfo info(documentPath);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".reservation");
}

void WriteScrivoReservation(const QString &documentPath, const QString &by, const QDateTime &time,
                            int version)
{
    const QString timeText = time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
    writeWhole(ScrivoReservationPath(documentPath),
               "[Reservation]\nBy=" + by.toUtf8() + "\nTime=" + timeText.toUtf8() +
                   "\nVersion=" + QByteArray::number(version) + "\n");
}

void WriteDamagedScrivoReservation(const QString &documentPath)
{
    writeWhole(ScrivoReservationPath(documentPath),
               "[Reservation]\nBy=someone\nTime=not a time\nVersion=seven\n");
}
