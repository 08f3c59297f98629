// Check-out and check-in: the engine on records with the real server, and the commands
// through the window.

#include "Hostile.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "model/DateText.h"
#include "model/FileListModel.h"
#include "projects/WorkingProject.h"
#include "reserve/ReservationRun.h"
#include "reserve/RunJournal.h"
#include "reserve/SessionRestore.h"
#include "server/FileProcessing.h"

#include <QDeadlineTimer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <csignal>
#include <sys/wait.h>

namespace {

const QString Anna = u"Anna"_s;
const QString Bob = u"Bob"_s;

// A run's world: a project of a mode, active, documents below it, the program state as the
// window keeps it, and the records the run works on.
struct Run
{
    explicit Run(const QString &mode, const QByteArray &extra = {})
    {
        project = f.Project(u"A"_s, mode, extra);
        f.Activate(project);
        state.DocumentServer = f.observed;
        state.SelectedProject = state.StartupProject = project;
        state.StartupUserName = state.CheckOutUser = Anna;
        f.server->SetUserName(Anna);
    }

    // Documents d00.kpt, d01.kpt... (version 4), each reserved for the holder unless it is
    // empty, read as a listing does; the run works on all of them. Their paths.
    QStringList List(int count, const QString &holder = {})
    {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths.append(f.Document(u"d%1.kpt"_s.arg(i, 2, 10, QLatin1Char('0')), 4));
            if (!holder.isEmpty())
                WriteScrivoReservation(paths.last(), holder, QDateTime::currentDateTime(), 4);
            ReadDocumentWithReferences(listed, *f.observed, paths.last());
        }
        for (int i = 1; i <= listed.Count(); ++i)
            records.append(listed.Item(i));
        return paths;
    }

    // A whole run as a command makes it; the positions of the records it changed are kept.
    ReservationFailures Change(bool reserve, RunObserver observer = {})
    {
        observer.Changed = [this](qsizetype position) { changed.append(position); };
        return *ChangeReservations(reserve, state, f.prompts, records, observer,
                                   [] { return true; });
    }

    // Holder, time text and version text as the server has them now.
    QStringList Held(const QString &path) const
    {
        const ServerDocumentPtr doc = f.server->OpenDocument(path);
        if (!doc->IsReserved())
            return QStringList(3, Available);
        return {doc->ReservedBy(), GeneralDateText(doc->ReservedTime()),
                QString::number(doc->ReservedVersion())};
    }

    // The record at position as its three reservation texts.
    QStringList Record(int position) const
    {
        const clsFile &record = *records.at(position);
        return {record.CheckedOutBy(), record.CheckedOutTime(), record.CheckedOutVersion()};
    }

    // The end of every run: the start-up user, the selected project, no working project.
    void VerifyRestored() const
    {
        QCOMPARE(f.server->UserName(), Anna);
        QCOMPARE(f.ActiveProject(), project);
        QCOMPARE(f.prompts.pointer, MousePointer::Default);
        QCOMPARE(FolderEntries(f.env.path(u"projects"_s)).filter(u"Temp$$$00"_s), QStringList());
        QCOMPARE(FolderEntries(f.env.stateHome() + u"/korvex-brevant"_s).filter(u".reserved"_s),
                 QStringList());
    }

    ShellFixture f;
    ProgramState state;
    QString project;
    clsFiles listed;
    QList<clsFilePtr> records;
    QList<qsizetype> changed;
};

