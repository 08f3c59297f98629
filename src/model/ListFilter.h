#pragma once

#include <QDateTime>
#include <QSortFilterProxyModel>

class FileListModel;
class clsFile;

// Which rows the list shows: those whose file name, path, holder or display name contain the
// typed text (any letter case), narrowed to a quick choice. Rows keep the list model's order;
// the list model sorts, the filter only hides. "Held longer" keeps the documents reserved at
// least the chosen number of days ago, measured from the moment that number was set.
class ListFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum class Show { All, Mine, CheckedOut, Free, HeldLonger };
    // The days "Held longer" starts with: two weeks.
    static constexpr int DefaultHeldDays = 14;

    explicit ListFilter(FileListModel &list, QObject *parent = nullptr);

    FileListModel &List() const { return list; }

    void SetText(const QString &text);
    void SetShow(Show choice);
    Show Choice() const { return show; }
    void SetHeldDays(int days);
    int HeldDays() const { return heldDays; }
    // Whether the record was reserved at least the held days ago (a time not known never is).
    bool HeldLongEnough(const clsFile &record) const;
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
    int heldDays = DefaultHeldDays;
    QDateTime heldSince;
};

// What the status bar counts: rows shown and listed, selected, checked out and held by the
// user among the listed rows, and while "Held longer" is chosen, those held that long.
struct ListCounts
{
    int shown = 0;
    int listed = 0;
    int selected = 0;
    int checkedOut = 0;
    int mine = 0;
    bool filtering = false;
    int heldDays = 0; // 0 unless "Held longer" is chosen
    int heldLonger = 0;
};

ListCounts CountRows(const ListFilter &filter, int selected);
QString ListCountsText(const ListCounts &counts);
