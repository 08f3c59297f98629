#include "system/InParallel.h"

#include <atomic>
#include <thread>
#include <vector>

void InParallel(int count, int width, const std::function<void(int)> &work,
                const std::function<bool()> &stopped)
{
    const auto mayGoOn = [&] { return !stopped || !stopped(); };
    if (width <= 1 || count <= 1) {
        for (int i = 0; i < count && mayGoOn(); ++i)
            work(i);
        return;
    }
    std::atomic<int> next = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < width && t < count; ++t)
        threads.emplace_back([&] {
            for (int i = next++; i < count && mayGoOn(); i = next++)
                work(i);
        });
    for (std::thread &thread : threads)
        thread.join();
}
