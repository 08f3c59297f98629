#pragma once

#include "shell/CommandGuard.h"
#include "shell/ListSession.h"

#include <QList>

class QObject;

// Which of the window's commands are available, from one table over how the list was made,
// what runs now and whether the list has rows. Every enabled state of a menu entry (and of
// the project drop-down) is set here.
class MenuState
{
public:
    // The window whose actions and drop-down are found by their design names.
    explicit MenuState(const QObject &window);

    void Apply(ListStage stage, CommandGuard::Activity activity, bool hasRows) const;

private:
    QList<QObject *> entries; // in the order of the table
};
