// Fills the main window's file list with 20,000 rows, selects them and deletes them, and
// prints the time of each step. Runs headless unless a platform is set.

#include "BenchPrompts.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

void fill(frmMain &window, int count)
{
    auto files = std::make_shared<clsFiles>();
    for (int i = 0; i < count; ++i) {
        auto file = std::make_shared<clsFile>();
        const bool held = i % 7 == 0;
        file->SetCheckedOutBy(held ? QStringLiteral("Lena") : Available);
        file->SetCheckedOutTime(held ? QStringLiteral("01.02.2026 10:00:00") : Available);
        file->SetCheckedOutVersion(held ? QString::number(i % 13) : Available);
        file->SetFileName(QStringLiteral("part%1.kpt").arg(i % 5000));
        file->SetFilePath(QStringLiteral("/projects/plant/area%1").arg(i / 5000));
        file->SetBrowserName(QStringLiteral("part%1").arg(i % 5000));
        files->Add(file);
    }
    window.State().Files = files;
}

double milliseconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchPrompts prompts;
    frmMain window(prompts, [] { return std::shared_ptr<DocumentServer>(); });
    window.show();
    QCoreApplication::processEvents();

    constexpr int Rows = 20000;
    QElapsedTimer timer;

    fill(window, Rows);
    timer.start();
    window.ShowFilesInList();
    QCoreApplication::processEvents();
    std::printf("fill %d rows:              %8.1f ms\n", Rows, milliseconds(timer));

    timer.restart();
    window.SelectAll();
    QCoreApplication::processEvents();
    std::printf("select all:                  %8.1f ms\n", milliseconds(timer));

    timer.restart();
    window.DeleteSelectedListViewItem();
    QCoreApplication::processEvents();
    const double deleteAll = milliseconds(timer);
    std::printf(
        "delete all %d selected:    %8.1f ms (goal < 500 ms) rows left %d, records left %d\n", Rows,
        deleteAll, window.ListViewFiles->Count(), window.State().Files->Count());

    // Every other row selected: the kept rows go back in their order.
    fill(window, Rows);
    window.ShowFilesInList();
    for (int i = 1; i <= Rows; i += 2)
        window.ListViewFiles->Row(i)->setSelected(true);
    QCoreApplication::processEvents();
    timer.restart();
    window.DeleteSelectedListViewItem();
    QCoreApplication::processEvents();
    std::printf("delete every other row:      %8.1f ms rows left %d, records left %d\n",
                milliseconds(timer), window.ListViewFiles->Count(), window.State().Files->Count());

    timer.restart();
    window.SortColumns(3);
    QCoreApplication::processEvents();
    std::printf("sort %d rows by file name: %8.1f ms\n", Rows / 2, milliseconds(timer));
    return window.ListViewFiles->Count() == Rows / 2 ? 0 : 1;
}
