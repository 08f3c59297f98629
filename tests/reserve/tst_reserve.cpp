#include "RecordingServer.h"
#include "ScrivoDocuments.h"
#include "ShellFixture.h"

#include "model/DateText.h"
#include "model/FileProcessing.h"
#include "projects/FileFunctions.h"
#include "reserve/ReservationRun.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace {

const QString Anna = QStringLiteral("Anna");
const QString Temp = QStringLiteral("Temp$$$00.kpj");

QString ScrivoTool()
{
    QString dir = qEnvironmentVariable("BREVANT_BIN_DIR");
    if (dir.isEmpty())
        dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin");
    return dir + QStringLiteral("/scrivo");
}

// The scrivo tool in a process of its own, as another user's program would be.
int RunScrivo(const QStringList &arguments)
{
    QProcess process;
    process.start(ScrivoTool(), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A window over the recording server, started with project "A" of the given mode active
// and the server's user name set, with documents read into its list as a search reads them.
struct RunFixture : ShellFixture
{
    std::shared_ptr<RecordingServer> recorder = std::make_shared<RecordingServer>(server);
    std::unique_ptr<frmMain> window;
    QString project;
    qsizetype promptsAtStart = 0;

    bool start(const QString &multiUser, const QByteArray &extraLines = {},
               const QString &user = Anna)
    {
        QByteArray content = "[Project Defaults]\r\nMultiUser=" + multiUser.toUtf8() + "\r\n";
        content += extraLines + "[Workspace]\r\nWorkspace=.\\Workspace\r\n";
        project = env.writeFile(QStringLiteral("projects/A.kpj"), content);
        server->RegisterProject(project);
        activate(project);
        server->SetUserName(user);
        expectBackupWarning();
        if (multiUser == QStringLiteral("Semi-Isolated"))
            prompts.answerMessage(PromptAnswer::OK); // the hint of the project selection
        auto held = recorder;
        window = std::make_unique<frmMain>(prompts, [held] { return held; });
        if (!window->Load())
            return false;
        recorder->log.clear();
        promptsAtStart = prompts.records.size();
        return true;
    }

    QString document(const QString &relative, int version = 1)
    {
        const QString path = env.path(QStringLiteral("projects/docs/") + relative);
        return WriteScrivoDocument(path, QFileInfo(path).completeBaseName(), version);
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
        texts.append(item->checkState(0) == Qt::Checked ? QStringLiteral("[x]")
                                                        : QStringLiteral("[ ]"));
        const clsFile &record = *item->Record();
        const QStringList fromRecord{record.CheckedOutBy(), record.CheckedOutTime(),
                                     record.FileName(),     record.FilePath(),
                                     record.BrowserName(),  record.CheckedOutVersion()};
        if (fromRecord != texts.mid(0, 6))
            texts.append(QStringLiteral("record differs: ") + fromRecord.join(u'|'));
        return texts;
    }

    QStringList columnTexts(int column) const
    {
        QStringList texts;
        for (int i = 1; i <= window->ListViewFiles->Count(); ++i)
            texts.append(window->ListViewFiles->Row(i)->text(column));
        return texts;
    }

    // Holder, time text and version text as the server has them now; "available" three
    // times for a free document.
    QStringList reservation(const QString &path)
    {
        const ServerDocumentPtr doc = server->OpenDocument(path);
        if (!doc->IsReserved())
            return {Available, Available, Available};
        return {doc->ReservedBy(), GeneralDateText(doc->ReservedTime()),
                QString::number(doc->ReservedVersion())};
    }

    // A row as the list reads it from a document in this state.
    static QStringList expectedRow(const QString &path, const QStringList &held)
    {
        const QFileInfo info(path);
        return {held[0],
                held[1],
                info.fileName(),
                ParentFolderOf(path),
                info.completeBaseName(),
                held[2],
                held[0] == Available ? QStringLiteral("[ ]") : QStringLiteral("[x]")};
    }

    // Message texts shown since the window started.
    QStringList messages() const
    {
        QStringList texts;
        for (qsizetype i = promptsAtStart; i < prompts.records.size(); ++i)
            if (prompts.records[i].kind == ScriptedPrompts::Kind::Message)
                texts.append(prompts.records[i].text);
        return texts;
    }

    bool temporaryProjectIn(const QString &relativeFolder) const
    {
        return QFileInfo(env.path(relativeFolder + u'/' + Temp)).isFile();
    }

    // The end of every run: start-up user, selected project, no temporary project.
    void verifyServerRestored()
    {
        QCOMPARE(recorder->UserName(), window->State().StartupUserName);
        QCOMPARE(activeProject(), project);
        QVERIFY(!temporaryProjectIn(QStringLiteral("projects")));
        QCOMPARE(prompts.pointer, MousePointer::Default);
    }
};

// The first line of the failure message and the document each further line starts with.
void VerifyFailureMessage(const QString &text, const QString &direction,
                          const QStringList &fileNames)
{
    const QStringList lines = text.split(u'\r');
    QCOMPARE(lines.value(0), QStringLiteral("%1 document(s) could not be checked %2:")
                                 .arg(fileNames.size())
                                 .arg(direction));
    QCOMPARE(lines.size(), fileNames.size() + 1);
    for (qsizetype i = 0; i < fileNames.size(); ++i) {
        QVERIFY2(lines[i + 1].startsWith(fileNames[i] + QStringLiteral(": ")),
                 qPrintable(lines[i + 1]));
        QVERIFY2(lines[i + 1].size() > fileNames[i].size() + 2, "no reason given");
    }
}

} // namespace

class TestReserve : public QObject
{
    Q_OBJECT

private slots:
    void readingShowsFreeAndReservedDocuments();
    void checkOutInEachMultiUserMode_data();
    void checkOutInEachMultiUserMode();
    void checkInReleasesWhatTheRowShows();
    void runWithoutSelectedRowsStillPreparesAndRemovesWorkingProject();
    void sameNamedFilesReserveTheirOwnDocuments();
    void reservationByAnotherProcessIsShown_data();
    void reservationByAnotherProcessIsShown();
    void sortedListKeepsRowsInPlace_data();
    void sortedListKeepsRowsInPlace();
    void failuresLeaveRowsAndRestoreServer_data();
    void failuresLeaveRowsAndRestoreServer();
    void failureMessageListsTenAndCountsTheRest();
    void checkOutRefusedWithoutUser_data();
    void checkOutRefusedWithoutUser();
    void checkOutUserChoice_data();
    void checkOutUserChoice();
    void runDuringSearchDoesNothing();
};

void TestReserve::readingShowsFreeAndReservedDocuments()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    const QString held = f.document(QStringLiteral("held.kpt"), 12);
    const QDateTime midnight(QDate(2026, 3, 4), QTime(0, 0));
    WriteScrivoReservation(held, QStringLiteral("Bob"), midnight, 12);
    const QString free = f.document(QStringLiteral("free.kpt"));
    const QString top = WriteScrivoDocument(
        f.env.path(QStringLiteral("projects/docs/top.kam")), QStringLiteral("top"), 3,
        {QStringLiteral("held.kpt"), QStringLiteral("missing.kpt"), QStringLiteral("free.kpt")});

    f.list({top});

    QCOMPARE(f.window->ListViewFiles->Count(), 3);
    QCOMPARE(f.row(1), RunFixture::expectedRow(top, {Available, Available, Available}));
    QCOMPARE(f.row(2),
             RunFixture::expectedRow(
                 held, {QStringLiteral("Bob"), GeneralDateText(midnight), QStringLiteral("12")}));
    QCOMPARE(f.row(3), RunFixture::expectedRow(free, {Available, Available, Available}));
    for (const QString &member : {QStringLiteral("ReservedBy"), QStringLiteral("ReservedTime"),
                                  QStringLiteral("ReservedVersion")}) {
        QVERIFY(f.recorder->documentCalls.contains(QStringLiteral("held.kpt ") + member));
        QVERIFY(!f.recorder->documentCalls.contains(QStringLiteral("free.kpt ") + member));
        QVERIFY(!f.recorder->documentCalls.contains(QStringLiteral("top.kam ") + member));
    }
}

