#include "ShellFixture.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "server/ServerError.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

namespace {

const QString SemiIsolatedHint = QStringLiteral(
    "You are running in Semi-Isolated mode.\r"
    "Please select the files from your server directory for check in/out operation.\r"
    "\r"
    "Hint:\r"
    "If you run Brevant from a users client machine, please backup and remove\r"
    "the local workspace data first, before you execute Brevant. This step allows\r"
    "you to access the server data only, without referencing the local stored files.");

const QString DeponaRefusal = QStringLiteral(
    "Depona projects should be handled via Depona Explorer regarding check in/out operations.");

QStringList messageTexts(const ScriptedPrompts &prompts)
{
    QStringList texts;
    for (const ScriptedPrompts::Record &record : prompts.records)
        texts.append(record.text);
    return texts;
}

QStringList columnTexts(const frmMain &window, int column)
{
    QStringList texts;
    for (int i = 1; i <= window.ListViewFiles->Count(); ++i)
        texts.append(window.ListViewFiles->Row(i)->text(column));
    return texts;
}

// A server that fails on cue in front of the real one.
class FailingServer : public DocumentServer, public ProjectHandler
{
public:
    explicit FailingServer(std::shared_ptr<DocumentServer> inner) : real(std::move(inner)) {}

    bool failMultiUserMode = false;
    bool failSetActiveProject = false;

    ServerDocumentPtr OpenDocument(const QString &path) override
    {
        return real->OpenDocument(path);
    }
    void CloseAllDocuments() override { real->CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return *this; }
    ::ReleaseInfo &ReleaseInfo() override { return real->ReleaseInfo(); }
    QString UserName() override { return real->UserName(); }
    void SetUserName(const QString &name) override { real->SetUserName(name); }
    int MultiUserMode() override
    {
        if (failMultiUserMode)
            throw ServerError(ServerErrors::ProjectNotFound, QStringLiteral(" (mode unreadable)"));
        return real->MultiUserMode();
    }

    QString ActiveProject() override { return real->ProjectHandler().ActiveProject(); }
    void SetActiveProject(const QString &path) override
    {
        if (failSetActiveProject)
            throw ServerError(ServerErrors::WriteFailed, QStringLiteral("server.ini is locked"));
        real->ProjectHandler().SetActiveProject(path);
    }
    QStringList GetProjects() override { return real->ProjectHandler().GetProjects(); }
    QString WorkspacePath() override { return real->ProjectHandler().WorkspacePath(); }
    void GetWorkgroupPaths(QStringList &names, QStringList &paths) override
    {
        real->ProjectHandler().GetWorkgroupPaths(names, paths);
    }

private:
    std::shared_ptr<DocumentServer> real;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    // Start-up
    void startupShowsBackupWarningAndPreparesWindow();
    void startupRunsSelectionHandlingForPreselectedEntry_data();
    void startupRunsSelectionHandlingForPreselectedEntry();
    void startupWithDeponaProjectFallsBackToFirstEntry();
    void releaseAboveNineRefusesBeforeBackupWarning_data();
    void releaseAboveNineRefusesBeforeBackupWarning();
    void runningKorvexRefusesAndPutsActiveProjectBack();
    void serverThatCannotStartEndsTheProgram();
    void serverFailureDuringStartupIsReportedAfterBackupWarning();

    // Status bar
    void statusBarShowsUserAndMode_data();
    void statusBarShowsUserAndMode();

    // Shutdown
    void closingRestoresStartupProjectAndRemovesTemporaryProject();
    void closingLeavesDefaultProjectInAnyCaseActive();
    void closingDoesNotRestoreTemporaryStartupProject();
    void closingWritesStartupUserNameBack();
    void exitClosesThroughTheSamePath();

    // Layout
    void layoutComputation();
    void windowLayoutFollowsResizeButNotWhileMinimized();

    // File list
    void rowsFollowRecordsWithKeysAndCheckBoxes();
    void sortingByColumnAsTextAndReversing();
    void refillShowsRecordOrderAndKeepsSortColumn();
    void selectAllAndDeleteEmptyListAndRecords();
    void deletingRowRemovesItsOwnRecord();
    void popupMenuEnablesDeleteOnlyWithRows();
    void gridLinesFollowMenuChecks();
    void checkBoxesCannotBeChangedByUser();
    void rowRewrittenFromItsRecord();

    // Project selection
    void pickingProjectMakesItActive();
    void pickingProjectWhileRowsAreListedSnapsBack();
    void pickingDeponaProjectIsRefused();
    void semiIsolatedProjectShowsHint_data();
    void semiIsolatedProjectShowsHint();
    void selectionFailureIsShownAfterStartup();
};

void TestShell::startupShowsBackupWarningAndPreparesWindow()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Single User"));
    f.activate(b);
    f.expectBackupWarning();
    auto window = f.startWindow();

