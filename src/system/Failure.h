#pragma once

#include <QString>
#include <exception>

// The text a user is shown for a failure: every failure of the programs says what failed
// and why in its what() (a server error its description, a file error the file and the
// reason).
inline QString ReasonOf(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

// Runs a step whose failure must not keep the next step from running.
template <typename Step> void IgnoringErrors(Step step)
{
    try {
        step();
    } catch (const std::exception &) {
    }
}
