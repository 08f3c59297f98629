#include "shell/ListCommands.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "model/Prompts.h"
#include "reports/TabSeparated.h"
#include "reserve/ReservationRun.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"
#include "shell/StatusPanels.h"
#include "shell/WindowSettings.h"
#include "system/Translation.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

ListCommands::ListCommands(Prompts &dialogs, FileListView &listView, StatusPanels &panels,
                           QObject *parent)
    : QObject(parent), prompts(dialogs), view(listView), status(panels)
{
}

void ListCommands::CopyRows()
{
    QGuiApplication::clipboard()->setText(
        TabSeparatedLines(ReportRowsOf(*view.Model(), view.SelectedRows())));
}

void ListCommands::CopyPaths()
{
    QStringList paths;
    for (const int row : view.SelectedRows())
        paths.append(DocumentPathOf(*view.Model()->Record(row)));
    QGuiApplication::clipboard()->setText(paths.isEmpty() ? QString() : paths.join(u'\n') + u'\n');
}

void ListCommands::OpenContainingFolder()
{
    if (view.currentIndex().isValid()) {
        OpenFolderAt(view.currentIndex());
        return;
    }
    const QList<int> selected = view.SelectedRows();
    if (!selected.isEmpty())
        OpenFolderOfRow(selected.first());
}

void ListCommands::OpenFolderAt(const QModelIndex &shown)
{
    OpenFolderOfRow(view.Filter()->mapToSource(shown).row());
}

void ListCommands::OpenFolderOfRow(int row)
{
    const FileListModel &list = *view.Model();
    if (row < 0 || row >= list.Count())
        return;
    const QString folder = list.Record(row)->FilePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        prompts.MessageBox(Brevant::tr("The folder could not be opened:\r%1").arg(folder),
                           PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}

void ListCommands::ShowCounts()
{
    status.SetCounts(ListCountsText(CountRows(*view.Filter(), view.SelectedCount())));
}

bool ListCommands::ChooseShow(ListFilter::Show choice)
{
    ListFilter &filter = *view.Filter();
    if (choice == ListFilter::Show::HeldLonger) {
        const QString answer = prompts.InputBox(
            Brevant::tr("Show the documents checked out for at least this many days:"),
            BrevantTitle, QString::number(RecallHeldDays()), InputBoxPosition(*view.window()));
        if (answer.isEmpty())
            return false;
        bool number = false;
        const int days = answer.trimmed().toInt(&number);
        if (!number || days < 1 || days > MostHeldDays) {
            prompts.MessageBox(Brevant::tr("The number of days must be a whole number from 1 "
                                           "to %1.")
                                   .arg(MostHeldDays),
                               PromptButtons::OK, PromptIcon::Exclamation, BrevantTitle);
            return false;
        }
        RememberHeldDays(days);
        filter.SetHeldDays(days);
    }
    filter.SetShow(choice);
    ShowCounts();
    return true;
}