    QCOMPARE(f.prompts.records.size(), 1);
    const ScriptedPrompts::Record &warning = f.prompts.records.first();
    QCOMPARE(warning.text, BackupWarning);
    QCOMPARE(warning.text.size(), 86 + 1 + 42);
    QCOMPARE(warning.icon, PromptIcon::Exclamation);
    QCOMPARE(warning.buttons, PromptButtons::OK);
    QCOMPARE(warning.title, QStringLiteral("Korvex Brevant"));

    ProgramState &state = window->State();
    QCOMPARE(state.StartupProject, b);
    QCOMPARE(state.SelectedProject, b);
    QCOMPARE(state.MultiUserModeText, QStringLiteral("Single User"));
    QCOMPARE(state.StartupUserName, f.server->DefaultUserName());
    QCOMPARE(state.CheckOutUser, state.StartupUserName);
    QVERIFY(state.Files && state.Files->Count() == 0);
    QCOMPARE(f.activeProject(), b);

    QCOMPARE(window->Combo1->count(), 2);
    QCOMPARE(window->Combo1->itemText(0), a);
    QCOMPARE(window->Combo1->currentIndex(), 1);
    QCOMPARE(window->windowTitle(), QStringLiteral("Korvex Brevant - Unnamed"));
    QCOMPARE(window->SaveDialog.filter,
             QStringLiteral("Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"));
    QCOMPARE(window->SaveDialog.selectedFilter, 1);
    QCOMPARE(window->StatusPanelText(1), QStringLiteral("User name: ") + state.CheckOutUser);
    QCOMPARE(window->StatusPanelText(2), QStringLiteral("Multi-User mode: Brevant"));
    QVERIFY(!window->ListSaved());

