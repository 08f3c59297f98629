#pragma once

#include "model/Prompts.h"

#include <QList>
#include <QPoint>
#include <QStringList>
#include <functional>

// Records every prompt in order and answers from a script. A prompt the script did not
// expect (of another kind, or none left) fails the running test and is answered with a
// cancel.
class ScriptedPrompts : public Prompts
{
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Folder };

    struct Record
    {
        Kind kind;
        QString text;  // message text, input prompt, dialog title
        QString shown; // the whole prompt as one comparable text (see MessageShown)
        QString defaultText;
        QPoint position;
        FileDialogRequest request; // file dialogs: the request as it arrived
    };

    // Script entries, consumed in order. A filter of 0 keeps the dialog's.
    ScriptedPrompts &Message(PromptAnswer answer = PromptAnswer::OK);
    ScriptedPrompts &Input(const QString &text, bool cancel = false);
    ScriptedPrompts &OpenFile(const QString &path);
    ScriptedPrompts &SaveFile(const QString &path, int filter = 0);
    ScriptedPrompts &Folder(const QString &path);
    // Runs when the last entry's prompt arrives, before it is answered.
    ScriptedPrompts &When(std::function<void()> action);

    bool Done() const { return script.isEmpty() && unexpected == 0; }
    // The prompts shown since record from, as comparable texts.
    QStringList Shown(qsizetype from = 0) const;

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
    int unexpected = 0;

private:
    struct Entry
    {
        Kind kind;
        PromptAnswer answer = PromptAnswer::OK;
        QString text;
        bool cancel = false;
        int filter = 0;
        std::function<void()> before;
    };
    ScriptedPrompts &Add(Entry entry);
    bool Take(Record record, Entry &entry);

    QList<Entry> script;
};

// How a message box with this text, icon and buttons, titled "Korvex Brevant", shows in
// Shown().
QString MessageShown(const QString &text, PromptIcon icon = PromptIcon::Information,
                     PromptButtons buttons = PromptButtons::OK);
