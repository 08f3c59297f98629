// A whole search through the main window (walk, documents read through Scrivo, rows filled,
// status bar updated) against two floors on the same tree: a plain walker in this process
// (opendir/readdir, open and read of 4 KiB per document, stat of its reservation record; no
// Qt, no server) and find | head in a shell. Each round runs the three in turn on a warm
// cache; the benchmark prints every round, then the minimum and median of each, the
// search's ratios to both floors, the microseconds per document, and the longest gap
// between two passes of event processing while the search ran (old rows cleared, new rows
// filled); scrivo list and scrivo where-used of one part on the same tree in each round;
// then the time View > Refresh takes over the rows listed; and the walk itself on this disk
// without the metadata cache, with an empty one and with the one it filled (the second search
// of an unchanged tree), which is why a local disk is searched without the cache. Runs
// headless unless a platform is set.
//
// Usage: bench_search [--runs N] [--tree DIR] [ENTRIES | stress ...]   (default: 5 rounds on
// 100000 and 400000 entries and the stress tree; each tree is written to a temporary folder,
// or once to DIR and kept there: a fifth documents, a reservation record for every tenth
// document. The stress tree is one folder of 50,000 entries and a chain of folders 300 deep,
// always in a temporary folder)

#include "BenchPrompts.h"
#include "BenchTiming.h"
#include "SearchTree.h"

#include "model/FileListModel.h"
#include "search/MetadataCache.h"
#include "search/SearchFolder.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"
#include "system/TimeZone.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool IsDocumentName(const char *name)
{
    const size_t length = std::strlen(name);
    if (length < 4)
        return false;
    const char *extension = name + length - 4;
    return ::strcasecmp(extension, ".kpt") == 0 || ::strcasecmp(extension, ".kam") == 0 ||
           ::strcasecmp(extension, ".kdw") == 0;
}

// The floor: every folder listed breadth first, each document's first 4 KiB read and its
// reservation record looked up. Returns the number of documents.
int PlainWalk(const std::string &root)
{
    std::deque<std::string> folders{root};
    char buffer[4096];
    int documents = 0;
    while (!folders.empty()) {
        const std::string folder = std::move(folders.front());
        folders.pop_front();
        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            continue;
        const int fd = ::dirfd(dir);
        while (const dirent *entry = ::readdir(dir)) {
            const char *name = entry->d_name;
            if (entry->d_type == DT_DIR) {
                if (name[0] != '.')
                    folders.push_back(folder + '/' + name);
                continue;
            }
            if (!IsDocumentName(name))
                continue;
            const int document = ::openat(fd, name, O_RDONLY | O_CLOEXEC);
            if (document >= 0) {
                if (::read(document, buffer, sizeof buffer) < 0)
                    std::perror(name);
                ::close(document);
            }
            struct stat record;
            ::fstatat(fd, (std::string(".") + name + ".reservation").c_str(), &record, 0);
            ++documents;
        }
        ::closedir(dir);
    }
    return documents;
}

double TimePlainWalk(const QString &tree, int &documents)
{
    QElapsedTimer timer;
    timer.start();
    documents = PlainWalk(QFile::encodeName(tree).toStdString());
    return Milliseconds(timer.nsecsElapsed());
}

// One walk of the tree as a search makes it on this disk (one document at a time), through the
// cache at cachePath unless it is empty; the cache is saved as a search saves it.
double TimeWalk(const QString &tree, const QString &cachePath)
{
    QElapsedTimer timer;
    timer.start();
    ScrivoServer server;
    clsFiles files;
    QStringList work;
    bool stop = false;
    SearchContext context(server, files, work, stop);
    context.ProcessEvents = nullptr;
    std::optional<MetadataCache> cache;
    if (!cachePath.isEmpty())
        cache.emplace(cachePath);
    context.UseCache(cache ? &*cache : nullptr);
    WalkFolderTree(context, tree);
    if (cache)
        cache->Save();
    return Milliseconds(timer.nsecsElapsed());
}

// find lists every entry, head reads each document's first 4 KiB.
double TimeFindHead(const QString &tree)
{
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("find \"$0\" -type f \\( -iname '*kpt' -o -iname '*kam' -o "
                                "-iname '*kdw' \\) -print0 | xargs -0 head -q -c 4096 "
                                ">/dev/null"),
                 tree});
    if (!shell.waitForFinished(600000) || shell.exitCode() != 0) {
        std::fprintf(stderr, "the find | head command failed\n");
        std::exit(1);
    }
    return Milliseconds(timer.nsecsElapsed());
}

