#pragma once

#include "model/Prompts.h"

#include <cstdlib>

// Answers the window's prompts in a benchmark without a dialog: messages are counted and
// answered (OK, or No to a question), the folder browser returns `folder`; a file dialog or
// an input box means the benchmark went wrong, so they end it.
class BenchPrompts : public Prompts
{
public:
    int messages = 0;
    QString lastMessage;
    QString folder;

    PromptAnswer MessageBox(const QString &text, PromptButtons buttons, PromptIcon,
                            const QString &) override
    {
        ++messages;
        lastMessage = text;
        return buttons == PromptButtons::OK ? PromptAnswer::OK : PromptAnswer::No;
    }
    QString InputBox(const QString &, const QString &, const QString &, QPoint) override
    {
        std::abort();
    }
    QString OpenFileName(FileDialogRequest &) override { std::abort(); }
    QString SaveFileName(FileDialogRequest &) override { std::abort(); }
    QString BrowseForFolder(const QString &) override { return folder; }
    void SetMousePointer(MousePointer) override {}
};
