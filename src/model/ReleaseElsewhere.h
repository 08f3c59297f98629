#pragma once

#include <QThreadPool>
#include <memory>
#include <type_traits>
#include <utility>

// Freeing the records of a long list (each with its texts) takes tens of milliseconds for
// tens of thousands of them. Another thread drops these references, so the window does not
// stop for it; a record that something else still holds stays with it.
template <typename Container> void ReleaseElsewhere(Container &&doomed)
{
    if (doomed.empty())
        return;
    auto held = std::make_shared<std::decay_t<Container>>(std::forward<Container>(doomed));
    QThreadPool::globalInstance()->start([held]() mutable { held.reset(); });
}
