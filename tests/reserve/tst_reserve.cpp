#include "ObservedServer.h"
#include "PromptChecks.h"
#include "ScrivoDocuments.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "model/DateText.h"
#include "projects/FileFunctions.h"
#include "projects/WorkingProject.h"
#include "server/FileProcessing.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString Anna = u"Anna"_s;
const QString Bob = u"Bob"_s;
const QString Temp = WorkingProjectName();
const QStringList Free{Available, Available, Available};

// The scrivo tool in a process of its own, as another user's program would be.
int RunScrivo(const QStringList &arguments)
{
    QString dir = qEnvironmentVariable("BREVANT_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + u"/../../bin"_s;
    QProcess process;
    process.start(dir + u"/scrivo"_s, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A document of the real server whose Reserve first runs `before` with its file name, to
// act as another process would between a run's check and its reservation.
class RacedDocument : public ServerDocument
{
public:
    using Hook = std::function<void(const QString &fileName)>;
    RacedDocument(ServerDocumentPtr document, Hook &hook) : inner(std::move(document)), before(hook)
    {
    }

    bool IsReserved() override { return inner->IsReserved(); }
    void Reserve() override
    {
        before(FileNameOf(inner->FullFileName()));
        inner->Reserve();
    }
    void ReleaseReservation() override { inner->ReleaseReservation(); }
    QString ReservedBy() override { return inner->ReservedBy(); }
    QDateTime ReservedTime() override { return inner->ReservedTime(); }
    int ReservedVersion() override { return inner->ReservedVersion(); }
    QString DisplayName() override { return inner->DisplayName(); }
    QString FullFileName() override { return inner->FullFileName(); }
    QList<ServerDocumentPtr> ReferencedDocuments() override { return inner->ReferencedDocuments(); }

private:
    ServerDocumentPtr inner;
    Hook &before;
};

// The real server with a log of a run frame's calls ("CloseAllDocuments",
// "SetActiveProject(<path>)", "SetUserName <name>", "OpenDocument <file name>") and the
// active project at each opened document; beforeReserve runs before a document's Reserve.
struct RecordingServer : ObservedServer
{
    explicit RecordingServer(std::shared_ptr<DocumentServer> inner) : ObservedServer(inner)
    {
        onCall = [this](const QString &call) {
            if (call.startsWith(u"SetActiveProject"))
                log.append(call);
        };
    }
    ServerDocumentPtr OpenDocument(const QString &path) override
    {
        log.append(u"OpenDocument "_s + FileNameOf(path));
        activeAtOpen.append(ActiveProject());
        ServerDocumentPtr document = ObservedServer::OpenDocument(path);
        return document ? std::make_shared<RacedDocument>(document, beforeReserve) : nullptr;
    }
    void CloseAllDocuments() override
    {
        log.append(u"CloseAllDocuments"_s);
        ObservedServer::CloseAllDocuments();
    }
    void SetUserName(const QString &name) override
    {
        log.append(u"SetUserName "_s + name);
        ObservedServer::SetUserName(name);
    }

    QStringList log;
    QStringList activeAtOpen;
    RacedDocument::Hook beforeReserve = [](const QString &) {};
};

// A window over the recording server, started with project "A" of the given mode active
// and the server's user name set, with documents read into its list as a search reads them.
struct RunFixture : ShellFixture
{
    std::shared_ptr<RecordingServer> recorder = std::make_shared<RecordingServer>(server);
    std::unique_ptr<frmMain> window;
    QString project;

    bool start(const QString &multiUser, const QByteArray &extraLines = {},
               const QString &user = Anna)
    {
        project = addProject(u"A"_s, multiUser);
        env.writeFile(u"projects/A.kpj"_s, ReadBytes(project) + extraLines);
        activate(project);
        server->SetUserName(user);
        expectBackupWarning();
        if (multiUser == u"Semi-Isolated")
            prompts.answerMessage(PromptAnswer::OK); // the hint of the project selection
        auto held = recorder;
        window = std::make_unique<frmMain>(prompts, [held] { return held; });
        if (!window->Load())
            return false;
        // The run's calls and prompts are what the tests look at.
        recorder->log.clear();
        prompts.records.clear();
        return true;
    }

    QString document(const QString &relative, int version = 1, const QStringList &refs = {})
    {
        const QString path = env.path(u"projects/docs/"_s + relative);
        return WriteScrivoDocument(path, QFileInfo(path).completeBaseName(), version, refs);
    }

    void list(const QStringList &paths)
    {
        for (const QString &path : paths)
            ReadDocumentWithReferences(*window->State().Files, *recorder, path);
        window->ShowFilesInList();
        // The run's calls are what the tests look at.
        recorder->log.clear();
        recorder->activeAtOpen.clear();
    }

    void select(const QList<int> &rows)
    {
        window->ListViewFiles->clearSelection();
        for (int row : rows)
            window->ListViewFiles->Row(row)->setSelected(true);
    }

    // The row's six texts and its box; its own record must show the same.
    QStringList row(int index) const
    {
        const FileRow *item = window->ListViewFiles->Row(index);
        QStringList texts;
        for (int column = 0; column < 6; ++column)
            texts.append(item->text(column));
        texts.append(item->checkState(0) == Qt::Checked ? u"[x]"_s : u"[ ]"_s);
        const clsFile &record = *item->Record();
        const QStringList fromRecord{record.CheckedOutBy(), record.CheckedOutTime(),
                                     record.FileName(),     record.FilePath(),
                                     record.BrowserName(),  record.CheckedOutVersion()};
        if (fromRecord != texts.mid(0, 6))
            texts.append(u"record differs: "_s + fromRecord.join(u'|'));
        return texts;
    }

    // Holder, time text and version text as the server has them now; "available" three
    // times for a free document.
    QStringList reservation(const QString &path)
    {
        const ServerDocumentPtr doc = server->OpenDocument(path);
        if (!doc->IsReserved())
            return Free;
        return {doc->ReservedBy(), GeneralDateText(doc->ReservedTime()),
                QString::number(doc->ReservedVersion())};
    }

    // A row as the list reads it from a document in this state.
    static QStringList expectedRow(const QString &path, const QStringList &held)
    {
        const QFileInfo info(path);
        const QString box = held[0] == Available ? u"[ ]"_s : u"[x]"_s;
        return {held[0], held[1], info.fileName(), ParentFolderOf(path), info.completeBaseName(),
                held[2], box};
    }

    // The server has the document held by `holder`, and the row shows it as the server has it.
    void verifyRow(int index, const QString &path, const QString &holder)
    {
        const QStringList held = reservation(path);
        QCOMPARE(held[0], holder);
        QCOMPARE(row(index), expectedRow(path, held));
    }

    // Prompts shown since the window started.
    QStringList shown() const { return ShownPrompts(prompts.records); }

    // The end of every run: start-up user, selected project, no temporary project.
    void verifyServerRestored()
    {
        QCOMPARE(recorder->UserName(), window->State().StartupUserName);
        QCOMPARE(activeProject(), project);
        QVERIFY(!QFileInfo(env.path(u"projects/"_s + Temp)).isFile());
        QCOMPARE(prompts.pointer, MousePointer::Default);
    }

    // The failure message, the last prompt: title, icon and button, the count, the documents
    // that the first ten lines start with (each with a reason), and how many more there are.
    void verifyFailureMessage(const QString &direction, const QStringList &fileNames)
    {
        const ScriptedPrompts::Record &message = prompts.records.last();
        const QStringList lines = message.text.split(u'\r');
        QCOMPARE(ShownPrompt(message), MessagePrompt(message.text));
        QCOMPARE(lines.value(0),
                 u"%1 document(s) could not be checked %2:"_s.arg(fileNames.size()).arg(direction));
        const qsizetype listed = std::min<qsizetype>(fileNames.size(), 10);
        QCOMPARE(lines.size(), 1 + listed + (fileNames.size() > listed ? 1 : 0));
        for (qsizetype i = 0; i < listed; ++i) {
            QVERIFY2(lines[i + 1].startsWith(fileNames[i] + u": "_s), qPrintable(lines[i + 1]));
            QVERIFY2(lines[i + 1].size() > fileNames[i].size() + 2, "no reason given");
        }
        if (fileNames.size() > listed)
            QCOMPARE(lines.last(), u"... and %1 more"_s.arg(fileNames.size() - listed));
    }
};

// The ways a document of a run can fail.
enum class Fault {
    DeletedDocument,
    DamagedRecord,
    UnwritableRecord,
    HolderChanged,
    UnwritableTemporaryProject,
    ReservedByProcess,
    ReservedDuringRun
};

// How the check-out user is chosen before a check-out: through the input box, or not at all.
enum class Choice { None, Answer, Cancel };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Choice)

class TestReserve : public QObject
{
    Q_OBJECT

private slots:
    void rowsActOnTheirOwnDocuments();
    void checkOutInEachMultiUserMode_data();
    void checkOutInEachMultiUserMode();
    void runWithoutSelectedRowsStillPreparesAndRemovesWorkingProject();
    void failedWorkingProjectIsToldWithoutSelectedRows();
    void sortedListKeepsRowsInPlace_data();
    void sortedListKeepsRowsInPlace();
    void failuresLeaveRowsAndRestoreServer_data();
    void failuresLeaveRowsAndRestoreServer();
    void checkOutUserChoiceAndRefusal_data();
    void checkOutUserChoiceAndRefusal();
    void runDuringSearchDoesNothing();
    void closeRequestDuringRunWaitsForItsEndSteps();
};

void TestReserve::rowsActOnTheirOwnDocuments()
{
    RunFixture f;
    QVERIFY(f.start(u"Shared"_s));
    const QString held = f.document(u"held.kpt"_s, 12);
    const QDateTime midnight(QDate(2026, 3, 4), QTime(0, 0));
    WriteScrivoReservation(held, Bob, midnight, 12);
    const QString free = f.document(u"free.kpt"_s);
    const QString top =
        f.document(u"top.kam"_s, 3, {u"held.kpt"_s, u"missing.kpt"_s, u"free.kpt"_s});
    // Two files of the same name in different folders.
    const QString first = f.document(u"a/part.kpt"_s);
    const QString second = f.document(u"b/part.kpt"_s);

    f.list({top, first, second});

    QCOMPARE(f.window->ListViewFiles->Count(), 5);
    QCOMPARE(f.row(1), RunFixture::expectedRow(top, Free));
    QCOMPARE(f.row(2), RunFixture::expectedRow(held, {Bob, GeneralDateText(midnight), u"12"_s}));
    QCOMPARE(f.row(3), RunFixture::expectedRow(free, Free));

    f.select({5});
    f.window->mnuReserveSelectedFiles->trigger();
    f.verifyRow(4, first, Available);
    f.verifyRow(5, second, Anna);
    f.select({4});
    f.window->mnuReserveSelectedFiles->trigger();
    f.select({2, 3, 5});
    f.recorder->log.clear();
    f.window->pupmnuUnreserve->trigger();

    // The other user's reservation is released by acting as that user; the free row is
    // attempted as "available" and stays free.
    QVERIFY(f.recorder->log.contains(u"SetUserName Bob"_s));
    QVERIFY(f.recorder->log.contains(u"SetUserName available"_s));
    QVERIFY(!QFile::exists(ScrivoReservationPath(held)));
    f.verifyRow(2, held, Available);
    f.verifyRow(3, free, Available);
    f.verifyRow(4, first, Anna);
    f.verifyRow(5, second, Available);
    QCOMPARE(f.shown(), QStringList());
    f.verifyServerRestored();
}

void TestReserve::checkOutInEachMultiUserMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("include");
    QTest::addColumn<QString>("workingProject");
    QTest::addColumn<bool>("reserved");
    QTest::addColumn<QStringList>("hints"); // messages before a failure message

    const QByteArray include = "[Included Path File]\r\nIncluded Pathfile=..\\shared\\inc.kpj\r\n";
    QTest::newRow("Single User") << u"Single User"_s << QByteArray()
                                 << QString(u"projects/"_s + Temp) << true << QStringList();
    QTest::newRow("Shared") << u"Shared"_s << QByteArray() << u"projects/A.kpj"_s << true
                            << QStringList();
    QTest::newRow("Semi-Isolated with include")
        << u"Semi-Isolated"_s << include << QString(u"shared/"_s + Temp) << true << QStringList();
    QTest::newRow("Semi-Isolated without include")
        << u"Semi-Isolated"_s << QByteArray() << u"projects/A.kpj"_s << false
        << QStringList{MessagePrompt(u"Include file missing for semi-isolated mode."_s)};
    QTest::newRow("Semi-Isolated no checkout") << u"Semi-Isolated no checkout"_s << QByteArray()
                                               << u"projects/A.kpj"_s << false << QStringList();
}

void TestReserve::checkOutInEachMultiUserMode()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, include);
    QFETCH(QString, workingProject);
    QFETCH(bool, reserved);
    QFETCH(QStringList, hints);

    RunFixture f;
    const QString includeFile =
        f.env.writeFile(u"shared/inc.kpj"_s, "[Project Defaults]\r\nMultiUser=Semi-Isolated\r\n");
    QVERIFY(f.start(mode, include));
    const QString part = f.document(u"part.kpt"_s, 4);
    f.list({part});
    f.select({1});
    const QStringList before = f.row(1);
    const QByteArray projectBytes = ReadBytes(f.project);
    const QByteArray includeBytes = ReadBytes(includeFile);
    for (qsizetype i = 0; i < hints.size() + (reserved ? 0 : 1); ++i)
        f.prompts.answerMessage(PromptAnswer::OK);

    f.window->mnuReserveSelectedFiles->trigger();

    QCOMPARE(f.recorder->activeAtOpen, QStringList{f.env.path(workingProject)});
    QCOMPARE(f.shown().mid(0, hints.size()), hints);
    QCOMPARE(f.shown().size(), hints.size() + (reserved ? 0 : 1));
    if (reserved) {
        f.verifyRow(1, part, Anna);
        QCOMPARE(f.reservation(part)[2], u"4"_s);
    } else {
        QCOMPARE(f.reservation(part)[0], Available);
        QCOMPARE(f.row(1), before);
        f.verifyFailureMessage(u"out"_s, {u"part.kpt"_s});
    }
    QCOMPARE(ReadBytes(f.project), projectBytes);
    QCOMPARE(ReadBytes(includeFile), includeBytes);
    QVERIFY(!QFileInfo(f.env.path(u"shared/"_s + Temp)).isFile());
    f.verifyServerRestored();
    QVERIFY(f.prompts.scriptDone());
}

