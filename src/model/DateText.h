#pragma once

#include <QDateTime>
#include <QString>

// The platform's general date form: the system locale's short date, a blank and the time as
// HH:mm:ss on the 24-hour clock, in local time without a zone name. A time of exactly
// midnight (local time) gives the date alone; an invalid value gives "".
QString GeneralDateText(const QDateTime &value);

// The time with its offset from UTC in ISO 8601, "2026-03-04T09:15:30+01:00": how the scrivo
// tool shows a reservation's time. "" for an invalid time.
QString IsoDateText(const QDateTime &value);
