// The main window's file list with 80,000 listed documents: the heap each listed document
// costs beyond the empty window, the time to fill the list, the time each keystroke in the
// filter field takes to show its rows, and the time to delete 20,000 selected rows. Runs
// headless unless a platform is set.
// Usage: bench_listview [rows]

#include "BenchPrompts.h"
#include "BenchTiming.h"
#include "model/FileListModel.h"
#include "shell/FileListView.h"
#include "shell/frmMain.h"
#include "system/TimeZone.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace {

// Records as a search of a plant's folders gives them, each with texts of its own.
clsFiles MakeRecords(int count)
{
    clsFiles files;
    QString folder;
    for (int i = 0; i < count; ++i) {
        if (i % 200 == 0)
            folder = QStringLiteral("/srv/projects/plant-%1/assembly-%2/parts")
                         .arg(i / 10000)
                         .arg(i / 200);
        auto file = std::make_shared<clsFile>();
        const bool held = i % 7 == 0;
        file->SetCheckedOutBy(held ? QStringLiteral("Lena") : Available);
        file->SetCheckedOutTime(held ? QStringLiteral("01.02.2026 10:00:00") : Available);
        file->SetCheckedOutVersion(held ? QString::number(i % 13) : Available);
        file->SetFileName(QStringLiteral("part-%1.kpt").arg(i, 6, 10, QLatin1Char('0')));
        file->SetFilePath(QString(folder.constData(), folder.size()));
        file->SetBrowserName(QStringLiteral("Part %1").arg(i));
        files.Add(file);
    }
    return files;
}

size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone(); // as the program does
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 80000;
    BenchPrompts prompts;
    frmMain window(prompts, [] { return std::shared_ptr<DocumentServer>(); });
    window.show();
    QCoreApplication::processEvents();
    auto *view = window.findChild<FileListView *>(QStringLiteral("ListViewFiles"));
    FileListModel &list = *view->Model();

    const size_t empty = HeapInUse();
    clsFiles files = MakeRecords(rows);
    QElapsedTimer timer;
    timer.start();
    list.ShowFiles(files);
    QCoreApplication::processEvents();
    const double fill = Milliseconds(timer);
    const double perRow = double(HeapInUse() - empty) / rows;
    std::printf("%d rows: %6.0f bytes per listed document (goal <= 600)\n", rows, perRow);
    std::printf("fill %d rows:                %8.1f ms (goal < 30 ms)\n", rows, fill);

    // A user types "part-01234" into the filter and then takes it out again, a key at a
    // time; each keystroke's time is until the window has painted the rows it shows.
    auto *filter = window.findChild<QLineEdit *>(QStringLiteral("FilterText"));
    const QString typed = QStringLiteral("part-01234");
    QList<double> keystrokes;
    for (qsizetype length = 1; length <= typed.size() * 2; ++length) {
        const qsizetype kept = length <= typed.size() ? length : typed.size() * 2 - length;
        timer.restart();
        filter->setText(typed.left(kept));
        window.repaint();
        QCoreApplication::processEvents();
        keystrokes.append(Milliseconds(timer));
    }
    const int shownAtEnd = view->model()->rowCount();
    std::sort(keystrokes.begin(), keystrokes.end());
    std::printf("filter keystroke, %d rows:    %8.1f ms median, %.1f ms slowest (goal < 100 ms)\n",
                rows, keystrokes.at(keystrokes.size() / 2), keystrokes.last());

    // Every fourth row selected, then deleted with its record.
    const int doomed = rows / 4;
    QItemSelection selection;
    const QAbstractItemModel &shown = *view->model();
    for (int row = 0; row < rows; row += 4)
        selection.select(shown.index(row, 0), shown.index(row, FileListModel::Columns - 1));
    view->selectionModel()->select(selection, QItemSelectionModel::Select);
    QCoreApplication::processEvents();
    timer.restart();
    window.DeleteSelectedListViewItem();
    QCoreApplication::processEvents();
    std::printf("delete %d selected rows:     %8.1f ms (goal < 100 ms) rows left %d\n", doomed,
                Milliseconds(timer), list.Count());

    // A refresh that found 2,000 rows changed marks them, and the view hears of it once.
    timer.restart();
    for (int row = 0; row < 2000; ++row)
        list.SetRefreshMarks(row, QString(), true);
    list.RowsChanged(0, 1999);
    QCoreApplication::processEvents();
    std::printf("mark 2000 rows changed:      %8.1f ms\n", Milliseconds(timer));

    timer.restart();
    window.SortColumns(3);
    QCoreApplication::processEvents();
    std::printf("sort %d rows by file name:   %8.1f ms\n", list.Count(), Milliseconds(timer));
    return list.Count() == rows - doomed && shownAtEnd == rows ? 0 : 1;
}
