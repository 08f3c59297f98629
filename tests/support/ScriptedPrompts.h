#pragma once

#include "model/Prompts.h"

#include <QList>
#include <QPoint>
#include <QStringList>

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
        QString defaultText = {};
        FileDialogRequest request = {}; // file dialogs: the request as it arrived
    };

    // Script entries, consumed in order. A filter of 0 keeps the dialog's; a null text
    // cancels an input box.
    ScriptedPrompts &Message(PromptAnswer answer = PromptAnswer::OK)
    {
        return Add(Kind::Message, {}, answer);
    }
    ScriptedPrompts &Input(const QString &text) { return Add(Kind::Input, text); }
    ScriptedPrompts &OpenFile(const QString &path) { return Add(Kind::OpenFile, path); }
    ScriptedPrompts &SaveFile(const QString &path, int filter = 0)
    {
        return Add(Kind::SaveFile, path, {}, filter);
    }
    ScriptedPrompts &Folder(const QString &path) { return Add(Kind::Folder, path); }

    bool Done() const { return script.isEmpty() && unexpected == 0; }
    // The prompts shown from record `from` on, as comparable texts.
    QStringList Shown(qsizetype from = 0) const;

    PromptAnswer MessageBox(const QString &, PromptButtons, PromptIcon, const QString &) override;
    QString InputBox(const QString &, const QString &, const QString &, QPoint) override;
    QString OpenFileName(FileDialogRequest &asked) override { return Pick(Kind::OpenFile, asked); }
    QString SaveFileName(FileDialogRequest &asked) override { return Pick(Kind::SaveFile, asked); }
    QString BrowseForFolder(const QString &title) override;
    void SetMousePointer(MousePointer to) override { pointer = to; }

    QList<Record> records;
    MousePointer pointer = MousePointer::Default;

private:
    struct Entry
    {
        Kind kind;
        QString text;
        PromptAnswer answer;
        int filter;
    };
    ScriptedPrompts &Add(Kind kind, const QString &text, PromptAnswer answer = {}, int filter = 0)
    {
        script.append({kind, text, answer, filter});
        return *this;
    }
    // Records the prompt; its script entry, or a cancel when it was not expected.
    Entry Take(const Record &record);
    QString Pick(Kind kind, FileDialogRequest &asked);

    QList<Entry> script;
    int unexpected = 0;
};

// How a message box with this text, icon and buttons, titled "Korvex Brevant", shows.
QString MessageShown(const QString &text, PromptIcon icon = PromptIcon::Information,
                     PromptButtons buttons = PromptButtons::OK);
