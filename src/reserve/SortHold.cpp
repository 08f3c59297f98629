#include "reserve/SortHold.h"

#include <QHeaderView>
#include <QTreeWidget>

SortHold::SortHold(QTreeWidget &list)
    : view(list), sortingEnabled(list.isSortingEnabled()),
      indicatorSection(list.header()->sortIndicatorSection()),
      indicatorOrder(list.header()->sortIndicatorOrder()),
      indicatorShown(list.header()->isSortIndicatorShown()),
      sectionsClickable(list.header()->sectionsClickable())
{
    if (sortingEnabled)
        view.setSortingEnabled(false);
}

SortHold::~SortHold()
{
    QHeaderView *header = view.header();
    header->setSortIndicator(indicatorSection, indicatorOrder);
    if (sortingEnabled)
        view.setSortingEnabled(true);
    // Switching sorting on or off also changes these two.
    header->setSortIndicatorShown(indicatorShown);
    header->setSectionsClickable(sectionsClickable);
}