void TestReserve::runWithoutSelectedRowsStillPreparesAndRemovesWorkingProject()
{
    RunFixture f;
    QVERIFY(f.start(u"Single User"_s));
    const QString part = f.document(u"part.kpt"_s);
    f.list({part});
    f.select({});
    // The temporary project an earlier run left elsewhere.
    const QString stale = f.env.writeFile(u"old/Temp$$$00.kpj"_s, "[Project Defaults]\r\n");
    f.window->State().WorkingProject = stale;

    f.window->mnuReserveSelectedFiles->trigger();

    const QString working = f.env.path(u"projects/"_s + Temp);
    const auto set = [](const QString &path) { return u"SetActiveProject(%1)"_s.arg(path); };
    QCOMPARE(f.recorder->log,
             QStringList({u"CloseAllDocuments"_s, set({}), set({}), set(f.project), set({}),
                          set(working), u"SetUserName "_s + Anna, set({}), set(f.project)}));
    QVERIFY(!QFile::exists(stale));
    QCOMPARE(f.window->State().WorkingProject, working);
    QCOMPARE(f.row(1), RunFixture::expectedRow(part, Free));
    QCOMPARE(f.prompts.pointers,
             QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
    QCOMPARE(f.shown(), QStringList());
    f.verifyServerRestored();
}

void TestReserve::failedWorkingProjectIsToldWithoutSelectedRows()
{
    RunFixture f;
    QVERIFY(f.start(u"Single User"_s));
    f.list({f.document(u"part.kpt"_s)});
    f.select({});
    // A folder where the temporary project would be written.
    QVERIFY(QDir().mkpath(f.env.path(u"projects/"_s + Temp)));
    f.prompts.answerMessage(PromptAnswer::OK);

    f.window->mnuReserveSelectedFiles->trigger();

    f.verifyFailureMessage(u"out"_s, {u"A.kpj"_s});
    f.verifyServerRestored();
}

void TestReserve::sortedListKeepsRowsInPlace_data()
{
    QTest::addColumn<bool>("viewSorting");
    QTest::newRow("sorted by the window") << false;
    QTest::newRow("view sorting switched on") << true;
}

void TestReserve::sortedListKeepsRowsInPlace()
{
    QFETCH(bool, viewSorting);

    RunFixture f;
    QVERIFY(f.start(u"Shared"_s));
    QStringList paths;
    for (const QString &name : {u"a.kpt"_s, u"b.kpt"_s, u"c.kpt"_s, u"d.kpt"_s})
        paths.append(f.document(name));
    WriteScrivoReservation(paths[0], u"Carl"_s, QDateTime::currentDateTime(), 1);
    WriteScrivoReservation(paths[2], Bob, QDateTime::currentDateTime(), 1);
    f.list(paths);
    f.window->SortColumns(1);
    if (viewSorting)
        f.window->ListViewFiles->setSortingEnabled(true);
    const auto names = [&f] { return ShellFixture::columnTexts(*f.window, 2); };
    const QStringList order = names();
    QCOMPARE(order, QStringList({"c.kpt", "a.kpt", "b.kpt", "d.kpt"}));
    f.select({3, 4});
    // "Abe" sorts before every holder, so a re-sort while writing would move the rows.
    f.window->State().CheckOutUser = u"Abe"_s;
    QStringList orderDuringRun;
    f.recorder->onOpenDocument = [&](const QString &) { orderDuringRun += names(); };

    f.window->pupmnuReserve->trigger();

    QCOMPARE(orderDuringRun, order + order);
    QCOMPARE(f.reservation(paths[1])[0], u"Abe"_s);
    QCOMPARE(f.reservation(paths[3])[0], u"Abe"_s);
    if (!viewSorting) {
        QCOMPARE(names(), order);
        QCOMPARE(ShellFixture::columnTexts(*f.window, 0),
                 QStringList({"Bob", "Carl", "Abe", "Abe"}));
    }
    // The sort state as before: the view's sorting, the header's indicator (column, order,
    // shown, clickable) and the window's own (sorted, column, order).
    const QHeaderView *header = f.window->ListViewFiles->header();
    QCOMPARE(
        (QList<int>{f.window->ListViewFiles->isSortingEnabled(), header->sortIndicatorSection(),
                    header->sortIndicatorOrder(), header->isSortIndicatorShown(),
                    header->sectionsClickable(), f.window->Sorted(), f.window->SortColumn(),
                    f.window->SortOrder()}),
        (QList<int>{viewSorting, 0, Qt::AscendingOrder, true, true, true, 0, Qt::AscendingOrder}));
    QCOMPARE(f.window->SelectedRows().size(), 2);
    for (const FileRow *row : f.window->SelectedRows())
        QCOMPARE(row->text(0), u"Abe"_s);
}

void TestReserve::failuresLeaveRowsAndRestoreServer_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("reserve");
    QTest::addColumn<int>("failing"); // documents with the fault

    const auto row = [](const char *name, Fault fault, bool reserve, int failing = 1) {
        QTest::newRow(name) << fault << reserve << failing;
    };
    row("check-out, twelve documents deleted after listing", Fault::DeletedDocument, true, 12);
    row("check-in, document deleted after listing", Fault::DeletedDocument, false);
    row("check-out, damaged reservation record", Fault::DamagedRecord, true);
    row("check-out, reservation cannot be written", Fault::UnwritableRecord, true);
    row("check-in, another holder since listing", Fault::HolderChanged, false);
    row("check-out, temporary project cannot be written", Fault::UnwritableTemporaryProject, true);
    row("check-out, reserved by a process after listing", Fault::ReservedByProcess, true);
    row("check-out, reserved by a process just before the run", Fault::ReservedDuringRun, true);
    row("check-in, reserved by a process after listing", Fault::ReservedByProcess, false);
}

