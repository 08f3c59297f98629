#include "shell/frmMain.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "reserve/SessionRestore.h"
#include "server/ProjectAccess.h"
#include "server/ServerError.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"
#include "shell/ListCommands.h"
#include "shell/MenuState.h"
#include "shell/OpenCommand.h"
#include "shell/ReservationCommands.h"
#include "shell/SearchCommand.h"
#include "shell/SessionCommands.h"
#include "shell/StatusPanels.h"
#include "shell/WindowSettings.h"
#include "system/KorvexProcess.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSessionManager>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

namespace {

QString UnsupportedReleaseText()
{
    return Brevant::tr("Please check if there is a new Brevant Version available,\r"
                       "this version only supports Korvex R6 to R9.");
}

// The second line is an empty text padded with 23 blanks in front and 19 behind.
QString BackupWarningText()
{
    return Brevant::tr("It is highly recommended to make a backup "
                       "copy of your files before you use this tool.\r") +
           QString(23, QLatin1Char(' ')) + QString(19, QLatin1Char(' '));
}

QString KorvexRunningText()
{
    return Brevant::tr("Trelune Korvex Application is running !\n"
                       "Please close Korvex and restart the Korvex Brevant tool.");
}

// A killed run's documents are named in the start-up message up to this many.
constexpr int ListedHeldDocuments = 10;

// The design client area in twips.
constexpr int DesignClientWidth = 11436;
constexpr int DesignClientHeight = 7044;
constexpr int DefaultClientHeight = 600; // pixels

// The caption sits left of the drop-down, which starts at 1050 twips: a wide system font is
// made smaller until the caption fits.
void FitLabelBeforeCombo(QLabel *label)
{
    const int left = TwipsToPixels(60);
    const int room = TwipsToPixels(1050) - left - 3;
    QFont font = label->font();
    // The access key's "&" is not drawn.
    const QString shown = QString(label->text()).remove(u'&');
    while (QFontMetrics(font).horizontalAdvance(shown) > room && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
    label->adjustSize();
    label->move(left, TwipsToPixels(140));
}

// A menu (in the menu bar, a sub-menu or the popup) named for the tests and the settings;
// its entry in the menu above is named "<name>Item".
QMenu *NewMenu(const char *name, const QString &caption, QWidget *owner)
{
    auto *created = new QMenu(caption, owner);
    created->setObjectName(QString::fromLatin1(name));
    created->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
    return created;
}

} // namespace

frmMain::frmMain(Prompts &dialogs, DocumentServerFactory factory, QWidget *parent)
    : QMainWindow(parent), prompts(dialogs), serverFactory(std::move(factory)),
      list([this] { ShowListSession(); }), guard([this] { close(); }, [this] { ApplyMenuState(); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Korvex Brevant"));
    CreateControls();
    CreateMenus();
    CreateCommands();
    ConnectCommands();
    // Wide enough for every column and high enough for about twenty rows; a remembered layout
    // replaces this at start-up.
    resize(defaultClientWidth, qMax(TwipsToPixels(DesignClientHeight), DefaultClientHeight) +
                                   menuBar()->sizeHint().height());
}

frmMain::~frmMain() = default;

void frmMain::CreateControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->installEventFilter(this);
    setCentralWidget(client);

    Frame1 = new QFrame(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::NoFrame);

    Label1 = new QLabel(Brevant::tr("&Project file:"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    FitLabelBeforeCombo(Label1);

    Combo1 = new QComboBox(Frame1);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label1->setBuddy(Combo1);

    PBoxRight = new QWidget(Frame1);
    PBoxRight->setObjectName(QStringLiteral("PBoxRight"));

    ListViewFiles = new FileListView(PBoxRight);
    ListViewFiles->setObjectName(QStringLiteral("ListViewFiles"));
    listModel = ListViewFiles->Model();
    // The designed widths, widened where a header would be cut.
    const int columnTwips[Column::Count] = {1800, 3000, 2400, 2400, 2400, 1200, 2400, 2400};
    int columnsWidth = 0;
    for (int column = 0; column < Column::Count; ++column) {
        const int width = qMax(TwipsToPixels(columnTwips[column]),
                               ListViewFiles->header()->sectionSizeHint(column));
        ListViewFiles->setColumnWidth(column, width);
        columnsWidth += column == Column::Uses ? 0 : width; // shown in where-used lists only
    }
    // What a where-used row uses is read beside its name.
    ListViewFiles->header()->moveSection(Column::Uses, Column::FileName + 1);
    defaultClientWidth =
        qMax(TwipsToPixels(DesignClientWidth),
             columnsWidth + ListViewFiles->verticalScrollBar()->sizeHint().width() +
                 2 * ListViewFiles->frameWidth());
    CreateFilterBar();

    StatusBar1 = statusBar();
    status = new StatusPanels(StatusBar1, state);
}

QAction *frmMain::AddMenuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void frmMain::AddSeparator(QMenu *menu, const char *name)
{
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

void frmMain::CreateMenus()
{
    CreateFileMenu();
    CreateEditMenu();
    CreateViewMenu();
    mnuHelp = NewMenu("mnuHelp", QStringLiteral("&?"), this);
    mnuInfo = AddMenuItem(mnuHelp, "mnuInfo", Brevant::tr("&Info..."));
    for (QMenu *top : {mnuFile, mnuEdit, mnuView, mnuHelp})
        menuBar()->addMenu(top);
    CreatePopupMenu();
}

void frmMain::CreateFileMenu()
{
    mnuFile = NewMenu("mnuFile", Brevant::tr("&File"), this);
    mnuNew = AddMenuItem(mnuFile, "mnuNew", Brevant::tr("&New"));
    mnuNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuOpen = AddMenuItem(mnuFile, "mnuOpen", Brevant::tr("&Open..."));
    AddSeparator(mnuFile, "mnuSpacer1");
    mnuReserveForUser =
        AddMenuItem(mnuFile, "mnuReserveForUser", Brevant::tr("Check Out for &User..."));
    // K, not S: Alt+F S is Save.
    mnuReserveSelectedFiles =
        AddMenuItem(mnuFile, "mnuReserveSelectedFiles", Brevant::tr("Chec&k Out selected files"));
    mnuReserveWithComment =
        AddMenuItem(mnuFile, "mnuReserveWithComment", Brevant::tr("Check Out with Co&mment..."));
    mnuUnreserveSelectedFiles =
        AddMenuItem(mnuFile, "mnuUnreserveSelectedFiles", Brevant::tr("Check &In selected files"));
    AddSeparator(mnuFile, "mnuSpacer2");
    mnuSave = AddMenuItem(mnuFile, "mnuSave", Brevant::tr("&Save"));
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveAs = AddMenuItem(mnuFile, "mnuSaveAs", Brevant::tr("Save &As..."));
    AddSeparator(mnuFile, "mnuSpacer3");
    mnuExit = AddMenuItem(mnuFile, "mnuExit", Brevant::tr("&Exit"));
}

void frmMain::CreateEditMenu()
{
    mnuEdit = NewMenu("mnuEdit", Brevant::tr("&Edit"), this);
    mnuDocumentsSearch =
        AddMenuItem(mnuEdit, "mnuDocumentsSearch", Brevant::tr("&Find Korvex Documents..."));
    mnuDocumentsSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuWhereUsed = AddMenuItem(mnuEdit, "mnuWhereUsed", Brevant::tr("&Where Used..."));
    AddSeparator(mnuEdit, "mnuSpacer4");
    mnuCopy = AddMenuItem(mnuEdit, "mnuCopy", Brevant::tr("&Copy"));
    mnuCopy->setShortcut(QKeySequence::Copy);
    mnuSelectAll = AddMenuItem(mnuEdit, "mnuSelectAll", Brevant::tr("Select &All"));
    mnuSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuDeleteItems = AddMenuItem(mnuEdit, "mnuDeleteItems", Brevant::tr("&Delete"));
    mnuDeleteItems->setShortcut(QKeySequence(Qt::Key_Delete));
    AddSeparator(mnuEdit, "mnuSpacer5");
    mnuStopDocumentsSearch =
        AddMenuItem(mnuEdit, "mnuStopDocumentsSearch", Brevant::tr("St&op Documents Search"));
}

void frmMain::CreateViewMenu()
{
    mnuView = NewMenu("mnuView", Brevant::tr("&View"), this);
    mnuRefresh = AddMenuItem(mnuView, "mnuRefresh", Brevant::tr("&Refresh"));
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    mnuAutoRefresh = AddMenuItem(mnuView, "mnuAutoRefresh", Brevant::tr("Refresh every &minute"));
    mnuAutoRefresh->setCheckable(true);
    mnuMetadataCache =
        AddMenuItem(mnuView, "mnuMetadataCache", Brevant::tr("Metadata &Cache on Shares"));
    mnuMetadataCache->setCheckable(true);
    AddSeparator(mnuView, "mnuSpacer6");
    mnuGridlines = NewMenu("mnuGridlines", Brevant::tr("&Gridlines"), mnuView);
    mnuView->addMenu(mnuGridlines);
    mnuGridlinesOn = AddMenuItem(mnuGridlines, "mnuGridlinesOn", Brevant::tr("&On"));
    mnuGridlinesOff = AddMenuItem(mnuGridlines, "mnuGridlinesOff", Brevant::tr("O&ff"));
    mnuGridlinesOn->setCheckable(true);
    mnuGridlinesOff->setCheckable(true);
}

void frmMain::CreatePopupMenu()
{
    // The list's popup menu is not in the menu bar.
    pupmnuListView = NewMenu("pupmnuListView", QStringLiteral("ListviewMenu"), this);
    pupmnuDeleteItems = AddMenuItem(pupmnuListView, "pupmnuDeleteItems", Brevant::tr("&Delete"));
    pupmnuSelectAll = AddMenuItem(pupmnuListView, "pupmnuSelectAll", Brevant::tr("&Select all"));
    AddSeparator(pupmnuListView, "pupmnuSpacer1");
    pupmnuReserve = AddMenuItem(pupmnuListView, "pupmnuReserve", Brevant::tr("Check &Out"));
    pupmnuReserveWithComment = AddMenuItem(pupmnuListView, "pupmnuReserveWithComment",
                                           Brevant::tr("Check Out with Co&mment..."));
    pupmnuUnreserve = AddMenuItem(pupmnuListView, "pupmnuUnreserve", Brevant::tr("Check &In"));
    AddSeparator(pupmnuListView, "pupmnuSpacer2");
    pupmnuWhereUsed = AddMenuItem(pupmnuListView, "pupmnuWhereUsed", Brevant::tr("&Where Used..."));
    pupmnuRefresh = AddMenuItem(pupmnuListView, "pupmnuRefresh", Brevant::tr("&Refresh"));
    AddSeparator(pupmnuListView, "pupmnuSpacer3");
    pupmnuCopyPaths = AddMenuItem(pupmnuListView, "pupmnuCopyPaths", Brevant::tr("Copy &Paths"));
    pupmnuOpenFolder =
        AddMenuItem(pupmnuListView, "pupmnuOpenFolder", Brevant::tr("Open Containing &Folder"));
}

void frmMain::CreateFilterBar()
{
    FilterBar = new QWidget(PBoxRight);
    FilterBar->setObjectName(QStringLiteral("FilterBar"));
    auto *row = new QHBoxLayout(FilterBar);
    row->setContentsMargins(2, 2, 2, 2);
    auto *filterLabel = new QLabel(Brevant::tr("Fi&lter:"), FilterBar);
    FilterText = new QLineEdit(FilterBar);
    FilterText->setObjectName(QStringLiteral("FilterText"));
    FilterText->setClearButtonEnabled(true);
    FilterText->setPlaceholderText(Brevant::tr("File name, path, holder or display name"));
    filterLabel->setBuddy(FilterText);
    auto *showLabel = new QLabel(Brevant::tr("S&how:"), FilterBar);
    FilterShow = new QComboBox(FilterBar);
    FilterShow->setObjectName(QStringLiteral("FilterShow"));
    // In the order of ListFilter::Show.
    FilterShow->addItems({Brevant::tr("All"), Brevant::tr("Mine"), Brevant::tr("Checked out"),
                          Brevant::tr("Available"), Brevant::tr("Held longer than...")});
    showLabel->setBuddy(FilterShow);
    row->addWidget(filterLabel);
    row->addWidget(FilterText, 1);
    row->addWidget(showLabel);
    row->addWidget(FilterShow);

    // Escape in the field clears it; Ctrl+L and "/" go to it from anywhere in the window
    // ("/" typed into the field itself stays text).
    auto *clear = new QAction(FilterText);
    clear->setShortcut(Qt::Key_Escape);
    clear->setShortcutContext(Qt::WidgetShortcut);
    FilterText->addAction(clear);
    connect(clear, &QAction::triggered, FilterText, &QLineEdit::clear);
    for (const QKeySequence &keys :
         {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(QStringLiteral("/"))})
        connect(new QShortcut(keys, this), &QShortcut::activated, FilterText, [this] {
            FilterText->setFocus(Qt::ShortcutFocusReason);
            FilterText->selectAll();
        });
}

void frmMain::CreateCommands()
{
    menuState = std::make_unique<MenuState>(*this);
    projectChoice =
        std::make_unique<ProjectChoice>(state, prompts, guard, *listModel, *status, Combo1);
    const WindowParts parts{state, prompts, guard, list, *ListViewFiles, *status};
    session = std::make_unique<SessionCommands>(parts);
    search = std::make_unique<SearchCommand>(parts, *session);
    open = std::make_unique<OpenCommand>(parts, *session, *search);
    listCommands = std::make_unique<ListCommands>(prompts, *ListViewFiles, *status);
    reservation = std::make_unique<ReservationCommands>(parts, *this);
}

void frmMain::ConnectCommands()
{
    const auto on = [this](QAction *item, auto *receiver, auto slot) {
        connect(item, &QAction::triggered, receiver, slot);
    };
    on(mnuNew, session.get(), &SessionCommands::New);
    on(mnuOpen, open.get(), &OpenCommand::Open);
    on(mnuReserveForUser, reservation.get(), &ReservationCommands::ChooseCheckOutUser);
    on(mnuReserveSelectedFiles, reservation.get(), &ReservationCommands::CheckOut);
    on(mnuReserveWithComment, reservation.get(), &ReservationCommands::CheckOutWithComment);
    on(mnuUnreserveSelectedFiles, reservation.get(), &ReservationCommands::CheckIn);
    on(mnuSave, session.get(), &SessionCommands::Save);
    on(mnuSaveAs, session.get(), &SessionCommands::SaveAs);
    on(mnuExit, this, &QWidget::close);
    on(mnuDocumentsSearch, search.get(), &SearchCommand::Search);
    on(mnuSelectAll, this, &frmMain::SelectAll);
    on(mnuDeleteItems, this, &frmMain::DeleteItems);
    on(mnuStopDocumentsSearch, search.get(), &SearchCommand::Stop);
    on(mnuWhereUsed, search.get(), &SearchCommand::WhereUsed);
    on(pupmnuWhereUsed, search.get(), &SearchCommand::WhereUsed);
    on(mnuRefresh, reservation.get(), &ReservationCommands::Refresh);
    on(mnuGridlinesOn, this, [this] { SetGridLines(true); });
    on(mnuGridlinesOff, this, [this] { SetGridLines(false); });
    on(mnuInfo, session.get(), &SessionCommands::Info);
    on(pupmnuDeleteItems, this, &frmMain::DeleteItems);
    on(pupmnuSelectAll, this, &frmMain::SelectAll);
    on(pupmnuReserve, reservation.get(), &ReservationCommands::CheckOut);
    on(pupmnuReserveWithComment, reservation.get(), &ReservationCommands::CheckOutWithComment);
    on(pupmnuUnreserve, reservation.get(), &ReservationCommands::CheckIn);
    on(pupmnuRefresh, reservation.get(), &ReservationCommands::Refresh);
    on(mnuCopy, listCommands.get(), &ListCommands::CopyRows);
    on(pupmnuCopyPaths, listCommands.get(), &ListCommands::CopyPaths);
    on(pupmnuOpenFolder, listCommands.get(), &ListCommands::OpenContainingFolder);
    connect(Combo1, &QComboBox::currentIndexChanged, projectChoice.get(),
            &ProjectChoice::Combo1Changed);
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager &) { EndSession(); });
    ConnectAutoRefresh();
    connect(mnuMetadataCache, &QAction::toggled, this, [this](bool checked) {
        state.UseMetadataCache = checked;
        RememberMetadataCache(checked);
    });
    ConnectListView();
}

void frmMain::ConnectAutoRefresh()
{
    // Off until the user switches it on; a minute is long enough that a refresh of a long
    // list on a share never takes a noticeable part of the user's time.
    autoRefresh = new QTimer(this);
    autoRefresh->setObjectName(QStringLiteral("AutoRefreshTimer"));
    autoRefresh->setInterval(std::chrono::minutes(1));
    connect(autoRefresh, &QTimer::timeout, reservation.get(),
            &ReservationCommands::RefreshWhenIdle);
    connect(mnuAutoRefresh, &QAction::toggled, autoRefresh,
            [this](bool checked) { checked ? autoRefresh->start() : autoRefresh->stop(); });
}

void frmMain::ConnectListView()
{
    connect(ListViewFiles->header(), &QHeaderView::sectionClicked, this,
            &frmMain::ListViewFilesColumnClick);
    connect(ListViewFiles, &FileListView::RightMouseDown, this,
            &frmMain::ListViewFilesRightMouseDown);
    connect(ListViewFiles, &FileListView::CopyRequested, listCommands.get(),
            &ListCommands::CopyRows);
    connect(ListViewFiles, &QAbstractItemView::doubleClicked, listCommands.get(),
            &ListCommands::OpenFolderAt);

    ListFilter &filter = *ListViewFiles->Filter();
    connect(FilterText, &QLineEdit::textChanged, &filter, &ListFilter::SetText);
    connect(FilterShow, &QComboBox::currentIndexChanged, listCommands.get(),
            [this, &filter](int index) {
                if (listCommands->ChooseShow(ListFilter::Show(index)))
                    return;
                const QSignalBlocker unchanged(FilterShow);
                FilterShow->setCurrentIndex(int(filter.Choice()));
            });
    // The counts follow every change of the rows, their texts and the selection.
    ListCommands *counts = listCommands.get();
    connect(&filter, &QAbstractItemModel::modelReset, counts, &ListCommands::ShowCounts);
    connect(&filter, &QAbstractItemModel::layoutChanged, counts, &ListCommands::ShowCounts);
    connect(&filter, &QAbstractItemModel::rowsInserted, counts, &ListCommands::ShowCounts);
    connect(&filter, &QAbstractItemModel::rowsRemoved, counts, &ListCommands::ShowCounts);
    connect(&filter, &QAbstractItemModel::dataChanged, counts, &ListCommands::ShowCounts);
    connect(ListViewFiles->selectionModel(), &QItemSelectionModel::selectionChanged, counts,
            &ListCommands::ShowCounts);
}

bool frmMain::Load()
{
    bool startupProjectRead = false;
    try {
        state.DocumentServer = serverFactory();
        if (!state.DocumentServer)
            throw ServerError(ServerErrors::InvalidArgument, QString());
        DocumentServer &server = *state.DocumentServer;

        if (server.ReleaseInfo().MajorVersion() > 9) {
            prompts.MessageBox(UnsupportedReleaseText(), PromptButtons::OK, PromptIcon::Exclamation,
                               BrevantTitle);
            return false;
        }

        prompts.MessageBox(BackupWarningText(), PromptButtons::OK, PromptIcon::Exclamation,
                           BrevantTitle);
        RecoverFromUnfinishedRun(server);
        TellMissingActiveProject(server);

        state.StartupProject = server.ProjectHandler().ActiveProject();
        startupProjectRead = true;
        SelectStartupProject(server);
    } catch (const std::exception &error) {
        prompts.MessageBox(Brevant::tr("Can't start the Korvex Scrivo Server.") + ReasonOf(error),
                           PromptButtons::OK, PromptIcon::Critical, BrevantTitle);
        if (startupProjectRead)
            PutStartupProjectBack();
        return false;
    }
    ShowLoadedWindow();

    if (IsKorvexRunning()) {
        prompts.SetMousePointer(MousePointer::Default);
        prompts.MessageBox(KorvexRunningText(), PromptButtons::OK, PromptIcon::Critical,
                           BrevantTitle);
        // Leave the server as it was found: the project handling above may have changed
        // its active project.
        PutStartupProjectBack();
        return false;
    }
    guard.SetLoaded();
    return true;
}

void frmMain::SelectStartupProject(DocumentServer &server)
{
    state.SelectedProject = state.StartupProject;
    FillProjectList(server, Combo1);
    if (IsDeponaProject(state.SelectedProject)) {
        SelectProjectInList(server, ResetActiveProject(server), Combo1);
        if (const std::optional<QString> failure = projectChoice->TakeStartupFailure())
            throw ServerError(0, *failure);
    }
    SetMultiUserModeText(state, server.MultiUserMode());
    SelectProjectInList(server, state.SelectedProject, Combo1);
    if (const std::optional<QString> failure = projectChoice->TakeStartupFailure())
        throw ServerError(0, *failure);

    state.StartupUserName = server.UserName();
    state.CheckOutUser = state.StartupUserName;
    ListViewFiles->Filter()->SetUser(state.CheckOutUser);
}

void frmMain::ShowLoadedWindow()
{
    setTabOrder(Combo1, FilterText);
    setTabOrder(FilterText, FilterShow);
    setTabOrder(FilterShow, ListViewFiles);
    ShowListSession();
    UpdateStatusbar();
    SetGridLines(RecallWindowLayout(*this, *ListViewFiles));
    state.UseMetadataCache = RecallMetadataCache();
    mnuMetadataCache->setChecked(state.UseMetadataCache);
    listCommands->ShowCounts();
}

void frmMain::RecoverFromUnfinishedRun(DocumentServer &server)
{
    const std::optional<UnfinishedRun> run = ::RecoverFromUnfinishedRun(server);
    if (!run)
        return;
    QString text =
        Brevant::tr("The last check-out or check-in run did not finish. %1 is active again.")
            .arg(run->Source);
    // What the run holds stays checked out: the user is told what and for whom, with the
    // documents named when they are few.
    const JournalContents &held = run->Reserved;
    if (held.Count > 0) {
        text += u'\r' + Brevant::tr("It had checked out %1 document(s) for %2.")
                            .arg(held.Count)
                            .arg(held.Holders.join(QStringLiteral(", ")));
        if (held.Count <= ListedHeldDocuments)
            text += u'\r' + held.Documents.join(u'\r');
        else
            text += u'\r' + Brevant::tr("Find Korvex Documents in the project's folders lists "
                                        "them.");
    }
    prompts.MessageBox(text, PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}

void frmMain::TellMissingActiveProject(DocumentServer &server)
{
    const QString missing = server.ProjectHandler().MissingActiveProject();
    if (missing.isEmpty())
        return;
    prompts.MessageBox(Brevant::tr("The active project file does not exist:\r%1\rThe default "
                                   "project is used instead.")
                           .arg(missing),
                       PromptButtons::OK, PromptIcon::Information, BrevantTitle);
}

void frmMain::PutStartupProjectBack()
{
    if (state.DocumentServer)
        ::PutStartupProjectBack(*state.DocumentServer, state.StartupProject);
}

void frmMain::UpdateStatusbar()
{
    status->Update();
}

void frmMain::ShowListSession()
{
    const QString &report = list.ReportPath();
    setWindowTitle(QStringLiteral("Korvex Brevant - ") +
                   (report.isEmpty() ? Brevant::tr("Unnamed") : report));
    ApplyMenuState();
}

void frmMain::ApplyMenuState()
{
    // Until the start-up shows the list's session, every item is available, as designed.
    if (menuState)
        menuState->Apply(list.Stage(), guard.CurrentActivity(), listModel->Count() > 0);
}

void frmMain::ArrangeControls()
{
    if (isMinimized())
        return;
    const QWidget *client = centralWidget();
    const int statusBarHeight = PixelsToTwips(StatusBar1->height());
    const ControlLayout layout = ArrangeControlsLayout(
        PixelsToTwips(client->width()), PixelsToTwips(client->height()) + statusBarHeight,
        statusBarHeight, PixelsToTwips(Combo1->sizeHint().height()));
    auto pixels = [](const QRect &twips) {
        return QRect(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()),
                     TwipsToPixels(twips.width()), TwipsToPixels(twips.height()));
    };
    Frame1->setGeometry(pixels(layout.Frame1));
    const QRect combo = pixels(layout.Combo1);
    Combo1->setGeometry(combo.x(), combo.y(), combo.width(), Combo1->sizeHint().height());
    PBoxRight->setGeometry(pixels(layout.PBoxRight));
    // The filter bar takes the top of the list's place.
    const QRect listPlace = pixels(layout.ListViewFiles);
    const int barHeight = qMin(FilterBar->sizeHint().height(), listPlace.height());
    FilterBar->setGeometry(listPlace.x(), listPlace.y(), listPlace.width(), barHeight);
    ListViewFiles->setGeometry(listPlace.adjusted(0, barHeight, 0, 0));
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        ArrangeControls();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Restored from the task bar: lay out for the size the window has now.
    if (event->type() == QEvent::WindowStateChange && !isMinimized())
        ArrangeControls();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (guard.AskingToClose()) {
        event->ignore();
    } else if (!guard.MayRun() && !guard.Busy()) {
        // Before the start-up finished or after the window was unloaded.
        event->accept();
    } else if (guard.Busy()) {
        // A search (which lets pending events run) stops; it and any other command end with
        // their own steps (a run makes the selected project active again and removes its
        // working project) before the window closes.
        state.StopSearch = state.StopSearch || guard.Searching();
        guard.RequestClose();
        event->ignore();
    } else if (!guard.AskToClose([this] { return session->QueryUnload(sessionEnding); })) {
        event->ignore();
    } else {
        Unload();
        event->accept();
    }
}

void frmMain::EndSession()
{
    sessionEnding = true;
    close();
}

void frmMain::Unload()
{
    guard.SetUnloaded();
    RememberWindowLayout(*this, *ListViewFiles);
    const std::shared_ptr<DocumentServer> server = std::move(state.DocumentServer);
    if (server)
        RestoreAtClose(*server, state);
}