// The scrivo tool with these arguments, its lines thrown away.
double TimeScrivo(const QStringList &arguments)
{
    QProcess scrivo;
    scrivo.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    scrivo.start(QStringLiteral(SCRIVO_TOOL), arguments);
    if (!scrivo.waitForFinished(600000) || scrivo.exitCode() != 0) {
        std::fprintf(stderr, "scrivo %s failed: %s\n", qPrintable(arguments.first()),
                     scrivo.readAllStandardError().constData());
        std::exit(1);
    }
    return Milliseconds(timer.nsecsElapsed());
}

struct SearchRun
{
    double time = 0;
    double longestGap = 0;
    int rows = 0;
};

// One search through the window's menu command, timed until the rows are shown, with the
// longest time the event loop did not run.
SearchRun SearchOnce(frmMain &window)
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    probe.start(0);
    clock.start();
    window.findChild<QAction *>(QStringLiteral("mnuDocumentsSearch"))->trigger();
    QCoreApplication::processEvents();
    const qint64 end = clock.nsecsElapsed();
    longest = std::max(longest, end - last);
    return {Milliseconds(end), Milliseconds(longest),
            window.findChild<FileListView *>(QStringLiteral("ListViewFiles"))->Model()->Count()};
}

// The shape that gives about `entries` files: 50 in each folder, 99 folders in each area.
SearchTreeShape ShapeFor(int entries)
{
    SearchTreeShape shape;
    shape.areas = std::max(1, entries / (50 * (shape.cellsPerArea + 1)));
    return shape;
}

