#include "PromptChecks.h"

static QString iconName(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::None:
        return QStringLiteral("no icon");
    case PromptIcon::Information:
        return QStringLiteral("information");
    case PromptIcon::Exclamation:
        return QStringLiteral("exclamation");
    case PromptIcon::Critical:
        return QStringLiteral("critical");
    }
    return QStringLiteral("?");
}

static QString buttonsName(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::OK:
        return QStringLiteral("OK");
    case PromptButtons::YesNo:
        return QStringLiteral("Yes/No");
    case PromptButtons::YesNoCancel:
        return QStringLiteral("Yes/No/Cancel");
    }
    return QStringLiteral("?");
}

QString ShownPrompt(const ScriptedPrompts::Record &record)
{
    if (record.kind != ScriptedPrompts::Kind::Message)
        return QString::fromLatin1(kindName(record.kind)) + QStringLiteral(" [") + record.title +
               QStringLiteral("] ") + record.text;
    return QStringLiteral("message [%1] %2, %3: %4")
        .arg(record.title, iconName(record.icon), buttonsName(record.buttons), record.text);
}

QStringList ShownPrompts(const QList<ScriptedPrompts::Record> &records)
{
    QStringList shown;
    for (const ScriptedPrompts::Record &record : records)
        shown.append(ShownPrompt(record));
    return shown;
}

QString MessagePrompt(const QString &text, PromptIcon icon, PromptButtons buttons)
{
    return QStringLiteral("message [%1] %2, %3: %4")
        .arg(BrevantTitle, iconName(icon), buttonsName(buttons), text);
}
