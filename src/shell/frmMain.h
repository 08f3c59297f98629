#pragma once

#include "model/Prompts.h"
#include "server/ProgramState.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class ErrorLog;
class ReportSaver;
class ServerError;

// Creates the document server at start-up. Tests wrap the real server in decorators here.
using DocumentServerFactory = std::function<std::shared_ptr<DocumentServer>()>;

// The project drop-down operations. Filling never changes which entry is selected (a
// combo box would select the first entry it gets); selecting runs the selection handling
// through currentIndexChanged exactly when the selected entry changes.

// Appends the server's registered projects, in the server's order.
void FillProjectList(DocumentServer &server, QComboBox *list);
// Selects the first entry equal to path (exact comparison), else entry 0.
void SelectProjectInList(DocumentServer &server, const QString &path, QComboBox *list);
// The text of the selected entry, "" when none is selected.
QString SelectedListText(const QComboBox *list);

// The main window: project drop-down, file list, status bar, menus, start-up and shutdown.
// The window's commands live in files by theme (frmMain*.cpp).
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    frmMain(Prompts &dialogs, DocumentServerFactory factory, QWidget *parent = nullptr);
    ~frmMain() override;

    // The start-up. False means the program must end at once (unsupported server release,
    // the CAD application running, or the server could not be started); the message has
    // been shown and nothing is to be restored.
    bool Load();

    ProgramState &State() { return state; }
    Prompts &Dialogs() { return prompts; }

    // The list has been saved as a report since it last changed.
    bool ListSaved() const { return listSaved; }
    void SetListSaved(bool saved) { listSaved = saved; }

    // Both status bar panels from CheckOutUser and MultiUserModeText.
    void UpdateStatusbar();
    // Panel 1 (user) or 2 (mode) shows text until the next UpdateStatusbar; a search shows
    // its progress in panel 1 this way.
    void SetStatusPanelText(int panel, const QString &text);
    QString StatusPanelText(int panel) const;
    // A third panel for notes such as a search's error count; "" hides it.
    void SetStatusNote(const QString &text);

    // ---- File list (frmMainList.cpp) ----
    // Rebuilds every row from State().Files in record order: keys "A1", "A2", ..., each row
    // tied to its record, boxes ticked for checked-out documents. Sorting is switched off
    // so the rows stay in record order until the user sorts again.
    void ShowFilesInList();
    // Removes every row (the records stay).
    void ClearList();
    // Rewrites one row's texts and check box from its own record.
    void ShowRecordInRow(QTreeWidgetItem *row);
    // The record a row stands for; null for an item that is not a file row.
    static clsFilePtr RecordOfRow(QTreeWidgetItem *row);
    // The selected rows in list order.
    QList<FileRow *> SelectedRows() const;
    // column is 1-based; the same column again reverses the order.
    void SortColumns(int column);
    void SelectAll();
    // Removes the selected rows and exactly their own records.
    void DeleteSelectedListViewItem();
    int SortColumn() const { return sortColumn; }
    Qt::SortOrder SortOrder() const { return sortOrder; }
    bool Sorted() const { return sorted; }

    // ---- Session commands (frmMainSession.cpp) ----
    // True: the command that asked is to be cancelled (the user wanted the list saved and
    // it was not saved).
    bool AskToSaveList();
    void mnuNewClick();
    void mnuSaveClick();
    void mnuSaveAsClick();
    void mnuInfoClick();
    // The desktop session is ending: the window closes, also when the user wanted the list
    // saved and the save did not happen.
    void EndSession();

    // ---- Search (frmMainSearch.cpp) ----
    void mnuDocumentsSearchClick();
    void mnuStopDocumentsSearchClick();
    // Lists the documents below SearchPath (search mode) or the document chosen in
    // FileSelection with the documents it references (open mode).
    void CollectDocuments(bool openMode);
    bool Searching() const { return searching; }
    // The folder of the last search, or in open mode the full name of the opened document.
    QString SearchPath;
    // During a search, pending events run between two folder entries once this many
    // milliseconds have passed since they last ran (0: before every further entry). Each run
    // costs a poll of the window system, which before every entry would make a search of a
    // large tree take half as long again; 10 ms keeps the window responsive.
    int SearchEventInterval = 10;
    // Panel 1 sized to its text (on), or fixed at the window's inner width less 10 while a
    // search shows its progress there (off). UpdateStatusbar switches it back on.
    void SetStatusPanelAutoSize(bool on);

    // ---- Opening documents (frmMainOpen.cpp) ----
    void mnuOpenClick();

    // ---- Reservation commands (frmMainReserve.cpp) ----
    // One check-out (reserve true) or check-in run over the selected rows.
    void ChangeReservation(bool reserve);
    void mnuReserveForUserClick();

    // Controls and menu items, named as in the window design.
    QFrame *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QWidget *PBoxRight = nullptr;
    FileListView *ListViewFiles = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    // Work list of the folder search: first in, first out.
    QStringList ListBoxDirs;
    // Settings of the open dialog, kept between uses (the save dialog's are the report
    // saver's).
    FileDialogRequest FileSelection;

    QMenu *mnuFile = nullptr;
    QAction *mnuNew = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuSpacer1 = nullptr;
    QAction *mnuReserveForUser = nullptr;
    QAction *mnuReserveSelectedFiles = nullptr;
    QAction *mnuUnreserveSelectedFiles = nullptr;
    QAction *mnuSpacer2 = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuSaveAs = nullptr;
    QAction *mnuSpacer3 = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuDocumentsSearch = nullptr;
    QAction *mnuSpacer4 = nullptr;
    QAction *mnuSelectAll = nullptr;
    QAction *mnuDeleteItems = nullptr;
    QAction *mnuSpacer5 = nullptr;
    QAction *mnuStopDocumentsSearch = nullptr;
    QMenu *mnuView = nullptr;
    QMenu *mnuGridlines = nullptr;
    QAction *mnuGridlinesOn = nullptr;
    QAction *mnuGridlinesOff = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuInfo = nullptr;
    QMenu *pupmnuListView = nullptr;
    QAction *pupmnuDeleteItems = nullptr;
    QAction *pupmnuSelectAll = nullptr;
    QAction *pupmnuSpacer1 = nullptr;
    QAction *pupmnuReserve = nullptr;
    QAction *pupmnuUnreserve = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Window and controls (frmMain.cpp).
    void CreateControls();
    void CreateMenus();
    QAction *AddMenuItem(QMenu *menu, const char *name, const QString &caption);
    QAction *AddSeparator(QMenu *menu, const char *name);
    void ConnectListCommands();

