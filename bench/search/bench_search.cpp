// A whole search through the main window (walk, documents read through Scrivo, rows filled,
// status bar updated) against the lower bound on the same tree: every entry listed and each
// document's first bytes read by find and head. Prints both times, their ratio and the
// longest gap between two passes of event processing during the search. Runs headless
// unless a platform is set.
//
// Usage: bench_search [TREE]   (TREE is generated when missing; default: a temporary folder)

#include "BenchPrompts.h"
#include "SearchTree.h"

#include "model/FileListModel.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double milliseconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The lower bound: find lists every entry, head reads each document's first 4 KiB.
double lowerBound(const QString &tree)
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
        std::fprintf(stderr, "the lower-bound command failed\n");
        std::exit(1);
    }
    return milliseconds(timer.nsecsElapsed());
}

struct SearchRun
{
    double time = 0;
    double longestGap = 0;
    int rows = 0;
};

// One search through the window's menu command, timed until the rows are shown.
SearchRun searchOnce(frmMain &window)
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
    return {milliseconds(end), milliseconds(longest),
            window.findChild<FileListView *>(QStringLiteral("ListViewFiles"))->Model()->Count()};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir scratch;
    qputenv("KORVEX_SCRIVO_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("scrivo"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("state"))));
    QApplication app(argc, argv);

    const QString tree = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath()
                                  : scratch.filePath(QStringLiteral("tree"));
    if (!QFileInfo::exists(tree)) {
        QElapsedTimer timer;
        timer.start();
        SearchTreeCounts counts;
        if (!WriteSearchTree(tree, SearchTreeShape(), counts))
            return 1;
        std::printf("tree: %d folders, %d documents (%d reserved), %d other files, written in "
                    "%.0f ms\n",
                    counts.folders, counts.documents, counts.reserved, counts.otherFiles,
                    milliseconds(timer.nsecsElapsed()));
    }

    BenchPrompts prompts;
    prompts.folder = tree;
    frmMain window(prompts, [] { return std::make_shared<ScrivoServer>(); });
    if (!window.Load())
        return 1;
    window.show();
    QCoreApplication::processEvents();

    // Warm the cache, then measure in turns so both see the same state.
    lowerBound(tree);
    searchOnce(window);
    constexpr int Runs = 3;
    std::vector<double> bounds;
    std::vector<double> searches;
    double longestGap = 0;
    int rows = 0;
    for (int run = 0; run < Runs; ++run) {
        bounds.push_back(lowerBound(tree));
        const SearchRun search = searchOnce(window);
        searches.push_back(search.time);
        longestGap = std::max(longestGap, search.longestGap);
        rows = search.rows;
        std::printf("run %d: lower bound %8.1f ms, search %8.1f ms, longest gap %6.1f ms\n",
                    run + 1, bounds.back(), search.time, search.longestGap);
    }
    const double bound = median(bounds);
    const double searchTime = median(searches);
    std::printf("rows listed:                 %d\n", rows);
    std::printf("lower bound (find | head):   %8.1f ms (median of %d)\n", bound, Runs);
    std::printf("search through the window:   %8.1f ms (median of %d)\n", searchTime, Runs);
    std::printf("ratio search / lower bound:  %8.2f\n", searchTime / bound);
    std::printf("longest gap between events:  %8.1f ms\n", longestGap);
    return 0;
}
