#include "shell/FileListView.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

FileRow::FileRow(clsFilePtr rowRecord, QString rowKey)
    : QTreeWidgetItem(RowType), record(std::move(rowRecord)), key(std::move(rowKey))
{
    // Selectable, but the user never ticks a box: the boxes mirror the reservation.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    ShowRecord();
}

void FileRow::ShowRecord()
{
    if (!record)
        return;
    setText(0, record->CheckedOutBy());
    setText(1, record->CheckedOutTime());
    setText(2, record->FileName());
    setText(3, record->FilePath());
    setText(4, record->BrowserName());
    setText(5, record->CheckedOutVersion());
    RestoreCheckBox();
}

void FileRow::RestoreCheckBox()
{
    setCheckState(0, text(0) != Available ? Qt::Checked : Qt::Unchecked);
}

FileRow *FileRow::Of(QTreeWidgetItem *item)
{
    return item && item->type() == RowType ? static_cast<FileRow *>(item) : nullptr;
}

FileListView::FileListView(QWidget *parent) : QTreeWidget(parent)
{
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

void FileListView::SetGridLines(bool on)
{
    if (gridLines == on)
        return;
    gridLines = on;
    viewport()->update();
}

FileRow *FileListView::Row(int index) const
{
    return FileRow::Of(topLevelItem(index - 1));
}

QList<FileRow *> FileListView::SelectedRows() const
{
    QList<FileRow *> selected;
    for (int i = 1; i <= Count(); ++i) {
        FileRow *row = Row(i);
        if (row && row->isSelected())
            selected.append(row);
    }
    return selected;
}

void FileListView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    QTreeWidget::drawRow(painter, option, index);
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
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::RightButton)
        emit RightMouseDown(event->globalPosition().toPoint());
}

void FileListView::mouseReleaseEvent(QMouseEvent *event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit LeftMouseUp(event->position().toPoint());
}
