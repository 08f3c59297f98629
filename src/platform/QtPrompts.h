#pragma once

#include "model/Prompts.h"

#include <QPointer>
#include <QWidget>

// Prompts shown as real Qt dialogs, owned by a parent window when one is set.
class QtPrompts : public Prompts
{
public:
    ~QtPrompts() override;

    void SetParentWidget(QWidget *widget) { parent = widget; }

    PromptAnswer MessageBox(const QString &text, PromptButtons buttons, PromptIcon icon,
                            const QString &title) override;
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText,
                     QPoint position) override;
    QString OpenFileName(FileDialogRequest &request) override;
    QString SaveFileName(FileDialogRequest &request) override;
    QString BrowseForFolder(const QString &title) override;
    void SetMousePointer(MousePointer pointer) override;

private:
    QString runFileDialog(FileDialogRequest &request, bool save);

    QPointer<QWidget> parent;
    // Whether this object has put the hourglass up (so Default takes down only its own).
    bool hourglass = false;
};

// "desc|pattern|desc|pattern" as Qt name filters ("desc (pattern)"); a pattern list
// separated by ";" becomes blanks. A trailing description without pattern is dropped.
QStringList NameFiltersOf(const QString &filter);
