#pragma once

#include <QTreeView>

class FileListModel;
class ListFilter;
class clsFiles;

// The report-style file list over the list model, through the filter: several rows
// selectable, no editing, and grid lines, which a tree view does not draw by itself. Rows are
// the list model's rows unless said otherwise.
class FileListView : public QTreeView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    FileListModel *Model() const { return list; }
    ListFilter *Filter() const { return filter; }

    bool GridLines() const { return gridLines; }
    void SetGridLines(bool on);

    // The selected rows, in display order.
    QList<int> SelectedRows() const;
    int SelectedCount() const;
    // The rows the filter shows, in display order.
    QList<int> RowsShown() const;

    // Shows every record of files (none for null) in record order, unsorted; the Uses column
    // only where a record uses something (a where-used list).
    void ShowFiles(const clsFiles &files);
    // Sorts by a column; the same column again reverses the order.
    void SortByColumn(int column);
    // Removes the selected rows and exactly their own records from files; the view stays
    // where it was in the list, and the row after the first removed one becomes current.
    void DeleteSelectedRows();

signals:
    // After the view has handled the press itself; also for the Menu key and Shift+F10, at
    // the current row.
    void RightMouseDown(QPoint globalPosition);
    // Ctrl+C in the list.
    void CopyRequested();

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void PopupAtCurrentRow();

    FileListModel *list = nullptr;
    ListFilter *filter = nullptr;
    bool gridLines = false;
};
