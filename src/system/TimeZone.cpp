#include "system/TimeZone.h"

#include <cstdlib>
#include <ctime>

void PinLocalTimeZone()
{
    if (std::getenv("TZ") == nullptr) {
        // What the C library uses when TZ is not set, named so it is not looked up again.
        ::setenv("TZ", ":/etc/localtime", 0);
        ::tzset();
    }
}
