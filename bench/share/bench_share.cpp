// The program's commands on a network share against the floor of the same work through the
// same mount. A tree of 2,000 documents in about 10,000 entries (200 folders) is served by
// OpenSSH's sftp-server behind socat and a delay proxy (1 ms each way by default) and mounted
// with sshfs, or by Samba mounted with smbnetfs (--smb). Each step gets a fresh mount. The
// steps, in interleaved rounds: a search through the window with an empty metadata cache, the
// same search again with the cache it left (the tree unchanged) and once more after 1 % of the
// documents changed (both against the floor of the cold search), scrivo list, scrivo where-used
// of one part (the search's floor; both with an empty cache), View > Refresh of
// every row, a check-out of the 200 documents of 20 folders and their check-in, each beside
// two floors doing the minimal calls of the same work through the same mount, one at a time
// and from 16 threads:
//   search:    list every folder; each document opened and read (its metadata), its record
//              opened (and read where there is one)
//   refresh:   each record opened (and read)
//   check-out: each document read, its record created exclusively and written
//   check-in:  each record read and removed
// Printed: the medians, the program's ratio to the 16-thread floor with its goal, the time per
// document, the requests per document the SFTP server answered (program and serial floor),
// and the window's longest pause (the longest time its event loop did not run).
//
// The kernel's NFS and SMB clients (--kind nfs3, nfs4.2 or cifs) are run in the kernel VM,
// their servers on its loopback, which delays every packet by the latency:
//   loopback/vm/kernel-vm.sh build/vm 3600 build/bench/share/bench_share --kind nfs4.2
// There the requests per document are the calls the kernel's client made.
//
// Usage: bench_share [--runs N] [--latency MS] [--smb | --kind smb|sshfs|nfs3|nfs4.2|cifs]

#include "BenchPrompts.h"
#include "BenchTiming.h"
#include "NetworkShare.h"

#include "model/FileListModel.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"
#include "system/TimeZone.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Folders = 200;
constexpr int DocumentsPerFolder = 10;
constexpr int OtherFilesPerFolder = 40;
constexpr int CheckOutFolders = 20; // their documents are free; the others' first is reserved
constexpr int FloorThreads = 16;

QString FolderName(int folder)
{
    return QStringLiteral("f%1").arg(folder, 3, 10, QLatin1Char('0'));
}

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// A document's content: its display name, version 3, and a use of its folder's first part
// (except in that one).
QByteArray PartContent(int folder, int i, int edition = 1)
{
    const QByteArray uses = i == 0 ? QByteArray() : "[References]\nBase=Part0.kpt\n";
    return "[Document]\nDisplayName=Part " + QByteArray::number(folder * 10 + i) + " edition " +
           QByteArray::number(edition) + "\nVersion=3\n" + uses + QByteArray(600, ';') + '\n';
}

// The modification time an hour back: the tree was written long before the searches, as a
// team's is.
void SetTimeBack(const QString &path)
{
    const timespec back[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), back, 0);
}

// The tree on the server's own disk: 200 folders of 10 documents and 40 other files.
void WriteTree(const QString &root)
{
    for (int folder = 0; folder < Folders; ++folder) {
        const QString at = root + u'/' + FolderName(folder);
        QDir().mkpath(at);
        for (int i = 0; i < DocumentsPerFolder; ++i) {
            const QString name = QStringLiteral("Part%1.kpt").arg(i);
            WriteFile(at + u'/' + name, PartContent(folder, i));
            SetTimeBack(at + u'/' + name);
            if (i == 0 && folder >= CheckOutFolders)
                WriteFile(at + QStringLiteral("/.") + name + QStringLiteral(".reservation"),
                          "[Reservation]\nBy=\"anna\"\nTime=2026-12-01T08:00:00Z\nVersion=3\n"
                          "Complete=yes\n");
        }
        for (int i = 0; i < OtherFilesPerFolder - (folder >= CheckOutFolders ? 1 : 0); ++i)
            WriteFile(at + QStringLiteral("/notes%1.txt").arg(i), QByteArray(300, 'n'));
    }
}

// The documents of the check-out folders one of each folder in turn, so that those in flight
// at once are in different folders (a client changes one folder's entries at a time).
std::vector<std::string> AcrossFolders(const std::vector<std::string> &documents)
{
    std::vector<std::string> order;
    for (int i = 0; i < DocumentsPerFolder; ++i)
        for (size_t k = size_t(i); k < documents.size(); k += DocumentsPerFolder)
            order.push_back(documents[k]);
    return order;
}

