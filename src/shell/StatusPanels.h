#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
class QStatusBar;
struct ProgramState;

// The window's status bar: panel 1 (the check-out user, or a search's progress), panel 2
// (the project's multi-user mode), panel 3 (a note such as a search's failures, hidden while
// empty), the Cancel button of a check-out, check-in or refresh run.
class StatusPanels : public QObject
{
    Q_OBJECT

public:
    StatusPanels(QStatusBar *bar, const ProgramState &state);

    // Both panels from CheckOutUser and MultiUserModeText, panel 1 sized to its text.
    void Update();
    // Panel 1 shows text until the next Update.
    void SetPanelText(const QString &text);
    // Panel 1 fixed at the window's inner width less 10 twips, as while a search shows its
    // progress there.
    void FixProgressWidth();
    // "" hides the note.
    void SetNote(const QString &text);
    void ShowCancel(bool shown);
    // The counts of the list's rows, at the bar's right end.
    void SetCounts(const QString &text);

signals:
    void CancelClicked();

private:
    const ProgramState &state;
    QStatusBar *bar;
    QLabel *user = nullptr;
    QLabel *mode = nullptr;
    QLabel *note = nullptr;
    QPushButton *cancel = nullptr;
    QLabel *counts = nullptr;
};