public:
    // Lays the controls out for the client area; does nothing while minimized.
    void ArrangeControls();

private:
    void ShowServerStartFailure(const QString &description);
    // At start-up: the working project of a run that did not finish.
    void RecoverFromUnfinishedRun(DocumentServer &server);
    // At start-up: the active project file that no longer exists.
    void TellMissingActiveProject(DocumentServer &server);
    void PutStartupProjectBack();

    // The window has been unloaded: the records and the server are gone. A command that
    // showed a modal prompt checks this before it goes on, since the desktop session may
    // have closed the window meanwhile.
    bool Released() const { return !state.Files || !state.DocumentServer; }

    // Closing: the query-unload steps, then the unload steps. QueryUnload false keeps the
    // window open (frmMainSession.cpp).
    bool QueryUnload();
    void Unload();

    // File list (frmMainList.cpp).
    void ListViewFilesColumnClick(int logicalIndex);
    void ListViewFilesRightMouseDown(QPoint globalPosition);
    void ListViewFilesLeftMouseUp(QPoint position);
    void SetGridLines(bool on);

    // Project drop-down (frmMainProjects.cpp).
    void Combo1Changed();
    void Combo1Click();

    // ---- Session commands (frmMainSession.cpp) ----
    void ConnectSessionCommands();
    // Writes the list as a report; keeps the save dialog's last filter between saves.
    std::unique_ptr<ReportSaver> reportSaver;
    bool sessionEnding = false;

    // ---- Search (frmMainSearch.cpp) ----
    void ConnectSearchCommands();
    // While a search runs, the commands that would change the list, the records or the
    // project are unavailable; afterwards they are as a finished search leaves them.
    QList<QAction *> CommandsHeldDuringSearch() const;
    void HoldCommandsDuringSearch();
    void ReleaseCommandsAfterSearch();
    // The failure panel: how many documents the search could not read, and where the log is.
    void ShowSearchFailures(int failedDocuments, const ErrorLog &log);
    bool searching = false;
    // A close request came during the search: the window closes once the search returned.
    bool closeAfterSearch = false;
    QList<bool> enabledBeforeSearch;

    // ---- Opening documents (frmMainOpen.cpp) ----
    void ConnectOpenCommands();

    // ---- Reservation commands (frmMainReserve.cpp) ----
    void ConnectReserveCommands();
    bool running = false;
    // A close request came during a run: the window closes once the run has ended.
    bool closeAfterRun = false;

    Prompts &prompts;
    DocumentServerFactory serverFactory;
    ProgramState state;
    bool listSaved = false;

    QLabel *statusUser = nullptr;
    QLabel *statusMode = nullptr;
    QLabel *statusNote = nullptr;

    int sortColumn = -1;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
    bool sorted = false;

    // Start-up is running: a server failure inside the drop-down's selection handling ends
    // the start-up instead of being shown on its own.
    bool loading = false;
    std::optional<QString> startupFailure;
    bool loaded = false;
    bool unloaded = false;
};
