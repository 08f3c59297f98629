#include "reports/ReportRows.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include <climits>
#include <unistd.h>

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

QString ReportTarget(const QString &path)
{
    const QFileInfo linkOrFile(path);
    const QFileInfo info(
        linkOrFile.isSymLink() && linkOrFile.exists() ? linkOrFile.canonicalFilePath() : path);
    if (info.isDir())
        throw ReportError(QCoreApplication::translate("Reports", "The path names a folder."));
    long nameMax = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    if (nameMax < 0)
        nameMax = NAME_MAX;
    if (QFile::encodeName(info.fileName()).size() + TemporarySuffixLength > nameMax)
        throw ReportError(QCoreApplication::translate(
            "Reports", "The file name is too long to write the new report beside the old one "
                       "first; choose a shorter name."));
    return info.filePath();
}