void TestReserve::checkOutInEachMultiUserMode_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("include");
    QTest::addColumn<QString>("workingProject");
    QTest::addColumn<bool>("reserved");
    QTest::addColumn<QString>("hint");

    const QByteArray include = "[Included Path File]\r\nIncluded Pathfile=..\\shared\\inc.kpj\r\n";
    QTest::newRow("Single User") << "Single User" << QByteArray() << QString("projects/" + Temp)
                                 << true << QString();
    QTest::newRow("Shared") << "Shared" << QByteArray() << "projects/A.kpj" << true << QString();
    QTest::newRow("Semi-Isolated with include")
        << "Semi-Isolated" << include << QString("shared/" + Temp) << true << QString();
    QTest::newRow("Semi-Isolated without include")
        << "Semi-Isolated" << QByteArray() << "projects/A.kpj" << false
        << "Include file missing for semi-isolated mode.";
    QTest::newRow("Semi-Isolated no checkout")
        << "Semi-Isolated no checkout" << QByteArray() << "projects/A.kpj" << false << QString();
}

void TestReserve::checkOutInEachMultiUserMode()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, include);
    QFETCH(QString, workingProject);
    QFETCH(bool, reserved);
    QFETCH(QString, hint);

    RunFixture f;
    const QString includeFile = f.env.writeFile(
        QStringLiteral("shared/inc.kpj"), "[Project Defaults]\r\nMultiUser=Semi-Isolated\r\n");
    QVERIFY(f.start(mode, include));
    const QString part = f.document(QStringLiteral("part.kpt"), 4);
    f.list({part});
    f.select({1});
    const QStringList before = f.row(1);
    const QByteArray projectBytes = FileBytes(f.project);
    const QByteArray includeBytes = FileBytes(includeFile);
    if (!hint.isEmpty())
        f.prompts.answerMessage(PromptAnswer::OK);
    if (!reserved)
        f.prompts.answerMessage(PromptAnswer::OK);

    f.window->mnuReserveSelectedFiles->trigger();

    QCOMPARE(f.recorder->activeAtOpen, QStringList{f.env.path(workingProject)});
    QStringList expectedMessages;
    if (!hint.isEmpty())
        expectedMessages.append(hint);
    if (reserved) {
        QCOMPARE(f.reservation(part)[0], Anna);
        QCOMPARE(f.reservation(part)[2], QStringLiteral("4"));
        QCOMPARE(f.row(1), RunFixture::expectedRow(part, f.reservation(part)));
        QCOMPARE(f.messages(), expectedMessages);
    } else {
        QCOMPARE(f.reservation(part)[0], Available);
        QCOMPARE(f.row(1), before);
        QCOMPARE(f.messages().size(), expectedMessages.size() + 1);
        QCOMPARE(f.messages().mid(0, expectedMessages.size()), expectedMessages);
        VerifyFailureMessage(f.messages().last(), QStringLiteral("out"),
                             {QStringLiteral("part.kpt")});
    }
    QCOMPARE(FileBytes(f.project), projectBytes);
    QCOMPARE(FileBytes(includeFile), includeBytes);
    QVERIFY(!f.temporaryProjectIn(QStringLiteral("shared")));
    f.verifyServerRestored();
    QVERIFY(f.prompts.scriptDone());
}

