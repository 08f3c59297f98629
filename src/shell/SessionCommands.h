#pragma once

#include "reports/ReportSaver.h"

class frmMain;

// The commands that act on the list as a whole: New, Save, Save As, Info, the save question
// that guards New, Open, Find and closing, and the closing steps it decides.
class SessionCommands : public ReportSource
{
public:
    static QString UnnamedCaption() { return QStringLiteral("Korvex Brevant - Unnamed"); }

    explicit SessionCommands(frmMain &window);

    // True: the command that asked is to be cancelled (the user wanted the list saved and it
    // was not saved, or dismissed the question).
    bool AskToSaveList();
    // The closing question and the list's end; false keeps the window open (the user
    // wanted the list saved and it was not), unless the session is ending.
    bool QueryUnload(bool sessionEnding);

    // ReportSource
    QList<ReportRow> RowsInDisplayOrder() const override;
    QString Caption() const override;
    void SetCaption(const QString &caption) override;

private:
    void New();
    void Save(bool saveAs);
    void Info();

    frmMain &window;
    // Writes the list as a report; keeps the save dialog's last filter between saves.
    ReportSaver reportSaver;
};
