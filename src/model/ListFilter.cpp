#include "model/ListFilter.h"

#include "model/FileListModel.h"
#include "system/Translation.h"

ListFilter::ListFilter(FileListModel &model, QObject *parent)
    : QSortFilterProxyModel(parent), list(model)
{
    SetHeldDays(heldDays);
    setSourceModel(&list);
}

void ListFilter::SetText(const QString &typed)
{
    if (typed == text)
        return;
    text = typed;
    invalidateRowsFilter();
}

void ListFilter::SetShow(Show choice)
{
    if (choice == show)
        return;
    show = choice;
    invalidateRowsFilter();
}

void ListFilter::SetHeldDays(int days)
{
    heldDays = days;
    heldSince = QDateTime::currentDateTimeUtc().addDays(-days);
    if (show == Show::HeldLonger)
        invalidateRowsFilter();
}

bool ListFilter::HeldLongEnough(const clsFile &record) const
{
    const QDateTime since = record.CheckedOutSince();
    return IsCheckedOutText(record.CheckedOutBy()) && since.isValid() && since <= heldSince;
}

void ListFilter::SetUser(const QString &name)
{
    if (name == user)
        return;
    user = name;
    if (show == Show::Mine)
        invalidateRowsFilter();
}

QList<int> ListFilter::RowsShown() const
{
    QList<int> rows;
    rows.reserve(rowCount());
    for (int row = 0; row < rowCount(); ++row)
        rows.append(mapToSource(index(row, 0)).row());
    return rows;
}

bool ListFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const clsFile &record = *list.Record(sourceRow);
    const QString holder = record.CheckedOutBy();
    if ((show == Show::Mine && holder != user) ||
        (show == Show::CheckedOut && !IsCheckedOutText(holder)) ||
        (show == Show::Free && holder != Available) ||
        (show == Show::HeldLonger && !HeldLongEnough(record)))
        return false;
    if (text.isEmpty())
        return true;
    return record.FileName().contains(text, Qt::CaseInsensitive) ||
           record.FilePath().contains(text, Qt::CaseInsensitive) ||
           holder.contains(text, Qt::CaseInsensitive) ||
           record.BrowserName().contains(text, Qt::CaseInsensitive);
}

ListCounts CountRows(const ListFilter &filter, int selected)
{
    ListCounts counts;
    const FileListModel &list = filter.List();
    counts.shown = filter.rowCount();
    counts.listed = list.Count();
    counts.selected = selected;
    counts.filtering = filter.Filtering();
    const bool countHeld = filter.Choice() == ListFilter::Show::HeldLonger;
    if (countHeld)
        counts.heldDays = filter.HeldDays();
    for (int row = 0; row < list.Count(); ++row) {
        const clsFile &record = *list.Record(row);
        if (countHeld && filter.HeldLongEnough(record))
            ++counts.heldLonger;
        const QString holder = record.CheckedOutBy();
        if (!IsCheckedOutText(holder))
            continue;
        ++counts.checkedOut;
        if (holder == filter.User())
            ++counts.mine;
    }
    return counts;
}

QString ListCountsText(const ListCounts &counts)
{
    QString text = counts.filtering
                       ? Brevant::tr("%1 of %2 row(s) shown").arg(counts.shown).arg(counts.listed)
                       : Brevant::tr("%1 row(s)").arg(counts.listed);
    text += Brevant::tr(", %1 selected, %2 checked out, %3 mine")
                .arg(counts.selected)
                .arg(counts.checkedOut)
                .arg(counts.mine);
    if (counts.heldDays > 0)
        text += Brevant::tr(", %1 held longer than %2 day(s)")
                    .arg(counts.heldLonger)
                    .arg(counts.heldDays);
    if (counts.filtering)
        text += Brevant::tr(" (Save writes the rows shown)");
    return text;
}
