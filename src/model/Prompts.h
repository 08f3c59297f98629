#pragma once

#include <QPoint>
#include <QString>

// Every message box, the input box, the file dialogs, the folder browser and the mouse
// pointer go through this interface, so the core never depends on Widgets and tests can
// answer dialogs from a script.

enum class PromptIcon { None, Information, Exclamation, Critical };
enum class PromptButtons { OK, YesNo, YesNoCancel };
enum class PromptAnswer { OK, Yes, No, Cancel };
enum class MousePointer { Default, Hourglass };

// An open or save file dialog. filter is "description|pattern|description|pattern...";
// selectedFilter is 1-based and, after a save dialog, holds the filter the user last chose.
struct FileDialogRequest
{
    QString title;
    QString initialFolder;
    QString fileName;
    QString filter;
    int selectedFilter = 1;
    QString defaultExtension;
};

class Prompts
{
public:
    virtual ~Prompts() = default;

    // Lines of text are separated by CR (and LF where a message says so). A box closed
    // without a button (Escape, the close box) answers Cancel, also a Yes/No box.
    virtual PromptAnswer MessageBox(const QString &text, PromptButtons buttons, PromptIcon icon,
                                    const QString &title) = 0;

    // Returns the text entered; a cancel gives "". position is the box's top-left corner in
    // global pixel coordinates.
    virtual QString InputBox(const QString &prompt, const QString &title,
                             const QString &defaultText, QPoint position) = 0;

    // Full path of the chosen file, "" when cancelled.
    virtual QString OpenFileName(FileDialogRequest &request) = 0;
    // Full path of the chosen file, "" when cancelled; asks no overwrite question of its own.
    virtual QString SaveFileName(FileDialogRequest &request) = 0;

    // The chosen folder, "" when cancelled.
    virtual QString BrowseForFolder(const QString &title) = 0;

    virtual void SetMousePointer(MousePointer pointer) = 0;
};

// Shows the hourglass for as long as the object lives, the default pointer afterwards, also
// when the work in between fails.
class HourglassPointer
{
public:
    explicit HourglassPointer(Prompts &shownBy) : prompts(shownBy)
    {
        prompts.SetMousePointer(MousePointer::Hourglass);
    }
    ~HourglassPointer() { prompts.SetMousePointer(MousePointer::Default); }
    HourglassPointer(const HourglassPointer &) = delete;
    HourglassPointer &operator=(const HourglassPointer &) = delete;

private:
    Prompts &prompts;
};

// The title of every message of the program.
inline const QString BrevantTitle = QStringLiteral("Korvex Brevant");
