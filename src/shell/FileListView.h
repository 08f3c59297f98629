#pragma once

#include "model/clsFile.h"

#include <QTreeWidget>

// One row of the file list, tied to its own record (not to whichever record shares its
// file name), with the key it was given when the list was built.
class FileRow : public QTreeWidgetItem
{
public:
    static constexpr int RowType = QTreeWidgetItem::UserType + 1;

    FileRow(clsFilePtr rowRecord, QString rowKey);

    const clsFilePtr &Record() const { return record; }
    const QString &Key() const { return key; }

    // Texts and check box from the record (check-out and check-in rewrite rows this way).
    void ShowRecord();
    // Ticked exactly when the row's main text is not "available".
    void RestoreCheckBox();

    // The row behind an item of the file list; null for anything else.
    static FileRow *Of(QTreeWidgetItem *item);

private:
    clsFilePtr record;
    QString key;
};

// The report-style file list: multi-selection, check boxes that only show state, and grid
// lines, which a tree view does not draw by itself.
class FileListView : public QTreeWidget
{
    Q_OBJECT

public:
    explicit FileListView(QWidget *parent = nullptr);

    bool GridLines() const { return gridLines; }
    void SetGridLines(bool on);

    // Rows 1..Count in their current order.
    int Count() const { return topLevelItemCount(); }
    FileRow *Row(int index) const;
    // The selected rows in their current order.
    QList<FileRow *> SelectedRows() const;

signals:
    // After the view has handled the press or release itself.
    void RightMouseDown(QPoint globalPosition);
    void LeftMouseUp(QPoint position);

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool gridLines = false;
};
