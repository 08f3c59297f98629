#pragma once

#include <QString>
#include <functional>
#include <optional>

// Runs work on a thread of its own while this thread's events go on (a window repaints, its
// timers fire, a Cancel button is heard), and returns once work has returned. What work
// throws stays on its thread and comes back as the reason the run failed; nothing when it
// ran through.
std::optional<QString> RunBesideEvents(const std::function<void()> &work);