void TestReserve::checkInReleasesWhatTheRowShows()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    const QString held = f.document(QStringLiteral("held.kpt"));
    WriteScrivoReservation(held, QStringLiteral("Bob"), QDateTime::currentDateTime(), 1);
    const QString free = f.document(QStringLiteral("free.kpt"));
    f.list({held, free});
    f.select({1, 2});

    f.window->pupmnuUnreserve->trigger();

    // The other user's reservation is released by acting as that user; the free row is
    // attempted as "available" and stays free.
    QVERIFY(f.recorder->log.contains(QStringLiteral("SetUserName Bob")));
    QVERIFY(f.recorder->log.contains(QStringLiteral("SetUserName available")));
    QVERIFY(!QFile::exists(ScrivoReservationPath(held)));
    QCOMPARE(f.row(1), RunFixture::expectedRow(held, {Available, Available, Available}));
    QCOMPARE(f.row(2), RunFixture::expectedRow(free, {Available, Available, Available}));
    QCOMPARE(f.messages(), QStringList());
    f.verifyServerRestored();
}

void TestReserve::runWithoutSelectedRowsStillPreparesAndRemovesWorkingProject()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Single User")));
    const QString part = f.document(QStringLiteral("part.kpt"));
    f.list({part});
    f.select({});
    // The temporary project an earlier run left elsewhere.
    const QString stale = f.env.writeFile(QStringLiteral("old/") + Temp, "[Project Defaults]\r\n");
    f.window->State().WorkingProject = stale;

    f.window->mnuReserveSelectedFiles->trigger();

    const QString working = f.env.path(QStringLiteral("projects/") + Temp);
    const QString set = QStringLiteral("SetActiveProject ");
    QCOMPARE(
        f.recorder->log,
        QStringList({QStringLiteral("CloseAllDocuments"), set, set, set + f.project, set,
                     set + working, QStringLiteral("SetUserName ") + Anna, set, set + f.project}));
    QVERIFY(!QFile::exists(stale));
    QCOMPARE(f.window->State().WorkingProject, working);
    QCOMPARE(f.row(1), RunFixture::expectedRow(part, {Available, Available, Available}));
    QCOMPARE(f.prompts.pointers,
             QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
    QCOMPARE(f.messages(), QStringList());
    f.verifyServerRestored();
}

