#pragma once

#include "model/clsFiles.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <functional>
#include <vector>

// The list's columns in display order, which is also the order of a report's fields.
namespace Column {
enum : int {
    CheckedOutBy,
    CheckedOutTime,
    FileName,
    FilePath,
    BrowserName,
    CheckedOutVersion,
    Comment, // not in the text report
    Uses,    // where-used lists only; not in the text report
    Count
};
} // namespace Column

// The text of one list column of a record.
QString ColumnText(const clsFile &record, int column);

// The document list: one row per record of Files, in display order. Nothing is copied: the
// texts shown are the records' own. The check box of a row shows whether its document is
// checked out; the user cannot change it. Rows move only when the list is sorted by a
// column, never when their texts change, so a run that writes the rows of a sorted list
// keeps them where they are.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int Columns = Column::Count;
    // The key a row was given when the list was filled: "A" and the record's position.
    static constexpr int KeyRole = Qt::UserRole + 1;
    // Why the row's texts are out of date (its document could not be read again); "" when
    // they are current.
    static constexpr int OutOfDateRole = Qt::UserRole + 2;
    // Whether the last refresh changed the row's texts.
    static constexpr int ChangedRole = Qt::UserRole + 3;

    using QAbstractTableModel::QAbstractTableModel;

    // The header text of a column, in the user's language.
    static QString Caption(int column);

    // Shows every record of files in record order, unsorted, keys "A1", "A2", ...
    void ShowFiles(const clsFiles &files);
    void Clear();

    int Count() const { return int(rows.size()); }
    // 0-based rows in display order.
    const clsFilePtr &Record(int row) const { return rows.at(size_t(row)).record; }
    QString Key(int row) const;

    // The view shows the row's record again.
    void RecordChanged(int row) { RowsChanged(row, row); }
    // The records of the rows first to last (0-based) changed: the view shows them again.
    void RowsChanged(int first, int last);
    // The same once over the span of these rows (any order), so that many changed rows cost
    // the view (and the counts) one update; nothing when there are none.
    void RowsChanged(const QList<int> &changed);
    // What a refresh found for the row: why its texts are out of date ("" when they are
    // current) and whether it changed them. Tells the view nothing, so that a refresh of many
    // rows tells it once (RowsChanged); returns whether the row's marks changed.
    bool SetRefreshMarks(int row, const QString &outOfDate, bool changed);
    // Takes the rows out of the list (0-based, any order); their records are the caller's.
    void RemoveRows(const QList<int> &doomed);

    // Sorts the rows by a column, keeping the order of equal values: times by the instant,
    // versions by number (free documents after the others in both), other columns as text
    // in any letter case.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The sort state: the column and order of the last sort stay when the list is filled
    // again, and the list is then unsorted until the next sort.
    bool Sorted() const { return sorted; }
    int SortColumn() const { return sortColumn; }
    Qt::SortOrder SortOrder() const { return sortOrder; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Whether the row at position a sorts before the one at b in the column, ascending.
    std::function<bool(int, int)> SortsBefore(int column) const;
    struct Row
    {
        clsFilePtr record;
        int key;
        QString outOfDate;
        bool changed = false;
    };
    std::vector<Row> rows;
    bool sorted = false;
    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};
