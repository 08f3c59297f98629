#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>

namespace {

QString MakeScratchFolder()
{
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QByteArray pattern = QFile::encodeName(base + QStringLiteral("/brevant-fuzz-XXXXXX"));
    Check(::mkdtemp(pattern.data()) != nullptr, "cannot make the scratch folder");
    return QFile::decodeName(pattern);
}

void RemoveScratchFolder()
{
    QDir(ScratchFolder()).removeRecursively();
}

} // namespace

const QString &ScratchFolder()
{
    static const QString folder = [] {
        QString made = MakeScratchFolder();
        std::atexit(RemoveScratchFolder);
        return made;
    }();
    return folder;
}

void WriteScratchFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "cannot write a scratch file");
}

QByteArray ReadScratchFile(const QString &path)
{
    QFile file(path);
    Check(file.open(QIODevice::ReadOnly), "cannot read a scratch file");
    return file.readAll();
}

void Check(bool condition, const char *message)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", message);
    std::abort();
}