void TestReserve::sameNamedFilesReserveTheirOwnDocuments()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    const QString first = f.document(QStringLiteral("a/part.kpt"));
    const QString second = f.document(QStringLiteral("b/part.kpt"));
    f.list({first, second});

    f.select({2});
    f.window->mnuReserveSelectedFiles->trigger();
    QCOMPARE(f.reservation(first)[0], Available);
    QCOMPARE(f.reservation(second)[0], Anna);
    QCOMPARE(f.row(1), RunFixture::expectedRow(first, {Available, Available, Available}));
    QCOMPARE(f.row(2), RunFixture::expectedRow(second, f.reservation(second)));

    f.select({1});
    f.window->mnuReserveSelectedFiles->trigger();
    QCOMPARE(f.reservation(first)[0], Anna);
    f.select({2});
    f.window->mnuUnreserveSelectedFiles->trigger();
    QCOMPARE(f.reservation(first)[0], Anna);
    QCOMPARE(f.reservation(second)[0], Available);
    QCOMPARE(f.row(1), RunFixture::expectedRow(first, f.reservation(first)));
    QCOMPARE(f.row(2), RunFixture::expectedRow(second, {Available, Available, Available}));
    QCOMPARE(f.messages(), QStringList());
}

void TestReserve::reservationByAnotherProcessIsShown_data()
{
    QTest::addColumn<bool>("reserve");
    QTest::addColumn<bool>("duringRun");
    QTest::newRow("check-out, reserved after the list was read") << true << false;
    QTest::newRow("check-out, reserved just before the run reserves it") << true << true;
    QTest::newRow("check-in, reserved after the list was read") << false << false;
}

