// Reading documents and their reservations through Scrivo, against the plain system calls
// that do the least the same job needs (open, read 4 KiB, close, stat the record).
//
// Usage: bench_scrivo [DOCUMENTS]   (default 10000)

#include "server/scrivo/ScrivoServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Passes = 7;
constexpr int DocumentsPerFolder = 100;

struct Tree
{
    QStringList paths;
    QList<QByteArray> nativePaths;
    QList<QByteArray> nativeRecords;
    int withMetadata = 0;
    int reserved = 0;
};

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

Tree MakeTree(const QString &root, int count, ScrivoServer &server)
{
    Tree tree;
    const QString project = root + QStringLiteral("/Bench.kpj");
    WriteFile(project, "[Project Defaults]\nMultiUser=Shared\n");
    server.ProjectHandler().SetActiveProject(project);
    server.SetUserName(QStringLiteral("bench"));
    for (int i = 0; i < count; ++i) {
        const QString folder =
            root + QStringLiteral("/f%1").arg(i / DocumentsPerFolder, 3, 10, QLatin1Char('0'));
        if (i % DocumentsPerFolder == 0)
            QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/Part%1.kpt").arg(i, 5, 10, QLatin1Char('0'));
        QByteArray content;
        if (i % 3 == 0) {
            content = "[Document]\nDisplayName=Part number " + QByteArray::number(i) +
                      "\nVersion=" + QByteArray::number(i % 9 + 1) + "\n\n; geometry follows\n" +
                      QByteArray(300, 'g') + '\n';
            ++tree.withMetadata;
        } else {
            content = QByteArray("KVX\0\x01", 5) + QByteArray(600, '\x7f');
        }
        WriteFile(path, content);
        if (i % 10 == 5) {
            server.OpenDocument(path)->Reserve();
            ++tree.reserved;
        }
        tree.paths.append(path);
        tree.nativePaths.append(QFile::encodeName(path));
        const QString record =
            folder + QStringLiteral("/.Part%1.kpt.reservation").arg(i, 5, 10, QLatin1Char('0'));
        tree.nativeRecords.append(QFile::encodeName(record));
    }
    return tree;
}

// Everything the program reads of one document while it lists it.
qint64 ReadThroughServer(ScrivoServer &server, const Tree &tree)
{
    qint64 sink = 0;
    for (const QString &path : tree.paths) {
        const ServerDocumentPtr document = server.OpenDocument(path);
        if (document->IsReserved()) {
            sink += document->ReservedBy().size();
            sink += document->ReservedTime().isValid() ? 1 : 0;
            sink += document->ReservedVersion();
        }
        sink += document->DisplayName().size();
        sink += document->FullFileName().size();
    }
    return sink;
}

qint64 ReadPlain(const Tree &tree)
{
    qint64 sink = 0;
    char buffer[4096];
    for (qsizetype i = 0; i < tree.nativePaths.size(); ++i) {
        const int fd = ::open(tree.nativePaths[i].constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            qFatal("cannot open %s", tree.nativePaths[i].constData());
        sink += ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        struct stat st;
        sink += ::stat(tree.nativeRecords[i].constData(), &st) == 0 ? 1 : 0;
    }
    return sink;
}

template <typename Work>
double MicrosecondsPerDocument(Work work, qsizetype documents, qint64 &sink)
{
    QElapsedTimer timer;
    timer.start();
    sink += work();
    return double(timer.nsecsElapsed()) / 1000.0 / double(documents);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10000;

    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary folder");
    ScrivoServer server(dir.filePath(QStringLiteral("home")));
    QElapsedTimer setup;
    setup.start();
    const Tree tree = MakeTree(dir.path(), count, server);
    std::printf("documents: %d (%d with metadata, %d reserved), written in %.1f s\n", count,
                tree.withMetadata, tree.reserved, double(setup.elapsed()) / 1000.0);

    // Warm the cache, then time both in alternation and keep each one's best pass.
    qint64 sink = ReadThroughServer(server, tree) + ReadPlain(tree);
    QList<double> scrivo;
    QList<double> plain;
    for (int pass = 0; pass < Passes; ++pass) {
        scrivo.append(MicrosecondsPerDocument([&] { return ReadThroughServer(server, tree); },
                                              tree.paths.size(), sink));
        plain.append(
            MicrosecondsPerDocument([&] { return ReadPlain(tree); }, tree.paths.size(), sink));
    }
    std::sort(scrivo.begin(), scrivo.end());
    std::sort(plain.begin(), plain.end());
    const double bestScrivo = scrivo.first();
    const double bestPlain = plain.first();
    std::printf("scrivo (open, reservation, display name, full name): best %.2f us/document, "
                "median %.2f\n",
                bestScrivo, scrivo[Passes / 2]);
    std::printf("plain (open, read 4096, close, stat):                best %.2f us/document, "
                "median %.2f\n",
                bestPlain, plain[Passes / 2]);
    std::printf("ratio scrivo/plain: %.2f (best), %.2f (median)\n", bestScrivo / bestPlain,
                scrivo[Passes / 2] / plain[Passes / 2]);
    std::printf("(checksum %lld)\n", static_cast<long long>(sink));
    return 0;
}
