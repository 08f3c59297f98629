#pragma once

#include "shell/WindowCommand.h"

#include "reports/ReportSaver.h"

#include <QObject>

// The commands that act on the list as a whole: New, Save, Save As, Info, the save question
// that guards New, Open, Find and closing, and the closing steps it decides.
class SessionCommands : public WindowCommand
{
    Q_OBJECT

public:
    explicit SessionCommands(const WindowParts &parts, QObject *parent = nullptr);

    // True: the command that asked is to be cancelled (the user wanted the list saved and it
    // was not saved, or dismissed the question).
    bool AskToSaveList();
    // The closing question and the list's end; false keeps the window open (the user
    // wanted the list saved and it was not), unless the session is ending.
    bool QueryUnload(bool sessionEnding);

public slots:
    void New();
    void Save();
    void SaveAs();
    void Info();

private:
    // Saves the list as a report and remembers the file; true when it was written.
    bool SaveReport(bool saveAs);

    // Writes the list as a report; keeps the save dialog's last filter between saves.
    ReportSaver reportSaver;
};
