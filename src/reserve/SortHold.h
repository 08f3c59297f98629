#pragma once

#include <Qt>

class QTreeWidget;

// Keeps the rows of a list where they are while their texts change. A tree widget that
// sorts by itself moves a row whenever a text of the sort column changes; the hold switches
// that off and, when it ends, puts the sorting, the sort indicator and the clickable header
// back as they were.
class SortHold
{
public:
    explicit SortHold(QTreeWidget &list);
    ~SortHold();
    SortHold(const SortHold &) = delete;
    SortHold &operator=(const SortHold &) = delete;

private:
    QTreeWidget &view;
    bool sortingEnabled;
    int indicatorSection;
    Qt::SortOrder indicatorOrder;
    bool indicatorShown;
    bool sectionsClickable;
};
