#include "reports/ReportRows.h"

#include <QTreeWidget>

QList<ReportRow> ReportRowsOf(const QTreeWidget &list)
{
    QList<ReportRow> rows;
    const int count = list.topLevelItemCount();
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem *item = list.topLevelItem(i);
        ReportRow row;
        for (int column = 0; column < ReportColumnCount; ++column)
            row[static_cast<size_t>(column)] = item->text(column);
        rows.append(row);
    }
    return rows;
}