    // Menus: exactly Save, Save As and Stop are off after start-up.
    const QStringList disabled{QStringLiteral("mnuSave"), QStringLiteral("mnuSaveAs"),
                               QStringLiteral("mnuStopDocumentsSearch")};
    const QStringList items{QStringLiteral("mnuNew"),
                            QStringLiteral("mnuOpen"),
                            QStringLiteral("mnuReserveForUser"),
                            QStringLiteral("mnuReserveSelectedFiles"),
                            QStringLiteral("mnuUnreserveSelectedFiles"),
                            QStringLiteral("mnuSave"),
                            QStringLiteral("mnuSaveAs"),
                            QStringLiteral("mnuExit"),
                            QStringLiteral("mnuDocumentsSearch"),
                            QStringLiteral("mnuSelectAll"),
                            QStringLiteral("mnuDeleteItems"),
                            QStringLiteral("mnuStopDocumentsSearch"),
                            QStringLiteral("mnuGridlinesOn"),
                            QStringLiteral("mnuGridlinesOff"),
                            QStringLiteral("mnuInfo"),
                            QStringLiteral("pupmnuDeleteItems"),
                            QStringLiteral("pupmnuSelectAll"),
                            QStringLiteral("pupmnuReserve"),
                            QStringLiteral("pupmnuUnreserve")};
    for (const QString &name : items) {
        auto *action = window->findChild<QAction *>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->isEnabled(), !disabled.contains(name));
    }
    QVERIFY(window->Combo1->isEnabled());
    QVERIFY(window->mnuGridlinesOn->isChecked());
    QVERIFY(!window->mnuGridlinesOff->isChecked());
    QVERIFY(window->ListViewFiles->GridLines());

    // Captions and shortcuts as the menus show them.
    QCOMPARE(window->mnuReserveSelectedFiles->text(), QStringLiteral("Check Out &selected files"));
    QCOMPARE(window->mnuStopDocumentsSearch->text(), QStringLiteral("St&op Documents Search"));
    QCOMPARE(window->mnuNew->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QCOMPARE(window->mnuSave->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(window->mnuDocumentsSearch->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(window->mnuSelectAll->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(window->mnuDeleteItems->shortcut(), QKeySequence(QKeySequence::Delete));
    QCOMPARE(window->pupmnuListView->title(), QStringLiteral("ListviewMenu"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
             QStringLiteral("Project file:"));

    // The list: six columns at their design widths, several rows selectable.
    QCOMPARE(window->ListViewFiles->columnCount(), 6);
    QCOMPARE(window->ListViewFiles->headerItem()->text(5), QStringLiteral("Checked Out Version"));
    QCOMPARE(window->ListViewFiles->columnWidth(0), 120);
    QCOMPARE(window->ListViewFiles->columnWidth(1), 200);
    QCOMPARE(window->ListViewFiles->columnWidth(5), 80);
    QCOMPARE(window->ListViewFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(f.prompts.scriptDone());
}

void TestShell::startupRunsSelectionHandlingForPreselectedEntry_data()
{
    QTest::addColumn<int>("activeIndex");
    QTest::newRow("first entry") << 0;
    QTest::newRow("second entry") << 1;
}

void TestShell::startupRunsSelectionHandlingForPreselectedEntry()
{
    // The preselection is a change of the selected entry even for entry 0, so the
    // Semi-Isolated hint shows once, after the backup warning.
    QFETCH(int, activeIndex);
    ShellFixture f;
    const QStringList projects{f.addProject(QStringLiteral("A"), QStringLiteral("Semi-Isolated")),
                               f.addProject(QStringLiteral("B"), QStringLiteral("Semi-Isolated"))};
    f.activate(projects.at(activeIndex));
    f.expectBackupWarning();
    f.prompts.answerMessage(PromptAnswer::OK);
    auto window = f.startWindow();

    QCOMPARE(messageTexts(f.prompts), (QStringList{BackupWarning, SemiIsolatedHint}));
    QCOMPARE(f.prompts.records.at(1).icon, PromptIcon::Information);
    QCOMPARE(window->Combo1->currentIndex(), activeIndex);
    QCOMPARE(window->State().SelectedProject, projects.at(activeIndex));
    QCOMPARE(window->StatusPanelText(2), QStringLiteral("Multi-User mode: Brevant"));
}

void TestShell::startupWithDeponaProjectFallsBackToFirstEntry()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString d = f.addProject(QStringLiteral("D"), QStringLiteral("Depona"));
    f.activate(d);
    f.expectBackupWarning();
    auto window = f.startWindow();

    // The fallback (the default project) is not registered: entry 0 is chosen and active.
    QCOMPARE(messageTexts(f.prompts), QStringList{BackupWarning});
    QCOMPARE(window->State().StartupProject, d);
    QCOMPARE(window->State().SelectedProject, a);
    QCOMPARE(window->Combo1->currentIndex(), 0);
    QCOMPARE(f.activeProject(), a);
    QCOMPARE(window->State().MultiUserModeText, QStringLiteral("Shared"));
}

void TestShell::releaseAboveNineRefusesBeforeBackupWarning_data()
{
    QTest::addColumn<int>("release");
    QTest::addColumn<bool>("starts");
    QTest::newRow("9 starts") << 9 << true;
    QTest::newRow("10 refused") << 10 << false;
}

void TestShell::releaseAboveNineRefusesBeforeBackupWarning()
{
    QFETCH(int, release);
    QFETCH(bool, starts);
    ShellFixture f;
    f.activate(f.addProject(QStringLiteral("A"), QStringLiteral("Shared")));
    f.setMajorVersion(release);
    f.prompts.answerMessage(PromptAnswer::OK);
    auto window = f.makeWindow();

    QCOMPARE(window->Load(), starts);
    QCOMPARE(f.prompts.records.size(), 1);
    if (starts) {
        QCOMPARE(f.prompts.records.first().text, BackupWarning);
        return;
    }
    const ScriptedPrompts::Record &refusal = f.prompts.records.first();
    QCOMPARE(refusal.text, QStringLiteral("Please check if there is a new Brevant Version "
                                          "available,\rthis version only supports Korvex R6 to "
                                          "R9."));
    QCOMPARE(refusal.icon, PromptIcon::Exclamation);
    QCOMPARE(refusal.buttons, PromptButtons::OK);
    QCOMPARE(window->Combo1->count(), 0);
}

void TestShell::runningKorvexRefusesAndPutsActiveProjectBack()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString d = f.addProject(QStringLiteral("D"), QStringLiteral("Depona"));
    // The project handling moves the server from D to A before the test for Korvex.
    f.activate(d);
    KorvexProcess korvex;
    QVERIFY(korvex.started());
    f.expectBackupWarning();
    f.prompts.answerMessage(PromptAnswer::OK);
    f.prompts.SetMousePointer(MousePointer::Hourglass);
    auto window = f.makeWindow();

    QVERIFY(!window->Load());
    QCOMPARE(f.prompts.records.size(), 2);
    QCOMPARE(f.prompts.records.at(0).text, BackupWarning);
    const ScriptedPrompts::Record &refusal = f.prompts.records.at(1);
    QCOMPARE(refusal.text, QStringLiteral("Trelune Korvex Application is running !\n"
                                          "Please close Korvex and restart the Korvex Brevant "
                                          "tool."));
    QCOMPARE(refusal.icon, PromptIcon::Critical);
    QCOMPARE(f.prompts.pointer, MousePointer::Default);
    QCOMPARE(window->State().SelectedProject, a);
    QCOMPARE(f.activeProject(), d);
}

void TestShell::serverThatCannotStartEndsTheProgram()
{
    ScriptedPrompts prompts;
    prompts.answerMessage(PromptAnswer::OK);
    frmMain window(prompts, []() -> std::shared_ptr<DocumentServer> {
        throw ServerError(ServerErrors::ServerHomeUnusable,
                          QStringLiteral(" The home folder /x is a file."));
    });
    QVERIFY(!window.Load());
    QCOMPARE(prompts.records.size(), 1);
    QCOMPARE(prompts.records.first().text,
             QStringLiteral("Can't start the Korvex Scrivo Server. The home folder /x is a file."));
    QCOMPARE(prompts.records.first().icon, PromptIcon::Critical);
    QCOMPARE(prompts.records.first().buttons, PromptButtons::OK);
}

void TestShell::serverFailureDuringStartupIsReportedAfterBackupWarning()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.activate(b);
    auto failing = std::make_shared<FailingServer>(f.server);
    failing->failMultiUserMode = true;
    f.expectBackupWarning();
    f.prompts.answerMessage(PromptAnswer::OK);
    frmMain window(f.prompts, [failing] { return failing; });

    QVERIFY(!window.Load());
    QCOMPARE(
        messageTexts(f.prompts),
        (QStringList{BackupWarning,
                     QStringLiteral("Can't start the Korvex Scrivo Server. (mode unreadable)")}));
    QCOMPARE(f.prompts.records.at(1).icon, PromptIcon::Critical);
    QCOMPARE(f.activeProject(), b);
}

void TestShell::statusBarShowsUserAndMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Single User") << "Single User"
                                 << "Multi-User mode: Brevant";
    QTest::newRow("Shared") << "Shared"
                            << "Multi-User mode: Shared";
    QTest::newRow("Semi-Isolated") << "Semi-Isolated"
                                   << "Multi-User mode: Brevant";
    QTest::newRow("Semi-Isolated no checkout") << "Semi-Isolated no checkout"
                                               << "Multi-User mode: Semi-Isolated no checkout";
    QTest::newRow("Depona") << "Depona"
                            << "Multi-User mode: Brevant";
    QTest::newRow("other case") << "shared"
                                << "Multi-User mode: shared";
}

void TestShell::statusBarShowsUserAndMode()
{
    QFETCH(QString, mode);
    QFETCH(QString, shown);
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();

    window->State().CheckOutUser = QStringLiteral("Hanna Okafor");
    window->State().MultiUserModeText = mode;
    window->SetStatusPanelText(1, QStringLiteral("Searching a rather long folder name ..."));
    window->UpdateStatusbar();
    QCOMPARE(window->StatusPanelText(1), QStringLiteral("User name: Hanna Okafor"));
    QCOMPARE(window->StatusPanelText(2), shown);

    // Each panel is as wide as its text.
    QCoreApplication::processEvents();
    for (const char *name : {"StatusBar1Panel1", "StatusBar1Panel2"}) {
        auto *panel = window->StatusBar1->findChild<QLabel *>(QString::fromLatin1(name));
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QVERIFY(panel->width() >= panel->fontMetrics().horizontalAdvance(panel->text()));
        QVERIFY(panel->width() < panel->fontMetrics().horizontalAdvance(panel->text()) + 40);
    }
}

void TestShell::closingRestoresStartupProjectAndRemovesTemporaryProject()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.activate(a);
    f.expectBackupWarning();
    auto window = f.startWindow();
    window->Combo1->setCurrentIndex(1);
    QCOMPARE(f.activeProject(), b);
    const QString temporary =
        f.writeProject(QStringLiteral("projects/Temp$$$00.kpj"), QStringLiteral("Shared"));
    window->State().WorkingProject = temporary;

    QVERIFY(window->close());
    QCOMPARE(f.activeProject(), a);
    QVERIFY(!QFile::exists(temporary));
    QVERIFY(!window->State().Files);
    QVERIFY(!window->State().DocumentServer);
}

