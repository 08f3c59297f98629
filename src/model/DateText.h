#pragma once

#include <QDateTime>
#include <QString>

// The platform's general date form: the system locale's short date, a blank and the time as
// HH:mm:ss on the 24-hour clock, in local time without a zone name. A time of exactly
// midnight (local time) gives the date alone; an invalid value gives "".
QString GeneralDateText(const QDateTime &value);

// The time with its offset from UTC in ISO 8601, "2026-03-04T09:15:30+01:00" ("Z" for UTC,
// whole seconds): how reservations are written and how the scrivo tool shows their times.
// A local offset that has seconds (the local mean time of some zones before 1900) has no
// ISO form: such a time is given in UTC, the same instant. A year past 9999 has its five
// digits. "" for an invalid time.
QString IsoDateText(const QDateTime &value);
