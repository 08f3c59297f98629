#include "shell/frmMain.h"

#include "model/FileListModel.h"
#include "shell/FileListView.h"

#include <QAction>
#include <QMenu>

void frmMain::ListViewFilesColumnClick(int logicalIndex)
{
    SortColumns(logicalIndex + 1);
}

void frmMain::SortColumns(int column)
{
    if (column >= 1 && column <= FileListModel::Columns)
        ListViewFiles->SortByColumn(column - 1);
}

void frmMain::SelectAll()
{
    ListViewFiles->selectAll();
}

void frmMain::DeleteSelectedListViewItem()
{
    ListViewFiles->DeleteSelectedRows();
}

void frmMain::DeleteItems()
{
    guard.Run(CommandGuard::Activity::Running, [this] {
        DeleteSelectedListViewItem();
        list.SetSaved(false);
    });
}

void frmMain::ListViewFilesRightMouseDown(QPoint globalPosition)
{
    ApplyMenuState();
    pupmnuListView->popup(globalPosition);
}

void frmMain::SetGridLines(bool on)
{
    ListViewFiles->SetGridLines(on);
    mnuGridlinesOn->setChecked(on);
    mnuGridlinesOff->setChecked(!on);
}