void TestReserve::reservationByAnotherProcessIsShown()
{
    QFETCH(bool, reserve);
    QFETCH(bool, duringRun);

    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    const QString part = f.document(QStringLiteral("part.kpt"));
    const QString other = f.document(QStringLiteral("other.kpt"));
    if (!reserve)
        WriteScrivoReservation(other, QStringLiteral("Carl"), QDateTime::currentDateTime(), 1);
    f.list({part, other});
    f.select({1, 2});
    const QStringList reserveAsBob{QStringLiteral("reserve"), QStringLiteral("--user"),
                                   QStringLiteral("Bob"), part};
    if (duringRun) {
        f.recorder->beforeReserve = [&](const QString &fileName) {
            if (fileName == QStringLiteral("part.kpt"))
                QCOMPARE(RunScrivo(reserveAsBob), 0);
        };
    } else {
        QCOMPARE(RunScrivo(reserveAsBob), 0);
    }
    f.prompts.answerMessage(PromptAnswer::OK);

    (reserve ? f.window->mnuReserveSelectedFiles : f.window->mnuUnreserveSelectedFiles)->trigger();

    QCOMPARE(f.reservation(part)[0], QStringLiteral("Bob"));
    QCOMPARE(f.row(1), RunFixture::expectedRow(part, f.reservation(part)));
    QCOMPARE(f.reservation(other)[0], reserve ? Anna : Available);
    QCOMPARE(f.row(2), RunFixture::expectedRow(other, f.reservation(other)));
    QCOMPARE(f.messages().size(), 1);
    VerifyFailureMessage(f.messages()[0], reserve ? QStringLiteral("out") : QStringLiteral("in"),
                         {QStringLiteral("part.kpt")});
    QVERIFY(f.messages()[0].contains(QStringLiteral("Bob")));
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
    QVERIFY(f.start(QStringLiteral("Shared")));
    QStringList paths;
    for (const char *name : {"a.kpt", "b.kpt", "c.kpt", "d.kpt"})
        paths.append(f.document(QString::fromLatin1(name)));
    WriteScrivoReservation(paths[0], QStringLiteral("Carl"), QDateTime::currentDateTime(), 1);
    WriteScrivoReservation(paths[2], QStringLiteral("Bob"), QDateTime::currentDateTime(), 1);
    f.list(paths);
    f.window->SortColumns(1);
    if (viewSorting)
        f.window->ListViewFiles->setSortingEnabled(true);
    const QStringList order = f.columnTexts(2);
    QCOMPARE(order, QStringList({"c.kpt", "a.kpt", "b.kpt", "d.kpt"}));
    f.select({3, 4});
    // "Abe" sorts before every holder, so a re-sort while writing would move the rows.
    f.window->State().CheckOutUser = QStringLiteral("Abe");
    QStringList orderDuringRun;
    f.recorder->onOpen = [&](const QString &) { orderDuringRun += f.columnTexts(2); };

    f.window->pupmnuReserve->trigger();

    QCOMPARE(orderDuringRun, order + order);
    QCOMPARE(f.reservation(paths[1])[0], QStringLiteral("Abe"));
    QCOMPARE(f.reservation(paths[3])[0], QStringLiteral("Abe"));
    if (!viewSorting) {
        QCOMPARE(f.columnTexts(2), order);
        QCOMPARE(f.columnTexts(0), QStringList({"Bob", "Carl", "Abe", "Abe"}));
    }
    QCOMPARE(f.window->ListViewFiles->isSortingEnabled(), viewSorting);
    const QHeaderView *header = f.window->ListViewFiles->header();
    QCOMPARE(header->sortIndicatorSection(), 0);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QVERIFY(header->isSortIndicatorShown());
    QVERIFY(header->sectionsClickable());
    QVERIFY(f.window->Sorted());
    QCOMPARE(f.window->SortColumn(), 0);
    QCOMPARE(f.window->SortOrder(), Qt::AscendingOrder);
    QCOMPARE(f.window->SelectedRows().size(), 2);
    for (const FileRow *row : f.window->SelectedRows())
        QCOMPARE(row->text(0), QStringLiteral("Abe"));
}

namespace {
enum class Fault {
    DeletedDocument,
    DamagedRecord,
    UnwritableRecord,
    HolderChanged,
    UnwritableTemporaryProject
};
}
Q_DECLARE_METATYPE(Fault)

void TestReserve::failuresLeaveRowsAndRestoreServer_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("reserve");
    QTest::newRow("check-out, document deleted after listing") << Fault::DeletedDocument << true;
    QTest::newRow("check-in, document deleted after listing") << Fault::DeletedDocument << false;
    QTest::newRow("check-out, damaged reservation record") << Fault::DamagedRecord << true;
    QTest::newRow("check-out, reservation cannot be written") << Fault::UnwritableRecord << true;
    QTest::newRow("check-in, another holder since listing") << Fault::HolderChanged << false;
    QTest::newRow("check-out, temporary project cannot be written")
        << Fault::UnwritableTemporaryProject << true;
}

