#include "shell/frmMain.h"

#include "model/FileListModel.h"
#include "shell/FileListView.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QSet>

void frmMain::ConnectListCommands()
{
    connect(ListViewFiles->header(), &QHeaderView::sectionClicked, this,
            &frmMain::ListViewFilesColumnClick);
    connect(ListViewFiles, &FileListView::RightMouseDown, this,
            &frmMain::ListViewFilesRightMouseDown);

    connect(mnuSelectAll, &QAction::triggered, this, &frmMain::SelectAll);
    connect(pupmnuSelectAll, &QAction::triggered, this, &frmMain::SelectAll);
    auto deleteItems = [this] {
        if (!guard.MayRun())
            return;
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
    if (state.Files)
        listModel->ShowFiles(*state.Files);
    else
        listModel->Clear();
    ListViewFiles->header()->setSortIndicatorShown(false);
}

void frmMain::ClearList()
{
    listModel->Clear();
}

void frmMain::ListViewFilesColumnClick(int logicalIndex)
{
    SortColumns(logicalIndex + 1);
}

void frmMain::SortColumns(int column)
{
    const int key = column - 1;
    if (key < 0 || key >= FileListModel::Columns)
        return;
    Qt::SortOrder order = Qt::AscendingOrder;
    if (key == listModel->SortColumn())
        order =
            listModel->SortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    listModel->sort(key, order);
    ListViewFiles->header()->setSortIndicator(key, order);
    ListViewFiles->header()->setSortIndicatorShown(true);
}

void frmMain::SelectAll()
{
    ListViewFiles->selectAll();
}

void frmMain::DeleteSelectedListViewItem()
{
    const QList<int> doomedRows = ListViewFiles->SelectedRows();
    if (doomedRows.isEmpty())
        return;
    QSet<const clsFile *> doomedRecords;
    doomedRecords.reserve(doomedRows.size());
    for (const int row : doomedRows)
        doomedRecords.insert(listModel->Record(row).get());
    if (state.Files)
        state.Files->RemoveRecords(doomedRecords);
    // The view stays where it was in the list.
    const int scrolled = ListViewFiles->verticalScrollBar()->value();
    listModel->RemoveRows(doomedRows);
    ListViewFiles->verticalScrollBar()->setValue(scrolled);
}

void frmMain::ListViewFilesRightMouseDown(QPoint globalPosition)
{
    pupmnuDeleteItems->setEnabled(listModel->Count() > 0);
    pupmnuListView->popup(globalPosition);
}

void frmMain::SetGridLines(bool on)
{
    ListViewFiles->SetGridLines(on);
    mnuGridlinesOn->setChecked(on);
    mnuGridlinesOff->setChecked(!on);
}
