#include "reports/TextReport.h"

#include "system/FileNames.h"
#include "system/FileWrite.h"

QByteArray TextReportContent(const QList<ReportRow> &rows)
{
    QByteArray content;
    for (const ReportRow &row : rows) {
        for (int column = 0; column < ReportColumnCount; ++column) {
            if (column > 0)
                content += '|';
            // The coding of the directory listing gives names their own bytes back.
            content += EncodeFileName(row[static_cast<size_t>(column)]);
        }
        content += "\r\n";
    }
    return content;
}

void WriteTextReportFile(const QString &path, const QList<ReportRow> &rows)
{
    ReplaceFile(path, TextReportContent(rows));
}
