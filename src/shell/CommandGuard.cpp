#include "shell/CommandGuard.h"

#include <utility>

CommandGuard::Hold::Hold(CommandGuard &held, Activity activity)
    : guard(held), previous(std::exchange(held.activity, activity))
{
}

CommandGuard::Hold::~Hold()
{
    guard.activity = previous;
    if (guard.activity == Activity::Idle && std::exchange(guard.closeRequested, false))
        guard.close();
}
