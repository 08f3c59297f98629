#pragma once

#include <QTreeView>

class FileListModel;
class clsFiles;

// The report-style file list over the list model: several rows selectable, no editing, and
// grid lines, which a tree view does not draw by itself.
class FileListView : public QTreeView
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    FileListModel *Model() const;

    bool GridLines() const { return gridLines; }
    void SetGridLines(bool on);

    // The selected rows, 0-based, in display order.
    QList<int> SelectedRows() const;

    // Shows every record of files (none for null) in record order, unsorted.
    void ShowFiles(const clsFiles *files);
    // Sorts by a column; the same column again reverses the order.
    void SortByColumn(int column);
    // Removes the selected rows and exactly their own records from files; the view stays
    // where it was in the list.
    void DeleteSelectedRows(clsFiles *files);

signals:
    // After the view has handled the press itself.
    void RightMouseDown(QPoint globalPosition);

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    bool gridLines = false;
};
