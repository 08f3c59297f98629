#include "ScriptedPrompts.h"

#include <QTest>

namespace {

const char *const KindNames[] = {"message", "input box", "open dialog", "save dialog",
                                 "folder browser"};
const char *const IconNames[] = {"no icon", "information", "exclamation", "critical"};
const char *const ButtonNames[] = {"OK", "Yes/No", "Yes/No/Cancel"};

QString Dialog(ScriptedPrompts::Kind kind, const QString &title)
{
    return QLatin1String(KindNames[int(kind)]) + QStringLiteral(" [") + title + u']';
}

} // namespace

QString MessageShown(const QString &text, PromptIcon icon, PromptButtons buttons)
{
    return QStringLiteral("message [%1] %2, %3: %4")
        .arg(BrevantTitle, QLatin1String(IconNames[int(icon)]),
             QLatin1String(ButtonNames[int(buttons)]), text);
}

ScriptedPrompts &ScriptedPrompts::Add(Entry entry)
{
    script.append(std::move(entry));
    return *this;
}

ScriptedPrompts &ScriptedPrompts::Message(PromptAnswer answer)
{
    return Add({Kind::Message, answer});
}

ScriptedPrompts &ScriptedPrompts::Input(const QString &text, bool cancel)
{
    return Add({Kind::Input, PromptAnswer::OK, text, cancel});
}

ScriptedPrompts &ScriptedPrompts::OpenFile(const QString &path)
{
    return Add({Kind::OpenFile, PromptAnswer::OK, path});
}

ScriptedPrompts &ScriptedPrompts::SaveFile(const QString &path, int filter)
{
    return Add({Kind::SaveFile, PromptAnswer::OK, path, false, filter});
}

ScriptedPrompts &ScriptedPrompts::Folder(const QString &path)
{
    return Add({Kind::Folder, PromptAnswer::OK, path});
}

ScriptedPrompts &ScriptedPrompts::When(std::function<void()> action)
{
    script.last().before = std::move(action);
    return *this;
}

QStringList ScriptedPrompts::Shown(qsizetype from) const
{
    QStringList shown;
    for (qsizetype i = from; i < records.size(); ++i)
        shown.append(records[i].shown);
    return shown;
}

bool ScriptedPrompts::Take(Record record, Entry &entry)
{
    records.append(record);
    if (script.isEmpty() || script.first().kind != record.kind) {
        ++unexpected;
        QTest::qFail(qPrintable(QStringLiteral("Unexpected ") + record.shown), __FILE__, __LINE__);
        return false;
    }
    entry = script.takeFirst();
    if (entry.before)
        entry.before();
    return true;
}

PromptAnswer ScriptedPrompts::MessageBox(const QString &text, PromptButtons buttons,
                                         PromptIcon icon, const QString &title)
{
    Entry entry;
    const QString shown = title == BrevantTitle ? MessageShown(text, icon, buttons)
                                                : Dialog(Kind::Message, title) + text;
    if (!Take({Kind::Message, text, shown, {}, {}, {}}, entry))
        return buttons == PromptButtons::OK ? PromptAnswer::OK : PromptAnswer::Cancel;
    return entry.answer;
}

QString ScriptedPrompts::InputBox(const QString &prompt, const QString &title,
                                  const QString &defaultText, QPoint position)
{
    Entry entry;
    if (!Take({Kind::Input,
               prompt,
               Dialog(Kind::Input, title) + u' ' + prompt,
               defaultText,
               position,
               {}},
              entry) ||
        entry.cancel)
        return QString();
    return entry.text;
}

QString ScriptedPrompts::OpenFileName(FileDialogRequest &request)
{
    Entry entry;
    if (!Take({Kind::OpenFile,
               request.title,
               Dialog(Kind::OpenFile, request.title),
               request.fileName,
               {},
               request},
              entry))
        return QString();
    return entry.text;
}

QString ScriptedPrompts::SaveFileName(FileDialogRequest &request)
{
    Entry entry;
    if (!Take({Kind::SaveFile,
               request.title,
               Dialog(Kind::SaveFile, request.title),
               request.fileName,
               {},
               request},
              entry))
        return QString();
    if (entry.filter > 0)
        request.selectedFilter = entry.filter;
    return entry.text;
}

QString ScriptedPrompts::BrowseForFolder(const QString &title)
{
    Entry entry;
    if (!Take({Kind::Folder, title, Dialog(Kind::Folder, title), {}, {}, {}}, entry))
        return QString();
    return entry.text;
}

void ScriptedPrompts::SetMousePointer(MousePointer newPointer)
{
    pointer = newPointer;
    pointers.append(newPointer);
}
