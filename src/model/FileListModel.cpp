#include "model/FileListModel.h"

#include "model/ReleaseElsewhere.h"
#include "system/Translation.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <numeric>
#include <utility>

QString ColumnText(const clsFile &record, int column)
{
    switch (column) {
    case Column::CheckedOutBy:
        return record.CheckedOutBy();
    case Column::CheckedOutTime:
        return record.CheckedOutTime();
    case Column::FileName:
        return record.FileName();
    case Column::FilePath:
        return record.FilePath();
    case Column::BrowserName:
        return record.BrowserName();
    case Column::CheckedOutVersion:
        return record.CheckedOutVersion();
    case Column::Comment:
        return record.CheckedOutComment();
    case Column::Uses:
        return record.Uses();
    default:
        return QString();
    }
}

// A cell's text, then what the holder said of the reservation and why the row is out of date,
// each on a line of its own where there is something to say.
QString ToolTipOf(const clsFile &record, int column, const QString &outOfDate)
{
    QString tip = ColumnText(record, column);
    const QString comment = record.CheckedOutComment();
    if (!comment.isEmpty() && column != Column::Comment)
        tip += u'\n' + Brevant::tr("Comment: %1").arg(comment);
    if (!outOfDate.isEmpty())
        tip += u'\n' + outOfDate;
    return tip;
}

QString FileListModel::Caption(int column)
{
    // Looked up when shown: the catalogue of the user's language is loaded after start-up.
    static const char *const captions[Columns] = {
        QT_TRANSLATE_NOOP("Brevant", "Checked Out By"),
        QT_TRANSLATE_NOOP("Brevant", "Checked Out Time"),
        QT_TRANSLATE_NOOP("Brevant", "File Name"),
        QT_TRANSLATE_NOOP("Brevant", "File Path"),
        QT_TRANSLATE_NOOP("Brevant", "Browser Name"),
        QT_TRANSLATE_NOOP("Brevant", "Checked Out Version"),
        QT_TRANSLATE_NOOP("Brevant", "Comment"),
        QT_TRANSLATE_NOOP("Brevant", "Uses")};
    return Brevant::tr(captions[column]);
}

void FileListModel::ShowFiles(const clsFiles &files)
{
    beginResetModel();
    ReleaseElsewhere(std::exchange(rows, {}));
    rows.reserve(size_t(files.Count()));
    for (int i = 1; i <= files.Count(); ++i)
        rows.push_back({files.Item(i), i, {}, false});
    sorted = false;
    endResetModel();
}

void FileListModel::Clear()
{
    beginResetModel();
    // The memory of a long list goes too, not only its rows.
    ReleaseElsewhere(std::exchange(rows, {}));
    endResetModel();
}

QString FileListModel::Key(int row) const
{
    return QStringLiteral("A") + QString::number(rows.at(size_t(row)).key);
}

void FileListModel::RowsChanged(int first, int last)
{
    emit dataChanged(index(first, 0), index(last, Columns - 1));
}

void FileListModel::RowsChanged(const QList<int> &changed)
{
    if (!changed.isEmpty())
        RowsChanged(*std::min_element(changed.cbegin(), changed.cend()),
                    *std::max_element(changed.cbegin(), changed.cend()));
}

bool FileListModel::SetRefreshMarks(int row, const QString &outOfDate, bool changed)
{
    Row &marked = rows.at(size_t(row));
    if (marked.outOfDate == outOfDate && marked.changed == changed)
        return false;
    marked.outOfDate = outOfDate;
    marked.changed = changed;
    return true;
}

void FileListModel::RemoveRows(const QList<int> &doomed)
{
    if (doomed.isEmpty())
        return;
    std::vector<bool> remove(rows.size(), false);
    for (const int row : doomed)
        if (row >= 0 && size_t(row) < rows.size())
            remove[size_t(row)] = true;
    // One reset for all rows: removing them one by one costs the view a relayout each.
    beginResetModel();
    std::vector<Row> removed;
    size_t kept = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (remove[i])
            removed.push_back(std::move(rows[i]));
        else
            rows[kept++] = std::move(rows[i]);
    }
    rows.resize(kept);
    endResetModel();
    ReleaseElsewhere(std::move(removed));
}

std::function<bool(int, int)> FileListModel::SortsBefore(int column) const
{
    // The time column sorts by the instant, the version column by number, each with the rows
    // that have none (free documents) after the others; the text columns as text in any
    // letter case.
    if (column == Column::CheckedOutTime) {
        auto since = std::make_shared<std::vector<qint64>>(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const QDateTime time = rows[i].record->CheckedOutSince();
            (*since)[i] =
                time.isValid() ? time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::max();
        }
        return [since](int a, int b) { return (*since)[size_t(a)] < (*since)[size_t(b)]; };
    }
    if (column == Column::CheckedOutVersion) {
        auto version = std::make_shared<std::vector<qint64>>(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            bool number = false;
            const qint64 value = rows[i].record->CheckedOutVersion().toLongLong(&number);
            (*version)[i] = number ? value : std::numeric_limits<qint64>::max();
        }
        return [version](int a, int b) { return (*version)[size_t(a)] < (*version)[size_t(b)]; };
    }
    auto texts = std::make_shared<std::vector<QString>>(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        (*texts)[i] = ColumnText(*rows[i].record, column);
    return [texts](int a, int b) {
        return QString::compare((*texts)[size_t(a)], (*texts)[size_t(b)], Qt::CaseInsensitive) < 0;
    };
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= Columns)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> positions(rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    const std::function<bool(int, int)> sortsBefore = SortsBefore(column);
    if (order == Qt::AscendingOrder)
        std::stable_sort(positions.begin(), positions.end(), sortsBefore);
    else
        std::stable_sort(positions.begin(), positions.end(),
                         [&](int a, int b) { return sortsBefore(b, a); });
    std::vector<Row> sortedRows;
    sortedRows.reserve(rows.size());
    std::vector<int> newRowOf(rows.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        sortedRows.push_back(std::move(rows[size_t(positions[i])]));
        newRowOf[size_t(positions[i])] = int(i);
    }
    rows.swap(sortedRows);
    // The selection and the current row follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &old : before)
        after.append(index(newRowOf[size_t(old.row())], old.column()));
    changePersistentIndexList(before, after);
    sorted = true;
    sortColumn = column;
    sortOrder = order;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count();
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= rows.size())
        return {};
    const Row &row = rows[size_t(index.row())];
    const clsFile &record = *row.record;
    switch (role) {
    case Qt::DisplayRole:
        return ColumnText(record, index.column());
    case Qt::ToolTipRole:
        return ToolTipOf(record, index.column(), row.outOfDate);
    case OutOfDateRole:
        return row.outOfDate;
    case ChangedRole:
        return row.changed;
    case Qt::CheckStateRole:
        if (index.column() != Column::CheckedOutBy)
            return {};
        return IsCheckedOutText(record.CheckedOutBy()) ? Qt::Checked : Qt::Unchecked;
    case KeyRole:
        return Key(index.row());
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= Columns)
        return {};
    return Caption(section);
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Selectable, but never checkable by the user: the boxes mirror the reservation.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
