#pragma once

#include <QObject>
#include <QString>
#include <optional>

class CommandGuard;
class DocumentServer;
class FileListModel;
class Prompts;
class QComboBox;
class StatusPanels;
struct ProgramState;

// The project drop-down operations. Filling never changes which entry is selected (a
// combo box would select the first entry it gets); selecting runs the selection handling
// through currentIndexChanged exactly when the selected entry changes.

// Appends the server's registered projects, in the server's order.
void FillProjectList(DocumentServer &server, QComboBox *list);
// Selects the first entry equal to path (exact comparison), else entry 0.
void SelectProjectInList(DocumentServer &server, const QString &path, QComboBox *list);
// The text of the selected entry, "" when none is selected.
QString SelectedListText(const QComboBox *list);

// The project drop-down, Combo1: a pick makes the project active on the server (Depona
// projects are refused, a Semi-Isolated one gets a hint) while no rows are listed, and is
// undone, with a message, when the server refuses it.
class ProjectChoice : public QObject
{
    Q_OBJECT

public:
    ProjectChoice(ProgramState &state, Prompts &prompts, CommandGuard &guard,
                  const FileListModel &list, StatusPanels &status, QComboBox *projects);

    // While the start-up runs, a server failure inside the selection handling is kept for
    // the start-up to end with, instead of being shown on its own.
    std::optional<QString> TakeStartupFailure();

public slots:
    void Combo1Changed();

private:
    void Choose(const QString &previous, const QString &chosen);
    void Combo1Click();

    ProgramState &state;
    Prompts &prompts;
    CommandGuard &guard;
    const FileListModel &list;
    StatusPanels &status;
    QComboBox *Combo1;
    std::optional<QString> startupFailure;
    // The selection handling runs: a change of the entry it makes runs it once more, nested.
    bool choosing = false;
};
