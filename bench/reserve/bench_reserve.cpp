// Checks out 1,000 documents of a Shared project through the main window and checks them
// in again, and prints the time of each run, then the same server calls without the window
// and the bare file operations a reservation record needs, for comparison. Runs headless
// unless a platform is set; uses a private Scrivo home in a temporary folder.

#include "BenchPrompts.h"
#include "model/FileListModel.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Documents = 1000;

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.left(path.lastIndexOf(u'/')));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

double milliseconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

int countRows(const frmMain &window, const QString &holder)
{
    const FileListModel &list =
        *window.findChild<FileListView *>(QStringLiteral("ListViewFiles"))->Model();
    int count = 0;
    for (int row = 0; row < list.Count(); ++row)
        count += list.Record(row)->CheckedOutBy() == holder ? 1 : 0;
    return count;
}

void Trigger(frmMain &window, const char *action)
{
    window.findChild<QAction *>(QLatin1String(action))->trigger();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    qputenv("KORVEX_SCRIVO_HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));

    const QString project = dir.filePath(QStringLiteral("plant/Plant.kpj"));
    if (!writeFile(project, "[Project Defaults]\r\nMultiUser=Shared\r\n"))
        return 1;
    QStringList documents;
    for (int i = 0; i < Documents; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("plant/area%1/part%2.kpt").arg(i / 100).arg(i));
        if (!writeFile(path,
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
    // The documents listed by a search of their folder.
    prompts.folder = dir.filePath(QStringLiteral("plant"));
    Trigger(window, "mnuDocumentsSearch");
    window.SelectAll();
    QCoreApplication::processEvents();
    const int messagesBefore = prompts.messages;

    QElapsedTimer timer;
    timer.start();
    Trigger(window, "mnuReserveSelectedFiles");
    QCoreApplication::processEvents();
    const double checkOut = milliseconds(timer);
    const int reserved = countRows(window, QStringLiteral("Anna"));
    std::printf("check out %d documents: %8.1f ms (goal < 1000 ms) rows reserved %d\n", Documents,
                checkOut, reserved);

    timer.restart();
    Trigger(window, "mnuUnreserveSelectedFiles");
    QCoreApplication::processEvents();
    const double checkIn = milliseconds(timer);
    const int released = countRows(window, Available);
    std::printf("check in %d documents:  %8.1f ms (goal < 1000 ms) rows available %d\n", Documents,
                checkIn, released);

    // The same server calls without the window, run frame or rows: what the server itself
    // costs for the two runs.
    timer.restart();
    for (const QString &path : documents) {
        server->SetUserName(QStringLiteral("Anna"));
        const ServerDocumentPtr doc = server->OpenDocument(path);
        if (!doc->IsReserved()) {
            doc->Reserve();
            doc->ReservedBy();
            doc->ReservedTime();
            doc->ReservedVersion();
        }
    }
    std::printf("server calls alone, check out: %8.1f ms\n", milliseconds(timer));
    timer.restart();
    for (const QString &path : documents) {
        server->SetUserName(QStringLiteral("Anna"));
        server->OpenDocument(path)->ReleaseReservation();
    }
    std::printf("server calls alone, check in:  %8.1f ms\n", milliseconds(timer));

    // The least a record per document costs on this file system: write a small file, link
    // it into place, remove the temporary name; and removing it again.
    timer.restart();
    for (const QString &path : documents) {
        const QByteArray record = QFile::encodeName(path + QStringLiteral(".floor"));
        const QByteArray temporary = record + ".tmp";
        const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::write(fd, "[Reservation]\n", 14) != 14)
            return 1;
        ::close(fd);
        if (::link(temporary.constData(), record.constData()) != 0)
            return 1;
        ::unlink(temporary.constData());
    }
    std::printf("system calls alone, check out: %8.1f ms\n", milliseconds(timer));
    timer.restart();
    for (const QString &path : documents)
        ::unlink(QFile::encodeName(path + QStringLiteral(".floor")).constData());
    std::printf("system calls alone, check in:  %8.1f ms\n", milliseconds(timer));

    if (prompts.messages != messagesBefore) {
        std::printf("a run failed: %s\n", qPrintable(prompts.lastMessage));
        return 1;
    }
    return reserved == Documents && released == Documents ? 0 : 1;
}
