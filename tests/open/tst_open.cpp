#include "ObservedServer.h"
#include "PromptChecks.h"
#include "ScrivoDocuments.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "model/DateText.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString SaveQuestion = MessagePrompt(u"Do you want to save the display content ?"_s,
                                           PromptIcon::None, PromptButtons::YesNo);
const QString KorvexFilter = u"Part File (*.kpt)|*.kpt|Assembly File (*.kam)|*.kam|"
                             "Presentation File (*.kpn)|*.kpn|Drawing File (*.kdw)|*.kdw"_s;

// Full paths of the listed rows (folder and file name columns).
QStringList listedPaths(const frmMain &window)
{
    QStringList paths;
    for (int row = 0; row < window.ListViewFiles->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = window.ListViewFiles->topLevelItem(row);
        paths.append(item->text(3) + u'/' + item->text(2));
    }
    return paths;
}

// Whether Save, Save As, Open and the project drop-down are enabled.
QList<bool> commandStates(const frmMain &window)
{
    return {window.mnuSave->isEnabled(), window.mnuSaveAs->isEnabled(), window.mnuOpen->isEnabled(),
            window.Combo1->isEnabled()};
}
const QList<bool> AfterOpen{true, true, false, false};
const QList<bool> BeforeOpen{false, false, true, true};

} // namespace

class TestOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startFolder = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(startFolder); }

    void cancelledDialogStartsInFolderFromProject_data();
    void cancelledDialogStartsInFolderFromProject();
    void chosenDocumentListedWithReferences_data();
    void chosenDocumentListedWithReferences();
    void openIsRefusedWhileSearching();

private:
    QString startFolder;
};

void TestOpen::cancelledDialogStartsInFolderFromProject_data()
{
    QTest::addColumn<QByteArray>("project");
    QTest::addColumn<QString>("expectedFolder"); // relative to the test folder, "" for none
    QTest::addColumn<bool>("entered");

    const QByteArray workspace = "[Workspace]\r\nWorkspace=.\\Work\r\n";
    const QByteArray workgroups = "[Workgroup Search Paths]\r\nW1=.\\W1\r\nW2=.\\W2\r\n";
    QTest::newRow("include over workspace and workgroup")
        << "[Included Path File]\r\nIncluded Pathfile=..\\Srv\\Team.kpj\r\n" + workspace +
               workgroups
        << u"Srv"_s << true;
    QTest::newRow("relative workspace over workgroup")
        << workspace + workgroups << u"projects/Work"_s << true;
    QTest::newRow("first workgroup") << workgroups << u"projects/W1"_s << true;
    QTest::newRow("nothing set") << QByteArray("[Project Defaults]\r\nMultiUser=Shared\r\n")
                                 << QString() << false;
    QTest::newRow("included folder missing")
        << "[Included Path File]\r\nIncluded Pathfile=..\\Gone\\Team.kpj\r\n" + workspace
        << u"Gone"_s << false;
}

void TestOpen::cancelledDialogStartsInFolderFromProject()
{
    QFETCH(QByteArray, project);
    QFETCH(QString, expectedFolder);
    QFETCH(bool, entered);

    ShellFixture f;
    for (const char *folder : {"Srv", "projects/Work", "projects/W1", "projects/W2"})
        QVERIFY(QDir().mkpath(f.env.path(QString::fromLatin1(folder))));
    const QString projectFile = f.env.writeFile(u"projects/P.kpj"_s, project);
    f.server->RegisterProject(projectFile);
    f.activate(projectFile);
    f.expectBackupWarning();
    auto window = f.startWindow();
    ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"a.kpt"_s, u"/p"_s),
                                        ShellFixture::record(u"anna"_s, u"b.kam"_s, u"/p"_s)});
    const QString caption = window->windowTitle();
    const QString expected = expectedFolder.isEmpty() ? QString() : f.env.path(expectedFolder);
    const QString cwdBefore = QDir::currentPath();
    f.prompts.answerMessage(PromptAnswer::No);
    f.prompts.answerOpenFile(QString());

    window->mnuOpenClick();

    QCOMPARE(ShownPrompts(f.prompts.records.mid(1)),
             QStringList({SaveQuestion, u"open dialog [Korvex File Selection] Korvex File "
                                        "Selection"_s}));
    const FileDialogRequest &request = f.prompts.records.last().request;
    QCOMPARE(request.initialFolder, expected);
    QCOMPARE(request.filter, KorvexFilter);
    QCOMPARE(request.selectedFilter, 2);
    QCOMPARE(request.defaultExtension, u".kam"_s);
    QCOMPARE(request.fileName, QString());
    QCOMPARE(QDir::currentPath(), entered ? QFileInfo(expected).canonicalFilePath() : cwdBefore);
    // The cancel changes nothing.
    QCOMPARE(ShellFixture::columnTexts(*window, 2), (QStringList{u"a.kpt"_s, u"b.kam"_s}));
    QCOMPARE(window->State().Files->Count(), 2);
    QVERIFY(!window->ListSaved());
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(commandStates(*window), BeforeOpen);
}

