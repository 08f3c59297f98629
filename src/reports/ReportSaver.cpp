#include "reports/ReportSaver.h"
#include "system/Translation.h"

#include "reports/SpreadsheetReport.h"
#include "reports/TextReport.h"
#include "system/FileError.h"

#include <QDir>
#include <QFileInfo>

ReportSaver::ReportSaver(Prompts &askWith, Rows listed) : prompts(askWith), rows(std::move(listed))
{
}

QString ReportSaver::SaveReport(const QString &defaultName, bool saveAs, const QString &reportPath)
{
    const bool ask = saveAs || reportPath.isEmpty();
    const QString path = ask ? AskReportFileName(defaultName) : reportPath;
    const int format = selectedFilter;
    if (path.isEmpty())
        return QString();

    // The old file is not removed here: the writers replace it only with a complete report.
    // Only a normal file is asked about, not a folder or anything else.
    if (ask && QFileInfo(path).isFile()) {
        const PromptAnswer answer =
            prompts.MessageBox(Brevant::tr("Do you want to override excisting file ?"),
                               PromptButtons::YesNoCancel, PromptIcon::None, BrevantTitle);
        if (answer != PromptAnswer::Yes)
            return QString();
    }

    if (format != SpreadsheetFormat && format != TextFormat)
        return QString();
    bool written = false;
    {
        HourglassPointer hourglass(prompts);
        written =
            format == SpreadsheetFormat ? WriteSpreadsheetReport(path) : WriteTextReport(path);
    }
    if (!written) {
        ShowSaveFailure(path);
        return QString();
    }
    if (cutCells > 0)
        prompts.MessageBox(CutCellsText(cutCells), PromptButtons::OK, PromptIcon::Information,
                           BrevantTitle);
    return path;
}

QString ReportSaver::AskReportFileName(const QString &defaultName)
{
    FileDialogRequest request;
    request.initialFolder = QDir::homePath();
    request.fileName = defaultName;
    request.filter = SaveDialogFilter();
    request.selectedFilter = selectedFilter;
    const QString path = prompts.SaveFileName(request);
    selectedFilter = request.selectedFilter;
    return path;
}

bool ReportSaver::WriteTextReport(const QString &path)
{
    return WriteReport([&] { WriteTextReportFile(path, rows()); });
}

bool ReportSaver::WriteSpreadsheetReport(const QString &path)
{
    return WriteReport([&] { cutCells = WriteSpreadsheetReportFile(path, rows()); });
}

bool ReportSaver::WriteReport(const std::function<void()> &write)
{
    lastError.clear();
    cutCells = 0;
    try {
        write();
    } catch (const FileError &error) {
        lastError = error.Reason;
        return false;
    }
    return true;
}

void ReportSaver::ShowSaveFailure(const QString &path) const
{
    const QString text = Brevant::tr("The report could not be saved:\r%1\r%2")
                             .arg(QFileInfo(path).absoluteFilePath(), lastError);
    prompts.MessageBox(text, PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}
