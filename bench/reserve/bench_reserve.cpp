// Checks out 1,000 documents of a Shared project through the main window and checks them in
// again, against the bare floor of the same work on the same file system: for each
// document a small file written, linked into place and its temporary name removed (check
// out), and the file removed (check in). Rounds run the window and the floor in turn; the
// benchmark prints every round, then the minimum and median of each and the window's ratio
// to the floor. Runs headless unless a platform is set; works in a private Scrivo home.
//
// Usage: bench_reserve [--runs N] [FOLDER]   (default: 5 rounds in a temporary folder on
// /dev/shm, a tmpfs, when there is one)

#include "BenchPrompts.h"
#include "BenchTiming.h"
#include "model/FileListModel.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"
#include "system/TimeZone.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Documents = 1000;

bool WriteFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

int CountRows(const frmMain &window, const QString &holder)
{
    const FileListModel &list =
        *window.findChild<FileListView *>(QStringLiteral("ListViewFiles"))->Model();
    int count = 0;
    for (int row = 0; row < list.Count(); ++row)
        count += list.Record(row)->CheckedOutBy() == holder ? 1 : 0;
    return count;
}

double TimeCommand(frmMain &window, const char *action)
{
    QElapsedTimer timer;
    timer.start();
    window.findChild<QAction *>(QLatin1String(action))->trigger();
    QCoreApplication::processEvents();
    return Milliseconds(timer);
}

// The least a record costs on this file system: write, link into place, remove the
// temporary name; and the removal for the check-in.
bool Floor(const QStringList &documents, double &out, double &in)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &path : documents) {
        const QByteArray record = QFile::encodeName(path + QStringLiteral(".floor"));
        const QByteArray temporary = record + ".tmp";
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, "[Reservation]\n", 14) != 14)
            return false;
        ::close(fd);
        if (::link(temporary.constData(), record.constData()) != 0)
            return false;
        ::unlink(temporary.constData());
    }
    out = Milliseconds(timer);
    timer.restart();
    for (const QString &path : documents)
        ::unlink(QFile::encodeName(path + QStringLiteral(".floor")).constData());
    in = Milliseconds(timer);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone(); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 5;
    QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            base = QFile::decodeName(argv[i]);
    }
    QTemporaryDir dir(base + QStringLiteral("/bench_reserve-XXXXXX"));
    if (!dir.isValid())
        return 1;
    qputenv("KORVEX_SCRIVO_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));

    const QString project = dir.filePath(QStringLiteral("plant/Plant.kpj"));
    if (!WriteFile(project, "[Project Defaults]\r\nMultiUser=Shared\r\n"))
        return 1;
    QStringList documents;
    for (int i = 0; i < Documents; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("plant/area%1/part%2.kpt").arg(i / 100).arg(i));
        if (!WriteFile(path,
                       "[Document]\nDisplayName=Part " + QByteArray::number(i) + "\nVersion=3\n"))
            return 1;
        documents.append(path);
    }

    auto server = std::make_shared<ScrivoServer>(dir.filePath(QStringLiteral("home")));
    server->RegisterProject(project);
    server->ProjectHandler().SetActiveProject(project);
    server->SetUserName(QStringLiteral("Anna"));
    std::printf("%d documents of a Shared project under %s\n", Documents, qPrintable(dir.path()));

    BenchPrompts prompts;
    frmMain window(prompts, [server] { return server; });
    if (!window.Load())
        return 1;
    window.show();
    // The documents listed by a search of their folder, all selected.
    prompts.folder = dir.filePath(QStringLiteral("plant"));
    window.findChild<QAction *>(QStringLiteral("mnuDocumentsSearch"))->trigger();
    window.SelectAll();
    QCoreApplication::processEvents();

    const int messagesBefore = prompts.messages;
    Series checkOut, checkIn, floorOut, floorIn;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        double out = 0;
        double in = 0;
        if (!Floor(documents, out, in))
            return 1;
        floorOut.values.push_back(out);
        floorIn.values.push_back(in);
        checkOut.values.push_back(TimeCommand(window, "mnuReserveSelectedFiles"));
        ok = ok && CountRows(window, QStringLiteral("Anna")) == Documents;
        checkIn.values.push_back(TimeCommand(window, "mnuUnreserveSelectedFiles"));
        ok = ok && CountRows(window, Available) == Documents;
        std::printf("round %d: floor out %7.1f ms in %6.1f ms, window check out %7.1f ms, "
                    "check in %7.1f ms\n",
                    run + 1, out, in, checkOut.values.back(), checkIn.values.back());
    }
    const auto line = [](const char *what, const Series &series) {
        std::printf("%-22s min %8.1f ms  median %8.1f ms\n", what, series.Min(), series.Median());
    };
    line("floor, check out:", floorOut);
    line("floor, check in:", floorIn);
    line("window, check out:", checkOut);
    line("window, check in:", checkIn);
    std::printf("check out / floor:     min %6.2f  median %6.2f  (goal <= 2.5)\n",
                checkOut.Min() / floorOut.Min(), checkOut.Median() / floorOut.Median());
    std::printf("check in / floor:      min %6.2f  median %6.2f\n", checkIn.Min() / floorIn.Min(),
                checkIn.Median() / floorIn.Median());
    if (!ok || prompts.messages != messagesBefore) {
        std::printf("a run failed: %s\n", qPrintable(prompts.lastMessage));
        return 1;
    }
    return 0;
}
