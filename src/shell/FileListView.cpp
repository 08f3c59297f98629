#include "shell/FileListView.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <vector>

namespace {

// Rows as high as the font needs plus room below the text, so that a grid line drawn on a
// row's last pixel never covers an underscore or a descender.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(qMax(size.height(), option.fontMetrics.height() + 6));
        return size;
    }
};

} // namespace

FileListView::FileListView(QWidget *parent) : QTreeView(parent)
{
    list = new FileListModel(this);
    filter = new ListFilter(*list, this);
    setModel(filter);
    setItemDelegate(new RowDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Documents differ at the ends of their names and paths, so the middle gives way.
    setTextElideMode(Qt::ElideMiddle);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(true);
    // What a row uses is said only in a where-used list: whenever the list is filled or
    // emptied, the column follows.
    setColumnHidden(Column::Uses, true);
    connect(list, &QAbstractItemModel::modelReset, this, [this] {
        bool uses = false;
        for (int row = 0; row < list->Count() && !uses; ++row)
            uses = !list->Record(row)->Uses().isEmpty();
        setColumnHidden(Column::Uses, !uses);
    });
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
    std::vector<bool> selected(size_t(list->rowCount()), false);
    for (const QItemSelectionRange &range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            selected[size_t(filter->mapToSource(filter->index(row, 0)).row())] = true;
    QList<int> rows;
    for (size_t row = 0; row < selected.size(); ++row)
        if (selected[row])
            rows.append(int(row));
    return rows;
}

int FileListView::SelectedCount() const
{
    int count = 0;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        count += range.height();
    return count;
}

QList<int> FileListView::RowsShown() const
{
    return filter->RowsShown();
}

void FileListView::ShowFiles(const clsFiles &files)
{
    list->ShowFiles(files);
    header()->setSortIndicatorShown(false);
}

void FileListView::SortByColumn(int column)
{
    Qt::SortOrder order = Qt::AscendingOrder;
    if (column == list->SortColumn())
        order = list->SortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    list->sort(column, order);
    header()->setSortIndicator(column, order);
    header()->setSortIndicatorShown(true);
}

void FileListView::DeleteSelectedRows()
{
    const QList<int> doomedRows = SelectedRows();
    if (doomedRows.isEmpty())
        return;
    int firstShown = filter->rowCount();
    for (const QItemSelectionRange &range : selectionModel()->selection())
        firstShown = qMin(firstShown, range.top());
    const int scrolled = verticalScrollBar()->value();
    list->RemoveRows(doomedRows);
    verticalScrollBar()->setValue(scrolled);
    // The keyboard goes on where the removed rows were.
    const int current = qMin(firstShown, filter->rowCount() - 1);
    if (current >= 0)
        selectionModel()->setCurrentIndex(filter->index(current, 0), QItemSelectionModel::NoUpdate);
}

void FileListView::drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    QStyleOptionViewItem shown = option;
    // A row the last refresh changed stands out until the next refresh.
    if (index.data(FileListModel::ChangedRole).toBool())
        shown.font.setBold(true);
    if (!index.data(FileListModel::OutOfDateRole).toString().isEmpty()) {
        // A row that could not be read again is shown greyed until it is read.
        const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
        shown.palette.setColor(QPalette::Text, grey);
        shown.palette.setColor(QPalette::HighlightedText, grey);
    }
    QTreeView::drawRow(painter, shown, index);
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

void FileListView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        PopupAtCurrentRow();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        emit CopyRequested();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::contextMenuEvent(QContextMenuEvent *event)
{
    // A mouse press has shown the popup already.
    if (event->reason() != QContextMenuEvent::Mouse)
        PopupAtCurrentRow();
    event->accept();
}

void FileListView::PopupAtCurrentRow()
{
    QRect row = visualRect(currentIndex());
    if (!row.isValid() || !viewport()->rect().intersects(row))
        row = QRect(viewport()->rect().topLeft(), QSize(1, 1));
    emit RightMouseDown(viewport()->mapToGlobal(QPoint(row.left() + 8, row.bottom())));
}
