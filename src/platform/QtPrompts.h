#pragma once

#include "model/Prompts.h"

#include <QPointer>
#include <QWidget>

// Prompts shown as real Qt dialogs, owned by a parent window when one is set.
class QtPrompts : public Prompts
{
public:
    explicit QtPrompts(QWidget *parentWidget = nullptr) : parent(parentWidget) {}
    ~QtPrompts() override;

    void SetParentWidget(QWidget *widget) { parent = widget; }
    QWidget *ParentWidget() const { return parent; }

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

// The extension a "*.ext" pattern list starts with ("*.xls" -> "xls"), "" for wildcards.
QString ExtensionOfNameFilter(const QString &nameFilter);

// Message text with CR and LF shown as line breaks, and runs longer than a line (deep paths)
// broken by line breaks, preferably after a separator; nothing else is added.
QString MessageTextForDisplay(const QString &text);