void TestShell::closingLeavesDefaultProjectInAnyCaseActive()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    f.activate(a);
    f.expectBackupWarning();
    auto window = f.startWindow();
    const QString other =
        f.writeProject(QStringLiteral("elsewhere/DeFaulT.KPJ"), QStringLiteral("Shared"));
    f.activate(other);
    // A temporary project is removed whatever the active project is.
    const QString temporary =
        f.writeProject(QStringLiteral("projects/Temp$$$00.kpj"), QStringLiteral("Shared"));
    window->State().WorkingProject = temporary;

    QVERIFY(window->close());
    QCOMPARE(f.activeProject(), other);
    QVERIFY(!QFile::exists(temporary));
}

void TestShell::closingDoesNotRestoreTemporaryStartupProject()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString temporary =
        f.writeProject(QStringLiteral("projects/Temp$$$00.kpj"), QStringLiteral("Shared"));
    f.activate(temporary);
    f.expectBackupWarning();
    auto window = f.startWindow();
    QCOMPARE(window->State().StartupProject, temporary);
    QCOMPARE(f.activeProject(), a);

    QVERIFY(window->close());
    QCOMPARE(f.activeProject(), f.defaultProject());
    // Only the working project is deleted, and it was never set.
    QVERIFY(QFile::exists(temporary));
}

void TestShell::closingWritesStartupUserNameBack()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    const QString startupUser = window->State().StartupUserName;
    QVERIFY(!startupUser.isEmpty());
    f.server->SetUserName(QStringLiteral("Jonas Varga"));

    QVERIFY(window->close());
    QCOMPARE(f.server->UserName(), startupUser);
}

void TestShell::exitClosesThroughTheSamePath()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.activate(a);
    f.expectBackupWarning();
    auto window = f.startWindow();
    window->show();
    window->Combo1->setCurrentIndex(1);
    f.server->SetUserName(QStringLiteral("Jonas Varga"));

    window->mnuExit->trigger();
    QVERIFY(!window->isVisible());
    QCOMPARE(f.activeProject(), a);
    QCOMPARE(f.server->UserName(), window->State().StartupUserName);
    // A second close does not run the shutdown again.
    f.activate(b);
    QVERIFY(window->close());
    QCOMPARE(f.activeProject(), b);
}

