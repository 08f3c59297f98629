#include "model/DateText.h"

#include <QLocale>

namespace {

QString Text(const QDateTime &value)
{
    const QDateTime local = value.toLocalTime();
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
    // kept. The time zone does not change while the program runs (see PinLocalTimeZone).
    static QDateTime lastValue;
    static QString lastText;
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
    return value.toOffsetFromUtc(value.offsetFromUtc()).toString(Qt::ISODate);
}
