#pragma once

#include "model/Prompts.h"
#include "server/ProgramState.h"
#include "shell/CommandGuard.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class FileListModel;
class FileListView;
class OpenCommand;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class ReservationCommands;
class SearchCommand;
class SessionCommands;

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
// Its controls and menu items are its own (each with the objectName of the window design);
// the commands live in classes of their own (SessionCommands, SearchCommand, OpenCommand,
// ReservationCommands), and CommandGuard decides whether one may run now.
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

    // The desktop session or the program is ending: the window closes through its closing
    // steps, also when the user wanted the list saved and the save did not happen.
    void EndSession();

    const ProgramState &State() const { return state; }
    // The list has been saved as a report since it last changed.
    bool ListSaved() const { return listSaved; }

    // Both status bar panels from CheckOutUser and MultiUserModeText.
    void UpdateStatusbar();
    // column is 1-based; the same column again reverses the order.
    void SortColumns(int column);
    void SelectAll();
    // Removes the selected rows and exactly their own records.
    void DeleteSelectedListViewItem();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class SessionCommands;
    friend class SearchCommand;
    friend class OpenCommand;
    friend class ReservationCommands;

    // Window and controls (frmMain.cpp).
    void CreateControls();
    void CreateMenus();
    QAction *AddMenuItem(QMenu *menu, const char *name, const QString &caption);
    QAction *AddSeparator(QMenu *menu, const char *name);
    // Lays the controls out for the client area; does nothing while minimized.
    void ArrangeControls();
    void ShowServerStartFailure(const QString &description);
    void PutStartupProjectBack();
    // At start-up: the working project of a run that did not finish.
    void RecoverFromUnfinishedRun(DocumentServer &server);
    // At start-up: the active project file that no longer exists.
    void TellMissingActiveProject(DocumentServer &server);
    void Unload();

    // Status bar: panel 1 (user) or 2 (mode) shows text until the next UpdateStatusbar; a
    // search shows its progress in panel 1 this way. Panel 3 holds notes such as a search's
    // failures; "" hides it.
    void SetStatusPanelText(int panel, const QString &text);
    // Panel 1 sized to its text (on), or fixed at the window's inner width less 10 twips
    // while a search shows its progress there (off).
    void SetStatusPanelAutoSize(bool on);
    void SetStatusNote(const QString &text);

    // File list (frmMainList.cpp).
    void ConnectListCommands();
    // Shows every record of Files in record order, unsorted, keys "A1", "A2", ...
    void ShowFilesInList();
    void ClearList();
    void ListViewFilesColumnClick(int logicalIndex);
    void ListViewFilesRightMouseDown(QPoint globalPosition);
    void SetGridLines(bool on);

    // Project drop-down (frmMainProjects.cpp).
    void Combo1Changed();
    void Combo1Click();

    Prompts &prompts;
    DocumentServerFactory serverFactory;
    ProgramState state;
    bool listSaved = false;
    CommandGuard guard;
    // Start-up is running: a server failure inside the drop-down's selection handling ends
    // the start-up instead of being shown on its own.
    bool loading = false;
    std::optional<QString> startupFailure;
    bool sessionEnding = false;

    // Controls and menu items, named as in the window design.
    QFrame *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QWidget *PBoxRight = nullptr;
    FileListView *ListViewFiles = nullptr;
    FileListModel *listModel = nullptr; // the rows of ListViewFiles
    QStatusBar *StatusBar1 = nullptr;
    QLabel *statusUser = nullptr;
    QLabel *statusMode = nullptr;
    QLabel *statusNote = nullptr;
    // Shown while a run waits for another program's run.
    QPushButton *statusCancel = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuNew = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuReserveForUser = nullptr;
    QAction *mnuReserveSelectedFiles = nullptr;
    QAction *mnuUnreserveSelectedFiles = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuSaveAs = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuDocumentsSearch = nullptr;
    QAction *mnuSelectAll = nullptr;
    QAction *mnuDeleteItems = nullptr;
    QAction *mnuStopDocumentsSearch = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuRefresh = nullptr;
    QMenu *mnuGridlines = nullptr;
    QAction *mnuGridlinesOn = nullptr;
    QAction *mnuGridlinesOff = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuInfo = nullptr;
    QMenu *pupmnuListView = nullptr;
    QAction *pupmnuDeleteItems = nullptr;
    QAction *pupmnuSelectAll = nullptr;
    QAction *pupmnuReserve = nullptr;
    QAction *pupmnuUnreserve = nullptr;
    QAction *pupmnuRefresh = nullptr;

    // The commands.
    std::unique_ptr<SessionCommands> session;
    std::unique_ptr<SearchCommand> search;
    std::unique_ptr<OpenCommand> open;
    std::unique_ptr<ReservationCommands> reservation;
};