void TestShell::layoutComputation()
{
    const ControlLayout design = ArrangeControlsLayout(11436, 7044, 312, 315);
    QCOMPARE(design.Frame1, QRect(0, 0, 11436, 6732));
    QCOMPARE(design.Combo1, QRect(1050, 80, 8436, 315));
    QCOMPARE(design.PBoxRight, QRect(0, 450, 11436, 6278));
    QCOMPARE(design.ListViewFiles, QRect(0, 0, 11436, 6278));

    // Narrow: the drop-down keeps 4000 twips, at the limit too.
    QCOMPARE(ArrangeControlsLayout(7000, 7044, 312, 315).Combo1.width(), 4000);
    QCOMPARE(ArrangeControlsLayout(7001, 7044, 312, 315).Combo1.width(), 4001);

    // Lower than the status bar: absolute heights, nothing negative.
    const ControlLayout tiny = ArrangeControlsLayout(1500, 200, 312, 315);
    QCOMPARE(tiny.Frame1, QRect(0, 0, 1500, 112));
    QCOMPARE(tiny.Combo1.width(), 4000);
    QCOMPARE(tiny.PBoxRight, QRect(0, 450, 1500, 342));
    QCOMPARE(tiny.ListViewFiles.size(), QSize(1500, 342));
}

void TestShell::windowLayoutFollowsResizeButNotWhileMinimized()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // The design size: the client area (with status bar) is 11436 x 7044 twips.
    const QWidget *client = window->centralWidget();
    QCOMPARE(client->width(), 762);
    QCOMPARE(window->Combo1->geometry().topLeft(), QPoint(70, 5));
    QCOMPARE(window->Combo1->width(), 762 - 200);
    QCOMPARE(window->ListViewFiles->width(), 762);
    QCOMPARE(window->Frame1->height(), client->height());
    QCOMPARE(window->PBoxRight->geometry(),
             QRect(0, 30, 762, qRound((client->height() * 15 - 454) / 15.0)));

    // Tiny, but with a client area left between menu bar and status bar.
    window->resize(60, 70);
    QTRY_COMPARE(client->width(), 60);
    QCOMPARE(window->Combo1->width(), 267);
    for (const QWidget *control : {static_cast<QWidget *>(window->Frame1), window->PBoxRight,
                                   static_cast<QWidget *>(window->ListViewFiles)})
        QVERIFY(control->width() >= 0 && control->height() >= 0);

    window->resize(900, 600);
    QTRY_COMPARE(client->width(), 900);
    const QRect normal = window->Combo1->geometry();
    QCOMPARE(normal.width(), 700);

    window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(window->isMinimized());
    window->resize(700, 500);
    QTRY_COMPARE(client->width(), 700);
    QCOMPARE(window->Combo1->geometry(), normal);

    window->setWindowState(Qt::WindowNoState);
    QTRY_COMPARE(window->Combo1->width(), 500);
}

void TestShell::rowsFollowRecordsWithKeysAndCheckBoxes()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    QList<clsFilePtr> records;
    for (int i = 1; i <= 12; ++i)
        records.append(ShellFixture::record(i % 3 ? Available : QStringLiteral("Lena"),
                                            QStringLiteral("p%1.kpt").arg(i),
                                            QStringLiteral("/data/x")));
    ShellFixture::showRecords(*window, records);

    QCOMPARE(window->ListViewFiles->Count(), 12);
    const FileRow *twelfth = window->ListViewFiles->Row(12);
    QCOMPARE(twelfth->Key(), QStringLiteral("A12"));
    QCOMPARE(twelfth->Record(), records.at(11));
    QCOMPARE(frmMain::RecordOfRow(window->ListViewFiles->Row(3)), records.at(2));
    const FileRow *first = window->ListViewFiles->Row(1);
    QCOMPARE(first->text(0), Available);
    QCOMPARE(first->text(1), Available);
    QCOMPARE(first->text(2), QStringLiteral("p1.kpt"));
    QCOMPARE(first->text(3), QStringLiteral("/data/x"));
    QCOMPARE(first->text(4), QStringLiteral("p1"));
    QCOMPARE(first->text(5), Available);
    QCOMPARE(first->checkState(0), Qt::Unchecked);
    QCOMPARE(window->ListViewFiles->Row(3)->checkState(0), Qt::Checked);
    QCOMPARE(window->ListViewFiles->Row(3)->text(0), QStringLiteral("Lena"));
}