bool Measure(const SearchTreeShape &shape, int runs, const QString &kept)
{
    QTemporaryDir scratch;
    const QString tree = kept.isEmpty() ? scratch.filePath(QStringLiteral("tree")) : kept;
    QElapsedTimer timer;
    timer.start();
    SearchTreeCounts counts;
    if (QFileInfo::exists(tree)) {
        std::printf("\nthe tree in %s\n", qPrintable(tree));
    } else {
        if (!WriteSearchTree(tree, shape, counts))
            return false;
        std::printf("\n%d entries: %d folders, %d documents (%d reserved), %d other files, "
                    "written in %.0f ms\n",
                    counts.documents + counts.otherFiles, counts.folders, counts.documents,
                    counts.reserved, counts.otherFiles, Milliseconds(timer.nsecsElapsed()));
    }

    BenchPrompts prompts;
    prompts.folder = tree;
    frmMain window(prompts, [] { return std::make_shared<ScrivoServer>(); });
    if (!window.Load())
        return false;
    window.show();
    QCoreApplication::processEvents();

    int documents = 0;
    TimePlainWalk(tree, documents); // warm the cache
    TimeFindHead(tree);
    SearchOnce(window);
    Series walker, findHead, search, gaps, list, whereUsed;
    // Where the first part of the first area is used: its assembly and that one's drawing.
    const QStringList whereUsedArguments{QStringLiteral("where-used"), QStringLiteral("--in"), tree,
                                         tree + QStringLiteral("/area0/doc0.kpt")};
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        walker.values.push_back(TimePlainWalk(tree, documents));
        findHead.values.push_back(TimeFindHead(tree));
        const SearchRun result = SearchOnce(window);
        search.values.push_back(result.time);
        list.values.push_back(TimeScrivo({QStringLiteral("list"), tree}));
        whereUsed.values.push_back(TimeScrivo(whereUsedArguments));
        gaps.values.push_back(result.longestGap);
        rows = result.rows;
        std::printf("round %d: walker %8.1f ms, find|head %8.1f ms, search %8.1f ms, "
                    "scrivo list %8.1f ms, where-used %8.1f ms, longest gap %6.1f ms\n",
                    run + 1, walker.values.back(), findHead.values.back(), search.values.back(),
                    list.values.back(), whereUsed.values.back(), result.longestGap);
    }
    const auto line = [&](const char *what, const Series &series) {
        std::printf("%-26s min %8.1f ms  median %8.1f ms  median %6.2f us/document\n", what,
                    series.Min(), series.Median(), series.Median() * 1000.0 / documents);
    };
    std::printf("documents %d, rows listed %d\n", documents, rows);
    line("plain walker:", walker);
    line("find | head:", findHead);
    line("search through the window:", search);
    line("scrivo list:", list);
    line("scrivo where-used:", whereUsed);
    std::printf("search / plain walker:     min %6.2f  median %6.2f  (goal <= 1.4)\n",
                search.Min() / walker.Min(), search.Median() / walker.Median());
    std::printf("search / find | head:      min %6.2f  median %6.2f\n",
                search.Min() / findHead.Min(), search.Median() / findHead.Median());
    std::printf("scrivo list / search:      min %6.2f  median %6.2f  (goal <= 1.2)\n",
                list.Min() / search.Min(), list.Median() / search.Median());
    std::printf("where-used / search:       min %6.2f  median %6.2f  (goal <= 1.5)\n",
                whereUsed.Min() / search.Min(), whereUsed.Median() / search.Median());
    std::printf("where-used / scrivo list:  min %6.2f  median %6.2f\n",
                whereUsed.Min() / list.Min(), whereUsed.Median() / list.Median());
    std::printf("longest gap between events: min %6.1f ms  max %6.1f ms  (goal < 40 ms)\n",
                gaps.Min(), *std::max_element(gaps.values.begin(), gaps.values.end()));

    // View > Refresh over the rows just listed: every reservation read again.
    Series refresh;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        window.findChild<QAction *>(QStringLiteral("mnuRefresh"))->trigger();
        QCoreApplication::processEvents();
        refresh.values.push_back(Milliseconds(clock.nsecsElapsed()));
    }
    std::printf("refresh of %d rows:        min %8.1f ms  median %8.1f ms  (goal < 300 ms at "
                "20000 rows)\n",
                rows, refresh.Min(), refresh.Median());

    // The walk on this disk without the cache, then with it: first empty, then filled. The
    // documents as a team's are, written long before (the cache keeps no document written
    // moments ago).
    const timespec hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (QDirIterator it(
             tree, {QStringLiteral("*.kpt"), QStringLiteral("*.kam"), QStringLiteral("*.kdw")},
             QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        ::utimensat(AT_FDCWD, QFile::encodeName(it.next()).constData(), hourAgo, 0);
    const QString cachePath = QDir::tempPath() + QStringLiteral("/bench_search-metadata.cache");
    Series plain, first, second;
    for (int run = 0; run < runs; ++run) {
        plain.values.push_back(TimeWalk(tree, QString()));
        QFile::remove(cachePath);
        first.values.push_back(TimeWalk(tree, cachePath));
        second.values.push_back(TimeWalk(tree, cachePath));
    }
    const qsizetype cached = MetadataCache(cachePath).Size();
    QFile::remove(cachePath);
    std::printf("documents kept in the cache: %lld\n", static_cast<long long>(cached));
    line("walk, no cache:", plain);
    line("walk, cache empty:", first);
    line("walk, cache filled:", second);
    std::printf("cache filled / no cache:   min %6.2f  median %6.2f  (the window uses no cache "
                "on a local disk)\n",
                second.Min() / plain.Min(), second.Median() / plain.Median());
    return rows == documents;
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone(); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("KORVEX_SCRIVO_HOME", QFile::encodeName(home.filePath(QStringLiteral("scrivo"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home.filePath(QStringLiteral("state"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    QApplication app(argc, argv);

    int runs = 5;
    QString kept;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--tree") == 0 && i + 1 < argc)
            kept = QFile::decodeName(argv[++i]);
        else
            sizes.push_back(std::atoi(argv[i])); // "stress" reads as 0
    }
    if (sizes.empty())
        sizes = {100000, 400000, 0};
    bool ok = true;
    for (const int entries : sizes) {
        // 0 or "stress": one folder of 50,000 entries and a chain of folders 300 deep.
        SearchTreeShape stress;
        stress.areas = 0;
        stress.wideFolderEntries = 50000;
        stress.depth = 300;
        ok = Measure(entries > 0 ? ShapeFor(entries) : stress, runs,
                     entries > 0 ? kept : QString()) &&
             ok;
    }
    return ok ? 0 : 1;
}
