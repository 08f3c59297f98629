#include "ScriptedPrompts.h"

#include <QTest>

const char *kindName(ScriptedPrompts::Kind kind)
{
    switch (kind) {
    case ScriptedPrompts::Kind::Message:
        return "message";
    case ScriptedPrompts::Kind::Input:
        return "input box";
    case ScriptedPrompts::Kind::OpenFile:
        return "open dialog";
    case ScriptedPrompts::Kind::SaveFile:
        return "save dialog";
    case ScriptedPrompts::Kind::Folder:
        return "folder browser";
    }
    return "?";
}

void ScriptedPrompts::answerMessage(PromptAnswer answer)
{
    script.append({Kind::Message, answer, {}, false, 0, std::exchange(pendingAction, {})});
}

void ScriptedPrompts::answerInput(const QString &text)
{
    script.append(
        {Kind::Input, PromptAnswer::OK, text, false, 0, std::exchange(pendingAction, {})});
}

void ScriptedPrompts::cancelInput()
{
    script.append(
        {Kind::Input, PromptAnswer::Cancel, {}, true, 0, std::exchange(pendingAction, {})});
}

void ScriptedPrompts::answerOpenFile(const QString &path)
{
    script.append(
        {Kind::OpenFile, PromptAnswer::OK, path, false, 0, std::exchange(pendingAction, {})});
}

void ScriptedPrompts::answerSaveFile(const QString &path, int selectedFilter)
{
    script.append({Kind::SaveFile, PromptAnswer::OK, path, false, selectedFilter,
                   std::exchange(pendingAction, {})});
}

void ScriptedPrompts::answerFolder(const QString &path)
{
    script.append(
        {Kind::Folder, PromptAnswer::OK, path, false, 0, std::exchange(pendingAction, {})});
}

void ScriptedPrompts::onNext(std::function<void()> action)
{
    pendingAction = std::move(action);
}

bool ScriptedPrompts::take(Kind kind, const QString &what, Entry &entry)
{
    if (script.isEmpty() || script.first().kind != kind) {
        const QString expected = script.isEmpty()
                                     ? QStringLiteral("nothing")
                                     : QString::fromLatin1(kindName(script.first().kind));
        const QString message = QStringLiteral("Unexpected %1 \"%2\" (script expected %3)")
                                    .arg(QString::fromLatin1(kindName(kind)), what, expected);
        unexpected.append(message);
        QTest::qFail(message.toUtf8().constData(), __FILE__, __LINE__);
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
    records.append({Kind::Message, title, text, icon, buttons, {}, {}, {}});
    Entry entry;
    if (!take(Kind::Message, text, entry))
        return buttons == PromptButtons::OK ? PromptAnswer::OK : PromptAnswer::No;
    return entry.answer;
}

QString ScriptedPrompts::InputBox(const QString &prompt, const QString &title,
                                  const QString &defaultText, QPoint position)
{
    records.append({Kind::Input,
                    title,
                    prompt,
                    PromptIcon::None,
                    PromptButtons::OK,
                    defaultText,
                    position,
                    {}});
    Entry entry;
    if (!take(Kind::Input, prompt, entry) || entry.cancel)
        return QString();
    return entry.text;
}

QString ScriptedPrompts::OpenFileName(FileDialogRequest &request)
{
    records.append({Kind::OpenFile,
                    request.title,
                    request.title,
                    PromptIcon::None,
                    PromptButtons::OK,
                    request.fileName,
                    {},
                    request});
    Entry entry;
    if (!take(Kind::OpenFile, request.title, entry))
        return QString();
    return entry.text;
}

QString ScriptedPrompts::SaveFileName(FileDialogRequest &request)
{
    records.append({Kind::SaveFile,
                    request.title,
                    request.title,
                    PromptIcon::None,
                    PromptButtons::OK,
                    request.fileName,
                    {},
                    request});
    Entry entry;
    if (!take(Kind::SaveFile, request.fileName, entry))
        return QString();
    if (entry.selectedFilter > 0)
        request.selectedFilter = entry.selectedFilter;
    return entry.text;
}

QString ScriptedPrompts::BrowseForFolder(const QString &title)
{
    records.append({Kind::Folder, title, title, PromptIcon::None, PromptButtons::OK, {}, {}, {}});
    Entry entry;
    if (!take(Kind::Folder, title, entry))
        return QString();
    return entry.text;
}

void ScriptedPrompts::SetMousePointer(MousePointer newPointer)
{
    pointer = newPointer;
    pointers.append(newPointer);
}
