#pragma once

#include "model/Prompts.h"
#include "reports/ReportRows.h"

#include <QString>
#include <functional>

// What a report is saved from: the rows in display order, and the caption that names the
// report file of the list ("Korvex Brevant - <path>", or "Korvex Brevant - Unnamed").
class ReportSource
{
public:
    virtual ~ReportSource() = default;
    virtual QList<ReportRow> RowsInDisplayOrder() const = 0;
    virtual QString Caption() const = 0;
    virtual void SetCaption(const QString &caption) = 0;
};

// Saves the list as a report: the save dialog, the overwrite question, the text and
// spreadsheet writers, and the window caption that remembers where the list was saved.
// It holds the save dialog's state (its filter and the filter last selected).
class ReportSaver
{
public:
    // The caption prefix and the caption of a list without a report file.
    static QString CaptionPrefix() { return QStringLiteral("Korvex Brevant - "); }
    static QString UnnamedCaption() { return QStringLiteral("Korvex Brevant - Unnamed"); }
    static QString SaveDialogFilter()
    {
        return QStringLiteral("Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt");
    }
    enum Format { SpreadsheetFormat = 1, TextFormat = 2 };

    ReportSaver(Prompts &prompts, ReportSource &source);

    // Asks for a name when saveAs is set or the list has no report file yet, else saves to
    // the file in the caption in the format last selected. True when the report was
    // written; false when cancelled, declined or failed (a failure is shown to the user).
    bool SaveReport(const QString &defaultName, bool saveAs);

    // The chosen full path, "" when cancelled. Remembers the filter the dialog left selected.
    QString AskReportFileName(const QString &defaultName);

    // Write the report to path and, on success, set the caption to it. On failure the old
    // file and the caption stay as they were, and false is returned.
    bool WriteTextReport(const QString &path);
    bool WriteSpreadsheetReport(const QString &path);

private:
    bool WriteReport(const QString &path, const std::function<void()> &write);
    void ShowSaveFailure(const QString &path) const;

    Prompts &prompts;
    ReportSource &source;
    int selectedFilter = SpreadsheetFormat;
    QString lastError;
    // Cells the last spreadsheet had to cut to the cell limit.
    int cutCells = 0;
};
