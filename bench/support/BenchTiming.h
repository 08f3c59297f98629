#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <vector>

// The time a timer has run, in milliseconds.
inline double Milliseconds(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

inline double Milliseconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

// The times of the rounds of one measure.
struct Series
{
    std::vector<double> values;
    double Min() const { return *std::min_element(values.begin(), values.end()); }
    double Median() const
    {
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};
