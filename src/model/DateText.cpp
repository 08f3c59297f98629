#include "model/DateText.h"

#include <QLocale>

QString GeneralDateText(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
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