// Runs work(i) for i in 0..count-1 from `threads` threads.
void InThreads(int count, int threads, const std::function<void(int)> &work)
{
    std::atomic<int> next = 0;
    std::vector<std::thread> running;
    for (int t = 0; t < threads; ++t)
        running.emplace_back([&] {
            for (int i = next++; i < count; i = next++)
                work(i);
        });
    for (std::thread &thread : running)
        thread.join();
}

std::string RecordOf(const std::string &document)
{
    const size_t slash = document.rfind('/');
    return document.substr(0, slash + 1) + '.' + document.substr(slash + 1) + ".reservation";
}

void ReadWhole(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char buffer[65536];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    ::close(fd);
}

// The search floor: every folder listed (its folders handed to whichever thread is free),
// each document and its record read.
void SearchFloor(const std::string &root, int threads)
{
    std::mutex lock;
    std::vector<std::string> folders{root};
    std::vector<std::string> documents;
    // The folders level by level, so the threads list one level together.
    while (!folders.empty()) {
        std::vector<std::string> next;
        InThreads(int(folders.size()), threads, [&](int i) {
            DIR *dir = ::opendir(folders[size_t(i)].c_str());
            if (!dir)
                return;
            std::vector<std::string> found, below;
            while (const dirent *entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (entry->d_type == DT_DIR && name[0] != '.')
                    below.push_back(folders[size_t(i)] + '/' + name);
                else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".kpt") == 0)
                    found.push_back(folders[size_t(i)] + '/' + name);
            }
            ::closedir(dir);
            const std::lock_guard<std::mutex> locked(lock);
            next.insert(next.end(), below.begin(), below.end());
            documents.insert(documents.end(), found.begin(), found.end());
        });
        folders = std::move(next);
    }
    InThreads(int(documents.size()), threads, [&](int i) {
        ReadWhole(documents[size_t(i)]);
        ReadWhole(RecordOf(documents[size_t(i)]));
    });
}

void RefreshFloor(const std::vector<std::string> &documents, int threads)
{
    InThreads(int(documents.size()), threads,
              [&](int i) { ReadWhole(RecordOf(documents[size_t(i)])); });
}

void CheckOutFloor(const std::vector<std::string> &documents, int threads)
{
    static const char Record[] = "[Reservation]\nBy=\"bench\"\nTime=2026-12-07T08:00:00Z\n"
                                 "Version=3\nComplete=yes\n";
    InThreads(int(documents.size()), threads, [&](int i) {
        ReadWhole(documents[size_t(i)]);
        const int fd = ::open(RecordOf(documents[size_t(i)]).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            if (::write(fd, Record, sizeof Record - 1) < 0)
                std::perror("check-out floor");
            ::close(fd);
        }
    });
}

void CheckInFloor(const std::vector<std::string> &documents, int threads)
{
    InThreads(int(documents.size()), threads, [&](int i) {
        const std::string record = RecordOf(documents[size_t(i)]);
        ReadWhole(record);
        ::unlink(record.c_str());
    });
}

// A command of the window, timed, with the longest time the event loop did not run.
struct Timed
{
    double ms = 0;
    double longestPause = 0;
};

Timed TimeWindowCommand(const std::function<void()> &command)
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
    command();
    QCoreApplication::processEvents();
    const qint64 end = clock.nsecsElapsed();
    return {Milliseconds(end), Milliseconds(std::max(longest, end - last))};
}

double TimeCall(const std::function<void()> &call)
{
    QElapsedTimer clock;
    clock.start();
    call();
    return Milliseconds(clock.nsecsElapsed());
}

