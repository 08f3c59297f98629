// The main window through its menus with the real server: start-up and shutdown, the list,
// the session commands, project selection and Open.

#include "Hostile.h"
#include "ShellFixture.h"

#include "model/FileListModel.h"
#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "reserve/RunJournal.h"
#include "shell/ControlLayout.h"
#include "shell/FileListView.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QXmlStreamReader>
#include <csignal>

namespace {

const QString Backup = MessageShown(u"It is highly recommended to make a backup copy of your "
                                    "files before you use this tool.\r"_s +
                                        QString(42, u' '),
                                    PromptIcon::Exclamation);
const QString SaveQuestion = MessageShown(u"Do you want to save the display content ?"_s,
                                          PromptIcon::None, PromptButtons::YesNo);
const QString SemiIsolatedHint =
    u"You are running in Semi-Isolated mode.\rPlease select the files from your server directory "
    "for check in/out operation.\r\rHint:\rIf you run Brevant from a users client machine, please "
    "backup and remove\rthe local workspace data first, before you execute Brevant. This step "
    "allows\ryou to access the server data only, without referencing the local stored files."_s;

// The start-up refuses to go on after the first four, and goes on after the others.
enum class Fault { Release10, KorvexRuns, IniUnreadable, ServerFails, KilledRun, ProjectGone };
// Empty: no rows; JustSaved: one saved row; the others: two unsaved rows and the answer.
enum class Reply { Empty, JustSaved, No, YesSaved, YesCancelled, YesFailed, Dismissed };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Reply)

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void startUpRefusesRecoversOrTells_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("held");          // documents the killed check-out run held
        QTest::addColumn<QStringList>("shown"); // <root> is the test's folder
        const QString killed = u"The last check-out or check-in run did not finish. "
                               "<root>/projects/A.kpj is active again."_s;
        const auto told = [](const QString &text, PromptIcon icon = PromptIcon::Information) {
            return QStringList{Backup, MessageShown(text, icon)};
        };
        QTest::newRow("release 10")
            << Fault::Release10 << 0
            << QStringList{MessageShown(u"Please check if there is a new Brevant Version "
                                        "available,\rthis version only supports Korvex R6 to R9."_s,
                                        PromptIcon::Exclamation)};
        QTest::newRow("the CAD application runs")
            << Fault::KorvexRuns << 0
            << told(u"Trelune Korvex Application is running !\nPlease close Korvex and restart "
                    "the Korvex Brevant tool."_s,
                    PromptIcon::Critical);
        QTest::newRow("server.ini cannot be read")
            << Fault::IniUnreadable << 0
            << QStringList{MessageShown(u"Can't start the Korvex Scrivo Server.The Scrivo settings "
                                        "file <root>/scrivo-home/server.ini cannot be read: it is "
                                        "a folder"_s,
                                        PromptIcon::Critical)};
        QTest::newRow("the server fails")
            << Fault::ServerFails << 0
            << told(u"Can't start the Korvex Scrivo Server. (gone)"_s, PromptIcon::Critical);
        QTest::newRow("a killed check-out held two documents")
            << Fault::KilledRun << 2
            << told(killed + u"\rIt had checked out 2 document(s) for Lena, Max.\r"
                             "<root>/docs/d0\\\t.kpt\r<root>/docs/d1\\\t.kpt"_s);
        QTest::newRow("the active project file is gone")
            << Fault::ProjectGone << 0
            << told(u"The active project file does not exist:\r<root>/projects/Gone.kpj\rThe "
                    "default project is used instead."_s);
    }

    void startUpRefusesRecoversOrTells()
    {
        QFETCH(Fault, fault);
        QFETCH(int, held);
        QFETCH(QStringList, shown);
        ShellFixture f;
        // The start-up moves from D to A.
        const QString a = f.Project(u"A"_s, u"Single User"_s), d = f.Project(u"D"_s, u"Depona"_s);
        f.Activate(d);
        QProcess korvex; // a copy of sleep named korvex, killed when the test ends
        const QString ini = f.env.scrivoHome() + u"/server.ini"_s;
        if (fault == Fault::Release10)
            WriteINI(u"Server"_s, u"MajorVersion"_s, u"10"_s, ini);
        if (fault == Fault::IniUnreadable)
            QVERIFY(QFile::remove(ini) && QDir().mkpath(ini));
        if (fault == Fault::KorvexRuns) {
            QVERIFY(QFile::copy(u"/bin/sleep"_s, f.env.path(u"korvex"_s)));
            korvex.start(f.env.path(u"korvex"_s), {u"60"_s});
            QVERIFY(korvex.waitForStarted(60000));
        }
        if (fault == Fault::ServerFails)
            f.observed->onCall = [](const QString &call) {
                if (call == u"MultiUserMode")
                    throw ServerError(ServerErrors::ServerHomeUnusable, u" (gone)"_s);
            };
        const auto killedRun = [&] { // killed with its working project active
            f.Activate(BuildWorkingProject(a, true, a));
            RunJournal journal(f.ActiveProject());
            for (int i = 0; i < held; ++i)
                journal.Reserved(i % 2 ? u"Max"_s : u"Lena"_s,
                                 f.env.path(u"docs/d%1\\\t.kpt"_s.arg(i)));
        };
        if (fault == Fault::KilledRun)
            QCOMPARE(RunInChildProcess(killedRun, true), SIGKILL);
        if (fault == Fault::ProjectGone) {
            f.Activate(f.Project(u"Gone"_s, u"Shared"_s, {}, false));
            QVERIFY(QFile::remove(f.ActiveProject()));
        }
        shown.replaceInStrings(u"<root>"_s, f.env.root());
        const bool started = fault >= Fault::KilledRun;
        QCOMPARE(f.Start(QString(), int(shown.size()) - 1), started);
        QCOMPARE(f.prompts.Shown(), shown);
        // Refused: what the start-up changed is put back; else it goes on in project A.
        if (fault != Fault::IniUnreadable)
            QCOMPARE(f.ActiveProject(), started ? a : d);
    }

    void closingPutsTheStartUpStateBackAndTheLayoutFollowsTheWindowIntoTheNextSession()
    {
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Shared"_s);
        f.Project(u"B"_s, u"Shared"_s);
        QVERIFY(f.Start(a));
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        f.window->resize(700, 500);

        f.Combo()->setCurrentIndex(1);
        QCOMPARE(f.Panel(2), u"Multi-User mode: Shared"_s);
        list->setColumnWidth(Column::FileName, 333);
        f.Trigger("mnuGridlinesOff");
        QVERIFY(f.Action("mnuMetadataCache")->isChecked() && f.window->State().UseMetadataCache);
        f.Trigger("mnuMetadataCache");
        f.Trigger("mnuExit");
        // Size, column widths and grid lines come back in the next session, from the user's
        // configuration folder.
        QVERIFY(QFileInfo(f.env.configHome() + u"/korvex-brevant/window.conf"_s).isFile());
        QVERIFY(f.Start(QString()));
        list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        QCOMPARE(f.window->size(), QSize(700, 500));
        QCOMPARE(list->columnWidth(Column::FileName), 333);
        QVERIFY(!list->GridLines() && f.Action("mnuGridlinesOff")->isChecked());
        QVERIFY(!f.Action("mnuMetadataCache")->isChecked() && !f.window->State().UseMetadataCache);
        QVERIFY(list->isColumnHidden(Column::Uses)); // only a where-used list shows it
    }

    void listShowsKeysSortsAndDeletesExactlyTheSelectedRecords()
    {
        ShellFixture f;
        QVERIFY(f.StartShared());
        // Reserved at instants whose texts sort otherwise than the instants do.
        const QDate since[] = {{2026, 2, 1}, {2026, 1, 10}, {2025, 12, 31}, {2026, 12, 7}};
        for (int i = 1; i <= 12; ++i)
            if (const QString path = f.Document(u"p%1.kpt"_s.arg(i, 2, 10, QLatin1Char('0')));
                i % 3 == 0)
                WriteScrivoReservation(path, u"Lena"_s, QDateTime(since[i / 3 - 1], QTime(9, 0)),
                                       i);
        f.Document(u"a/same.kpt"_s);
        f.Document(u"b/same.kpt"_s);
        f.SearchDocs();
        QCOMPARE(f.List().data(f.List().index(11, 0), FileListModel::KeyRole).toString(), u"A12"_s);
        auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        // Header clicks sort versions by number and times by the instant, free documents after
        // the others; the same column again reverses.
        list->header()->sectionClicked(5);
        list->header()->sectionClicked(5);
        QCOMPARE(f.Column(5),
                 (QStringList(10, Available) + QStringList{u"12"_s, u"9"_s, u"6"_s, u"3"_s}));
        list->header()->sectionClicked(1);
        QCOMPARE(f.Column(5).mid(0, 5),
                 (QStringList{u"9"_s, u"6"_s, u"3"_s, u"12"_s, u"available"_s}));
        // Deleting the second of two same-named rows removes its own record.
        f.Select({int(f.Column(3).indexOf(f.env.path(u"projects/docs/b"_s)))});
        f.Trigger("mnuDeleteItems");
        QCOMPARE(f.Column(3).filter(u"/docs/"_s), QStringList{f.env.path(u"projects/docs/a"_s)});
        QVERIFY(f.List().Count() == 13 && !f.window->ListSaved());
        f.Trigger("pupmnuSelectAll");
        f.Trigger("pupmnuDeleteItems");
        QCOMPARE(f.List().Count(), 0);
    }

    void filterShowsMatchingRowsAndCommandsActOnTheRowsShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("show");     // the quick choice, as ListFilter::Show
        QTest::addColumn<QString>("days"); // typed when the choice asks for days
        QTest::addColumn<bool>("refused"); // the days are refused with a message
        QTest::addColumn<QString>("rows"); // the names shown
        QTest::addColumn<QString>("counts");
        const QString all = u"4 row(s), 0 selected, 2 checked out, 1 mine"_s;
        const auto of = [](int shown, const QString &held = {}) {
            return u"%1 of 4 row(s) shown, 0 selected, 2 checked out, 1 mine%2 (Save writes the "
                   "rows shown)"_s.arg(shown)
                       .arg(held);
        };
        const QString allRows = u"Frame.kpt Part_A_B.kpt frame_leg.kpt Roller.kam"_s;
        const auto row = [](const char *name, const QString &text, int show) -> QTestData & {
            return QTest::newRow(name) << text << show;
        };
        row("all", {}, 0) << QString() << false << allRows << all;
        row("name, any case", u"FRAME"_s, 0)
            << QString() << false << u"Frame.kpt frame_leg.kpt"_s << of(2);
        row("display name", u"conveyor"_s, 0) << QString() << false << u"Roller.kam"_s << of(1);
        row("holder", u"lena"_s, 0) << QString() << false << u"Frame.kpt"_s << of(1);
        row("path", u"/sub"_s, 0) << QString() << false << u"Roller.kam"_s << of(1);
        row("mine", {}, 1) << QString() << false << u"frame_leg.kpt"_s << of(1);
        row("checked out", {}, 2) << QString() << false << u"Frame.kpt frame_leg.kpt"_s << of(2);
        row("available", {}, 3) << QString() << false << u"Part_A_B.kpt Roller.kam"_s << of(2);
        row("held 14 days", {}, 4)
            << u"14"_s << false << u"Frame.kpt"_s << of(1, u", 1 held longer than 14 day(s)"_s);
        row("held 16 days", {}, 4)
            << u" 16"_s << false << QString() << of(0, u", 0 held longer than 16 day(s)"_s);
        row("days cancelled", {}, 4) << QString() << false << allRows << all;
        row("no days", {}, 4) << u"0"_s << true << allRows << all;
    }

    void filterShowsMatchingRowsAndCommandsActOnTheRowsShown()
    {
        QFETCH(QString, text);
        QFETCH(int, show);
        QFETCH(QString, days);
        QFETCH(bool, refused);
        QFETCH(QString, rows);
        QFETCH(QString, counts);
        ShellFixture f;
        QVERIFY(f.StartShared());
        f.Document(u"Part_A_B.kpt"_s);
        const QDateTime now = QDateTime::currentDateTime();
        WriteScrivoReservation(f.Document(u"Frame.kpt"_s), u"Lena"_s, now.addDays(-15), 1);
        WriteScrivoReservation(f.Document(u"frame_leg.kpt"_s), f.server->UserName(), now, 1);
        WriteScrivoDocument(f.env.path(u"projects/docs/sub/Roller.kam"_s), u"Conveyor roller"_s);
        f.SearchDocs();
        auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        QTest::keyClicks(f.window->findChild<QLineEdit *>(u"FilterText"_s), text);
        if (show == 4)
            f.prompts.Input(days);
        if (refused)
            f.prompts.Message();
        auto *choice = f.window->findChild<QComboBox *>(u"FilterShow"_s);
        choice->setCurrentIndex(show);
        QVERIFY(f.prompts.Done());
        QCOMPARE(choice->currentIndex(), refused || (show == 4 && days.isNull()) ? 0 : show);
        QStringList shown;
        for (int row = 0; row < list->model()->rowCount(); ++row)
            shown.append(list->model()->index(row, Column::FileName).data().toString());
        QCOMPARE(shown.join(u' '), rows);
        QCOMPARE(f.window->findChild<QLabel *>(u"StatusBar1Counts"_s)->text(), counts);

        // Select All selects the rows shown; Save writes them; a check-in releases only them.
        f.Trigger("mnuSelectAll");
        QCOMPARE(list->SelectedRows().size(), shown.size());
        f.prompts.SaveFile(f.env.path(u"r.txt"_s), 2);
        f.Trigger("mnuSaveAs");
        const QList<QByteArray> lines = ReadBytes(f.env.path(u"r.txt"_s)).split('\n');
        QCOMPARE(lines.size() - 1, shown.size());
        for (qsizetype i = 0; i < shown.size(); ++i)
            QVERIFY(lines.at(i).contains(shown.at(i).toUtf8()));
        f.Trigger("mnuUnreserveSelectedFiles");
        QCOMPARE(f.Column(0).count(Available),
                 2 + int(shown.count(u"Frame.kpt"_s)) + int(shown.count(u"frame_leg.kpt"_s)));
    }

    void keysReachThePopupAndTheClipboard()
    {
        ShellFixture f;
        QVERIFY(f.StartShared());
        for (const QString &name : {u"sub/Tab\there.kpt"_s, u"sub/b.kpt"_s, u"c.kpt"_s})
            f.Document(name);
        f.SearchDocs();
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto *list = f.window->findChild<FileListView *>(u"ListViewFiles"_s);
        auto *popup = f.window->findChild<QMenu *>(u"pupmnuListView"_s);
        // The Menu key opens the popup at the current row.
        list->setFocus();
        list->setCurrentIndex(list->model()->index(1, 0));
        QTest::keyClick(list, Qt::Key_Menu);
        QTRY_VERIFY(popup->isVisible());
        popup->hide();
        // So does Shift+F10, but neither F10 alone nor Shift with another key (shown at once,
        // as the key is handled).
        QTest::keyClick(list, Qt::Key_F10);
        QTest::keyClick(list, Qt::Key_A, Qt::ShiftModifier);
        QVERIFY(!popup->isVisible());
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(popup->isVisible());
        popup->hide();

        // Ctrl+C copies the selected rows as the report's texts, tab-separated (a tab in a
        // name written \t).
        // Rows: c.kpt, then sub's "Tab\there.kpt" and b.kpt.
        f.Select({0, 1});
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE((QList<qsizetype>{copied.count(u'\n'), copied.section(u'\n', 0, 0).count(u'\t')}),
                 (QList<qsizetype>{2, 5}));
        QVERIFY2(copied.contains(u"\tTab\\there.kpt\t"_s), qPrintable(copied));
    }

    void inputBoxesOpenAQuarterOfTheWindowInFromItsCorner()
    {
        // Whole quarters; the nearest whole number; halves to the even neighbour.
        for (const auto &[outline, expected] :
             {std::pair{QRect(100, 50, 800, 600), QPoint(300, 200)},
              {QRect(0, 0, 801, 603), QPoint(200, 151)},
              {QRect(0, 0, 802, 606), QPoint(200, 152)}}) {
            QWidget window;
            window.setGeometry(outline);
            QCOMPARE(InputBoxPosition(window), expected);
        }
    }

    void projectPicksFollowTheModeAndWaitForAnEmptyList()
    {
        ShellFixture f;
        const QString a = f.Project(u"A"_s, u"Shared"_s);
        f.Project(u"S"_s, u"Semi-Isolated"_s);
        f.Project(u"D"_s, u"Depona"_s);
        const QString gone = f.Project(u"Gone"_s, u"Shared"_s);
        QVERIFY(f.Start(a));
        QVERIFY(QFile::remove(gone));
        f.prompts.Message().Message().Message();
        f.Combo()->setCurrentIndex(1);
        QCOMPARE(f.Combo()->currentIndex(), 1); // a project made active stays shown
        for (const int pick : {2, 3})
            f.Combo()->setCurrentIndex(pick);
        // Semi-Isolated hints; Depona is refused for the first entry; a project that cannot
        // be made active is told and the choice undone.
        QCOMPARE(f.prompts.Shown(1).mid(0, 2),
                 (QStringList{MessageShown(SemiIsolatedHint),
                              MessageShown(u"Depona projects should be handled via Depona Explorer "
                                           "regarding check in/out operations."_s)}));
        QVERIFY(f.prompts.records.last().text.startsWith(u"The project could not be selected:\r"_s +
                                                         gone));
        QCOMPARE(f.Combo()->currentIndex(), 0);
        QCOMPARE(f.Panel(2), u"Multi-User mode: Brevant"_s);
        QCOMPARE(f.ActiveProject(), f.window->State().SelectedProject);
    }

    void newAndClosingFollowTheSaveQuestion_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::addColumn<Reply>("reply");
        const QStringList names =
            u"empty list;just saved;unsaved, No;unsaved, Yes, saved;unsaved, "
            "Yes, cancelled;unsaved, Yes, failed;unsaved, dismissed"_s.split(u';');
        for (const bool closing : {false, true})
            for (int reply = 0; reply <= int(Reply::Dismissed); ++reply)
                QTest::addRow("%s, %s", closing ? "close" : "New", qPrintable(names.at(reply)))
                    << closing << Reply(reply);
    }

    void newAndClosingFollowTheSaveQuestion()
    {
        QFETCH(bool, closing);
        QFETCH(Reply, reply);
        ShellFixture f;
        QVERIFY(f.StartShared());
        f.window->show();
        const QString report = f.env.path(u"report.txt"_s);
        const int rows = qMin(int(reply), 2); // none, one saved, or two unsaved
        for (int i = 0; i < rows; ++i)
            f.Document(u"d%1.kpt"_s.arg(i));
        if (rows > 0)
            f.SearchDocs();
        if (rows == 1) {
            f.prompts.SaveFile(report, 2);
            f.Trigger("mnuSaveAs");
        }
        const qsizetype from = f.prompts.records.size();
        if (reply >= Reply::No) // dismissed: Escape or the close box, which answer Cancel
            f.prompts.Message(reply == Reply::No          ? PromptAnswer::No
                              : reply == Reply::Dismissed ? PromptAnswer::Cancel
                                                          : PromptAnswer::Yes);
        if (reply == Reply::YesSaved || reply == Reply::YesCancelled)
            f.prompts.SaveFile(reply == Reply::YesSaved ? report : QString(), 2);
        if (reply == Reply::YesFailed) // the target's folder is a regular file
            f.prompts.SaveFile(f.env.writeFile(u"blocker"_s, "x") + u"/r.txt"_s, 2).Message();
        const char *command = closing ? "mnuExit" : "mnuNew";
        f.Trigger(command);
        QCOMPARE(f.prompts.Shown(from).value(0), reply >= Reply::No ? SaveQuestion : QString());
        if (reply >= Reply::YesCancelled) {
            // The list the user did not say to lose stays, and so does the window.
            QVERIFY(f.window->isVisible() && f.List().Count() == 2 && !f.window->ListSaved());
            f.prompts.Message(PromptAnswer::No);
            f.Trigger(command);
        }
        QCOMPARE(ReadBytes(report).contains("|d1.kpt|"), reply == Reply::YesSaved);
        QVERIFY(f.prompts.Done());
        QCOMPARE(f.window->isVisible(), !closing);
        QCOMPARE(f.List().Count(), 0); // the records went, also with the window
        // A new list has no report file: its caption says so, and a Save will ask for one.
        QVERIFY(closing || f.window->windowTitle() == u"Korvex Brevant - Unnamed"_s);
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
        QTest::newRow("nothing set") << QByteArray() << QString();
    }

    void openStartsInTheProjectsFolderAndListsTheReferences()
    {
        QFETCH(QByteArray, project);
        QFETCH(QString, folder);
        ShellFixture f;
        const QString file = f.env.writeFile(
            u"projects/P.kpj"_s, "[Project Defaults]\r\nMultiUser=Shared\r\n" + project);
        f.server->RegisterProject(file);
        QVERIFY(f.Start(file));
        f.prompts.OpenFile(QString());
        f.Trigger("mnuOpen");
        const FileDialogRequest request = f.prompts.records.last().request;
        QCOMPARE((QStringList{request.title, request.initialFolder, request.defaultExtension,
                              request.filter, QString::number(request.selectedFilter)}),
                 (QStringList{u"Korvex File Selection"_s,
                              folder.isEmpty() ? QString() : f.env.path(folder), u".kam"_s,
                              u"Part File (*.kpt)|*.kpt|Assembly File (*.kam)|*.kam|Presentation "
                              u"File (*.kpn)|*.kpn|Drawing File (*.kdw)|*.kdw"_s,
                              u"2"_s}));

        // A document that cannot be opened is named; nothing is listed.
        f.prompts.OpenFile(f.env.path(u"gone.kam"_s)).Message();
        f.Trigger("mnuOpen");
        QVERIFY(f.prompts.records.last().text.contains(f.env.path(u"gone.kam"_s)));
        QCOMPARE(f.List().Count(), 0);
        f.Trigger("mnuNew");
        // The assembly and its references are listed; a reference that cannot be read is
        // named, the rows before it listed.
        const QString top = f.Document(u"top.kam"_s, 2, {u"p1.kpt"_s, u"bad.kpt"_s});
        f.Document(u"p1.kpt"_s);
        WriteDamagedScrivoReservation(f.Document(u"bad.kpt"_s));
        f.prompts.OpenFile(top).Message();
        f.Trigger("mnuOpen");
        QCOMPARE(f.Column(2), (QStringList{u"top.kam"_s, u"p1.kpt"_s}));
        QVERIFY(f.prompts.records.last().text.startsWith(u"Not all documents could be read:\r"_s +
                                                         f.env.path(u"projects/docs/bad.kpt"_s)));
        QVERIFY(!f.window->ListSaved() && f.prompts.Done());
    }

    void menuStatesFollowTheListAndTheCommandRunning_data()
    {
        QTest::addColumn<QString>("steps");  // before the moment looked at: search, open, new
        QTest::addColumn<QString>("during"); // "search", "check out", or "" for after the steps
        // Every menu entry (and the project drop-down) not available at that moment.
        QTest::addColumn<QStringList>("disabled");
        const QStringList empty =
            u"mnuSave mnuSaveAs mnuStopDocumentsSearch pupmnuDeleteItems mnuWhereUsed "
            "pupmnuWhereUsed"_s.split(u' ');
        const QStringList listed{u"mnuStopDocumentsSearch"_s, u"Combo1"_s};
        const QStringList busy =
            u"mnuNew mnuOpen mnuReserveForUser mnuReserveSelectedFiles "
            "mnuReserveWithComment mnuUnreserveSelectedFiles mnuSave "
            "mnuSaveAs mnuDocumentsSearch mnuDeleteItems pupmnuDeleteItems "
            "pupmnuReserve pupmnuReserveWithComment pupmnuUnreserve "
            "pupmnuRefresh mnuRefresh mnuWhereUsed pupmnuWhereUsed Combo1"_s.split(u' ');
        QTest::newRow("start-up") << QString() << QString() << empty;
        QTest::newRow("searched") << u"search"_s << QString() << listed;
        QTest::newRow("opened") << u"open"_s << QString() << QStringList{u"mnuOpen"_s} + listed;
        QTest::newRow("while searching") << QString() << u"search"_s << busy;
        QTest::newRow("while checking out")
            << u"search"_s << u"check out"_s << busy + QStringList{u"mnuStopDocumentsSearch"_s};
    }

    void menuStatesFollowTheListAndTheCommandRunning()
    {
        QFETCH(QString, steps);
        QFETCH(QString, during);
        QFETCH(QStringList, disabled);
        ShellFixture f;
        QVERIFY(f.StartShared());
        const QString top = f.Document(u"top.kam"_s, 1, {u"p.kpt"_s});
        f.Document(u"p.kpt"_s);
        // The menu entries and the drop-down, not the menus, their own entries or separators.
        const auto disabledNow = [&f] {
            QStringList names;
            for (const QObject *entry : f.window->findChildren<QObject *>(
                     QRegularExpression(u"^((pup)?mnu(?!Spacer).*(?<!Item)|Combo1)$"_s)))
                if (!qobject_cast<const QMenu *>(entry) && !entry->property("enabled").toBool())
                    names.append(entry->objectName());
            names.sort();
            return names;
        };
        for (const QString &step : steps.split(u' ', Qt::SkipEmptyParts)) {
            if (f.List().Count() > 0)
                f.prompts.Message(PromptAnswer::No); // the unsaved list is let go
            if (step == u"open"_s)
                f.prompts.OpenFile(top);
            if (step == u"search"_s)
                f.SearchDocs();
            else
                f.Trigger(step == u"open"_s ? "mnuOpen" : "mnuNew");
        }
        QStringList seen;
        f.observed->onCall = [&](const QString &call) {
            if (!call.startsWith(u"OpenDocument"_s) || !seen.isEmpty())
                return;
            // A check-out run reads on a thread of its own; the window is asked on its own.
            const bool own = QThread::currentThread() == f.window->thread();
            QMetaObject::invokeMethod(
                f.window.get(), [&] { seen = disabledNow(); },
                own ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
        };
        if (during == u"search"_s) {
            f.SearchDocs();
        } else if (during == u"check out"_s) {
            f.Select({0});
            f.Trigger("mnuReserveSelectedFiles");
        } else {
            seen = disabledNow();
        }
        disabled.sort();
        QCOMPARE(seen, disabled);
        QVERIFY(f.prompts.Done());
    }

    void catalogueTranslatesEveryText()
    {
        // The catalogue brought in line with the code as a developer's lupdate would: no text
        // of the code may lack its translation, and a translation keeps the text's
        // placeholders and its one access key.
        const QTemporaryDir folder;
        const QString catalogue = folder.filePath(u"brevant_de.ts"_s);
        QVERIFY(QFile::copy(QStringLiteral(BREVANT_SOURCE_DIR "/translations/brevant_de.ts"),
                            catalogue));
        QProcess lupdate;
        lupdate.start(QStringLiteral(BREVANT_LUPDATE),
                      {u"-silent"_s, u"-locations"_s, u"none"_s, u"-no-obsolete"_s,
                       QStringLiteral(BREVANT_SOURCE_DIR "/src"), u"-ts"_s, catalogue});
        QVERIFY(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0);
        QXmlStreamReader xml(ReadBytes(catalogue)); // "<unreadable>" fails as XML
        QStringList faults;
        QString source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == u"source") {
                source = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (xml.name() == u"translation") {
                bool kept = xml.attributes().value(u"type"_s) != u"unfinished";
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                kept = kept && !text.isEmpty() && source.count(u'&') == text.count(u'&');
                for (const QChar digit : u"123456789"_s) // each placeholder as often
                    kept = kept && source.count(u"%"_s + digit) == text.count(u"%"_s + digit);
                if (!kept)
                    faults.append(source);
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(faults, QStringList());
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
