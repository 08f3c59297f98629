#pragma once

#include <QSortFilterProxyModel>

class FileListModel;

// Which rows the list shows: those whose file name, path, holder or display name contain the
// typed text (any letter case), narrowed to a quick choice. Rows keep the list model's order;
// the list model sorts, the filter only hides.
class ListFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum class Show { All, Mine, CheckedOut, Free };

    explicit ListFilter(FileListModel &list, QObject *parent = nullptr);

    FileListModel &List() const { return list; }

    void SetText(const QString &text);
    void SetShow(Show choice);
    // "Mine" is the documents held by this user.
    void SetUser(const QString &name);
    QString User() const { return user; }
    bool Filtering() const { return !text.isEmpty() || show != Show::All; }

    // Rows of the list model, in display order.
    QList<int> RowsShown() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    FileListModel &list;
    QString text;
    Show show = Show::All;
    QString user;
};

// What the status bar counts: rows shown and listed, selected, checked out and held by the
// user among the listed rows.
struct ListCounts
{
    int shown = 0;
    int listed = 0;
    int selected = 0;
    int checkedOut = 0;
    int mine = 0;
    bool filtering = false;
};

ListCounts CountRows(const ListFilter &filter, int selected);
QString ListCountsText(const ListCounts &counts);
