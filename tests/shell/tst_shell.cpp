#include "Hostile.h"
#include "ObservedServer.h"
#include "PromptChecks.h"
#include "ShellFixture.h"

#include "projects/FileFunctions.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "reserve/PrepareWorkingProject.h"
#include "server/ServerError.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString SemiIsolatedHint =
    u"You are running in Semi-Isolated mode.\r"
    "Please select the files from your server directory for check in/out operation.\r"
    "\r"
    "Hint:\r"
    "If you run Brevant from a users client machine, please backup and remove\r"
    "the local workspace data first, before you execute Brevant. This step allows\r"
    "you to access the server data only, without referencing the local stored files."_s;

// The backup warning as it shows (BackupWarning is defined in another file: no static copy).
QString Backup()
{
    return MessagePrompt(BackupWarning, PromptIcon::Exclamation);
}

QStringList columnTexts(const frmMain &window, int column)
{
    QStringList texts;
    for (int i = 1; i <= window.ListViewFiles->Count(); ++i)
        texts.append(window.ListViewFiles->Row(i)->text(column));
    return texts;
}

// Registers one project per mode, named A, B, C, ... in that order.
QStringList addProjects(ShellFixture &f, const QStringList &modes)
{
    QStringList projects;
    for (const QString &mode : modes)
        projects.append(f.addProject(QString(QChar(char16_t(u'A' + projects.size()))), mode));
    return projects;
}

// Starts the window with the project active, answering the backup warning and then `more`
// messages with OK.
std::unique_ptr<frmMain> startOn(ShellFixture &f, const QString &project, int more = 0)
{
    f.activate(project);
    f.expectBackupWarning();
    for (int i = 0; i < more; ++i)
        f.prompts.answerMessage(PromptAnswer::OK);
    return f.startWindow();
}

clsFilePtr Free(const QString &fileName, const QString &folder = u"/p"_s)
{
    return ShellFixture::record(Available, fileName, folder);
}