struct Step
{
    const char *name;
    double goal; // the program's time at most this many 16-thread floors; 0: none
    int documents;
    Series program, serial, parallel, pause;
    qint64 programRequests = -1; // -1: not counted (only the SFTP server counts them)
    qint64 floorRequests = -1;
};

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
    const QString cacheFile = home.filePath(QStringLiteral("cache/korvex-brevant/metadata.cache"));
    QApplication app(argc, argv);

    int runs = 3;
    int latency = 1;
    NetworkShare::Kind kind = NetworkShare::Kind::Sshfs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--latency") == 0 && i + 1 < argc)
            latency = std::max(0, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--smb") == 0)
            kind = NetworkShare::Kind::Smb;
        else if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc &&
                 NetworkShare::KindsNamed(QString::fromLocal8Bit(argv[i + 1])).size() == 1)
            kind = NetworkShare::KindsNamed(QString::fromLocal8Bit(argv[++i])).first();
        else {
            std::fprintf(stderr, "usage: bench_share [--runs N] [--latency MS] [--smb | --kind "
                                 "smb|sshfs|nfs3|nfs4.2|cifs]\n");
            return 2;
        }
    }

    NetworkShare share(kind, latency, true);
    if (!share.Ready()) {
        std::fprintf(stderr, "bench_share: %s\n", qPrintable(share.Problem()));
        return 1;
    }
    WriteTree(share.Served(QStringLiteral("tree")));
    WriteFile(share.Served(QStringLiteral("S.kpj")), "[Project Defaults]\nMultiUser=Shared\n");
    const QString mount = share.Mount(1);
    const QString tree = mount + QStringLiteral("/tree");
    const std::string treePath = QFile::encodeName(tree).toStdString();
    ScrivoServer().ProjectHandler().SetActiveProject(mount + QStringLiteral("/S.kpj"));

    std::vector<std::string> all, checkedOut;
    for (int folder = 0; folder < Folders; ++folder)
        for (int i = 0; i < DocumentsPerFolder; ++i) {
            all.push_back(treePath + '/' + FolderName(folder).toStdString() + "/Part" +
                          std::to_string(i) + ".kpt");
            if (folder < CheckOutFolders)
                checkedOut.push_back(all.back());
        }
    checkedOut = AcrossFolders(checkedOut);

    BenchPrompts prompts;
    prompts.folder = tree;
    frmMain window(prompts, [] { return std::make_shared<ScrivoServer>(); });
    if (!window.Load())
        return 1;
    window.show();
    QCoreApplication::processEvents();
    FileListView *list = window.findChild<FileListView *>(QStringLiteral("ListViewFiles"));
    const auto trigger = [&](const char *action) {
        window.findChild<QAction *>(QString::fromLatin1(action))->trigger();
    };
    const auto selectCheckOutRows = [&] {
        list->clearSelection();
        QItemSelection rows;
        for (int row = 0; row < list->Model()->Count(); ++row) {
            const QString folder = list->Model()->Record(row)->FilePath().section(u'/', -1);
            if (folder < FolderName(CheckOutFolders))
                rows.select(list->Model()->index(row, 0), list->Model()->index(row, 0));
        }
        list->selectionModel()->select(rows,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };

    Step steps[] = {{"search", 1.5, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"again", 0.6, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"1% changed", 0.7, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"scrivo list", 1.5, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"where-used", 1.5, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"refresh", 2.0, Folders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"check-out", 2.5, CheckOutFolders * DocumentsPerFolder, {}, {}, {}, {}},
                    {"check-in", 4.0, CheckOutFolders * DocumentsPerFolder, {}, {}, {}, {}}};
    // Each measure on a fresh mount, its requests counted.
    const auto measure = [&](qint64 &requests, const std::function<double()> &work) {
        share.Remount(1);
        const qint64 before = share.Requests();
        const double ms = work();
        requests = before < 0 ? -1 : share.Requests() - before;
        return ms;
    };
    const auto floorPair = [&](Step &step, const std::function<void(int)> &floor) {
        step.serial.values.push_back(
            measure(step.floorRequests, [&] { return TimeCall([&] { floor(1); }); }));
        qint64 ignored = 0;
        step.parallel.values.push_back(
            measure(ignored, [&] { return TimeCall([&] { floor(FloorThreads); }); }));
    };
    const auto windowStep = [&](Step &step, const std::function<void()> &command) {
        Timed timed;
        step.program.values.push_back(measure(step.programRequests, [&] {
            timed = TimeWindowCommand(command);
            return timed.ms;
        }));
        step.pause.values.push_back(timed.longestPause);
    };

    for (int run = 0; run < runs; ++run) {
        QFile::remove(cacheFile);
        windowStep(steps[0], [&] { trigger("mnuDocumentsSearch"); });
        floorPair(steps[0], [&](int threads) { SearchFloor(treePath, threads); });
        // The same search with the cache the last one left, against the floor of the cold
        // search; then after every hundredth document was written anew.
        windowStep(steps[1], [&] { trigger("mnuDocumentsSearch"); });
        for (int folder = 0; folder < Folders; folder += 10)
            WriteFile(share.Served(QStringLiteral("tree/") + FolderName(folder) +
                                   QStringLiteral("/Part3.kpt")),
                      PartContent(folder, 3, run + 2));
        windowStep(steps[2], [&] { trigger("mnuDocumentsSearch"); });
        for (Step *warm : {&steps[1], &steps[2]}) {
            warm->serial.values.push_back(steps[0].serial.values.back());
            warm->parallel.values.push_back(steps[0].parallel.values.back());
            warm->floorRequests = steps[0].floorRequests;
        }

        // The tool over the tree: a listing, and where the first part is used.
        const QStringList whereUsed{QStringLiteral("where-used"), QStringLiteral("--in"), tree,
                                    tree + u'/' + FolderName(0) + QStringLiteral("/Part0.kpt")};
        for (const auto &[step, arguments] :
             {std::pair{&steps[3], QStringList{QStringLiteral("list"), tree}},
              std::pair{&steps[4], whereUsed}}) {
            QFile::remove(cacheFile);
            step->program.values.push_back(measure(step->programRequests, [&] {
                QProcess scrivo;
                scrivo.setStandardOutputFile(QProcess::nullDevice());
                return TimeCall([&] {
                    scrivo.start(QStringLiteral(SCRIVO_TOOL), arguments);
                    scrivo.waitForFinished(600000);
                });
            }));
            step->pause.values.push_back(0);
            floorPair(*step, [&](int threads) { SearchFloor(treePath, threads); });
        }

        windowStep(steps[5], [&] { trigger("mnuRefresh"); });
        floorPair(steps[5], [&](int threads) { RefreshFloor(all, threads); });

        selectCheckOutRows();
        windowStep(steps[6], [&] { trigger("mnuReserveSelectedFiles"); });
        windowStep(steps[7], [&] { trigger("mnuUnreserveSelectedFiles"); });
        // The floors of both, in turn, leaving the documents free again.
        for (int threads : {1, FloorThreads}) {
            qint64 requests = 0;
            const double out = measure(
                requests, [&] { return TimeCall([&] { CheckOutFloor(checkedOut, threads); }); });
            if (threads == 1)
                steps[6].floorRequests = requests;
            (threads == 1 ? steps[6].serial : steps[6].parallel).values.push_back(out);
            const double in = measure(
                requests, [&] { return TimeCall([&] { CheckInFloor(checkedOut, threads); }); });
            if (threads == 1)
                steps[7].floorRequests = requests;
            (threads == 1 ? steps[7].serial : steps[7].parallel).values.push_back(in);
        }
        std::printf("round %d: search %.0f ms, again %.0f ms, 1%% changed %.0f ms, list %.0f ms, "
                    "where-used %.0f ms, refresh %.0f ms, check-out %.0f ms, check-in %.0f ms "
                    "(%d messages so far)\n",
                    run + 1, steps[0].program.values.back(), steps[1].program.values.back(),
                    steps[2].program.values.back(), steps[3].program.values.back(),
                    steps[4].program.values.back(), steps[5].program.values.back(),
                    steps[6].program.values.back(), steps[7].program.values.back(),
                    prompts.messages);
    }

    std::printf("\n%s share, %d ms each way, %d documents in %d folders of %d entries; "
                "%d rounds, medians\n",
                qPrintable(NetworkShare::KindName(kind)), latency, Folders * DocumentsPerFolder,
                Folders, DocumentsPerFolder + OtherFilesPerFolder, runs);
    std::printf("%-12s %10s %10s %10s %9s %7s %9s %14s %12s\n", "command", "program", "serial",
                "16 threads", "/16 thr.", "goal", "ms/doc", "requests/doc", "longest pause");
    for (const Step &step : steps) {
        const double ratio = step.program.Median() / step.parallel.Median();
        char requests[32] = "-";
        if (step.programRequests >= 0)
            std::snprintf(requests, sizeof requests, "%.1f / %.1f",
                          double(step.programRequests) / step.documents,
                          double(step.floorRequests) / step.documents);
        std::printf("%-12s %8.0f ms %7.0f ms %7.0f ms %8.2fx %5.1fx%s %7.2f ms %14s %9.0f ms%s\n",
                    step.name, step.program.Median(), step.serial.Median(), step.parallel.Median(),
                    ratio, step.goal, ratio <= step.goal ? " " : "!",
                    step.program.Median() / step.documents, requests, step.pause.Median(),
                    step.pause.Median() < 100 ? "" : " !");
    }
    std::printf("(requests/doc: the program's, then the serial floor's; goals: the program's time "
                "at most so many 16-thread floors, the window's longest pause under 100 ms; "
                "! marks a goal not met)\n");
    std::printf("where-used / search: median %.2f  (goal <= 1.5)\n",
                steps[4].program.Median() / steps[0].program.Median());
    std::printf("again / search: median %.2f; 1%% changed / search: median %.2f\n",
                steps[1].program.Median() / steps[0].program.Median(),
                steps[2].program.Median() / steps[0].program.Median());
    return 0;
}