void TestReserve::failuresLeaveRowsAndRestoreServer()
{
    QFETCH(Fault, fault);
    QFETCH(bool, reserve);
    QFETCH(int, failing);

    RunFixture f;
    const bool projectFault = fault == Fault::UnwritableTemporaryProject;
    // A row that showed "available" for a document reserved since is brought up to date;
    // any other failing row stays as it was.
    const bool byProcess = fault == Fault::ReservedByProcess || fault == Fault::ReservedDuringRun;
    QVERIFY(f.start(projectFault ? u"Single User"_s : u"Shared"_s));
    const QDateTime now = QDateTime::currentDateTime();
    QStringList names;
    for (int i = 1; i <= failing; ++i)
        // A record name beside this document is longer than the file system allows.
        names.append(fault == Fault::UnwritableRecord
                         ? QString(245, u'x') + u".kpt"_s
                         : u"bad%1.kpt"_s.arg(i, 2, 10, QLatin1Char('0')));
    names.append(u"good.kpt"_s);
    QStringList paths;
    for (const QString &name : names) {
        paths.append(f.document(name));
        // Check-in runs on rows that show Bob's reservation, except where a process reserves
        // a document that was listed free.
        if (!reserve && (!byProcess || name == names.last()))
            WriteScrivoReservation(paths.last(), Bob, now, 1);
    }
    f.list(paths);
    f.window->SelectAll();
    QList<QStringList> before;
    for (int i = 1; i <= paths.size(); ++i)
        before.append(f.row(i));

    const QStringList reserveAsBob{u"reserve"_s, u"--user"_s, Bob, paths[0]};
    switch (fault) {
    case Fault::DeletedDocument:
        for (int i = 0; i < failing; ++i)
            QVERIFY(QFile::remove(paths[i]));
        break;
    case Fault::DamagedRecord:
        WriteDamagedScrivoReservation(paths[0]);
        break;
    case Fault::HolderChanged:
        WriteScrivoReservation(paths[0], u"Carl"_s, now, 1);
        break;
    case Fault::UnwritableTemporaryProject:
        QVERIFY(QDir().mkpath(f.env.path(u"projects/"_s + Temp)));
        break;
    case Fault::ReservedByProcess:
        QCOMPARE(RunScrivo(reserveAsBob), 0);
        break;
    case Fault::ReservedDuringRun:
        f.recorder->beforeReserve = [&](const QString &fileName) {
            if (fileName == names[0])
                QCOMPARE(RunScrivo(reserveAsBob), 0);
        };
        break;
    case Fault::UnwritableRecord:
        break;
    }
    f.prompts.answerMessage(PromptAnswer::OK);

    (reserve ? f.window->mnuReserveSelectedFiles : f.window->mnuUnreserveSelectedFiles)->trigger();

    // The good document is done, unless the run itself could not be set up.
    if (!projectFault) {
        f.verifyRow(paths.size(), paths.last(), reserve ? Anna : Available);
        names.removeLast();
    }
    for (int i = 0; i < names.size(); ++i) {
        if (byProcess)
            f.verifyRow(i + 1, paths[i], Bob);
        else
            QCOMPARE(f.row(i + 1), before[i]);
    }
    if (projectFault)
        QVERIFY(QFileInfo(f.env.path(u"projects/"_s + Temp)).isDir());
    QCOMPARE(f.prompts.records.size(), 1);
    f.verifyFailureMessage(reserve ? u"out"_s : u"in"_s, names);
    if (byProcess)
        QVERIFY(f.prompts.records[0].text.contains(Bob));
    f.verifyServerRestored();
}

