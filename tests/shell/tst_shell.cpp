// The main window through its menus with the real server: start-up and shutdown, the list,
// the session commands, project selection and Open.

#include "Hostile.h"
#include "TestFiles.h"
#include "ShellFixture.h"

#include "model/FileListModel.h"
#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const QString SaveQuestion = MessageShown(u"Do you want to save the display content ?"_s,
                                          PromptIcon::None, PromptButtons::YesNo);
const QString SemiIsolatedHint =
    u"You are running in Semi-Isolated mode.\rPlease select the files from your server directory "
    "for check in/out operation.\r\rHint:\rIf you run Brevant from a users client machine, please "
    "backup and remove\rthe local workspace data first, before you execute Brevant. This step "
    "allows\ryou to access the server data only, without referencing the local stored files."_s;

// Whether each named menu item is enabled, as "name" or "!name".
QStringList Enabled(const ShellFixture &f, const QStringList &names)
{
    QStringList states;
    for (const QString &name : names)
        states.append((f.Action(qPrintable(name))->isEnabled() ? u""_s : u"!"_s) + name);
    return states;
}

QComboBox *Combo(const ShellFixture &f)
{
    return f.window->findChild<QComboBox *>(u"Combo1"_s);
}

enum class Fault {
    Release10,
    KorvexRunning,
    ServerUnavailable,
    ModeUnreadable,
    KilledRun,
    MissingProject
};
enum class ListState { Empty, Unsaved, Saved, SavedThenDeleted };
enum class Reply { NotAsked, No, YesSaved, YesCancelled, YesFailed, Dismissed };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(ListState)
Q_DECLARE_METATYPE(Reply)

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void startUpShowsTheWindowAsDesigned()
    {
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Shared"_s);
        const QString b = f.Project(u"B"_s, u"Single User"_s);
        QVERIFY(f.Start(b));
        QCOMPARE(f.prompts.Shown(), QStringList{BackupShown()});
        QCOMPARE(f.prompts.records.first().text.size(), 86 + 1 + 42);
        const ProgramState &state = f.window->State();
        QCOMPARE((QStringList{state.StartupProject, state.SelectedProject, state.MultiUserModeText,
                              state.CheckOutUser}),
                 (QStringList{b, b, u"Single User"_s, f.server->DefaultUserName()}));
        QCOMPARE(Combo(f)->currentIndex(), 1);
        QCOMPARE(Combo(f)->itemText(0), a);
        QCOMPARE(f.window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
        QCOMPARE(f.Panel(1), u"User name: "_s + state.CheckOutUser);
        QCOMPARE(f.Panel(2), u"Multi-User mode: Brevant"_s);
        QCOMPARE(Enabled(f, {u"mnuNew"_s, u"mnuOpen"_s, u"mnuSave"_s, u"mnuSaveAs"_s,
                             u"mnuStopDocumentsSearch"_s, u"pupmnuReserve"_s}),
                 (QStringList{u"mnuNew"_s, u"mnuOpen"_s, u"!mnuSave"_s, u"!mnuSaveAs"_s,
                              u"!mnuStopDocumentsSearch"_s, u"pupmnuReserve"_s}));
        // Captions and shortcuts as the menus show them.
        for (const auto &[name, caption, keys] :
             {std::tuple{"mnuNew", "&New", "Ctrl+N"}, std::tuple{"mnuSave", "&Save", "Ctrl+S"},
              std::tuple{"mnuReserveSelectedFiles", "Check Out &selected files", ""},
              std::tuple{"mnuDocumentsSearch", "&Find Korvex Documents...", "Ctrl+F"},
              std::tuple{"mnuSelectAll", "Select All", "Ctrl+A"},
              std::tuple{"mnuDeleteItems", "&Delete", "Del"},
              std::tuple{"mnuStopDocumentsSearch", "St&op Documents Search", ""},
              std::tuple{"pupmnuUnreserve", "Check &In", ""}}) {
            QCOMPARE(f.Action(name)->text(), QLatin1String(caption));
            QCOMPARE(f.Action(name)->shortcut(), QKeySequence(QLatin1String(keys)));
        }
        QVERIFY(f.Action("mnuGridlinesOn")->isChecked() &&
                !f.Action("mnuGridlinesOff")->isChecked());
        QCOMPARE(f.window->findChild<QMenu *>(u"pupmnuListView"_s)->title(), u"ListviewMenu"_s);
        QCOMPARE(f.window->findChild<QLabel *>(u"Label1"_s)->text(), u"Project file:"_s);
        const auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        QCOMPARE(f.List().headerData(5, Qt::Horizontal).toString(), u"Checked Out Version"_s);
        QCOMPARE((QList<int>{list->columnWidth(0), list->columnWidth(1), list->columnWidth(5)}),
                 (QList<int>{120, 200, 80}));
        QVERIFY(f.prompts.Done());
    }

    void startUpRefusesRecoversOrTells_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("release 10") << Fault::Release10;
        QTest::newRow("the CAD application runs") << Fault::KorvexRunning;
        QTest::newRow("server.ini cannot be read") << Fault::ServerUnavailable;
        QTest::newRow("the mode cannot be read") << Fault::ModeUnreadable;
        QTest::newRow("a killed run's working project is active") << Fault::KilledRun;
        QTest::newRow("the active project file is gone") << Fault::MissingProject;
    }

    void startUpRefusesRecoversOrTells()
    {
        QFETCH(Fault, fault);
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Single User"_s);
        QString active = f.Project(u"D"_s, u"Depona"_s); // the start-up moves from D to A
        std::optional<KorvexProcess> korvex;
        QStringList shown{BackupShown()};
        bool refused = true;
        switch (fault) {
        case Fault::Release10:
            WriteINI(u"Server"_s, u"MajorVersion"_s, u"10"_s,
                     f.env.scrivoHome() + u"/server.ini"_s);
            shown = {MessageShown(u"Please check if there is a new Brevant Version available,\r"
                                  "this version only supports Korvex R6 to R9."_s,
                                  PromptIcon::Exclamation)};
            break;
        case Fault::KorvexRunning:
            korvex.emplace();
            shown << MessageShown(u"Trelune Korvex Application is running !\nPlease close Korvex "
                                  "and restart the Korvex Brevant tool."_s,
                                  PromptIcon::Critical);
            break;
        case Fault::ServerUnavailable: {
            const QString ini = f.env.scrivoHome() + u"/server.ini"_s;
            QVERIFY(QFile::remove(ini) && QDir().mkpath(ini));
            shown = {
                MessageShown(u"Can't start the Korvex Scrivo Server.The Scrivo settings file "_s +
                                 ini + u" cannot be read: it is a folder"_s,
                             PromptIcon::Critical)};
            f.prompts.Message();
            f.window = std::make_unique<frmMain>(f.prompts,
                                                 [] { return std::make_shared<ScrivoServer>(); });
            QVERIFY(!f.window->Load());
            QCOMPARE(f.prompts.Shown(), shown);
            return;
        }
        case Fault::ModeUnreadable:
            f.observed->onCall = [](const QString &call) {
                if (call == u"MultiUserMode")
                    throw ServerError(ServerErrors::ServerHomeUnusable, u" (mode unreadable)"_s);
            };
            shown << MessageShown(u"Can't start the Korvex Scrivo Server. (mode unreadable)"_s,
                                  PromptIcon::Critical);
            break;
        case Fault::KilledRun:
            QCOMPARE(RunInChildProcess([&] { f.Activate(BuildWorkingProject(a, true, a)); }, true),
                     SIGKILL);
            active = f.ActiveProject();
            QVERIFY(IsWorkingProjectName(FileNameOf(active)));
            shown << MessageShown(u"The last check-out or check-in run did not finish. "_s + a +
                                  u" is active again."_s);
            refused = false;
            break;
        case Fault::MissingProject:
            active = f.Project(u"Gone"_s, u"Shared"_s, {}, false);
            f.Activate(active);
            QVERIFY(QFile::remove(active));
            shown << MessageShown(u"The active project file does not exist:\r"_s + active +
                                  u"\rThe default project is used instead."_s);
            refused = false;
            break;
        }
        QCOMPARE(
            f.Start(fault == Fault::MissingProject ? QString() : active, int(shown.size()) - 1),
            !refused);
        QCOMPARE(f.prompts.Shown(), shown);
        // Refused: what the start-up changed is put back; else it goes on in project A.
        QCOMPARE(f.ActiveProject(), refused ? active : a);
        QCOMPARE(FolderEntries(f.env.path(u"projects"_s)).filter(u"Temp"_s), QStringList());
    }

    void startUpRunsTheSelectionHandlingOfTheActiveEntry()
    {
        ShellFixture f;
        f.Project(u"A"_s, u"Shared"_s);
        QVERIFY(f.Start(f.Project(u"S"_s, u"Semi-Isolated"_s), 1));
        QCOMPARE(f.prompts.Shown(), (QStringList{BackupShown(), MessageShown(SemiIsolatedHint)}));
        QCOMPARE(f.Panel(2), u"Multi-User mode: Brevant"_s);
    }

    void closingPutsTheStartUpStateBack()
    {
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Shared"_s);
        const QString b = f.Project(u"B"_s, u"Shared"_s);
        QVERIFY(f.Start(a));
        Combo(f)->setCurrentIndex(1);
        QCOMPARE(f.ActiveProject(), b);
        QCOMPARE(f.Panel(2), u"Multi-User mode: Shared"_s);
        const QString user = f.server->UserName();
        f.server->SetUserName(u"Jonas Varga"_s);
        f.Trigger("mnuExit");
        QCOMPARE(f.ActiveProject(), a);
        QCOMPARE(f.server->UserName(), user);
        QVERIFY(!f.window->State().DocumentServer);
        f.Activate(b); // a second close does nothing
        QVERIFY(f.window->close());
        QCOMPARE(f.ActiveProject(), b);
        // A default project in any letter case stays active.
        QVERIFY(f.Start(a));
        const QString other = f.env.writeFile(u"elsewhere/DeFaulT.KPJ"_s, "[Project Defaults]\n");
        f.Activate(other);
        QVERIFY(f.window->close());
        QCOMPARE(f.ActiveProject(), other);
    }

    void layoutFollowsTheWindowButNotWhileMinimized()
    {
        const ControlLayout design = ArrangeControlsLayout(11436, 7044, 312, 315);
        QCOMPARE(
            (QList<QRect>{design.Frame1, design.Combo1, design.PBoxRight, design.ListViewFiles}),
            (QList<QRect>{{0, 0, 11436, 6732},
                          {1050, 80, 8436, 315},
                          {0, 450, 11436, 6278},
                          {0, 0, 11436, 6278}}));
        QCOMPARE(ArrangeControlsLayout(7000, 7044, 312, 315).Combo1.width(), 4000);
        const ControlLayout tiny = ArrangeControlsLayout(1500, 200, 312, 315);
        QCOMPARE(tiny.Frame1.height(), 112);
        QCOMPARE(tiny.PBoxRight.height(), 342);

        ShellFixture f;
        QVERIFY(f.StartShared());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(Combo(f)->geometry(), QRect(70, 5, 562, Combo(f)->height()));
        f.window->resize(900, 600);
        QTRY_COMPARE(Combo(f)->width(), 700);
        f.window->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(f.window->isMinimized());
        f.window->resize(700, 500);
        QTRY_COMPARE(f.window->centralWidget()->width(), 700);
        QCOMPARE(Combo(f)->width(), 700);
        f.window->setWindowState(Qt::WindowNoState);
        QTRY_COMPARE(Combo(f)->width(), 500);
    }

    void listShowsKeysAndBoxesSortsAndDeletesExactlyTheSelectedRecords()
    {
        ShellFixture f;
        QVERIFY(f.StartShared());
        for (int i = 1; i <= 12; ++i) {
            const QString path = f.Document(u"p%1.kpt"_s.arg(i, 2, 10, QLatin1Char('0')));
            if (i % 3 == 0)
                WriteScrivoReservation(path, u"Lena"_s, QDateTime::currentDateTime(), i);
        }
        f.Document(u"a/same.kpt"_s);
        f.Document(u"b/same.kpt"_s);
        f.Search(f.env.path(u"projects/docs"_s));
        QCOMPARE(f.List().Count(), 14);
        QCOMPARE(f.List().data(f.List().index(11, 0), FileListModel::KeyRole).toString(), u"A12"_s);
        QCOMPARE(f.Row(2).mid(5), (QStringList{u"3"_s, u"[x]"_s}));
        QCOMPARE(f.Row(0).mid(5), (QStringList{u"available"_s, u"[ ]"_s}));
        // A click on a box changes nothing: the boxes show the reservation only.
        auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        f.window->show();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(f.List().index(0, 0)).topLeft() + QPoint(8, 8));
        QCOMPARE(f.Row(0).last(), u"[ ]"_s);
        // Header clicks sort as text; the same column again reverses.
        list->header()->sectionClicked(5);
        QCOMPARE(f.Column(5).first(), u"12"_s);
        list->header()->sectionClicked(5);
        QCOMPARE(f.Column(5).first(), u"available"_s);
        // Deleting the second of two same-named rows removes its own record.
        f.Select({f.Column(3).indexOf(f.env.path(u"projects/docs/b"_s))});
        f.Trigger("mnuDeleteItems");
        QCOMPARE(f.Column(3).filter(u"/docs/"_s), QStringList{f.env.path(u"projects/docs/a"_s)});
        QCOMPARE(f.window->State().Files->Count(), 13);
        QVERIFY(!f.window->ListSaved());
        f.Trigger("pupmnuSelectAll");
        f.Trigger("pupmnuDeleteItems");
        QCOMPARE(f.List().Count(), 0);
        QCOMPARE(f.window->State().Files->Count(), 0);
        // The popup offers Delete only with rows; grid lines switch with one check mark.
        list->RightMouseDown(QPoint(10, 10));
        QVERIFY(!f.Action("pupmnuDeleteItems")->isEnabled());
        f.window->findChild<QMenu *>(u"pupmnuListView"_s)->hide();
        f.Trigger("mnuGridlinesOff");
        QVERIFY(!list->GridLines() && f.Action("mnuGridlinesOff")->isChecked() &&
                !f.Action("mnuGridlinesOn")->isChecked());
    }

    void projectPicksFollowTheModeAndWaitForAnEmptyList()
    {
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Shared"_s);
        const QString s = f.Project(u"S"_s, u"Semi-Isolated"_s);
        const QString d = f.Project(u"D"_s, u"Depona"_s);
        const QString gone = f.Project(u"Gone"_s, u"Shared"_s);
        QVERIFY(f.Start(a));
        f.prompts.Message();
        Combo(f)->setCurrentIndex(1);
        QCOMPARE(f.prompts.Shown(1), QStringList{MessageShown(SemiIsolatedHint)});
        QCOMPARE(f.ActiveProject(), s);
        // Depona is refused: the fallback entry (the first) is chosen.
        f.prompts.Message();
        Combo(f)->setCurrentIndex(2);
        QCOMPARE(
            f.prompts.Shown(2),
            QStringList{MessageShown(
                u"Depona projects should be handled via Depona Explorer regarding check in/out operations."_s)});
        QCOMPARE(Combo(f)->currentIndex(), 0);
        QCOMPARE(f.Panel(2), u"Multi-User mode: Brevant"_s);
        // A project that cannot be made active is told and the choice undone.
        QVERIFY(QFile::remove(gone));
        f.prompts.Message();
        Combo(f)->setCurrentIndex(3);
        QVERIFY(f.prompts.records.last().text.startsWith(u"The project could not be selected:\r"_s +
                                                         gone));
        QCOMPARE(Combo(f)->currentIndex(), 0);
        // While rows are listed the list snaps back.
        f.Document(u"x.kpt"_s);
        f.Search(f.env.path(u"projects/docs"_s));
        Combo(f)->setCurrentIndex(1);
        QCOMPARE(Combo(f)->currentIndex(), 0);
        QCOMPARE(f.ActiveProject(), f.window->State().SelectedProject);
        QVERIFY(f.prompts.Done());
    }

    void newAndClosingFollowTheSaveQuestion_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<ListState>("state");
        QTest::addColumn<Reply>("reply");
        for (const bool closing : {false, true}) {
            const auto row = [closing](const char *name, ListState state, Reply reply) {
                QTest::addRow("%s, %s", closing ? "close" : "New", name)
                    << closing << state << reply;
            };
            row("empty list", ListState::Empty, Reply::NotAsked);
            row("just saved", ListState::Saved, Reply::NotAsked);
            row("rows deleted after save, No", ListState::SavedThenDeleted, Reply::No);
            row("unsaved, Yes, saved", ListState::Unsaved, Reply::YesSaved);
            row("unsaved, Yes, cancelled", ListState::Unsaved, Reply::YesCancelled);
            row("unsaved, Yes, failed", ListState::Unsaved, Reply::YesFailed);
            row("unsaved, dismissed", ListState::Unsaved, Reply::Dismissed);
        }
    }

    void newAndClosingFollowTheSaveQuestion()
    {
        QFETCH(bool, closing);
        QFETCH(ListState, state);
        QFETCH(Reply, reply);
        ShellFixture f;
        QVERIFY(f.StartShared());
        f.window->show();
        const QString report = f.env.path(u"report.txt"_s);
        if (state != ListState::Empty) {
            f.Document(u"a.kpt"_s);
            f.Document(u"b.kam"_s);
            f.Search(f.env.path(u"projects/docs"_s));
        }
        if (state == ListState::Saved || state == ListState::SavedThenDeleted) {
            f.prompts.SaveFile(report, 2);
            f.Trigger("mnuSaveAs");
            QVERIFY(f.window->ListSaved());
        }
        if (state == ListState::SavedThenDeleted) {
            f.Select({0});
            f.Trigger("mnuDeleteItems");
        }
        const qsizetype from = f.prompts.records.size();
        const PromptAnswer answers[] = {PromptAnswer::OK,  PromptAnswer::No,  PromptAnswer::Yes,
                                        PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Cancel};
        if (reply != Reply::NotAsked)
            f.prompts.Message(answers[int(reply)]);
        if (reply == Reply::YesSaved)
            f.prompts.SaveFile(report, 2);
        if (reply == Reply::YesCancelled)
            f.prompts.SaveFile(QString());
        if (reply == Reply::YesFailed) // the target's folder is a regular file
            f.prompts.SaveFile(f.env.writeFile(u"blocker"_s, "x") + u"/r.txt"_s, 2).Message();
        closing ? f.Trigger("mnuExit") : f.Trigger("mnuNew");

        QCOMPARE(f.prompts.Shown(from).value(0),
                 reply == Reply::NotAsked ? QString() : SaveQuestion);
        const bool kept =
            reply == Reply::YesCancelled || reply == Reply::YesFailed || reply == Reply::Dismissed;
        if (kept) {
            // The list the user did not say to lose stays, and so does the window.
            QVERIFY(f.window->isVisible());
            QCOMPARE(f.List().Count(), 2);
            QVERIFY(!f.window->ListSaved());
            f.prompts.Message(PromptAnswer::No);
            closing ? f.Trigger("mnuExit") : f.Trigger("mnuNew");
        }
        if (reply == Reply::YesSaved)
            QVERIFY(ReadBytes(report).contains("|a.kpt|"));
        QVERIFY(f.prompts.Done());
        if (closing) {
            QVERIFY(!f.window->isVisible());
            QVERIFY(!f.window->State().Files);
            return;
        }
        QCOMPARE(f.List().Count(), 0);
        QCOMPARE(f.window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
        QCOMPARE(Enabled(f, {u"mnuSave"_s, u"mnuOpen"_s}),
                 (QStringList{u"!mnuSave"_s, u"mnuOpen"_s}));
        QVERIFY(Combo(f)->isEnabled());
    }

    void endingSessionClosesAfterAnUnsavedYesAndInfoShowsTheVersion()
    {
        ShellFixture f;
        QVERIFY(f.StartShared());
        f.window->show();
        f.prompts.Message();
        f.Trigger("mnuInfo");
        QCOMPARE(f.prompts.Shown(1),
                 QStringList{MessageShown(u"Korvex Brevant Version 1.03\rBuild: 9.00.096e"_s)});
        f.Document(u"a.kpt"_s);
        f.Search(f.env.path(u"projects/docs"_s));
        f.prompts.Message(PromptAnswer::Yes).SaveFile(QString());
        f.window->EndSession();
        // The window goes through its unload steps; the records wanted saved are kept.
        QVERIFY(!f.window->isVisible());
        QVERIFY(!f.window->State().DocumentServer);
        QCOMPARE(f.window->State().Files->Count(), 1);
    }

    void openStartsInTheProjectsFolderAndListsTheReferences_data()
    {
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<QString>("folder"); // relative to the test folder, "" for none
        const QByteArray workspace = "[Workspace]\r\nWorkspace=.\\Work\r\n";
        const QByteArray workgroups = "[Workgroup Search Paths]\r\nW1=.\\W1\r\n";
        QTest::newRow("include first")
            << "[Included Path File]\r\nIncluded Pathfile=..\\Srv\\Team.kpj\r\n" + workspace +
                   workgroups
            << u"Srv"_s;
        QTest::newRow("workspace next") << workspace + workgroups << u"projects/Work"_s;
        QTest::newRow("first workgroup") << workgroups << u"projects/W1"_s;
        QTest::newRow("nothing set") << QByteArray("[Project Defaults]\r\n") << QString();
    }

    void openStartsInTheProjectsFolderAndListsTheReferences()
    {
        QFETCH(QByteArray, project);
        QFETCH(QString, folder);
        ShellFixture f;
        for (const char *made : {"Srv", "projects/Work", "projects/W1"})
            QDir().mkpath(f.env.path(QLatin1String(made)));
        const QString file = f.env.writeFile(
            u"projects/P.kpj"_s, "[Project Defaults]\r\nMultiUser=Shared\r\n" + project);
        f.server->RegisterProject(file);
        QVERIFY(f.Start(file));
        f.prompts.OpenFile(QString());
        f.Trigger("mnuOpen");
        const FileDialogRequest request = f.prompts.records.last().request;
        QCOMPARE(request.title, u"Korvex File Selection"_s);
        QCOMPARE(request.initialFolder, folder.isEmpty() ? QString() : f.env.path(folder));
        QCOMPARE(request.filter,
                 u"Part File (*.kpt)|*.kpt|Assembly File (*.kam)|*.kam|Presentation "
                 "File (*.kpn)|*.kpn|Drawing File (*.kdw)|*.kdw"_s);
        QCOMPARE((QList<int>{request.selectedFilter}), QList<int>{2});
        QCOMPARE(request.defaultExtension, u".kam"_s);
        QVERIFY(f.Action("mnuOpen")->isEnabled());

        // The chosen assembly and its references depth first, a missing one skipped; a
        // reference that cannot be read is named, the rows before it listed.
        const QString top = f.Document(
            u"top.kam"_s, 2,
            {u"sub\\Sub.kam"_s, u"Missing.kpt"_s, u"p2.kpt"_s, u"bad.kpt"_s, u"p3.kpt"_s});
        f.Document(u"sub/Sub.kam"_s, 1, {u"../p1.kpt"_s});
        for (const char *part : {"p1.kpt", "p2.kpt", "bad.kpt", "p3.kpt"})
            f.Document(QLatin1String(part));
        WriteDamagedScrivoReservation(f.env.path(u"projects/docs/bad.kpt"_s));
        f.prompts.OpenFile(top).Message();
        f.Trigger("mnuOpen");
        QCOMPARE(f.Column(2), (QStringList{u"top.kam"_s, u"Sub.kam"_s, u"p1.kpt"_s, u"p2.kpt"_s}));
        QVERIFY(f.prompts.records.last().text.startsWith(u"Not all documents could be read:\r"_s +
                                                         f.env.path(u"projects/docs/bad.kpt"_s) +
                                                         u'\r'));
        QCOMPARE(Enabled(f, {u"mnuOpen"_s, u"mnuSave"_s}),
                 (QStringList{u"!mnuOpen"_s, u"mnuSave"_s}));
        QVERIFY(!Combo(f)->isEnabled() && !f.window->ListSaved());
        // The opened list has no report file yet: a plain Save asks for a name.
        f.prompts.SaveFile(QString());
        f.Trigger("mnuSave");
        QVERIFY(f.prompts.Done());
    }
};

int RunPlatformTests(int argc, char **argv);

// Runs the window's tests and those of its Qt dialogs.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestShell shell;
    return QTest::qExec(&shell, argc, argv) + RunPlatformTests(argc, argv);
}

#include "tst_shell.moc"