// A window on the real server, with an observer in front of it that fails on cue.
struct ObservedStart
{
    explicit ObservedStart(ShellFixture &f)
        : observed(std::make_shared<ObservedServer>(f.server)),
          window(f.prompts, [held = observed] { return held; })
    {
    }
    void failOn(const QString &call, const ServerError &error)
    {
        observed->onCall = [call, error](const QString &made) {
            if (made.startsWith(call))
                throw error;
        };
    }
    std::shared_ptr<ObservedServer> observed;
    frmMain window;
};

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void startupShowsBackupWarningAndPreparesWindow()
    {
        ShellFixture f;
        const QStringList p = addProjects(f, {u"Shared"_s, u"Single User"_s});
        const QString a = p[0], b = p[1];
        auto window = startOn(f, b);

        QCOMPARE(ShownPrompts(f.prompts.records), QStringList{Backup()});
        QCOMPARE(f.prompts.records.first().text.size(), 86 + 1 + 42);
        const ProgramState &state = window->State();
        QCOMPARE(state.StartupProject, b);
        QCOMPARE(state.SelectedProject, b);
        QCOMPARE(state.MultiUserModeText, u"Single User"_s);
        QCOMPARE(state.StartupUserName, f.server->DefaultUserName());
        QCOMPARE(state.CheckOutUser, state.StartupUserName);
        QVERIFY(state.Files && state.Files->Count() == 0);
        QCOMPARE(f.activeProject(), b);
        QCOMPARE(window->Combo1->count(), 2);
        QCOMPARE(window->Combo1->itemText(0), a);
        QCOMPARE(window->Combo1->currentIndex(), 1);
        QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
        QCOMPARE(window->StatusPanelText(1), u"User name: "_s + state.CheckOutUser);
        QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: Brevant"_s);
        QVERIFY(!window->ListSaved());

        // Menus: exactly Save, Save As and Stop are off after start-up.
        const QStringList disabled{u"mnuSave"_s, u"mnuSaveAs"_s, u"mnuStopDocumentsSearch"_s};
        for (const QString &name :
             {u"mnuNew"_s, u"mnuOpen"_s, u"mnuReserveForUser"_s, u"mnuReserveSelectedFiles"_s,
              u"mnuUnreserveSelectedFiles"_s, u"mnuSave"_s, u"mnuSaveAs"_s, u"mnuExit"_s,
              u"mnuDocumentsSearch"_s, u"mnuSelectAll"_s, u"mnuDeleteItems"_s,
              u"mnuStopDocumentsSearch"_s, u"mnuGridlinesOn"_s, u"mnuGridlinesOff"_s, u"mnuInfo"_s,
              u"pupmnuDeleteItems"_s, u"pupmnuSelectAll"_s, u"pupmnuReserve"_s,
              u"pupmnuUnreserve"_s}) {
            auto *action = window->findChild<QAction *>(name);
            QVERIFY2(action, qPrintable(name));
            QCOMPARE(action->isEnabled(), !disabled.contains(name));
        }
        QVERIFY(window->Combo1->isEnabled());
        QVERIFY(window->mnuGridlinesOn->isChecked());
        QVERIFY(!window->mnuGridlinesOff->isChecked());
        QVERIFY(window->ListViewFiles->GridLines());

        // Captions and shortcuts as the menus show them.
        QCOMPARE(window->mnuReserveSelectedFiles->text(), u"Check Out &selected files"_s);
        QCOMPARE(window->mnuStopDocumentsSearch->text(), u"St&op Documents Search"_s);
        QCOMPARE(window->mnuNew->shortcut(), QKeySequence(u"Ctrl+N"_s));
        QCOMPARE(window->mnuSave->shortcut(), QKeySequence(u"Ctrl+S"_s));
        QCOMPARE(window->mnuDocumentsSearch->shortcut(), QKeySequence(u"Ctrl+F"_s));
        QCOMPARE(window->mnuSelectAll->shortcut(), QKeySequence(u"Ctrl+A"_s));
        QCOMPARE(window->mnuDeleteItems->shortcut(), QKeySequence(QKeySequence::Delete));
        QCOMPARE(window->pupmnuListView->title(), u"ListviewMenu"_s);
        QCOMPARE(window->findChild<QLabel *>(u"Label1"_s)->text(), u"Project file:"_s);

        // The list: six columns at their design widths, several rows selectable.
        QCOMPARE(window->ListViewFiles->columnCount(), 6);
        QCOMPARE(window->ListViewFiles->headerItem()->text(5), u"Checked Out Version"_s);
        QCOMPARE(window->ListViewFiles->columnWidth(0), 120);
        QCOMPARE(window->ListViewFiles->columnWidth(1), 200);
        QCOMPARE(window->ListViewFiles->columnWidth(5), 80);
        QCOMPARE(window->ListViewFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(f.prompts.scriptDone());
    }

    void startupRunsSelectionHandlingForPreselectedEntry_data()
    {
        QTest::addColumn<int>("activeIndex");
        QTest::newRow("first entry") << 0;
        QTest::newRow("second entry") << 1;
    }

    void startupRunsSelectionHandlingForPreselectedEntry()
    {
        // The preselection is a change of the selected entry even for entry 0, so the
        // Semi-Isolated hint shows once, after the backup warning.
        QFETCH(int, activeIndex);
        ShellFixture f;
        const QStringList projects = addProjects(f, {u"Semi-Isolated"_s, u"Semi-Isolated"_s});
        auto window = startOn(f, projects.at(activeIndex), 1);

        QCOMPARE(ShownPrompts(f.prompts.records),
                 (QStringList{Backup(), MessagePrompt(SemiIsolatedHint)}));
        QCOMPARE(window->Combo1->currentIndex(), activeIndex);
        QCOMPARE(window->State().SelectedProject, projects.at(activeIndex));
        QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: Brevant"_s);
    }

    void startupWithDeponaProjectFallsBackToFirstEntry()
    {
        ShellFixture f;
        const QStringList p = addProjects(f, {u"Shared"_s, u"Depona"_s});
        const QString a = p[0], d = p[1];
        auto window = startOn(f, d);

        // The fallback (the default project) is not registered: entry 0 is chosen and active.
        QCOMPARE(ShownPrompts(f.prompts.records), QStringList{Backup()});
        QCOMPARE(window->State().StartupProject, d);
        QCOMPARE(window->State().SelectedProject, a);
        QCOMPARE(window->Combo1->currentIndex(), 0);
        QCOMPARE(f.activeProject(), a);
        QCOMPARE(window->State().MultiUserModeText, u"Shared"_s);
    }

    void releaseAboveNineRefusesBeforeBackupWarning_data()
    {
        QTest::addColumn<int>("release");
        QTest::newRow("9 starts") << 9;
        QTest::newRow("10 refused") << 10;
    }

    void releaseAboveNineRefusesBeforeBackupWarning()
    {
        QFETCH(int, release);
        ShellFixture f;
        f.activate(f.addProject(u"A"_s, u"Shared"_s));
        f.setMajorVersion(release);
        f.prompts.answerMessage(PromptAnswer::OK);
        auto window = f.makeWindow();

        QCOMPARE(window->Load(), release == 9);
        const QString refusal =
            MessagePrompt(u"Please check if there is a new Brevant Version available,\rthis "
                          "version only supports Korvex R6 to R9."_s,
                          PromptIcon::Exclamation);
        QCOMPARE(ShownPrompts(f.prompts.records), QStringList{release == 9 ? Backup() : refusal});
        if (release == 10)
            QCOMPARE(window->Combo1->count(), 0);
    }

    void runningKorvexRefusesAndPutsActiveProjectBack()
    {
        ShellFixture f;
        const QString a = f.addProject(u"A"_s, u"Shared"_s);
        const QString d = f.addProject(u"D"_s, u"Depona"_s);
        // The project handling moves the server from D to A before the test for Korvex.
        f.activate(d);
        KorvexProcess korvex;
        QVERIFY(korvex.started());
        f.expectBackupWarning();
        f.prompts.answerMessage(PromptAnswer::OK);
        f.prompts.SetMousePointer(MousePointer::Hourglass);
        auto window = f.makeWindow();

        QVERIFY(!window->Load());
        QCOMPARE(ShownPrompts(f.prompts.records),
                 (QStringList{Backup(), MessagePrompt(u"Trelune Korvex Application is running !\n"
                                                      "Please close Korvex and restart the Korvex "
                                                      "Brevant tool."_s,
                                                      PromptIcon::Critical)}));
        QCOMPARE(f.prompts.pointer, MousePointer::Default);
        QCOMPARE(window->State().SelectedProject, a);
        QCOMPARE(f.activeProject(), d);
    }

    void serverThatCannotStartEndsTheProgram()
    {
        ScriptedPrompts prompts;
        prompts.answerMessage(PromptAnswer::OK);
        frmMain window(prompts, []() -> std::shared_ptr<DocumentServer> {
            throw ServerError(ServerErrors::ServerHomeUnusable,
                              u" The home folder /x is a file."_s);
        });
        QVERIFY(!window.Load());
        QCOMPARE(ShownPrompts(prompts.records),
                 QStringList{MessagePrompt(
                     u"Can't start the Korvex Scrivo Server. The home folder /x is a file."_s,
                     PromptIcon::Critical)});
    }

    void serverFailureDuringStartupIsReportedAfterBackupWarning()
    {
        ShellFixture f;
        f.addProject(u"A"_s, u"Shared"_s);
        const QString b = f.addProject(u"B"_s, u"Shared"_s);
        f.activate(b);
        ObservedStart start(f);
        start.failOn(u"MultiUserMode"_s,
                     ServerError(ServerErrors::ProjectNotFound, u" (mode unreadable)"_s));
        f.expectBackupWarning();
        f.prompts.answerMessage(PromptAnswer::OK);

        QVERIFY(!start.window.Load());
        QCOMPARE(
            ShownPrompts(f.prompts.records),
            (QStringList{Backup(), MessagePrompt(u"Can't start the Korvex Scrivo Server. (mode "
                                                 "unreadable)"_s,
                                                 PromptIcon::Critical)}));
        QCOMPARE(f.activeProject(), b);
    }

    void startupRecoversWhatItCanAndTellsWhatItCannot_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("a killed run's working project is active") << u"killed run"_s;
        QTest::newRow("the active project file is gone") << u"missing project"_s;
        QTest::newRow("server.ini cannot be read") << u"unreadable server.ini"_s;
    }

    void startupRecoversWhatItCanAndTellsWhatItCannot()
    {
        QFETCH(QString, fault);
        ShellFixture f;
        const QString a = f.addProject(u"A"_s, u"Single User"_s);
        const QString b = f.addProject(u"B"_s, u"Shared"_s);
        QStringList shown{Backup()};
        if (fault == u"killed run") {
            // A run that was killed with its working project active.
            QString working;
            QCOMPARE(RunInChildProcess(
                         [&] {
                             working = PrepareWorkingProject(*f.server, f.prompts, a);
                             f.activate(working);
                         },
                         true),
                     SIGKILL);
            working = f.activeProject();
            QVERIFY(IsWorkingProjectName(FileNameOf(working)));
            shown << MessagePrompt(u"The last check-out or check-in run did not finish. "_s + a +
                                   u" is active again."_s);
            auto window = startOn(f, working, 1);
            QVERIFY(window);
            QCOMPARE(f.activeProject(), a);
            QCOMPARE(window->State().StartupProject, a);
            QVERIFY(!QFileInfo::exists(working));
        } else if (fault == u"missing project") {
            // The start-up goes on in the fallback, says which file is gone, and a pick of
            // the gone file is told like any failed pick.
            f.activate(a);
            QVERIFY(QFile::remove(a));
            f.expectBackupWarning();
            f.prompts.answerMessage(PromptAnswer::OK);
            f.prompts.answerMessage(PromptAnswer::OK);
            shown << MessagePrompt(u"The active project file does not exist:\r"_s + a +
                                   u"\rThe default project is used instead."_s);
            auto window = f.startWindow();
            QVERIFY(window);
            QVERIFY(f.prompts.records.last().text.startsWith(
                u"The project could not be selected:\r"_s + a + u'\r'));
            shown << ShownPrompt(f.prompts.records.last());
            QCOMPARE(f.activeProject(), f.defaultProject());
        } else {
            const QString ini = f.env.scrivoHome() + u"/server.ini"_s;
            QVERIFY(QFile::remove(ini) && QDir().mkpath(ini));
            f.prompts.answerMessage(PromptAnswer::OK);
            frmMain window(f.prompts, [&] { return std::make_shared<ScrivoServer>(); });
            QVERIFY(!window.Load());
            const ScriptedPrompts::Record &failure = f.prompts.records.last();
            QVERIFY2(failure.text.startsWith(u"Can't start the Korvex Scrivo Server."_s) &&
                         failure.text.contains(ini),
                     qPrintable(failure.text));
            QCOMPARE(failure.icon, PromptIcon::Critical);
            return;
        }
        QCOMPARE(ShownPrompts(f.prompts.records), shown);
        QVERIFY(f.prompts.scriptDone());
    }

    void statusBarShowsUserAndMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("shown");
        for (const char *mode : {"Single User", "Semi-Isolated", "Depona"})
            QTest::newRow(mode) << QString::fromUtf8(mode) << u"Brevant"_s;
        for (const char *mode : {"Shared", "Semi-Isolated no checkout", "shared"})
            QTest::newRow(mode) << QString::fromUtf8(mode) << QString::fromUtf8(mode);
    }

    void statusBarShowsUserAndMode()
    {
        QFETCH(QString, mode);
        QFETCH(QString, shown);
        ShellFixture f;
        auto window = f.startWithSharedProject();
        window->show();

        window->State().CheckOutUser = u"Hanna Okafor"_s;
        window->State().MultiUserModeText = mode;
        window->SetStatusPanelText(1, u"Searching a rather long folder name ..."_s);
        window->UpdateStatusbar();
        QCOMPARE(window->StatusPanelText(1), u"User name: Hanna Okafor"_s);
        QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: "_s + shown);

        // Each panel is as wide as its text.
        QCoreApplication::processEvents();
        for (const QString &name : {u"StatusBar1Panel1"_s, u"StatusBar1Panel2"_s}) {
            auto *panel = window->StatusBar1->findChild<QLabel *>(name);
            QVERIFY(panel && panel->isVisible());
            const int textWidth = panel->fontMetrics().horizontalAdvance(panel->text());
            QVERIFY(panel->width() >= textWidth);
            QVERIFY(panel->width() < textWidth + 40);
        }
    }

    void exitRestoresStartupStateAndRemovesTemporaryProject()
    {
        ShellFixture f;
        const QStringList p = addProjects(f, {u"Shared"_s, u"Shared"_s});
        const QString a = p[0], b = p[1];
        auto window = startOn(f, a);
        window->show();
        window->Combo1->setCurrentIndex(1);
        QCOMPARE(f.activeProject(), b);
        const QString startupUser = window->State().StartupUserName;
        QVERIFY(!startupUser.isEmpty());
        f.server->SetUserName(u"Jonas Varga"_s);
        const QString temporary = f.writeProject(u"projects/Temp$$$00.kpj"_s, u"Shared"_s);
        window->State().WorkingProject = temporary;

        window->mnuExit->trigger();
        QVERIFY(!window->isVisible());
        QCOMPARE(f.activeProject(), a);
        QCOMPARE(f.server->UserName(), startupUser);
        QVERIFY(!QFile::exists(temporary));
        QVERIFY(!window->State().Files);
        QVERIFY(!window->State().DocumentServer);
        // A second close does not run the shutdown again.
        f.activate(b);
        QVERIFY(window->close());
        QCOMPARE(f.activeProject(), b);
    }

    void closingLeavesDefaultProjectInAnyCaseActive()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        const QString other = f.writeProject(u"elsewhere/DeFaulT.KPJ"_s, u"Shared"_s);
        f.activate(other);
        // A temporary project is removed whatever the active project is.
        const QString temporary = f.writeProject(u"projects/Temp$$$00.kpj"_s, u"Shared"_s);
        window->State().WorkingProject = temporary;

        QVERIFY(window->close());
        QCOMPARE(f.activeProject(), other);
        QVERIFY(!QFile::exists(temporary));
    }

    void closingDoesNotRestoreTemporaryStartupProject()
    {
        ShellFixture f;
        const QString a = f.addProject(u"A"_s, u"Shared"_s);
        const QString temporary = f.writeProject(u"projects/Temp$$$00.kpj"_s, u"Shared"_s);
        auto window = startOn(f, temporary);
        QCOMPARE(window->State().StartupProject, temporary);
        QCOMPARE(f.activeProject(), a);

        QVERIFY(window->close());
        QCOMPARE(f.activeProject(), f.defaultProject());
        // Only the working project is deleted, and it was never set.
        QVERIFY(QFile::exists(temporary));
    }

    void layoutComputation()
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

    void windowLayoutFollowsResizeButNotWhileMinimized()
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

    void rowsFollowRecordsWithKeysAndCheckBoxes()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        QList<clsFilePtr> records;
        for (int i = 1; i <= 12; ++i)
            records.append(ShellFixture::record(i % 3 ? Available : u"Lena"_s, u"p%1.kpt"_s.arg(i),
                                                u"/data/x"_s));
        ShellFixture::showRecords(*window, records);

        FileListView *list = window->ListViewFiles;
        QCOMPARE(list->Count(), 12);
        QCOMPARE(list->Row(12)->Key(), u"A12"_s);
        QCOMPARE(list->Row(12)->Record(), records.at(11));
        QCOMPARE(frmMain::RecordOfRow(list->Row(3)), records.at(2));
        QCOMPARE(list->Row(1)->checkState(0), Qt::Unchecked);
        QCOMPARE(list->Row(3)->checkState(0), Qt::Checked);
        QCOMPARE(list->Row(3)->text(0), u"Lena"_s);
        for (int column = 0; column < 6; ++column)
            QCOMPARE(list->Row(1)->text(column),
                     (QStringList{Available, Available, u"p1.kpt"_s, u"/data/x"_s, u"p1"_s,
                                  Available})[column]);

        // A row is rewritten from its own record.
        records[0]->SetCheckedOutBy(u"Lena"_s);
        records[0]->SetCheckedOutTime(u"03.04.2026 08:15:00"_s);
        records[0]->SetCheckedOutVersion(u"4"_s);
        window->ShowRecordInRow(list->Row(1));
        QCOMPARE(list->Row(1)->text(0), u"Lena"_s);
        QCOMPARE(list->Row(1)->text(1), u"03.04.2026 08:15:00"_s);
        QCOMPARE(list->Row(1)->text(5), u"4"_s);
        QCOMPARE(list->Row(1)->checkState(0), Qt::Checked);
        QCOMPARE(list->Row(1)->Key(), u"A1"_s);
    }

    void sortingByColumnAsTextReversesAndRefillShowsRecordOrder()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        window->show();
        const QList<clsFilePtr> records{
            ShellFixture::record(u"Uwe"_s, u"b.kpt"_s, u"/p"_s, u"9"_s),
            ShellFixture::record(u"Ida"_s, u"c.kpt"_s, u"/p"_s, u"10"_s),
            ShellFixture::record(u"Eva"_s, u"a.kpt"_s, u"/p"_s, u"2"_s)};
        ShellFixture::showRecords(*window, records);

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

        // A refill shows the record order with sorting off; the sort state persists, so the
        // same column again reverses.
        window->SortColumns(3);
        QCOMPARE(columnTexts(*window, 2), (QStringList{"a.kpt", "b.kpt", "c.kpt"}));
        ShellFixture::showRecords(*window, records);
        QVERIFY(!window->Sorted());
        QCOMPARE(columnTexts(*window, 2), (QStringList{"b.kpt", "c.kpt", "a.kpt"}));
        QCOMPARE(window->ListViewFiles->Row(3)->Key(), u"A3"_s);
        window->SortColumns(3);
        QCOMPARE(columnTexts(*window, 2), (QStringList{"c.kpt", "b.kpt", "a.kpt"}));
    }

    void selectAllAndDeleteRemoveEachRowsOwnRecord()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        // Harmless on an empty list.
        window->mnuSelectAll->trigger();
        window->mnuDeleteItems->trigger();
        window->SortColumns(2);

        QList<clsFilePtr> records;
        for (int i = 0; i < 5; ++i)
            records.append(Free(u"d%1.kdw"_s.arg(i)));
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

        // Of two files with the same name, the deleted row takes its own record.
        const clsFilePtr first = Free(u"gear.kpt"_s, u"/p/one"_s);
        ShellFixture::showRecords(
            *window, {first, ShellFixture::record(u"Lena"_s, u"gear.kpt"_s, u"/p/two"_s)});
        window->ListViewFiles->Row(2)->setSelected(true);
        window->DeleteSelectedListViewItem();
        QCOMPARE(columnTexts(*window, 3), QStringList{u"/p/one"_s});
        QCOMPARE(window->State().Files->Count(), 1);
        QCOMPARE(window->State().Files->Item(1), first);
    }

    void popupMenuAndGridLines()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QWidget *viewport = window->ListViewFiles->viewport();

        // The right button opens the popup; Delete is on only when rows exist.
        QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(20, 20));
        QTRY_VERIFY(window->pupmnuListView->isVisible());
        QVERIFY(!window->pupmnuDeleteItems->isEnabled());
        QVERIFY(window->pupmnuSelectAll->isEnabled());
        QVERIFY(window->pupmnuReserve->isEnabled());
        QVERIFY(window->pupmnuUnreserve->isEnabled());
        window->pupmnuListView->hide();

        ShellFixture::showRecords(*window, {Free(u"a.kpt"_s), Free(u"b.kpt"_s)});
        // Other buttons do nothing.
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!window->pupmnuListView->isVisible());
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(20, 200));
        QTRY_VERIFY(window->pupmnuListView->isVisible());
        QVERIFY(window->pupmnuDeleteItems->isEnabled());
        window->pupmnuListView->hide();

        // Grid lines follow the menu checks, and each item twice changes nothing more.
        const QImage withLines = viewport->grab().toImage();
        const auto gridLines = [&](bool on) {
            QCOMPARE(window->ListViewFiles->GridLines(), on);
            QCOMPARE(window->mnuGridlinesOn->isChecked(), on);
            QCOMPARE(window->mnuGridlinesOff->isChecked(), !on);
        };
        window->mnuGridlinesOff->trigger();
        gridLines(false);
        window->mnuGridlinesOff->trigger();
        gridLines(false);
        QVERIFY(viewport->grab().toImage() != withLines);
        window->mnuGridlinesOn->trigger();
        window->mnuGridlinesOn->trigger();
        gridLines(true);
        QCOMPARE(viewport->grab().toImage(), withLines);
    }

    void checkBoxesCannotBeChangedByUser()
    {
        ShellFixture f;
        auto window = f.startWithSharedProject();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        ShellFixture::showRecords(
            *window, {Free(u"a.kpt"_s), ShellFixture::record(u"Lena"_s, u"b.kpt"_s, u"/p"_s)});
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

    void pickingProjectMakesItActiveAndShowsSemiIsolatedHint()
    {
        ShellFixture f;
        const QStringList p = addProjects(
            f, {u"Single User"_s, u"Shared"_s, u"Semi-Isolated"_s, u"Semi-Isolated no checkout"_s});
        const QString a = p[0];
        auto window = startOn(f, a, 1);
        QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: Brevant"_s);

        // Picked in turn: Shared, Semi-Isolated (the hint), Semi-Isolated no checkout.
        const struct
        {
            QString project, mode, shown;
        } picks[] = {{p[1], u"Shared"_s, u"Shared"_s},
                     {p[2], u"Semi-Isolated"_s, u"Brevant"_s},
                     {p[3], u"Semi-Isolated no checkout"_s, u"Semi-Isolated no checkout"_s}};
        for (int i = 0; i < 3; ++i) {
            window->Combo1->setCurrentIndex(i + 1);
            QCOMPARE(window->State().SelectedProject, picks[i].project);
            QCOMPARE(f.activeProject(), picks[i].project);
            QCOMPARE(window->State().MultiUserModeText, picks[i].mode);
            QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: "_s + picks[i].shown);
        }
        QCOMPARE(ShownPrompts(f.prompts.records),
                 (QStringList{Backup(), MessagePrompt(SemiIsolatedHint)}));

        // Choosing the entry that is already selected runs nothing.
        f.activate(a);
        window->Combo1->setCurrentIndex(3);
        QCOMPARE(f.activeProject(), a);
        QCOMPARE(f.prompts.records.size(), 2);
    }

    void pickingProjectWhileRowsAreListedSnapsBack()
    {
        ShellFixture f;
        const QString a = addProjects(f, {u"Shared"_s, u"Semi-Isolated"_s, u"Depona"_s})[0];
        auto window = startOn(f, a);
        ShellFixture::showRecords(*window, {Free(u"a.kpt"_s)});
        window->SetStatusPanelText(2, u"unchanged"_s);

        QSignalSpy changes(window->Combo1, &QComboBox::currentIndexChanged);
        for (int pick : {1, 2}) {
            window->Combo1->setCurrentIndex(pick);
            QCOMPARE(window->Combo1->currentIndex(), 0);
            QCOMPARE(window->State().SelectedProject, a);
            QCOMPARE(f.activeProject(), a);
            QCOMPARE(window->StatusPanelText(2), u"unchanged"_s);
        }
        // Each pick and its snap-back, nothing more.
        QCOMPARE(changes.size(), 4);
        QCOMPARE(f.prompts.records.size(), 1);
    }

    void pickingDeponaProjectIsRefused()
    {
        ShellFixture f;
        const QString b =
            addProjects(f, {u"Semi-Isolated no checkout"_s, u"Shared"_s, u"Depona"_s})[1];
        auto window = startOn(f, b, 1);

        // The nested run for the fallback entry makes A active before the second reset.
        window->Combo1->setCurrentIndex(2);
        QCOMPARE(ShownPrompts(f.prompts.records),
                 (QStringList{Backup(), MessagePrompt(u"Depona projects should be handled via "
                                                      "Depona Explorer regarding check in/out "
                                                      "operations."_s)}));
        QCOMPARE(window->Combo1->currentIndex(), 0);
        QCOMPARE(window->State().SelectedProject, f.defaultProject());
        QCOMPARE(f.activeProject(), f.defaultProject());
        QCOMPARE(window->State().MultiUserModeText, u"Single User"_s);
        QCOMPARE(window->StatusPanelText(2), u"Multi-User mode: Brevant"_s);
    }

    void selectionFailureIsShownAfterStartup()
    {
        ShellFixture f;
        const QString a = f.addProject(u"A"_s, u"Shared"_s);
        f.addProject(u"B"_s, u"Shared"_s);
        f.activate(a);
        ObservedStart start(f);
        f.expectBackupWarning();
        f.prompts.answerMessage(PromptAnswer::OK);
        QVERIFY(start.window.Load());

        start.failOn(u"SetActiveProject"_s,
                     ServerError(ServerErrors::WriteFailed, u"server.ini is locked"_s));
        start.window.Combo1->setCurrentIndex(1);
        QCOMPARE(ShownPrompts(f.prompts.records),
                 (QStringList{Backup(), MessagePrompt(u"The project could not be selected:\r"_s +
                                                      start.window.Combo1->itemText(1) +
                                                      u"\rserver.ini is locked"_s)}));
        // Nothing moved: the drop-down and the program stay on the project that is active.
        QCOMPARE(f.activeProject(), a);
        QCOMPARE(start.window.State().SelectedProject, a);
        QCOMPARE(start.window.Combo1->currentIndex(), 0);
    }
};

int runShellTests(int argc, char **argv)
{
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
