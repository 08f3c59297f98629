#include "model/UserNames.h"
#include "system/Translation.h"

#include "model/clsFile.h"

QString UserNameProblem(const QString &name)
{
    if (name.isEmpty())
        return Brevant::tr("it is empty");
    qsizetype characters = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, name.at(++i));
        } else if (c.isSurrogate()) {
            // A lone surrogate stands for a byte that is not UTF-8 (see FileNames.h).
            return Brevant::tr("it is not valid UTF-8 text");
        }
        const QChar::Category category = QChar::category(code);
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            return Brevant::tr("it holds a control or format character");
        ++characters;
    }
    if (characters > UserNameLimit)
        return Brevant::tr("it is longer than %1 characters").arg(UserNameLimit);
    return QString();
}

QString CommentProblem(const QString &text)
{
    return text.isEmpty() ? QString() : UserNameProblem(text);
}

bool IsAvailableMarker(const QString &name)
{
    return name.compare(Available, Qt::CaseInsensitive) == 0;
}

QString ShownUserName(const QString &name)
{
    QString shown;
    qsizetype i = 0;
    for (; i < name.size() && shown.size() < 80; ++i) {
        const QChar c = name.at(i);
        const QChar::Category category = c.category();
        const bool paired =
            c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        if (paired) {
            shown += c;
            shown += name.at(++i);
        } else if (c.isSurrogate() || category == QChar::Other_Control ||
                   category == QChar::Other_Format) {
            shown += QStringLiteral("<U+%1>").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        } else {
            shown += c;
        }
    }
    // Escapes make the shown text longer than the name: the mark tells of any part left out.
    return i < name.size() ? shown + QStringLiteral("...") : shown;
}