void TestOpen::chosenDocumentListedWithReferences_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("expected"); // relative to projects/Work, in list order
    QTest::addColumn<QString>("failing");      // the document that cannot be read

    // Depth first in reference order; the missing part is skipped and p1, referenced from
    // two levels, is listed once.
    QTest::newRow("assembly with two sub-assembly levels")
        << u"top.kam"_s
        << QStringList{u"top.kam"_s,          u"sub1/Sub1.kam"_s, u"sub1/sub2/Sub2.kam"_s,
                       u"sub1/sub2/p3.kpt"_s, u"p1.kpt"_s,        u"p2.kpt"_s}
        << QString();
    QTest::newRow("drawing under the assembly filter")
        << u"draw.kdw"_s << QStringList{u"draw.kdw"_s, u"p2.kpt"_s} << QString();
    // The rows read before the failure are listed and the Open happens all the same.
    QTest::newRow("chosen document is a folder") << u"Box.kam"_s << QStringList{} << u"Box.kam"_s;
    QTest::newRow("third reference damaged")
        << u"r.kam"_s << QStringList{u"r.kam"_s, u"r1.kpt"_s, u"r2.kpt"_s} << u"r3.kpt"_s;
    QTest::newRow("second reference a folder")
        << u"f.kam"_s << QStringList{u"f.kam"_s, u"r1.kpt"_s} << u"Box.kam"_s;
}

