#include "reports/ReportRows.h"

#include "model/FileListModel.h"

ReportRow ReportRowOf(const clsFile &record)
{
    ReportRow row;
    for (int column = 0; column < ReportColumnCount; ++column)
        row[size_t(column)] = ColumnText(record, column);
    return row;
}

QList<ReportRow> ReportRowsOf(const FileListModel &list)
{
    QList<ReportRow> rows;
    rows.reserve(list.Count());
    for (int i = 0; i < list.Count(); ++i)
        rows.append(ReportRowOf(*list.Record(i)));
    return rows;
}
