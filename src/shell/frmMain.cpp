#include "shell/frmMain.h"
#include "system/Translation.h"

#include "model/FileListModel.h"
#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "server/ProjectAccess.h"
#include "server/ServerError.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"
#include "shell/OpenCommand.h"
#include "shell/ReservationCommands.h"
#include "shell/SearchCommand.h"
#include "shell/SessionCommands.h"
#include "system/FileWrite.h"
#include "system/KorvexProcess.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStatusBar>

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

QString ServerStartFailureText()
{
    return Brevant::tr("Can't start the Korvex Scrivo Server.");
}

// The design client area in twips.
constexpr int DesignClientWidth = 11436;
constexpr int DesignClientHeight = 7044;

// The caption sits left of the drop-down, which starts at 1050 twips: a wide system font is
// made smaller until the caption fits.
void FitLabelBeforeCombo(QLabel *label)
{
    const int left = TwipsToPixels(60);
    const int room = TwipsToPixels(1050) - left - 3;
    QFont font = label->font();
    while (QFontMetrics(font).horizontalAdvance(label->text()) > room && font.pointSizeF() > 6)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    label->setFont(font);
    label->adjustSize();
    label->move(left, TwipsToPixels(140));
}

} // namespace

frmMain::frmMain(Prompts &dialogs, DocumentServerFactory factory, QWidget *parent)
    : QMainWindow(parent), prompts(dialogs), serverFactory(std::move(factory)),
      guard([this] { close(); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Korvex Brevant"));
    CreateControls();
    CreateMenus();
    ConnectListCommands();
    session = std::make_unique<SessionCommands>(*this);
    search = std::make_unique<SearchCommand>(*this);
    open = std::make_unique<OpenCommand>(*this);
    reservation = std::make_unique<ReservationCommands>(*this);
    resize(TwipsToPixels(DesignClientWidth),
           TwipsToPixels(DesignClientHeight) + menuBar()->sizeHint().height());
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

    Label1 = new QLabel(Brevant::tr("Project file:"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    FitLabelBeforeCombo(Label1);

    Combo1 = new QComboBox(Frame1);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label1->setBuddy(Combo1);
    connect(Combo1, &QComboBox::currentIndexChanged, this, &frmMain::Combo1Changed);

    PBoxRight = new QWidget(Frame1);
    PBoxRight->setObjectName(QStringLiteral("PBoxRight"));

    ListViewFiles = new FileListView(PBoxRight);
    ListViewFiles->setObjectName(QStringLiteral("ListViewFiles"));
    listModel = ListViewFiles->Model();
    const int columnTwips[] = {1800, 3000, 2400, 2400, 2400, 1200};
    for (int column = 0; column < 6; ++column)
        ListViewFiles->setColumnWidth(column, TwipsToPixels(columnTwips[column]));

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    statusUser = new QLabel(StatusBar1);
    statusUser->setObjectName(QStringLiteral("StatusBar1Panel1"));
    statusMode = new QLabel(StatusBar1);
    statusMode->setObjectName(QStringLiteral("StatusBar1Panel2"));
    statusNote = new QLabel(StatusBar1);
    statusNote->setObjectName(QStringLiteral("StatusBar1Panel3"));
    for (QLabel *panel : {statusUser, statusMode, statusNote}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        StatusBar1->addWidget(panel);
    }
    statusNote->hide();
    statusCancel = new QPushButton(Brevant::tr("Cancel"), StatusBar1);
    statusCancel->setObjectName(QStringLiteral("StatusBar1Cancel"));
    StatusBar1->addWidget(statusCancel);
    statusCancel->hide();
}

QAction *frmMain::AddMenuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction *frmMain::AddSeparator(QMenu *menu, const char *name)
{
    QAction *separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

void frmMain::CreateMenus()
{
    auto menu = [this](const char *name, const QString &caption, QWidget *owner) {
        auto *created = new QMenu(caption, owner);
        created->setObjectName(QString::fromLatin1(name));
        created->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
        return created;
    };

    mnuFile = menu("mnuFile", Brevant::tr("&File"), this);
    mnuNew = AddMenuItem(mnuFile, "mnuNew", Brevant::tr("&New"));
    mnuNew->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuOpen = AddMenuItem(mnuFile, "mnuOpen", Brevant::tr("&Open..."));
    AddSeparator(mnuFile, "mnuSpacer1");
    mnuReserveForUser =
        AddMenuItem(mnuFile, "mnuReserveForUser", Brevant::tr("Check Out for &User..."));
    mnuReserveSelectedFiles =
        AddMenuItem(mnuFile, "mnuReserveSelectedFiles", Brevant::tr("Check Out &selected files"));
    mnuUnreserveSelectedFiles =
        AddMenuItem(mnuFile, "mnuUnreserveSelectedFiles", Brevant::tr("Check &In selected files"));
    AddSeparator(mnuFile, "mnuSpacer2");
    mnuSave = AddMenuItem(mnuFile, "mnuSave", Brevant::tr("&Save"));
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveAs = AddMenuItem(mnuFile, "mnuSaveAs", Brevant::tr("Save &As..."));
    AddSeparator(mnuFile, "mnuSpacer3");
    mnuExit = AddMenuItem(mnuFile, "mnuExit", Brevant::tr("&Exit"));

    mnuEdit = menu("mnuEdit", Brevant::tr("&Edit"), this);
    mnuDocumentsSearch =
        AddMenuItem(mnuEdit, "mnuDocumentsSearch", Brevant::tr("&Find Korvex Documents..."));
    mnuDocumentsSearch->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    AddSeparator(mnuEdit, "mnuSpacer4");
    mnuSelectAll = AddMenuItem(mnuEdit, "mnuSelectAll", Brevant::tr("Select All"));
    mnuSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuDeleteItems = AddMenuItem(mnuEdit, "mnuDeleteItems", Brevant::tr("&Delete"));
    mnuDeleteItems->setShortcut(QKeySequence(Qt::Key_Delete));
    AddSeparator(mnuEdit, "mnuSpacer5");
    mnuStopDocumentsSearch =
        AddMenuItem(mnuEdit, "mnuStopDocumentsSearch", Brevant::tr("St&op Documents Search"));

    mnuView = menu("mnuView", Brevant::tr("&View"), this);
    mnuRefresh = AddMenuItem(mnuView, "mnuRefresh", Brevant::tr("&Refresh"));
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    AddSeparator(mnuView, "mnuSpacer6");
    mnuGridlines = menu("mnuGridlines", Brevant::tr("Gridlines"), mnuView);
    mnuView->addMenu(mnuGridlines);
    mnuGridlinesOn = AddMenuItem(mnuGridlines, "mnuGridlinesOn", Brevant::tr("&On"));
    mnuGridlinesOff = AddMenuItem(mnuGridlines, "mnuGridlinesOff", Brevant::tr("O&ff"));
    mnuGridlinesOn->setCheckable(true);
    mnuGridlinesOff->setCheckable(true);

    mnuHelp = menu("mnuHelp", QStringLiteral("&?"), this);
    mnuInfo = AddMenuItem(mnuHelp, "mnuInfo", Brevant::tr("&Info..."));

    for (QMenu *top : {mnuFile, mnuEdit, mnuView, mnuHelp})
        menuBar()->addMenu(top);

    // The list's popup menu is not in the menu bar.
    pupmnuListView = menu("pupmnuListView", QStringLiteral("ListviewMenu"), this);
    pupmnuDeleteItems = AddMenuItem(pupmnuListView, "pupmnuDeleteItems", Brevant::tr("&Delete"));
    pupmnuSelectAll = AddMenuItem(pupmnuListView, "pupmnuSelectAll", Brevant::tr("&Select all"));
    AddSeparator(pupmnuListView, "pupmnuSpacer1");
    pupmnuReserve = AddMenuItem(pupmnuListView, "pupmnuReserve", Brevant::tr("Check &Out"));
    pupmnuUnreserve = AddMenuItem(pupmnuListView, "pupmnuUnreserve", Brevant::tr("Check &In"));
    AddSeparator(pupmnuListView, "pupmnuSpacer2");
    pupmnuRefresh = AddMenuItem(pupmnuListView, "pupmnuRefresh", Brevant::tr("&Refresh"));
}

bool frmMain::Load()
{
    const QScopedValueRollback<bool> loadingUntilReturn(loading, true);

    state.Files = std::make_shared<clsFiles>();
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
        state.SelectedProject = state.StartupProject;
        FillProjectList(server, Combo1);

        if (IsDeponaProject(state.SelectedProject)) {
            SelectProjectInList(server, ResetActiveProject(server), Combo1);
            if (startupFailure)
                throw ServerError(0, *startupFailure);
        }
        SetMultiUserModeText(state, server.MultiUserMode());
        SelectProjectInList(server, state.SelectedProject, Combo1);
        if (startupFailure)
            throw ServerError(0, *startupFailure);

        state.StartupUserName = server.UserName();
        state.CheckOutUser = state.StartupUserName;
    } catch (const std::exception &error) {
        ShowServerStartFailure(ReasonOf(error));
        if (startupProjectRead)
            PutStartupProjectBack();
        return false;
    }

    setTabOrder(Combo1, ListViewFiles);
    setWindowTitle(SessionCommands::UnnamedCaption());
    UpdateStatusbar();

    mnuSave->setEnabled(false);
    mnuSaveAs->setEnabled(false);
    mnuStopDocumentsSearch->setEnabled(false);
    SetGridLines(true);

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

void frmMain::RecoverFromUnfinishedRun(DocumentServer &server)
{
    ProjectHandler &projects = server.ProjectHandler();
    const QString active = projects.ActiveProject();
    // A run that was killed left its working project active: its project is made active
    // again and the working project removed.
    if (const std::optional<QString> source = AbandonedWorkingProjectSource(active)) {
        projects.SetActiveProject(*source);
        IgnoringErrors([&] { RemoveFile(active); });
        prompts.MessageBox(
            Brevant::tr("The last check-out or check-in run did not finish. %1 is active again.")
                .arg(*source),
            PromptButtons::OK, PromptIcon::Information, BrevantTitle);
    }
    // Working projects that killed runs left beside the registered projects.
    for (const QString &project : projects.GetProjects()) {
        RemoveAbandonedWorkingProjects(ParentFolderOf(project));
        IgnoringErrors([&] {
            const QString include = ProjectFilePath(IncludedPathFileOf(project), project);
            if (!include.isEmpty())
                RemoveAbandonedWorkingProjects(ParentFolderOf(include));
        });
    }
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

void frmMain::ShowServerStartFailure(const QString &description)
{
    prompts.MessageBox(ServerStartFailureText() + description, PromptButtons::OK,
                       PromptIcon::Critical, BrevantTitle);
}

void frmMain::PutStartupProjectBack()
{
    if (!state.DocumentServer)
        return;
    IgnoringErrors([this] {
        ProjectHandler &projects = state.DocumentServer->ProjectHandler();
        if (projects.ActiveProject() != state.StartupProject)
            projects.SetActiveProject(state.StartupProject);
    });
}

void frmMain::UpdateStatusbar()
{
    SetStatusPanelAutoSize(true);
    statusUser->setText(Brevant::tr("User name: ") + state.CheckOutUser);
    const QString &mode = state.MultiUserModeText;
    const bool brevantMode = mode == QStringLiteral("Single User") ||
                             mode == QStringLiteral("Semi-Isolated") ||
                             mode == QStringLiteral("Depona");
    statusMode->setText(Brevant::tr("Multi-User mode: ") +
                        (brevantMode ? QStringLiteral("Brevant") : mode));
}

void frmMain::SetStatusPanelText(int panel, const QString &text)
{
    if (panel == 1)
        statusUser->setText(text);
    else if (panel == 2)
        statusMode->setText(text);
}

void frmMain::SetStatusPanelAutoSize(bool on)
{
    if (on) {
        statusUser->setMinimumWidth(0);
        statusUser->setMaximumWidth(QWIDGETSIZE_MAX);
    } else {
        // The window's inner width less 10 twips.
        statusUser->setFixedWidth(qMax(0, TwipsToPixels(PixelsToTwips(width()) - 10)));
    }
}

void frmMain::SetStatusNote(const QString &text)
{
    statusNote->setText(text);
    statusNote->setVisible(!text.isEmpty());
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
    ListViewFiles->setGeometry(pixels(layout.ListViewFiles));
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
    if (guard.Closing()) {
        event->ignore();
        return;
    }
    if (!guard.MayRun() && !guard.Busy()) {
        // Before the start-up finished or after the window was unloaded.
        event->accept();
        return;
    }
    // A search (which lets pending events run) stops; it and any other command end with
    // their own steps (a run makes the selected project active again and removes its
    // working project) before the window closes.
    if (guard.Busy()) {
        state.StopSearch = state.StopSearch || guard.Searching();
        guard.RequestClose();
        event->ignore();
        return;
    }
    bool closing = false;
    {
        const QScopedValueRollback<bool> asking(guard.Closing(), true);
        closing = session->QueryUnload(sessionEnding);
    }
    if (!closing) {
        event->ignore();
        return;
    }
    Unload();
    event->accept();
}

void frmMain::EndSession()
{
    sessionEnding = true;
    close();
}

void frmMain::Unload()
{
    guard.SetUnloaded();
    const std::shared_ptr<DocumentServer> server = std::move(state.DocumentServer);
    if (!server)
        return;

    // The user name is the start-up one again whenever a run or a failure left another.
    IgnoringErrors([&] {
        if (server->UserName() != state.StartupUserName)
            server->SetUserName(state.StartupUserName);
    });

    IgnoringErrors([&] {
        ProjectHandler &projects = server->ProjectHandler();
        const QString active = FileNameOf(projects.ActiveProject());
        if (active.toLower() == QStringLiteral("default.kpj"))
            return;
        IgnoringErrors([&] { projects.SetActiveProject(QString()); });
        DeleteTemporaryProject(state.WorkingProject);
        if (!IsWorkingProjectName(FileNameOf(state.StartupProject)))
            projects.SetActiveProject(state.StartupProject);
    });

    DeleteTemporaryProject(state.WorkingProject);
}