void TestOpen::chosenDocumentListedWithReferences()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, expected);
    QFETCH(QString, failing);

    ShellFixture f;
    auto window = f.startWithSharedProject();
    const QString work = f.env.path(u"projects/Work"_s);
    const auto at = [&work](const QString &relative) -> QString { return work + u'/' + relative; };
    WriteScrivoDocument(at(u"top.kam"_s), u"Top"_s, 2,
                        {u"sub1\\Sub1.kam"_s, u"Missing.kpt"_s, u"p1.kpt"_s, u"p2.kpt"_s});
    WriteScrivoDocument(at(u"sub1/Sub1.kam"_s), u"Sub 1"_s, 1,
                        {u"sub2/Sub2.kam"_s, u"../p1.kpt"_s});
    WriteScrivoDocument(at(u"sub1/sub2/Sub2.kam"_s), u"Sub 2"_s, 1, {u"p3.kpt"_s});
    WriteScrivoDocument(at(u"sub1/sub2/p3.kpt"_s), u"P3"_s);
    WriteScrivoDocument(at(u"p1.kpt"_s), u"P1"_s);
    WriteScrivoDocument(at(u"p2.kpt"_s), u"P2"_s, 4);
    const QDateTime reserved(QDate(2026, 3, 4), QTime(9, 15, 30));
    WriteScrivoReservation(at(u"p2.kpt"_s), u"anna"_s, reserved, 4);
    WriteScrivoDocument(at(u"draw.kdw"_s), u"Drawing"_s, 1, {u"p2.kpt"_s});
    QVERIFY(QDir().mkpath(at(u"Box.kam"_s)));
    const QStringList parts{u"r1.kpt"_s, u"r2.kpt"_s, u"r3.kpt"_s, u"r4.kpt"_s};
    for (const QString &name : parts)
        WriteScrivoDocument(at(name), name);
    WriteScrivoDocument(at(u"r.kam"_s), u"R"_s, 1, parts);
    WriteScrivoDocument(at(u"f.kam"_s), u"F"_s, 1, {u"r1.kpt"_s, u"Box.kam"_s, u"r2.kpt"_s});
    WriteDamagedScrivoReservation(at(u"r3.kpt"_s));

    // An earlier list saved as a report: Open must not take over its file name.
    const QString report = f.env.path(u"earlier.txt"_s);
    ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"x.kpt"_s, u"/x"_s)});
    f.prompts.answerSaveFile(report, 2);
    window->mnuSaveAsClick();
    QVERIFY(window->ListSaved());
    const QByteArray earlierReport = ReadBytes(report);

    f.prompts.answerOpenFile(at(chosen));
    if (!failing.isEmpty())
        f.prompts.answerMessage(PromptAnswer::OK);
    window->mnuOpenClick();

    QStringList expectedPaths;
    for (const QString &relative : expected)
        expectedPaths.append(at(relative));
    QCOMPARE(listedPaths(*window), expectedPaths);
    QCOMPARE(window->State().Files->Count(), expected.size());
    if (!failing.isEmpty()) {
        const QString reason =
            ErrorOf([&] { f.server->OpenDocument(at(failing))->IsReserved(); }).description;
        QCOMPARE(
            ShownPrompt(f.prompts.records.last()),
            MessagePrompt(u"Not all documents could be read:\r"_s + at(failing) + u'\r' + reason));
    }
    if (expected.contains(u"p2.kpt"_s)) {
        const QTreeWidgetItem *p2 = window->ListViewFiles->topLevelItem(expected.size() - 1);
        QCOMPARE((QStringList{p2->text(0), p2->text(1), p2->text(4), p2->text(5)}),
                 (QStringList{u"anna"_s, GeneralDateText(reserved), u"P2"_s, u"4"_s}));
        QCOMPARE(p2->checkState(0), Qt::Checked);
        QCOMPARE(window->ListViewFiles->topLevelItem(0)->checkState(0), Qt::Unchecked);
    }
    QCOMPARE(window->SearchPath, at(chosen));
    QVERIFY(!window->ListSaved());
    QCOMPARE(commandStates(*window), AfterOpen);
    QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
    QCOMPARE(window->StatusPanelText(1), u"User name: "_s + window->State().CheckOutUser);

    // A plain Save asks for a name; the earlier report is left alone.
    f.prompts.answerSaveFile(QString());
    window->mnuSaveClick();
    QCOMPARE(f.prompts.records.last().kind, ScriptedPrompts::Kind::SaveFile);
    QCOMPARE(ReadBytes(report), earlierReport);

    // New returns to the start: asks about an unsaved list with rows, then opens everything
    // again.
    if (!expected.isEmpty())
        f.prompts.answerMessage(PromptAnswer::No);
    const qsizetype beforeNew = f.prompts.records.size();
    window->mnuNewClick();
    QCOMPARE(ShownPrompts(f.prompts.records.mid(beforeNew)),
             expected.isEmpty() ? QStringList() : QStringList{SaveQuestion});
    QCOMPARE(window->ListViewFiles->topLevelItemCount(), 0);
    QCOMPARE(commandStates(*window), BeforeOpen);
    QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
    QVERIFY(f.prompts.scriptDone());
}

void TestOpen::openIsRefusedWhileSearching()
{
    ShellFixture f;
    f.activate(f.addProject(u"A"_s, u"Shared"_s));
    auto observed = std::make_shared<ObservedServer>(f.server);
    frmMain window(f.prompts, [observed] { return observed; });
    f.expectBackupWarning();
    QVERIFY(window.Load());
    const QString tree = f.env.path(u"tree"_s);
    for (const QString &name : {u"a.kpt"_s, u"b.kam"_s, u"sub/c.kdw"_s})
        WriteScrivoDocument(tree + u'/' + name, name);

    // The Open command comes in while the search reads its first document; the script
    // holds no open dialog, so an Open that went ahead would fail the test.
    bool ranDuringSearch = false;
    bool tried = false;
    observed->onOpenDocument = [&](const QString &) {
        if (std::exchange(tried, true))
            return;
        ranDuringSearch = window.Searching();
        window.mnuOpenClick();
    };
    f.prompts.answerMessage(PromptAnswer::OK); // the scope message
    f.prompts.answerFolder(tree);
    window.mnuDocumentsSearchClick();

    QVERIFY(ranDuringSearch);
    QCOMPARE(ShellFixture::columnTexts(window, 2),
             (QStringList{u"a.kpt"_s, u"b.kam"_s, u"c.kdw"_s}));
    QVERIFY(f.prompts.scriptDone());
    QCOMPARE(f.prompts.unexpected, QStringList());
}

QTEST_MAIN(TestOpen)

#include "tst_open.moc"