void TestReserve::failuresLeaveRowsAndRestoreServer()
{
    QFETCH(Fault, fault);
    QFETCH(bool, reserve);

    RunFixture f;
    const bool projectFault = fault == Fault::UnwritableTemporaryProject;
    QVERIFY(f.start(projectFault ? QStringLiteral("Single User") : QStringLiteral("Shared")));
    // A record name beside this document is longer than the file system allows.
    const QString badName = fault == Fault::UnwritableRecord
                                ? QString(245, u'x') + QStringLiteral(".kpt")
                                : QStringLiteral("part.kpt");
    const QString bad = f.document(badName);
    const QString good = f.document(QStringLiteral("good.kpt"));
    if (!reserve) {
        WriteScrivoReservation(bad, QStringLiteral("Bob"), QDateTime::currentDateTime(), 1);
        WriteScrivoReservation(good, QStringLiteral("Bob"), QDateTime::currentDateTime(), 1);
    }
    f.list({bad, good});
    f.select({1, 2});
    const QStringList badBefore = f.row(1);
    const QStringList goodBefore = f.row(2);

    switch (fault) {
    case Fault::DeletedDocument:
        QVERIFY(QFile::remove(bad));
        break;
    case Fault::DamagedRecord:
        WriteDamagedScrivoReservation(bad);
        break;
    case Fault::HolderChanged:
        WriteScrivoReservation(bad, QStringLiteral("Carl"), QDateTime::currentDateTime(), 1);
        break;
    case Fault::UnwritableTemporaryProject:
        QVERIFY(QDir().mkpath(f.env.path(QStringLiteral("projects/") + Temp)));
        break;
    case Fault::UnwritableRecord:
        break;
    }
    f.prompts.answerMessage(PromptAnswer::OK);

    (reserve ? f.window->mnuReserveSelectedFiles : f.window->mnuUnreserveSelectedFiles)->trigger();

    QCOMPARE(f.row(1), badBefore);
    if (projectFault) {
        QCOMPARE(f.row(2), goodBefore);
        QVERIFY(QFileInfo(f.env.path(QStringLiteral("projects/") + Temp)).isDir());
    } else {
        QCOMPARE(f.reservation(good)[0], reserve ? Anna : Available);
        QCOMPARE(f.row(2), RunFixture::expectedRow(good, f.reservation(good)));
    }
    QCOMPARE(f.messages().size(), 1);
    VerifyFailureMessage(f.messages()[0], reserve ? QStringLiteral("out") : QStringLiteral("in"),
                         projectFault ? QStringList{badName, QStringLiteral("good.kpt")}
                                      : QStringList{badName});
    f.verifyServerRestored();
}

void TestReserve::failureMessageListsTenAndCountsTheRest()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    QStringList paths;
    for (int i = 1; i <= 12; ++i)
        paths.append(f.document(QStringLiteral("doc%1.kpt").arg(i, 2, 10, QLatin1Char('0'))));
    f.list(paths);
    f.window->SelectAll();
    for (const QString &path : paths)
        QVERIFY(QFile::remove(path));
    f.prompts.answerMessage(PromptAnswer::OK);

    f.window->ChangeReservation(true);

    QCOMPARE(f.messages().size(), 1);
    const QStringList lines = f.messages()[0].split(u'\r');
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines[0], QStringLiteral("12 document(s) could not be checked out:"));
    for (int i = 1; i <= 10; ++i)
        QVERIFY(lines[i].startsWith(QStringLiteral("doc%1.kpt: ").arg(i, 2, 10, QLatin1Char('0'))));
    QCOMPARE(lines[11], QStringLiteral("... and 2 more"));
    const ScriptedPrompts::Record &message = f.prompts.records.last();
    QCOMPARE(message.title, BrevantTitle);
    QCOMPARE(message.icon, PromptIcon::Information);
    QCOMPARE(message.buttons, PromptButtons::OK);
}

void TestReserve::checkOutRefusedWithoutUser_data()
{
    QTest::addColumn<QString>("serverUser");
    QTest::addColumn<QString>("checkOutUser");
    QTest::newRow("empty user") << Anna << "";
    QTest::newRow("'available' from the server") << "available"
                                                 << "available";
    QTest::newRow("'AVAILABLE'") << Anna << "AVAILABLE";
}

