#include "shell/CommandGuard.h"

#include <QScopedValueRollback>
#include <utility>

CommandGuard::Hold::Hold(CommandGuard &held, Activity activity)
    : guard(held), previous(std::exchange(held.activity, activity))
{
    if (previous != activity)
        guard.changed();
}

CommandGuard::Hold::~Hold()
{
    const Activity ending = std::exchange(guard.activity, previous);
    if (ending != previous)
        guard.changed();
    if (guard.activity == Activity::Idle && std::exchange(guard.closeRequested, false))
        guard.close();
}

bool CommandGuard::AskToClose(const std::function<bool()> &question)
{
    const QScopedValueRollback<bool> asking(closing, true);
    return question();
}