void TestReserve::checkOutUserChoiceAndRefusal_data()
{
    QTest::addColumn<QString>("serverUser");
    QTest::addColumn<Choice>("choice");
    QTest::addColumn<QString>("user");    // the answer, or the check-out user without choice
    QTest::addColumn<QString>("message"); // of the choice or the check-out, "" for none
    // The document's holder after the check-out, which is also the check-out user a choice
    // gives.
    QTest::addColumn<QString>("holder");

    const QString internal = u"The user name 'available' is a internal name and can not be used."_s;
    const QString refusal =
        u"Please choose a user with 'Check Out for User...' before you check out files."_s;
    const auto row = [](const char *name, const QString &serverUser, Choice choice,
                        const QString &user, const QString &message, const QString &holder) {
        QTest::newRow(name) << serverUser << choice << user << message << holder;
    };
    row("a name", Anna, Choice::Answer, u"Zed"_s, {}, u"Zed"_s);
    row("blanks kept", Anna, Choice::Answer, u" available "_s, {}, u" available "_s);
    row("available", Anna, Choice::Answer, Available, internal, Anna);
    row("AVAILABLE", Anna, Choice::Answer, u"AVAILABLE"_s, internal, Anna);
    row("empty answer", Anna, Choice::Answer, u""_s, {}, Anna);
    row("cancel", Anna, Choice::Cancel, {}, {}, Anna);
    // Names that would show as another name are refused like "available".
    row("right-to-left override", Anna, Choice::Answer, u"\u202Eecila"_s,
        u"The user name can not be used: it holds a control or format character."_s, Anna);
    row("257 characters", Anna, Choice::Answer, QString(257, u'z'),
        u"The user name can not be used: it is longer than 256 characters."_s, Anna);
    row("no choice, empty user", Anna, Choice::None, u""_s, refusal, Available);
    row("no choice, 'available' from the server", Available, Choice::None, Available, refusal,
        Available);
    row("no choice, 'AVAILABLE'", Anna, Choice::None, u"AVAILABLE"_s, refusal, Available);
}

