#pragma once

#include "model/Prompts.h"

#include <QList>
#include <QString>
#include <functional>

// Records every prompt in order and answers from a script. A prompt the script did not
// expect (wrong kind, or no entry left) fails the running test and is answered with a
// cancel.
class ScriptedPrompts : public Prompts
{
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Folder };

    struct Record
    {
        Kind kind;
        QString title;
        QString text; // message text, input prompt, dialog title
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::OK;
        QString defaultText; // input default, dialog file name
        QPoint position;
        FileDialogRequest request; // file dialogs: the request as it arrived
    };

    // Script entries, consumed in order.
    void answerMessage(PromptAnswer answer);
    void answerInput(const QString &text);
    void cancelInput();
    // selectedFilter 0 keeps the request's filter.
    void answerOpenFile(const QString &path);
    void answerSaveFile(const QString &path, int selectedFilter = 0);
    void answerFolder(const QString &path);
    // Runs when the prompt arrives, before it is answered (e.g. to act during a search).
    void onNext(std::function<void()> action);

    bool scriptDone() const { return script.isEmpty(); }

    PromptAnswer MessageBox(const QString &text, PromptButtons buttons, PromptIcon icon,
                            const QString &title) override;
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText,
                     QPoint position) override;
    QString OpenFileName(FileDialogRequest &request) override;
    QString SaveFileName(FileDialogRequest &request) override;
    QString BrowseForFolder(const QString &title) override;
    void SetMousePointer(MousePointer pointer) override;

    QList<Record> records;
    QList<MousePointer> pointers;
    MousePointer pointer = MousePointer::Default;
    // Texts of prompts that came unexpected.
    QStringList unexpected;

private:
    struct Entry
    {
        Kind kind;
        PromptAnswer answer = PromptAnswer::Cancel;
        QString text;
        bool cancel = false;
        int selectedFilter = 0;
        std::function<void()> before;
    };
    bool take(Kind kind, const QString &what, Entry &entry);

    QList<Entry> script;
    std::function<void()> pendingAction;
};

const char *kindName(ScriptedPrompts::Kind kind);
