#include "reports/TabSeparated.h"

QString Escaped(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            escaped += QLatin1String("\\\\");
        else if (c == u'\t')
            escaped += QLatin1String("\\t");
        else if (c == u'\n')
            escaped += QLatin1String("\\n");
        else if (c == u'\r')
            escaped += QLatin1String("\\r");
        else
            escaped += c;
    }
    return escaped;
}

QString Unescaped(const QString &field)
{
    QString text;
    text.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != u'\\' || i + 1 == field.size()) {
            text += c;
            continue;
        }
        const QChar next = field.at(++i);
        text += next == u't' ? u'\t' : next == u'n' ? u'\n' : next == u'r' ? u'\r' : next;
    }
    return text;
}

QString TabSeparatedLines(const QList<ReportRow> &rows)
{
    QString lines;
    for (const ReportRow &row : rows) {
        for (int column = 0; column < ReportColumnCount; ++column) {
            if (column > 0)
                lines += u'\t';
            lines += Escaped(row[size_t(column)]);
        }
        lines += u'\n';
    }
    return lines;
}
