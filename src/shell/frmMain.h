#pragma once

#include "model/Prompts.h"
#include "server/ProgramState.h"
#include "shell/CommandGuard.h"
#include "shell/ListSession.h"
#include "shell/ProjectChoice.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

class FileListModel;
class FileListView;
class ListCommands;
class MenuState;
class OpenCommand;
class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class ReservationCommands;
class SearchCommand;
class SessionCommands;
class StatusPanels;

// Creates the document server at start-up. Tests wrap the real server in decorators here.
using DocumentServerFactory = std::function<std::shared_ptr<DocumentServer>()>;

// The main window: project drop-down, file list, status bar, menus, start-up and shutdown.
// Its controls and menu items are its own (each with the objectName of the window design);
// the commands live in objects of their own (SessionCommands, SearchCommand, OpenCommand,
// ReservationCommands), each given only what it works with, and their slots are connected
// to the menu items in ConnectCommands. CommandGuard decides whether a command may run now,
// MenuState which menu items are available.
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
    bool ListSaved() const { return list.Saved(); }

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
    // Window and controls (frmMain.cpp).
    void CreateControls();
    void CreateMenus();
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateViewMenu();
    void CreatePopupMenu();
    QAction *AddMenuItem(QMenu *menu, const char *name, const QString &caption);
    void AddSeparator(QMenu *menu, const char *name);
    void CreateFilterBar();
    void CreateCommands();
    // Every menu item to the command it starts.
    void ConnectCommands();
    void ConnectAutoRefresh();
    // The list's header, popup, copy and double click, the filter, and the counts.
    void ConnectListView();
    // Lays the controls out for the client area; does nothing while minimized.
    void ArrangeControls();
    // At start-up: the working project of a run that did not finish.
    void RecoverFromUnfinishedRun(DocumentServer &server);
    // At start-up: the active project file that no longer exists.
    void TellMissingActiveProject(DocumentServer &server);
    // At start-up: the projects in the drop-down, the one to work in selected, and the
    // check-out user. Throws when the server fails.
    void SelectStartupProject(DocumentServer &server);
    // At start-up: the tab order, the caption, the status bar and the list's layout.
    void ShowLoadedWindow();
    void PutStartupProjectBack();
    void Unload();
    // The caption ("Korvex Brevant - " and the report file or "Unnamed") and the menu
    // items' states, from the list's session and the command running.
    void ShowListSession();
    void ApplyMenuState();

    // File list (frmMainList.cpp).
    void DeleteItems();
    void ListViewFilesColumnClick(int logicalIndex);
    void ListViewFilesRightMouseDown(QPoint globalPosition);
    void SetGridLines(bool on);

    Prompts &prompts;
    DocumentServerFactory serverFactory;
    ProgramState state;
    ListSession list;
    CommandGuard guard;
    bool sessionEnding = false;
    int defaultClientWidth = 0;

    // Controls and menu items, named as in the window design.
    QFrame *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QWidget *PBoxRight = nullptr;
    QWidget *FilterBar = nullptr;
    QLineEdit *FilterText = nullptr;
    QComboBox *FilterShow = nullptr;
    FileListView *ListViewFiles = nullptr;
    FileListModel *listModel = nullptr; // the rows of ListViewFiles
    QStatusBar *StatusBar1 = nullptr;
    StatusPanels *status = nullptr; // the panels of StatusBar1

    QMenu *mnuFile = nullptr;
    QAction *mnuNew = nullptr;
    QAction *mnuOpen = nullptr;
    QAction *mnuReserveForUser = nullptr;
    QAction *mnuReserveSelectedFiles = nullptr;
    QAction *mnuReserveWithComment = nullptr;
    QAction *mnuUnreserveSelectedFiles = nullptr;
    QAction *mnuSave = nullptr;
    QAction *mnuSaveAs = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuDocumentsSearch = nullptr;
    QAction *mnuCopy = nullptr;
    QAction *mnuSelectAll = nullptr;
    QAction *mnuDeleteItems = nullptr;
    QAction *mnuStopDocumentsSearch = nullptr;
    QAction *mnuWhereUsed = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuRefresh = nullptr;
    QAction *mnuAutoRefresh = nullptr;
    QAction *mnuMetadataCache = nullptr;
    QTimer *autoRefresh = nullptr;
    QMenu *mnuGridlines = nullptr;
    QAction *mnuGridlinesOn = nullptr;
    QAction *mnuGridlinesOff = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuInfo = nullptr;
    QMenu *pupmnuListView = nullptr;
    QAction *pupmnuDeleteItems = nullptr;
    QAction *pupmnuSelectAll = nullptr;
    QAction *pupmnuReserve = nullptr;
    QAction *pupmnuReserveWithComment = nullptr;
    QAction *pupmnuWhereUsed = nullptr;
    QAction *pupmnuUnreserve = nullptr;
    QAction *pupmnuRefresh = nullptr;
    QAction *pupmnuCopyPaths = nullptr;
    QAction *pupmnuOpenFolder = nullptr;

    std::unique_ptr<MenuState> menuState;
    std::unique_ptr<ProjectChoice> projectChoice;
    // The commands.
    std::unique_ptr<SessionCommands> session;
    std::unique_ptr<SearchCommand> search;
    std::unique_ptr<OpenCommand> open;
    std::unique_ptr<ReservationCommands> reservation;
    std::unique_ptr<ListCommands> listCommands;
};
