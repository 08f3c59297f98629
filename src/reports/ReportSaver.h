#pragma once

#include "model/Prompts.h"
#include "reports/ReportRows.h"

#include <QString>
#include <functional>

// Saves the list as a report: the save dialog, the overwrite question and the text and
// spreadsheet writers. It holds the save dialog's state (its filter and the filter last
// selected).
class ReportSaver
{
public:
    static QString SaveDialogFilter()
    {
        return QStringLiteral("Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt");
    }
    enum Format { SpreadsheetFormat = 1, TextFormat = 2 };

    // The list's rows in display order, asked for when a report is written.
    using Rows = std::function<QList<ReportRow>()>;

    ReportSaver(Prompts &prompts, Rows rows);

    // Asks for a name when saveAs is set or the list has no report file yet (reportPath is
    // ""), else saves to reportPath in the format last selected. The file written; "" when
    // cancelled, declined or failed (a failure is shown to the user).
    QString SaveReport(const QString &defaultName, bool saveAs, const QString &reportPath);

    // The chosen full path, "" when cancelled. Remembers the filter the dialog left selected.
    QString AskReportFileName(const QString &defaultName);

    // Write the report to path. On failure the old file stays as it was, and false is
    // returned.
    bool WriteTextReport(const QString &path);
    bool WriteSpreadsheetReport(const QString &path);

private:
    bool WriteReport(const std::function<void()> &write);
    void ShowSaveFailure(const QString &path) const;

    Prompts &prompts;
    Rows rows;
    int selectedFilter = SpreadsheetFormat;
    QString lastError;
    // Cells the last spreadsheet had to cut to the cell limit.
    int cutCells = 0;
};
