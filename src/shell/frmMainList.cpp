#include "shell/frmMain.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "reports/TabSeparated.h"
#include "reserve/ReservationRun.h"
#include "shell/FileListView.h"
#include "shell/StatusPanels.h"
#include "system/Translation.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QUrl>

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
    ListViewFiles->DeleteSelectedRows(state.Files.get());
}

void frmMain::DeleteItems()
{
    if (!guard.MayRun())
        return;
    DeleteSelectedListViewItem();
    list.SetSaved(false);
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

void frmMain::CopySelectedRows()
{
    QGuiApplication::clipboard()->setText(
        TabSeparatedLines(ReportRowsOf(*listModel, ListViewFiles->SelectedRows())));
}

void frmMain::CopySelectedPaths()
{
    QStringList paths;
    for (const int row : ListViewFiles->SelectedRows())
        paths.append(DocumentPathOf(*listModel->Record(row)));
    QGuiApplication::clipboard()->setText(paths.isEmpty() ? QString() : paths.join(u'\n') + u'\n');
}

void frmMain::OpenContainingFolder()
{
    const QModelIndex current = ListViewFiles->currentIndex();
    if (current.isValid()) {
        OpenFolderOfRow(ListViewFiles->Filter()->mapToSource(current).row());
        return;
    }
    const QList<int> selected = ListViewFiles->SelectedRows();
    if (!selected.isEmpty())
        OpenFolderOfRow(selected.first());
}

void frmMain::OpenFolderOfRow(int row)
{
    if (row < 0 || row >= listModel->Count())
        return;
    const QString folder = listModel->Record(row)->FilePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        prompts.MessageBox(Brevant::tr("The folder could not be opened:\r%1").arg(folder),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}

void frmMain::FocusFilter()
{
    FilterText->setFocus(Qt::ShortcutFocusReason);
    FilterText->selectAll();
}

void frmMain::UpdateCounts()
{
    status->SetCounts(
        ListCountsText(CountRows(*ListViewFiles->Filter(), ListViewFiles->SelectedCount())));
}
