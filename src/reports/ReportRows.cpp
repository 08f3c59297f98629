#include "reports/ReportRows.h"

#include "model/FileListModel.h"

QList<ReportRow> ReportRowsOf(const FileListModel &list)
{
    QList<ReportRow> rows;
    rows.reserve(list.Count());
    for (int i = 0; i < list.Count(); ++i) {
        ReportRow row;
        for (int column = 0; column < ReportColumnCount; ++column)
            row[size_t(column)] = ColumnText(*list.Record(i), column);
        rows.append(row);
    }
    return rows;
}