void TestReserve::checkOutRefusedWithoutUser()
{
    QFETCH(QString, serverUser);
    QFETCH(QString, checkOutUser);

    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Single User"), {}, serverUser));
    QCOMPARE(f.window->State().CheckOutUser, serverUser);
    f.window->State().CheckOutUser = checkOutUser;
    const QString part = f.document(QStringLiteral("part.kpt"));
    f.list({part});
    f.select({1});
    const QStringList before = f.row(1);
    f.prompts.answerMessage(PromptAnswer::OK);

    f.window->mnuReserveSelectedFiles->trigger();

    QCOMPARE(f.messages(), QStringList{CheckOutUserRefusal});
    QCOMPARE(f.prompts.records.last().icon, PromptIcon::Information);
    QCOMPARE(f.recorder->log, QStringList());
    QCOMPARE(f.row(1), before);
    QVERIFY(!QFile::exists(ScrivoReservationPath(part)));
    f.verifyServerRestored();
}

void TestReserve::checkOutUserChoice_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a name") << false << "Zed"
                            << "Zed" << false;
    QTest::newRow("blanks kept") << false << " available "
                                 << " available " << false;
    QTest::newRow("available") << false << "available"
                               << "Anna" << true;
    QTest::newRow("AVAILABLE") << false << "AVAILABLE"
                               << "Anna" << true;
    QTest::newRow("empty answer") << false << ""
                                  << "Anna" << false;
    QTest::newRow("cancel") << true << ""
                            << "Anna" << false;
}

void TestReserve::checkOutUserChoice()
{
    QFETCH(bool, cancel);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QFETCH(bool, refused);

    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    f.window->State().CheckOutUser = QStringLiteral("Previous");
    f.window->move(100, 60);
    f.window->resize(1002, 702);
    if (cancel)
        f.prompts.cancelInput();
    else
        f.prompts.answerInput(answer);
    if (refused)
        f.prompts.answerMessage(PromptAnswer::OK);

    f.window->mnuReserveForUser->trigger();

    const ScriptedPrompts::Record &input = f.prompts.records[f.promptsAtStart];
    QCOMPARE(input.kind, ScriptedPrompts::Kind::Input);
    QCOMPARE(input.text, QStringLiteral("Check Out files for User:"));
    QCOMPARE(input.title, BrevantTitle);
    QCOMPARE(input.defaultText, Anna);
    // A quarter of the window's size from its top-left corner, halves rounded to even.
    const QRect frame = f.window->frameGeometry();
    QCOMPARE(input.position, frame.topLeft() + QPoint(int(std::lrint(frame.width() / 4.0)),
                                                      int(std::lrint(frame.height() / 4.0))));
    QCOMPARE(f.messages(),
             refused ? QStringList{QStringLiteral(
                           "The user name 'available' is a internal name and can not be used.")}
                     : QStringList());
    QCOMPARE(f.window->State().CheckOutUser, expected);
    QCOMPARE(f.window->StatusPanelText(1), QStringLiteral("User name: ") + expected);
    QCOMPARE(f.recorder->UserName(), Anna);
}

void TestReserve::runDuringSearchDoesNothing()
{
    RunFixture f;
    QVERIFY(f.start(QStringLiteral("Shared")));
    f.document(QStringLiteral("a.kpt"));
    f.document(QStringLiteral("b.kpt"));
    // Pending events run at every folder entry, where the run below is asked for.
    f.window->SearchEventInterval = 0;
    bool sawSearch = false;
    f.prompts.answerMessage(PromptAnswer::OK);
    f.prompts.onNext([&] {
        QTimer::singleShot(0, f.window.get(), [&] {
            sawSearch = f.window->Searching();
            f.window->SelectAll();
            f.window->ChangeReservation(true);
        });
    });
    f.prompts.answerFolder(f.env.path(QStringLiteral("projects/docs")));

    f.window->mnuDocumentsSearchClick();

    QVERIFY(sawSearch);
    QVERIFY(!f.recorder->log.contains(QStringLiteral("CloseAllDocuments")));
    QCOMPARE(f.window->ListViewFiles->Count(), 2);
    QCOMPARE(f.columnTexts(0), QStringList({Available, Available}));
}

QTEST_MAIN(TestReserve)
#include "tst_reserve.moc"
