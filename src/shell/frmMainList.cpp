#include "shell/frmMain.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QSet>

void frmMain::ConnectListCommands()
{
    connect(ListViewFiles->header(), &QHeaderView::sectionClicked, this,
            &frmMain::ListViewFilesColumnClick);
    connect(ListViewFiles, &FileListView::RightMouseDown, this,
            &frmMain::ListViewFilesRightMouseDown);
    connect(ListViewFiles, &FileListView::LeftMouseUp, this, &frmMain::ListViewFilesLeftMouseUp);

    connect(mnuSelectAll, &QAction::triggered, this, &frmMain::SelectAll);
    connect(pupmnuSelectAll, &QAction::triggered, this, &frmMain::SelectAll);
    auto deleteItems = [this] {
        DeleteSelectedListViewItem();
        listSaved = false;
    };
    connect(mnuDeleteItems, &QAction::triggered, this, deleteItems);
    connect(pupmnuDeleteItems, &QAction::triggered, this, deleteItems);
    connect(mnuGridlinesOn, &QAction::triggered, this, [this] { SetGridLines(true); });
    connect(mnuGridlinesOff, &QAction::triggered, this, [this] { SetGridLines(false); });
}

void frmMain::ShowFilesInList()
{
    ClearList();
    sorted = false;
    ListViewFiles->header()->setSortIndicatorShown(false);

    QList<QTreeWidgetItem *> rows;
    const int count = state.Files ? state.Files->Count() : 0;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows.append(new FileRow(state.Files->Item(i), QStringLiteral("A") + QString::number(i)));
    // One insertion for all rows: the view updates once, not once per row.
    ListViewFiles->addTopLevelItems(rows);
}

void frmMain::ClearList()
{
    ListViewFiles->clear();
}

void frmMain::ShowRecordInRow(QTreeWidgetItem *row)
{
    if (FileRow *fileRow = FileRow::Of(row))
        fileRow->ShowRecord();
}

clsFilePtr frmMain::RecordOfRow(QTreeWidgetItem *row)
{
    const FileRow *fileRow = FileRow::Of(row);
    return fileRow ? fileRow->Record() : nullptr;
}

QList<FileRow *> frmMain::SelectedRows() const
{
    return ListViewFiles->SelectedRows();
}

void frmMain::ListViewFilesColumnClick(int logicalIndex)
{
    SortColumns(logicalIndex + 1);
}

void frmMain::SortColumns(int column)
{
    const int key = column - 1;
    if (key < 0 || key >= ListViewFiles->columnCount())
        return;
    if (key == sortColumn) {
        sortOrder = sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        sortColumn = key;
        sortOrder = Qt::AscendingOrder;
    }
    sorted = true;
    // Texts compare as texts, also the time and version columns ("10" before "9").
    ListViewFiles->sortItems(sortColumn, sortOrder);
    ListViewFiles->header()->setSortIndicator(sortColumn, sortOrder);
    ListViewFiles->header()->setSortIndicatorShown(true);
}

void frmMain::SelectAll()
{
    ListViewFiles->selectAll();
}

void frmMain::DeleteSelectedListViewItem()
{
    const QList<FileRow *> doomedRows = SelectedRows();
    if (doomedRows.isEmpty())
        return;

    QSet<const clsFile *> doomedRecords;
    doomedRecords.reserve(doomedRows.size());
    for (const FileRow *row : doomedRows)
        if (row->Record())
            doomedRecords.insert(row->Record().get());
    if (state.Files)
        state.Files->RemoveRecords(doomedRecords);

    // Take every row out in one step and put the survivors back in one step: removing
    // rows one at a time costs a view update (and a list shift) per row.
    const QList<QTreeWidgetItem *> all = ListViewFiles->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem *> kept;
    kept.reserve(all.size() - doomedRows.size());
    QSet<const QTreeWidgetItem *> doomed(doomedRows.cbegin(), doomedRows.cend());
    for (QTreeWidgetItem *row : all) {
        if (doomed.contains(row))
            delete row;
        else
            kept.append(row);
    }
    ListViewFiles->addTopLevelItems(kept);
}

void frmMain::ListViewFilesRightMouseDown(QPoint globalPosition)
{
    pupmnuDeleteItems->setEnabled(ListViewFiles->Count() > 0);
    pupmnuListView->popup(globalPosition);
}

void frmMain::ListViewFilesLeftMouseUp(QPoint position)
{
    // Whatever a click did to a box, it shows the reservation again.
    if (FileRow *row = FileRow::Of(ListViewFiles->itemAt(position)))
        row->RestoreCheckBox();
}

void frmMain::SetGridLines(bool on)
{
    ListViewFiles->SetGridLines(on);
    mnuGridlinesOn->setChecked(on);
    mnuGridlinesOff->setChecked(!on);
}
