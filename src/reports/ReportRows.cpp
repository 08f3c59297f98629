#include "reports/ReportRows.h"

#include "model/FileListModel.h"

ReportRow ReportRowOf(const clsFile &record)
{
    ReportRow row;
    for (int column = 0; column < Column::Count; ++column)
        row[size_t(column)] = ColumnText(record, column);
    return row;
}

QList<ReportRow> ReportRowsOf(const FileListModel &list, const QList<int> &rows)
{
    QList<ReportRow> report;
    report.reserve(rows.size());
    for (const int row : rows)
        report.append(ReportRowOf(*list.Record(row)));
    return report;
}
