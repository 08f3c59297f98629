#pragma once

#include "model/Prompts.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

// The window's prompts for work on another thread: each prompt is shown on the thread of
// `owner` (the window's), which the working thread waits for. On that thread itself the
// prompts are shown at once.
class MainThreadPrompts : public Prompts
{
public:
    MainThreadPrompts(Prompts &shownBy, QObject *owner) : prompts(shownBy), context(owner) {}

    PromptAnswer MessageBox(const QString &text, PromptButtons buttons, PromptIcon icon,
                            const QString &title) override
    {
        return OnOwnersThread([&] { return prompts.MessageBox(text, buttons, icon, title); });
    }
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText,
                     QPoint position) override
    {
        return OnOwnersThread(
            [&] { return prompts.InputBox(prompt, title, defaultText, position); });
    }
    QString OpenFileName(FileDialogRequest &request) override
    {
        return OnOwnersThread([&] { return prompts.OpenFileName(request); });
    }
    QString SaveFileName(FileDialogRequest &request) override
    {
        return OnOwnersThread([&] { return prompts.SaveFileName(request); });
    }
    QString BrowseForFolder(const QString &title) override
    {
        return OnOwnersThread([&] { return prompts.BrowseForFolder(title); });
    }
    void SetMousePointer(MousePointer pointer) override
    {
        OnOwnersThread([&] {
            prompts.SetMousePointer(pointer);
            return true;
        });
    }

private:
    template <typename Show> auto OnOwnersThread(Show show) -> decltype(show())
    {
        if (QThread::currentThread() == context->thread())
            return show();
        decltype(show()) result{};
        QMetaObject::invokeMethod(
            context, [&] { result = show(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    Prompts &prompts;
    QObject *context;
};