void TestReserve::checkOutUserChoiceAndRefusal()
{
    QFETCH(QString, serverUser);
    QFETCH(Choice, choice);
    QFETCH(QString, user);
    QFETCH(QString, message);
    QFETCH(QString, holder);

    RunFixture f;
    QVERIFY(f.start(u"Single User"_s, {}, serverUser));
    QCOMPARE(f.window->State().CheckOutUser, serverUser);
    const QString part = f.document(u"part.kpt"_s);
    f.list({part});
    f.select({1});
    QStringList prompts;
    // The input box offers the server's user name, not the check-out user.
    f.window->State().CheckOutUser = choice == Choice::None ? user : u"Previous"_s;
    if (choice == Choice::Answer)
        f.prompts.answerInput(user);
    if (choice == Choice::Cancel)
        f.prompts.cancelInput();
    if (choice != Choice::None)
        prompts.append(u"input box [Korvex Brevant] Check Out files for User:"_s);
    if (!message.isEmpty()) {
        prompts.append(MessagePrompt(message));
        f.prompts.answerMessage(PromptAnswer::OK);
    }
    if (choice != Choice::None) {
        f.window->move(100, 60);
        f.window->resize(1002, 702);
        f.window->mnuReserveForUser->trigger();
        const ScriptedPrompts::Record &input = f.prompts.records.first();
        QCOMPARE(input.defaultText, serverUser);
        // A quarter of the window's size from its top-left corner, halves rounded to even.
        const QRect frame = f.window->frameGeometry();
        QCOMPARE(input.position, frame.topLeft() + QPoint(int(std::lrint(frame.width() / 4.0)),
                                                          int(std::lrint(frame.height() / 4.0))));
        QCOMPARE(f.window->State().CheckOutUser, holder);
        QCOMPARE(f.window->StatusPanelText(1), u"User name: "_s + holder);
        QCOMPARE(f.recorder->UserName(), serverUser);
    }

    f.window->mnuReserveSelectedFiles->trigger();

    QCOMPARE(f.shown(), prompts);
    f.verifyRow(1, part, holder);
    if (holder == Available) // refused before the run began
        QCOMPARE(f.recorder->log, QStringList());
    f.verifyServerRestored();
}

