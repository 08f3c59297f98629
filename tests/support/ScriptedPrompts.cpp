#include "ScriptedPrompts.h"

#include <QTest>

namespace {

const char *const KindNames[] = {"message", "input box", "open dialog", "save dialog",
                                 "folder browser"};

QString Dialog(ScriptedPrompts::Kind kind, const QString &title)
{
    return QLatin1String(KindNames[int(kind)]) + QStringLiteral(" [") + title + u']';
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
    for (qsizetype i = from; i < records.size(); ++i)
        shown.append(records[i].shown);
    return shown;
}

std::optional<ScriptedPrompts::Entry> ScriptedPrompts::Take(const Record &record)
{
    records.append(record);
    if (script.isEmpty() || script.first().kind != record.kind) {
        ++unexpected;
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + record.shown), __FILE__, __LINE__);
        return std::nullopt;
    }
    return script.takeFirst();
}

PromptAnswer ScriptedPrompts::MessageBox(const QString &text, PromptButtons buttons,
                                         PromptIcon icon, const QString &title)
{
    const QString shown = title == BrevantTitle ? MessageShown(text, icon, buttons)
                                                : Dialog(Kind::Message, title) + text;
    const auto entry = Take({Kind::Message, text, shown});
    if (!entry)
        return buttons == PromptButtons::OK ? PromptAnswer::OK : PromptAnswer::Cancel;
    return entry->answer;
}

QString ScriptedPrompts::InputBox(const QString &prompt, const QString &title,
                                  const QString &defaultText, QPoint)
{
    const auto entry =
        Take({Kind::Input, prompt, Dialog(Kind::Input, title) + u' ' + prompt, defaultText});
    return entry ? entry->text : QString();
}

QString ScriptedPrompts::FileDialog(Kind kind, FileDialogRequest &request)
{
    const auto entry =
        Take({kind, request.title, Dialog(kind, request.title), request.fileName, request});
    if (entry && entry->filter > 0)
        request.selectedFilter = entry->filter;
    return entry ? entry->text : QString();
}

QString ScriptedPrompts::BrowseForFolder(const QString &title)
{
    const auto entry = Take({Kind::Folder, title, Dialog(Kind::Folder, title)});
    return entry ? entry->text : QString();
}
