#include "shell/FileListView.h"

#include "model/FileListModel.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <vector>

FileListView::FileListView(QWidget *parent) : QTreeView(parent)
{
    setModel(new FileListModel(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
}

FileListModel *FileListView::Model() const
{
    return static_cast<FileListModel *>(model());
}

void FileListView::SetGridLines(bool on)
{
    if (gridLines == on)
        return;
    gridLines = on;
    viewport()->update();
}

QList<int> FileListView::SelectedRows() const
{
    // From the selection's ranges: asking the selection about each row costs a pass over
    // every range per row, which for thousands of separately selected rows takes seconds.
    std::vector<bool> selected(size_t(model()->rowCount()), false);
    for (const QItemSelectionRange &range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[size_t(row)] = true;
    QList<int> rows;
    for (size_t row = 0; row < selected.size(); ++row)
        if (selected[row])
            rows.append(int(row));
    return rows;
}

void FileListView::ShowFiles(const clsFiles *files)
{
    if (files)
        Model()->ShowFiles(*files);
    else
        Model()->Clear();
    header()->setSortIndicatorShown(false);
}

void FileListView::SortByColumn(int column)
{
    FileListModel &list = *Model();
    Qt::SortOrder order = Qt::AscendingOrder;
    if (column == list.SortColumn())
        order = list.SortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    list.sort(column, order);
    header()->setSortIndicator(column, order);
    header()->setSortIndicatorShown(true);
}

void FileListView::DeleteSelectedRows(clsFiles *files)
{
    const QList<int> doomedRows = SelectedRows();
    if (doomedRows.isEmpty())
        return;
    FileListModel &list = *Model();
    QSet<const clsFile *> doomedRecords;
    doomedRecords.reserve(doomedRows.size());
    for (const int row : doomedRows)
        doomedRecords.insert(list.Record(row).get());
    if (files)
        files->RemoveRecords(doomedRecords);
    const int scrolled = verticalScrollBar()->value();
    list.RemoveRows(doomedRows);
    verticalScrollBar()->setValue(scrolled);
}

void FileListView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    QTreeView::drawRow(painter, option, index);
    if (!gridLines)
        return;
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    const QRect row = option.rect;
    painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    const QHeaderView *columns = header();
    for (int section = 0; section < columns->count(); ++section) {
        const int x = columns->sectionViewportPosition(section) + columns->sectionSize(section) - 1;
        painter->drawLine(x, row.top(), x, row.bottom());
    }
    painter->restore();
}

void FileListView::mousePressEvent(QMouseEvent *event)
{
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        emit RightMouseDown(event->globalPosition().toPoint());
}