void TestReserve::runDuringSearchDoesNothing()
{
    RunFixture f;
    QVERIFY(f.start(u"Shared"_s));
    f.document(u"a.kpt"_s);
    f.document(u"b.kpt"_s);
    // The run is asked for while the search reads its first document.
    bool tried = false;
    bool sawSearch = false;
    f.recorder->onOpenDocument = [&](const QString &) {
        if (std::exchange(tried, true))
            return;
        sawSearch = f.window->Searching();
        f.window->SelectAll();
        f.window->ChangeReservation(true);
    };
    f.prompts.answerMessage(PromptAnswer::OK); // the scope message
    f.prompts.answerFolder(f.env.path(u"projects/docs"_s));

    f.window->mnuDocumentsSearchClick();

    QVERIFY(sawSearch);
    QVERIFY(!f.recorder->log.contains(u"CloseAllDocuments"_s));
    QCOMPARE(f.window->ListViewFiles->Count(), 2);
    QCOMPARE(ShellFixture::columnTexts(*f.window, 0), QStringList({Available, Available}));
}

void TestReserve::closeRequestDuringRunWaitsForItsEndSteps()
{
    // A termination signal or the end of the desktop session asks the window to close while
    // a run works in its working project.
    RunFixture f;
    QVERIFY(f.start(u"Single User"_s));
    const QString part = f.document(u"part.kpt"_s);
    f.list({part});
    f.select({1});
    bool closedAtOnce = true;
    QString activeDuringRun;
    f.recorder->onOpenDocument = [&](const QString &) {
        f.window->show();
        closedAtOnce = f.window->close();
        activeDuringRun = f.activeProject();
    };
    f.prompts.answerMessage(PromptAnswer::No); // the closing's save question

    f.window->mnuReserveSelectedFiles->trigger();

    QVERIFY(!closedAtOnce);
    QCOMPARE(activeDuringRun, f.env.path(u"projects/"_s + Temp));
    QCOMPARE(f.reservation(part)[0], Anna);
    // The run ended with its own steps, then the window closed with its own.
    QVERIFY(!f.window->isVisible());
    QVERIFY(!f.window->State().DocumentServer);
    QVERIFY(!QFileInfo::exists(f.env.path(u"projects/"_s + Temp)));
    QCOMPARE(f.activeProject(), f.project);
}

QTEST_MAIN(TestReserve)
#include "tst_reserve.moc"