void TestShell::sortingByColumnAsTextAndReversing()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();
    ShellFixture::showRecords(*window,
                              {ShellFixture::record(QStringLiteral("Uwe"), QStringLiteral("b.kpt"),
                                                    QStringLiteral("/p"), QStringLiteral("9")),
                               ShellFixture::record(QStringLiteral("Ida"), QStringLiteral("c.kpt"),
                                                    QStringLiteral("/p"), QStringLiteral("10")),
                               ShellFixture::record(QStringLiteral("Eva"), QStringLiteral("a.kpt"),
                                                    QStringLiteral("/p"), QStringLiteral("2"))});

    // A click on the version header: text order, so 10 comes before 9.
    QHeaderView *header = window->ListViewFiles->header();
    const QPoint versionHeader(header->sectionViewportPosition(5) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, versionHeader);
    QCOMPARE(columnTexts(*window, 5), (QStringList{"10", "2", "9"}));
    QVERIFY(window->Sorted());
    QCOMPARE(window->SortColumn(), 5);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, versionHeader);
    QCOMPARE(columnTexts(*window, 5), (QStringList{"9", "2", "10"}));
    QCOMPARE(window->SortOrder(), Qt::DescendingOrder);

    // Another column starts ascending.
    window->SortColumns(3);
    QCOMPARE(columnTexts(*window, 2), (QStringList{"a.kpt", "b.kpt", "c.kpt"}));
    window->SortColumns(3);
    QCOMPARE(columnTexts(*window, 2), (QStringList{"c.kpt", "b.kpt", "a.kpt"}));
    window->SortColumns(1);
    QCOMPARE(columnTexts(*window, 0), (QStringList{"Eva", "Ida", "Uwe"}));
}

void TestShell::refillShowsRecordOrderAndKeepsSortColumn()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    const QList<clsFilePtr> records{
        ShellFixture::record(Available, QStringLiteral("b.kpt"), QStringLiteral("/p")),
        ShellFixture::record(Available, QStringLiteral("c.kpt"), QStringLiteral("/p")),
        ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p"))};
    ShellFixture::showRecords(*window, records);
    window->SortColumns(3);
    QCOMPARE(columnTexts(*window, 2), (QStringList{"a.kpt", "b.kpt", "c.kpt"}));

    ShellFixture::showRecords(*window, records);
    QVERIFY(!window->Sorted());
    QCOMPARE(columnTexts(*window, 2), (QStringList{"b.kpt", "c.kpt", "a.kpt"}));
    QCOMPARE(window->ListViewFiles->Row(3)->Key(), QStringLiteral("A3"));
    // The sort state persists: the same column again reverses.
    window->SortColumns(3);
    QCOMPARE(columnTexts(*window, 2), (QStringList{"c.kpt", "b.kpt", "a.kpt"}));
}

void TestShell::selectAllAndDeleteEmptyListAndRecords()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();

    // Harmless on an empty list.
    window->mnuSelectAll->trigger();
    window->mnuDeleteItems->trigger();
    window->SortColumns(2);

    QList<clsFilePtr> records;
    for (int i = 0; i < 5; ++i)
        records.append(ShellFixture::record(Available, QStringLiteral("d%1.kdw").arg(i),
                                            QStringLiteral("/p")));
    ShellFixture::showRecords(*window, records);
    window->SetListSaved(true);
    window->pupmnuSelectAll->trigger();
    QCOMPARE(window->SelectedRows().size(), 5);
    window->mnuDeleteItems->trigger();
    QCOMPARE(window->ListViewFiles->Count(), 0);
    QCOMPARE(window->State().Files->Count(), 0);
    QVERIFY(!window->ListSaved());

    // Deleting some rows keeps the others in their order, with their own records.
    ShellFixture::showRecords(*window, records);
    window->SetListSaved(true);
    window->ListViewFiles->Row(2)->setSelected(true);
    window->ListViewFiles->Row(4)->setSelected(true);
    window->pupmnuDeleteItems->trigger();
    QCOMPARE(columnTexts(*window, 2), (QStringList{"d0.kdw", "d2.kdw", "d4.kdw"}));
    QCOMPARE(window->State().Files->Count(), 3);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(window->State().Files->Item(i), window->ListViewFiles->Row(i)->Record());
    QVERIFY(!window->ListSaved());
}

void TestShell::deletingRowRemovesItsOwnRecord()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    const clsFilePtr first =
        ShellFixture::record(Available, QStringLiteral("gear.kpt"), QStringLiteral("/p/one"));
    const clsFilePtr second = ShellFixture::record(
        QStringLiteral("Lena"), QStringLiteral("gear.kpt"), QStringLiteral("/p/two"));
    ShellFixture::showRecords(*window, {first, second});

    window->ListViewFiles->Row(2)->setSelected(true);
    window->DeleteSelectedListViewItem();
    QCOMPARE(window->ListViewFiles->Count(), 1);
    QCOMPARE(window->ListViewFiles->Row(1)->text(3), QStringLiteral("/p/one"));
    QCOMPARE(window->State().Files->Count(), 1);
    QCOMPARE(window->State().Files->Item(1), first);
}

