#pragma once

// Names the local time zone for the C library once, when the environment leaves it open
// (no TZ): without it every conversion to local time, several for each reservation written
// or shown, makes the C library look at /etc/localtime again. The zone in effect stays the
// same; a change of the system's zone is seen when the program starts again.
void PinLocalTimeZone();
