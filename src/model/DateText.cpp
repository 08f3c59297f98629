#include "model/DateText.h"

#include <QLocale>
#include <cstdio>

namespace {

QString Text(const QDateTime &value)
{
    const QDateTime local = value.toLocalTime();
    // A locale's short date may show a year by its last two digits: a year past 9999 would
    // read as one of this century.
    if (local.date().year() > 9999)
        return IsoDateText(local);
    // The system's locale and its short date format are looked up once: a search formats the
    // time of every reserved document it lists.
    static const QLocale locale = QLocale::system();
    static const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
    const QString date = locale.toString(local.date(), dateFormat);
    // The text shows whole seconds, so a fraction of a second after midnight is midnight.
    const QTime time = local.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + u' ' + time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QString GeneralDateText(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
    // The rows a run changes all get the time of about the same second: the last text is
    // kept, for each thread that reads. The time zone does not change while the program runs
    // (see PinLocalTimeZone).
    thread_local QDateTime lastValue;
    thread_local QString lastText;
    if (value == lastValue && value.timeSpec() == lastValue.timeSpec())
        return lastText;
    lastText = Text(value);
    lastValue = value;
    return lastText;
}

QString IsoDateText(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
    // Formatted directly: every reservation written needs it, and Qt's ISO form has neither
    // years past 9999 nor offsets with seconds.
    int offset = value.offsetFromUtc();
    if (offset % 60 != 0)
        offset = 0;
    const QDateTime local = value.toOffsetFromUtc(offset);
    const QDate date = local.date();
    const QTime clock = local.time();
    char text[48];
    int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(),
                      date.day(), clock.hour(), clock.minute(), clock.second());
    if (offset == 0)
        return QString::fromLatin1(text, length) + u'Z';
    const int minutes = qAbs(offset) / 60;
    length += std::snprintf(text + length, sizeof text - size_t(length), "%c%02d:%02d",
                            offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QString::fromLatin1(text, length);
}