void TestShell::popupMenuEnablesDeleteOnlyWithRows()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QWidget *viewport = window->ListViewFiles->viewport();

    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(20, 20));
    QTRY_VERIFY(window->pupmnuListView->isVisible());
    QVERIFY(!window->pupmnuDeleteItems->isEnabled());
    QVERIFY(window->pupmnuSelectAll->isEnabled());
    QVERIFY(window->pupmnuReserve->isEnabled());
    QVERIFY(window->pupmnuUnreserve->isEnabled());
    window->pupmnuListView->hide();

    ShellFixture::showRecords(
        *window, {ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p"))});
    // Other buttons do nothing.
    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(!window->pupmnuListView->isVisible());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(20, 200));
    QTRY_VERIFY(window->pupmnuListView->isVisible());
    QVERIFY(window->pupmnuDeleteItems->isEnabled());
    window->pupmnuListView->hide();
}

void TestShell::gridLinesFollowMenuChecks()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();
    ShellFixture::showRecords(
        *window, {ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p")),
                  ShellFixture::record(Available, QStringLiteral("b.kpt"), QStringLiteral("/p"))});
    const QImage withLines = window->ListViewFiles->viewport()->grab().toImage();

    window->mnuGridlinesOff->trigger();
    QVERIFY(!window->ListViewFiles->GridLines());
    QVERIFY(window->mnuGridlinesOff->isChecked());
    QVERIFY(!window->mnuGridlinesOn->isChecked());
    window->mnuGridlinesOff->trigger();
    QVERIFY(!window->ListViewFiles->GridLines());
    QVERIFY(window->mnuGridlinesOff->isChecked());
    QVERIFY(!window->mnuGridlinesOn->isChecked());
    const QImage withoutLines = window->ListViewFiles->viewport()->grab().toImage();
    QVERIFY(withLines != withoutLines);

    window->mnuGridlinesOn->trigger();
    window->mnuGridlinesOn->trigger();
    QVERIFY(window->ListViewFiles->GridLines());
    QVERIFY(window->mnuGridlinesOn->isChecked());
    QVERIFY(!window->mnuGridlinesOff->isChecked());
    QCOMPARE(window->ListViewFiles->viewport()->grab().toImage(), withLines);
}

void TestShell::checkBoxesCannotBeChangedByUser()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    ShellFixture::showRecords(
        *window, {ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p")),
                  ShellFixture::record(QStringLiteral("Lena"), QStringLiteral("b.kpt"),
                                       QStringLiteral("/p"))});
    FileListView *list = window->ListViewFiles;
    for (int i = 1; i <= 2; ++i)
        QVERIFY(!(list->Row(i)->flags() & Qt::ItemIsUserCheckable));

    // Keyboard: space on the current row changes nothing.
    list->setCurrentItem(list->Row(1));
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(list->Row(1)->checkState(0), Qt::Unchecked);

    // Even where a click does reach a box (here: a row made checkable), the left mouse-up
    // puts the box back to what the row shows.
    for (int i = 1; i <= 2; ++i) {
        FileRow *row = list->Row(i);
        const Qt::CheckState before = row->checkState(0);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualItemRect(row);
        option.rect.setWidth(list->columnWidth(0));
        option.features = QStyleOptionViewItem::HasCheckIndicator;
        const QPoint box =
            list->style()
                ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
                .center();
        QSignalSpy changed(list, &QTreeWidget::itemChanged);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box);
        QVERIFY2(changed.size() >= 1, "the click did not reach the check box");
        QCOMPARE(row->checkState(0), before);
    }
}

void TestShell::rowRewrittenFromItsRecord()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    const clsFilePtr record =
        ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p"));
    ShellFixture::showRecords(*window, {record});
    record->SetCheckedOutBy(QStringLiteral("Lena"));
    record->SetCheckedOutTime(QStringLiteral("03.04.2026 08:15:00"));
    record->SetCheckedOutVersion(QStringLiteral("4"));

    window->ShowRecordInRow(window->ListViewFiles->Row(1));
    const FileRow *row = window->ListViewFiles->Row(1);
    QCOMPARE(row->text(0), QStringLiteral("Lena"));
    QCOMPARE(row->text(1), QStringLiteral("03.04.2026 08:15:00"));
    QCOMPARE(row->text(5), QStringLiteral("4"));
    QCOMPARE(row->checkState(0), Qt::Checked);
    QCOMPARE(row->Key(), QStringLiteral("A1"));
}

void TestShell::pickingProjectMakesItActive()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Single User"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.addProject(QStringLiteral("C"), QStringLiteral("Semi-Isolated no checkout"));
    f.activate(a);
    f.expectBackupWarning();
    auto window = f.startWindow();
    QCOMPARE(window->StatusPanelText(2), QStringLiteral("Multi-User mode: Brevant"));

    window->Combo1->setCurrentIndex(1);
    QCOMPARE(window->State().SelectedProject, b);
    QCOMPARE(f.activeProject(), b);
    QCOMPARE(window->State().MultiUserModeText, QStringLiteral("Shared"));
    QCOMPARE(window->StatusPanelText(2), QStringLiteral("Multi-User mode: Shared"));

    // Choosing the entry that is already selected runs nothing.
    f.activate(a);
    window->Combo1->setCurrentIndex(1);
    QCOMPARE(f.activeProject(), a);
    QCOMPARE(f.prompts.records.size(), 1);
}

