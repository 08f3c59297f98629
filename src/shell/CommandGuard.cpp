#include "shell/CommandGuard.h"

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
