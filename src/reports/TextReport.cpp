#include "reports/TextReport.h"

#include <QSaveFile>

QByteArray TextReportContent(const QList<ReportRow> &rows)
{
    QByteArray content;
    for (const ReportRow &row : rows) {
        for (int column = 0; column < ReportColumnCount; ++column) {
            if (column > 0)
                content += '|';
            content += row[static_cast<size_t>(column)].toUtf8();
        }
        content += "\r\n";
    }
    return content;
}

void WriteTextReportFile(const QString &path, const QList<ReportRow> &rows)
{
    const QString target = ReportTarget(path);
    const QByteArray content = TextReportContent(rows);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(file.errorString());
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ReportError(reason);
    }
    if (!file.commit())
        throw ReportError(file.errorString());
}