enum class Fault { Deleted, HolderChanged, ReservedMeanwhile, NoWorkingProject, NoRunTurn };

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestReserve : public QObject
{
    Q_OBJECT

private slots:
    void checkOutWorksInTheProjectItsModeNeeds_data()
    {
        // The project active while documents are checked out, below the test's folder: a
        // working project beside the project, or beside the one a Semi-Isolated project
        // includes (in "shared"), or the project itself (projects/A.kpj).
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("message"); // before the failure, "" for none
        // Whether the active project still names its own workspace: only a Single User run's
        // working project moves it to the workgroup paths.
        QTest::addColumn<bool>("workspace");
        const QString working = WorkingProjectName(), itself = u"projects/A.kpj"_s;
        QTest::newRow("Single User")
            << u"Single User"_s << QString(u"projects/"_s + working) << QString() << false;
        QTest::newRow("Shared") << u"Shared"_s << itself << QString() << true;
        QTest::newRow("Semi-Isolated")
            << u"Semi-Isolated"_s << QString(u"shared/"_s + working) << QString() << true;
        QTest::newRow("Semi-Isolated without include")
            << u"Semi-Isolated"_s << itself << u"Include file missing for semi-isolated mode."_s
            << true;
    }

    void checkOutWorksInTheProjectItsModeNeeds()
    {
        QFETCH(QString, mode);
        QFETCH(QString, active);
        QFETCH(QString, message);
        QFETCH(bool, workspace);
        const QByteArray include =
            "[Included Path File]\r\nIncluded Pathfile=..\\shared\\inc.kpj\r\n";
        Run run(mode, active.startsWith(u"shared"_s) ? include : QByteArray());
        const QString included = run.f.env.writeFile(
            u"shared/inc.kpj"_s,
            "[Project Defaults]\r\nMultiUser=Single User\r\n[Workspace]\r\nWorkspace=.\\W\r\n");
        const QByteArray before = ReadBytes(run.project) + ReadBytes(included);
        const QString part = run.List(1).first();
        QString activeAtReserve;
        bool workspaceAtReserve = false;
        run.f.observed->onCall = [&](const QString &call) {
            if (call.startsWith(u"OpenDocument"_s)) {
                activeAtReserve = run.f.ActiveProject();
                workspaceAtReserve = ReadBytes(activeAtReserve).contains("\r\nWorkspace=");
            }
        };
        if (!message.isEmpty())
            run.f.prompts.Message();
        const ReservationFailures failures = run.Change(true);

        const bool reserved = active.contains(u"Temp$$$00"_s) || mode == u"Shared";
        QCOMPARE(failures.size(), reserved ? 0 : 1);
        QCOMPARE(run.Held(part)[0], reserved ? Anna : Available);
        QCOMPARE(run.Record(0), run.Held(part));
        QCOMPARE(run.changed, reserved ? QList<qsizetype>{0} : QList<qsizetype>{});
        QCOMPARE(activeAtReserve, run.f.env.path(active));
        QCOMPARE(workspaceAtReserve, workspace);
        QCOMPARE(run.f.prompts.Shown(),
                 message.isEmpty() ? QStringList() : QStringList{MessageShown(message)});
        QCOMPARE(ReadBytes(run.project) + ReadBytes(included), before);
        QVERIFY(!QFileInfo::exists(run.f.env.path(u"shared/"_s) + WorkingProjectName()));
        run.VerifyRestored();
    }

    void failuresLeaveRecordsAsTheyWere_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("reserve");
        QTest::addColumn<int>("failing"); // the documents the fault is put on
        QTest::addColumn<int>("failures");
        QTest::addColumn<bool>("goodOneDone"); // the document after them is changed
        QTest::addColumn<bool>("showsNewHolder");
        QTest::addColumn<QString>("reasonNames"); // in the first failure's reason
        QTest::addColumn<int>("lineCount");       // of the message: at most ten failures named
        QTest::addColumn<QString>("lastLine");    // "" when it names every failure
        const QString none;
        QTest::newRow("check-out, twelve documents deleted")
            << Fault::Deleted << true << 12 << 12 << true << false << none << 12
            << u"... and 2 more"_s;
        QTest::newRow("check-in, document deleted")
            << Fault::Deleted << false << 1 << 1 << true << false << none << 2 << none;
        QTest::newRow("check-in, another holder since")
            << Fault::HolderChanged << false << 1 << 1 << true << true << u"Carl"_s << 2 << none;
        QTest::newRow("check-out, reserved meanwhile")
            << Fault::ReservedMeanwhile << true << 1 << 1 << true << true << Bob << 2 << none;
        // The run cannot start: every row fails, the good one too.
        QTest::newRow("check-out, working project cannot be written")
            << Fault::NoWorkingProject << true << 1 << 2 << false << false << none << 3 << none;
        QTest::newRow("check-out, the run's turn cannot be taken")
            << Fault::NoRunTurn << true << 1 << 2 << false << false << u"run.lock"_s << 3 << none;
    }

    void failuresLeaveRecordsAsTheyWere()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, reserve);
        QFETCH(int, failing);
        QFETCH(int, failures);
        QFETCH(bool, goodOneDone);
        QFETCH(bool, showsNewHolder);
        QFETCH(QString, reasonNames);
        QFETCH(int, lineCount);
        QFETCH(QString, lastLine);
        Run run(fault == Fault::NoWorkingProject ? u"Single User"_s : u"Shared"_s);
        // The failing documents first, then one that can be changed.
        const QStringList paths = run.List(failing + 1, reserve ? QString() : Bob);
        const QStringList before = run.Record(0);
        // What stands in the way of a run that cannot start: a folder where it writes.
        const QString blocking = fault == Fault::NoRunTurn
                                     ? run.f.env.scrivoHome() + u"/run.lock"_s
                                     : run.f.env.path(u"projects/"_s) + WorkingProjectName();
        switch (fault) {
        case Fault::Deleted:
            for (int i = 0; i < failing; ++i)
                QFile::remove(paths[i]);
            break;
        case Fault::HolderChanged:
            WriteScrivoReservation(paths[0], u"Carl"_s, QDateTime::currentDateTime(), 1);
            break;
        case Fault::ReservedMeanwhile: // by another process, just before this run reserves
            run.f.observed->onCall = [&](const QString &call) {
                if (call == u"OpenDocument "_s + paths[0])
                    QCOMPARE(RunScrivo({u"reserve"_s, u"--user"_s, Bob, paths[0]}).exitCode, 0);
            };
            break;
        case Fault::NoWorkingProject: // where the working project is to be written
        case Fault::NoRunTurn:        // where the Scrivo home keeps the runs' turn
            QDir().mkpath(blocking);
            break;
        }
        const ReservationFailures told = run.Change(reserve);

        QCOMPARE(run.Held(paths.last())[0] == (reserve ? Anna : Available), goodOneDone);
        QCOMPARE(run.Record(0), showsNewHolder ? run.Held(paths[0]) : before);
        QCOMPARE(told.size(), failures);
        for (int i = 0; i < failing; ++i)
            QVERIFY(paths[i].endsWith(u'/' + told[i].FileName) && !told[i].Reason.isEmpty());
        QVERIFY2(told[0].Reason.contains(reasonNames), qPrintable(told[0].Reason));
        const QStringList lines = ReservationFailureText(reserve, told).split(u'\r');
        QCOMPARE(lines.first(), u"%1 document(s) could not be checked %2:"_s.arg(failures).arg(
                                    reserve ? u"out"_s : u"in"_s));
        QCOMPARE(lines.size(), lineCount);
        if (!lastLine.isEmpty())
            QCOMPARE(lines.last(), lastLine);
        if (goodOneDone)
            run.VerifyRestored();
        else // what stood in the run's way is left as it was
            QVERIFY(QFileInfo(blocking).isDir());
    }

    void checkOutUserIsChosenAndMisleadingNamesRefused_data()
    {
        QTest::addColumn<QString>("answer"); // null: the box is cancelled
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("user");
        // Each time the user chose "Zed" before: a refused name keeps that choice, Cancel goes
        // back to the start-up user.
        const QString refused = u"The user name can not be used: %1."_s;
        const QString reserved =
            u"The user name 'available' is a internal name and can not be used."_s;
        QTest::newRow("a name") << u"Yves"_s << QString() << u"Yves"_s;
        QTest::newRow("AVAILABLE") << u"AVAILABLE"_s << reserved << u"Zed"_s;
        QTest::newRow("leading blank")
            << u" Yves"_s << refused.arg(u"it begins or ends with a blank"_s) << u"Zed"_s;
        QTest::newRow("cancel") << QString() << QString() << Anna;
    }

    void checkOutUserIsChosenAndMisleadingNamesRefused()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QFETCH(QString, user);
        ShellFixture f;
        f.server->SetUserName(Anna);
        QVERIFY(f.StartShared());
        f.Document(u"part.kpt"_s);
        f.SearchDocs();
        f.prompts.Input(u"Zed"_s);
        f.Trigger("mnuReserveForUser");
        f.prompts.Input(answer);
        if (!message.isEmpty())
            f.prompts.Message();
        const qsizetype from = f.prompts.records.size();
        f.Trigger("mnuReserveForUser");
        QCOMPARE(f.prompts.records.at(from).defaultText, Anna);
        QCOMPARE(f.prompts.Shown(from + 1),
                 message.isEmpty() ? QStringList() : QStringList{MessageShown(message)});
        QCOMPARE(f.Panel(1), u"User name: "_s + user);
        f.Select({0});
        f.Trigger("pupmnuReserve");
        QCOMPARE(f.Column(0), QStringList{user});
    }

    void checkOutWithCommentStoresItForThatRunOnly_data()
    {
        QTest::addColumn<QString>("answer"); // null: the box is cancelled
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("comment"); // the comment the row shows after the run
        QTest::newRow("a comment") << u"until Friday"_s << QString() << u"until Friday"_s;
        QTest::newRow("cancel") << QString() << QString() << QString();
        QTest::newRow("a line break")
            << u"a\nb"_s << u"The comment cannot be used: it holds a control or format character."_s
            << QString();
    }

    void checkOutWithCommentStoresItForThatRunOnly()
    {
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QFETCH(QString, comment);
        ShellFixture f;
        f.server->SetUserName(Anna);
        QVERIFY(f.StartShared());
        const QString part = f.Document(u"part.kpt"_s);
        f.SearchDocs();
        f.Select({0});
        f.prompts.Input(answer);
        if (!message.isEmpty())
            f.prompts.Message();
        f.Trigger("pupmnuReserveWithComment");
        QVERIFY(f.prompts.Done());
        QCOMPARE(f.Column(0), QStringList{comment.isEmpty() ? Available : Anna});
        QCOMPARE(f.server->OpenDocument(part)->Reservation().Comment, comment);
        QCOMPARE(f.Column(Column::Comment), QStringList{comment});
        QCOMPARE(f.List().index(0, Column::FileName).data(Qt::ToolTipRole).toString(),
                 comment.isEmpty() ? u"part.kpt"_s : u"part.kpt\nComment: "_s + comment);
        // The next check-out carries none.
        f.Trigger("pupmnuUnreserve");
        f.Trigger("pupmnuReserve");
        QCOMPARE(f.server->OpenDocument(part)->Reservation().Comment, QString());
    }

    void aRunWaitsForAnotherProgramsRunAndCancelEndsItWaitingOrHalfWay()
    {
        // Another program's run has the run turn of the Scrivo home: the window waits, says
        // so, and its Cancel button ends the waiting before any document is opened.
        ShellFixture f;
        f.server->SetUserName(Anna);
        QVERIFY(f.StartShared());
        for (int i = 0; i < 10; ++i)
            f.Document(u"d%1.kpt"_s.arg(i));
        f.SearchDocs();
        auto *cancel = f.window->findChild<QPushButton *>(u"StatusBar1Cancel"_s);
        int opened = 0; // Cancel while the fourth document is being checked out
        f.observed->onCall = [&](const QString &call) {
            if (call.startsWith(u"OpenDocument"_s) && ++opened == 4)
                QMetaObject::invokeMethod(cancel, &QPushButton::click,
                                          Qt::BlockingQueuedConnection);
        };
        // Another program holds the run's lock (it says so once it does) ...
        QProcess other;
        const QString held = f.env.path(u"held"_s);
        other.start(u"flock"_s, {u"-o"_s, f.env.scrivoHome() + u"/run.lock"_s, u"-c"_s,
                                 u"touch '%1' && exec sleep 120"_s.arg(held)});
        QVERIFY2(QTest::qWaitFor([&] { return QFileInfo::exists(held); }, 120000),
                 "flock did not take the run's lock within 120 s");
        // ... and this run, once it tells it waits for it (or after a bound that only ends a
        // hung run), is cancelled.
        const QString waits = u"Waiting for another check-out run…"_s;
        QString waitingText;
        const QDeadlineTimer bound(120000);
        QTimer waiting;
        QObject::connect(&waiting, &QTimer::timeout, [&] {
            if (cancel->isHidden() || (f.Panel(1) != waits && !bound.hasExpired()))
                return;
            waiting.stop();
            waitingText = f.Panel(1);
            cancel->click();
        });
        waiting.start(20);
        f.Select({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        f.Trigger("mnuReserveSelectedFiles");
        QCOMPARE(waitingText, waits);
        QVERIFY(cancel->isHidden() && opened == 0);
        QCOMPARE(f.Panel(1), u"User name: "_s + Anna);
        // Once the turn is free the run is made; Cancel half-way finishes the document in hand,
        // leaves the rest free, and every row shows what the server holds.
        other.kill();
        QVERIFY(other.waitForFinished(60000));
        f.Trigger("mnuReserveSelectedFiles");
        QCOMPARE(opened, 4);
        QCOMPARE(f.Column(0), QStringList(4, Anna) + QStringList(6, Available));
    }

    void refreshShowsWhatOtherProcessesChanged()
    {
        ShellFixture f;
        QVERIFY(f.StartShared());
        QStringList paths;
        for (const QString &name : {u"a.kpt"_s, u"b.kpt"_s, u"c.kpt"_s, u"d.kpt"_s})
            paths.append(f.Document(name, 3));
        WriteScrivoReservation(paths[1], Bob, QDateTime::currentDateTime(), 3);
        f.SearchDocs();
        f.prompts.SaveFile(f.env.path(u"r.txt"_s), 2);
        f.Trigger("mnuSaveAs");
        const QStringList before = f.Row(2);
        // Another process reserves a and releases b; c is deleted, d's record damaged.
        QCOMPARE(RunScrivo({u"reserve"_s, u"--user"_s, u"Carl"_s, u"-m"_s, u"ECO 7"_s, paths[0]})
                     .exitCode,
                 0);
        QCOMPARE(RunScrivo({u"release"_s, u"--user"_s, Bob, paths[1]}).exitCode, 0);
        QVERIFY(QFile::remove(paths[2]));
        WriteDamagedScrivoReservation(paths[3]);
        f.Trigger("mnuRefresh");
        QCOMPARE(f.Column(0), (QStringList{u"Carl"_s, Available, before[0], DamagedRecord}));
        QCOMPARE(f.Column(Column::Comment).first(), u"ECO 7"_s);
        QCOMPARE(f.Row(0).mid(5) + f.Row(1).mid(6), (QStringList{u"3"_s, u"[x]"_s, u"[ ]"_s}));
        QVERIFY(f.Row(2) == before && !f.window->ListSaved());
        QCOMPARE(f.Panel(3).replace(QRegularExpression(u"\\d\\d:\\d\\d:\\d\\d"_s), u"HH:mm:ss"_s),
                 u"Refreshed HH:mm:ss; 1 row(s) could not be read"_s);
        // The row that could not be read is marked, with the reason in its tooltip, until a
        // refresh reads it again.
        const auto outOfDate = [&f](int row) {
            return f.List().index(row, 0).data(FileListModel::OutOfDateRole).toString();
        };
        QVERIFY(outOfDate(0).isEmpty() && outOfDate(3).isEmpty());
        // The rows the refresh changed stand out until the next one.
        QList<bool> changed;
        for (int row = 0; row < 4; ++row)
            changed.append(f.List().index(row, 0).data(FileListModel::ChangedRole).toBool());
        QCOMPARE(changed, (QList<bool>{true, true, false, true}));
        QVERIFY2(outOfDate(2).contains(u"does not exist"_s), qPrintable(outOfDate(2)));
        QVERIFY(f.List().index(2, 2).data(Qt::ToolTipRole).toString().endsWith(outOfDate(2)));
        f.Document(u"c.kpt"_s, 3);
        // Nothing changed since: the saved list stays saved, and only the marks go (the view
        // is told).
        f.Trigger("mnuSave");
        QVERIFY(f.window->ListSaved());
        const QSignalSpy told(&f.List(), &QAbstractItemModel::dataChanged);
        f.Trigger("pupmnuRefresh");
        QVERIFY(f.window->ListSaved() && outOfDate(2).isEmpty() && !told.isEmpty());
        // A row that already shows another holder is left alone without a word.
        f.Select({0});
        f.Trigger("mnuReserveSelectedFiles");
        QVERIFY(f.prompts.Done() && f.Column(0).first() == u"Carl"_s);
        // Refresh every minute, off at first, refreshes the idle window by itself.
        auto *timer = f.window->findChild<QTimer *>(u"AutoRefreshTimer"_s);
        QVERIFY(!timer->isActive() && !f.Action("mnuAutoRefresh")->isChecked());
        f.Trigger("mnuAutoRefresh");
        QVERIFY(timer->isActive() && timer->interval() == 60000);
        timer->setInterval(20);
        QCOMPARE(RunScrivo({u"release"_s, u"--user"_s, u"Carl"_s, paths[0]}).exitCode, 0);
        QTRY_COMPARE(f.Column(0).first(), Available);
        f.Trigger("mnuAutoRefresh");
        QVERIFY(!timer->isActive());
    }

    void closingPutsTheServerBackAsItWasFound_data()
    {
        // The project files active when the program closes, found at start-up and active
        // after, by their whole names, letter case as written; Default.kpj is Scrivo's own.
        QTest::addColumn<QString>("activeAtClose");
        QTest::addColumn<QString>("startupProject");
        QTest::addColumn<QString>("activeAfter");
        QTest::newRow("a run's working project") << u"working"_s << u"A.kpj"_s << u"A.kpj"_s;
        QTest::newRow("a working project found at start-up is not brought back")
            << u"working"_s << u"Temp$$$00-x.kpj"_s << u"Default.kpj"_s;
    }

    void closingPutsTheServerBackAsItWasFound()
    {
        QFETCH(QString, activeAtClose);
        QFETCH(QString, startupProject);
        QFETCH(QString, activeAfter);
        Run run(u"Single User"_s);
        for (const QString &name : {u"B.kpj"_s, u"DeFaulT.KPJ"_s, u"Temp$$$00-x.kpj"_s})
            QFile::copy(run.project, run.f.env.path(u"projects/"_s + name));
        run.state.StartupProject = run.f.env.path(u"projects/"_s + startupProject);
        run.state.WorkingProject = BuildWorkingProject(run.project, true, run.project);
        run.f.Activate(activeAtClose == u"working"_s
                           ? run.state.WorkingProject
                           : run.f.env.path(u"projects/"_s + activeAtClose));
        run.f.server->SetUserName(Bob);
        RunJournal(run.state.WorkingProject).Reserved(Anna, run.project);
        RestoreAtClose(*run.f.observed, run.state);
        QCOMPARE(run.f.server->UserName(), Anna);
        QCOMPARE(QFileInfo(run.f.ActiveProject()).fileName(), activeAfter);
        QVERIFY(!QFile::exists(run.state.WorkingProject));
        // The run's journal goes too: the next start-up finds no killed run.
        QVERIFY(!QFile::exists(RunJournalPath(run.state.WorkingProject)));
    }

    void startUpRecoversFromAKilledRunAndTellsWhatItHeld()
    {
        Run run(u"Single User"_s);
        const QStringList paths = run.List(8);
        // A check-out killed after its third document left its working project active.
        RunObserver observer;
        observer.RowDone = [done = 0]() mutable {
            if (++done == 3)
                ::raise(SIGKILL);
        };
        const int status = RunInChildProcess([&] { run.Change(true, observer); });
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        const QStringList working =
            FolderEntries(run.f.env.path(u"projects"_s)).filter(u"Temp$$$00"_s);
        QCOMPARE(working.size(), 1);
        const QString journal = RunJournalPath(working.first()); // what it held, read below

        // The start-up makes the project active again and tells what the run holds.
        const std::optional<UnfinishedRun> recovered = RecoverFromUnfinishedRun(*run.f.observed);
        QVERIFY(recovered);
        QCOMPARE(recovered->Reserved.Holders, QStringList{Anna});
        QStringList held = paths;
        held.removeIf([&run](const QString &path) { return run.Held(path).first() != Anna; });
        QStringList told = recovered->Reserved.Documents;
        told.sort();
        QCOMPARE(told, held);
        QVERIFY(!QFile::exists(journal)); // told once: no later start-up tells it again
        run.VerifyRestored();
    }
};

QTEST_MAIN(TestReserve)
#include "tst_reserve.moc"
