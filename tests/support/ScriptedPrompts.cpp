#include "ScriptedPrompts.h"

#include <QTest>

namespace {

// How a prompt other than a Brevant message begins: its kind and title.
QString Head(ScriptedPrompts::Kind kind, const QString &title)
{
    static const char *const kinds[] = {"message", "input box", "open dialog", "save dialog",
                                        "folder browser"};
    return QLatin1String(kinds[int(kind)]) + QStringLiteral(" [") + title + u']';
}

} // namespace

QString MessageShown(const QString &text, PromptIcon icon, PromptButtons buttons)
{
    static const char *const icons[] = {"no icon", "information", "exclamation", "critical"};
    static const char *const buttonNames[] = {"OK", "Yes/No", "Yes/No/Cancel"};
    return QStringLiteral("message [%1] %2, %3: %4")
        .arg(BrevantTitle, QLatin1String(icons[int(icon)]),
             QLatin1String(buttonNames[int(buttons)]), text);
}

QStringList ScriptedPrompts::Shown(qsizetype from) const
{
    QStringList shown;
    for (const Record &record : records.mid(from))
        shown.append(record.shown);
    return shown;
}

ScriptedPrompts::Entry ScriptedPrompts::Take(const Record &record)
{
    records.append(record);
    if (!script.isEmpty() && script.first().kind == record.kind)
        return script.takeFirst();
    ++unexpected;
    QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + record.shown), __FILE__, __LINE__);
    return {record.kind, QString(), PromptAnswer::Cancel, 0};
}

PromptAnswer ScriptedPrompts::MessageBox(const QString &text, PromptButtons buttons,
                                         PromptIcon icon, const QString &title)
{
    const QString shown = title == BrevantTitle ? MessageShown(text, icon, buttons)
                                                : Head(Kind::Message, title) + text;
    return Take({Kind::Message, text, shown}).answer;
}

QString ScriptedPrompts::InputBox(const QString &prompt, const QString &title,
                                  const QString &defaultText, QPoint)
{
    return Take({Kind::Input, prompt, Head(Kind::Input, title) + u' ' + prompt, defaultText}).text;
}

QString ScriptedPrompts::Pick(Kind kind, FileDialogRequest &asked)
{
    const Entry entry = Take({kind, asked.title, Head(kind, asked.title), asked.fileName, asked});
    asked.selectedFilter = entry.filter > 0 ? entry.filter : asked.selectedFilter;
    return entry.text;
}

QString ScriptedPrompts::BrowseForFolder(const QString &title)
{
    return Take({Kind::Folder, title, Head(Kind::Folder, title)}).text;
}
