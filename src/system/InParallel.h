#pragma once

#include <functional>

// Calls work(i) for i = 0, 1, ... count - 1 from `width` threads at once, each taking the next
// i in turn, and returns when all calls have returned. Before taking an i, a thread asks
// stopped() (when given): once it says so, no further i is taken. width 1 makes the calls on
// this thread, in order.
void InParallel(int count, int width, const std::function<void(int)> &work,
                const std::function<bool()> &stopped = {});
