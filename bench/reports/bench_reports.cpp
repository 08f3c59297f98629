// Times the text and spreadsheet report writers on a list of 20,000 rows.
// Usage: bench_reports [rows]

#include "model/Prompts.h"
#include "reports/ReportSaver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// The benchmark shows no dialog; every prompt is declined.
class SilentPrompts : public Prompts
{
public:
    PromptAnswer MessageBox(const QString &text, PromptButtons, PromptIcon,
                            const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return PromptAnswer::Cancel;
    }
    QString InputBox(const QString &, const QString &, const QString &, QPoint) override
    {
        return {};
    }
    QString OpenFileName(FileDialogRequest &) override { return {}; }
    QString SaveFileName(FileDialogRequest &) override { return {}; }
    QString BrowseForFolder(const QString &) override { return {}; }
    void SetMousePointer(MousePointer) override {}
};

// The list a report is written from.
struct List
{
    explicit List(int count)
    {
        rows.reserve(count);
        for (int i = 0; i < count; ++i) {
            const bool free = i % 3 == 0;
            rows.append(
                {free ? QStringLiteral("available") : QStringLiteral("user%1").arg(i % 7),
                 free ? QStringLiteral("available")
                      : QStringLiteral("05.12.2026 10:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')),
                 QStringLiteral("part-%1.kpt").arg(i, 6, 10, QLatin1Char('0')),
                 QStringLiteral("/srv/projects/plant-%1/assembly-%2/parts")
                     .arg(i / 1000)
                     .arg(i / 50),
                 QStringLiteral("Part %1 of assembly %2").arg(i).arg(i / 50),
                 free ? QStringLiteral("available") : QString::number(i % 12 + 1)});
        }
    }
    QList<ReportRow> rows;
};

double TimeWriter(const char *name, const QString &path,
                  bool (ReportSaver::*writer)(const QString &), ReportSaver &saver)
{
    QElapsedTimer timer;
    timer.start();
    const bool written = (saver.*writer)(path);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!written) {
        std::fprintf(stderr, "%s failed\n", name);
        return -1;
    }
    std::printf("%-24s %8.3f s  %10lld bytes\n", name, seconds,
                static_cast<long long>(QFileInfo(path).size()));
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 20000;

    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    SilentPrompts prompts;
    List list(rows);
    ReportSaver saver(prompts, [&list] { return list.rows; });

    std::printf("rows: %d\n", rows);
    const int runs = 3;
    bool failed = false;
    for (int run = 1; run <= runs; ++run) {
        std::printf("run %d\n", run);
        failed |= TimeWriter("WriteTextReport", folder.filePath(QStringLiteral("report.txt")),
                             &ReportSaver::WriteTextReport, saver) < 0;
        failed |=
            TimeWriter("WriteSpreadsheetReport", folder.filePath(QStringLiteral("report.xls")),
                       &ReportSaver::WriteSpreadsheetReport, saver) < 0;
    }
    return failed ? 1 : 0;
}