void TestShell::pickingProjectWhileRowsAreListedSnapsBack()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    f.addProject(QStringLiteral("B"), QStringLiteral("Semi-Isolated"));
    f.addProject(QStringLiteral("C"), QStringLiteral("Depona"));
    f.activate(a);
    f.expectBackupWarning();
    auto window = f.startWindow();
    ShellFixture::showRecords(
        *window, {ShellFixture::record(Available, QStringLiteral("a.kpt"), QStringLiteral("/p"))});
    window->SetStatusPanelText(2, QStringLiteral("unchanged"));

    QSignalSpy changes(window->Combo1, &QComboBox::currentIndexChanged);
    for (int pick : {1, 2}) {
        window->Combo1->setCurrentIndex(pick);
        QCOMPARE(window->Combo1->currentIndex(), 0);
        QCOMPARE(window->State().SelectedProject, a);
        QCOMPARE(f.activeProject(), a);
        QCOMPARE(window->StatusPanelText(2), QStringLiteral("unchanged"));
    }
    // Each pick and its snap-back, nothing more.
    QCOMPARE(changes.size(), 4);
    QCOMPARE(f.prompts.records.size(), 1);
}

void TestShell::pickingDeponaProjectIsRefused()
{
    ShellFixture f;
    const QString a =
        f.addProject(QStringLiteral("A"), QStringLiteral("Semi-Isolated no checkout"));
    const QString b = f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.addProject(QStringLiteral("D"), QStringLiteral("Depona"));
    f.activate(b);
    f.expectBackupWarning();
    f.prompts.answerMessage(PromptAnswer::OK);
    auto window = f.startWindow();

    // The nested run for the fallback entry makes A active before the second reset.
    window->Combo1->setCurrentIndex(2);
    QCOMPARE(f.prompts.records.size(), 2);
    const ScriptedPrompts::Record &refusal = f.prompts.records.at(1);
    QCOMPARE(refusal.text, DeponaRefusal);
    QCOMPARE(refusal.icon, PromptIcon::Information);
    QCOMPARE(refusal.buttons, PromptButtons::OK);
    QCOMPARE(window->Combo1->currentIndex(), 0);
    QCOMPARE(window->State().SelectedProject, f.defaultProject());
    QCOMPARE(f.activeProject(), f.defaultProject());
    QCOMPARE(window->State().MultiUserModeText, QStringLiteral("Single User"));
    QCOMPARE(window->StatusPanelText(2), QStringLiteral("Multi-User mode: Brevant"));
}

void TestShell::semiIsolatedProjectShowsHint_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("hint");
    QTest::newRow("Semi-Isolated") << "Semi-Isolated" << true;
    QTest::newRow("Semi-Isolated no checkout") << "Semi-Isolated no checkout" << false;
}

void TestShell::semiIsolatedProjectShowsHint()
{
    QFETCH(QString, mode);
    QFETCH(bool, hint);
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    const QString b = f.addProject(QStringLiteral("B"), mode);
    f.addProject(QStringLiteral("C"), QStringLiteral("Shared"));
    f.activate(a);
    f.expectBackupWarning();
    if (hint)
        f.prompts.answerMessage(PromptAnswer::OK);
    auto window = f.startWindow();

    window->Combo1->setCurrentIndex(1);
    QCOMPARE(f.activeProject(), b);
    QCOMPARE(window->State().MultiUserModeText, mode);
    QCOMPARE(f.prompts.records.size(), hint ? 2 : 1);
    if (hint) {
        QCOMPARE(f.prompts.records.at(1).text, SemiIsolatedHint);
        QCOMPARE(f.prompts.records.at(1).icon, PromptIcon::Information);
    }
}

void TestShell::selectionFailureIsShownAfterStartup()
{
    ShellFixture f;
    const QString a = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    f.addProject(QStringLiteral("B"), QStringLiteral("Shared"));
    f.activate(a);
    auto failing = std::make_shared<FailingServer>(f.server);
    f.expectBackupWarning();
    f.prompts.answerMessage(PromptAnswer::OK);
    frmMain window(f.prompts, [failing] { return failing; });
    QVERIFY(window.Load());

    failing->failSetActiveProject = true;
    window.Combo1->setCurrentIndex(1);
    QCOMPARE(f.prompts.records.size(), 2);
    QCOMPARE(f.prompts.records.at(1).text, QStringLiteral("The project could not be selected:\r") +
                                               window.Combo1->itemText(1) +
                                               QStringLiteral("\rserver.ini is locked"));
    QCOMPARE(f.prompts.records.at(1).icon, PromptIcon::Information);
    // Nothing moved: the drop-down and the program stay on the project that is active.
    QCOMPARE(f.activeProject(), a);
    QCOMPARE(window.State().SelectedProject, a);
    QCOMPARE(window.Combo1->currentIndex(), 0);
}

int runShellTests(int argc, char **argv)
{
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
