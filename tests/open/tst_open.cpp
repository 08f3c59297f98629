#include "ObservedServer.h"
#include "ScrivoDocuments.h"
#include "ShellFixture.h"

#include "model/DateText.h"
#include "model/FileProcessing.h"
#include "server/ServerError.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString SavePrompt = u"Do you want to save the display content ?"_s;
const QString KorvexFilter = u"Part File (*.kpt)|*.kpt|Assembly File (*.kam)|*.kam|"
                             "Presentation File (*.kpn)|*.kpn|Drawing File (*.kdw)|*.kdw"_s;

QStringList columnTexts(const frmMain &window, int column)
{
    QStringList texts;
    for (int row = 0; row < window.ListViewFiles->topLevelItemCount(); ++row)
        texts.append(window.ListViewFiles->topLevelItem(row)->text(column));
    return texts;
}

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

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The description the server itself gives for a document it cannot read.
QString readFailureOf(DocumentServer &server, const QString &path)
{
    try {
        server.OpenDocument(path)->IsReserved();
    } catch (const ServerError &error) {
        return error.description;
    }
    return u"<read without error>"_s;
}

} // namespace

class TestOpen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { startFolder = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(startFolder); }

    void dialogStartsInFolderFromProject_data();
    void dialogStartsInFolderFromProject();
    void cancelledDialogKeepsPreviousList();
    void chosenDocumentListedWithReferences_data();
    void chosenDocumentListedWithReferences();
    void unreadableDocumentListsRowsReadSoFar_data();
    void unreadableDocumentListsRowsReadSoFar();
    void openIsRefusedWhileSearching();

private:
    QString startFolder;
};

void TestOpen::dialogStartsInFolderFromProject_data()
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

void TestOpen::dialogStartsInFolderFromProject()
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

    const QString expected = expectedFolder.isEmpty() ? QString() : f.env.path(expectedFolder);
    const QString cwdBefore = QDir::currentPath();
    f.prompts.answerOpenFile(QString());
    window->mnuOpenClick();

    QCOMPARE(f.prompts.records.size(), 2);
    const FileDialogRequest &request = f.prompts.records.last().request;
    QCOMPARE(f.prompts.records.last().kind, ScriptedPrompts::Kind::OpenFile);
    QCOMPARE(request.initialFolder, expected);
    QCOMPARE(request.title, u"Korvex File Selection"_s);
    QCOMPARE(request.filter, KorvexFilter);
    QCOMPARE(request.selectedFilter, 2);
    QCOMPARE(request.defaultExtension, u".kam"_s);
    QCOMPARE(request.fileName, QString());
    QCOMPARE(QDir::currentPath(), entered ? QFileInfo(expected).canonicalFilePath() : cwdBefore);
}

void TestOpen::cancelledDialogKeepsPreviousList()
{
    ShellFixture f;
    auto window = f.startWithSharedProject();
    ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"a.kpt"_s, u"/p"_s),
                                        ShellFixture::record(u"anna"_s, u"b.kam"_s, u"/p"_s)});
    const QString caption = window->windowTitle();

    f.prompts.answerMessage(PromptAnswer::No);
    f.prompts.answerOpenFile(QString());
    window->mnuOpenClick();

    QCOMPARE(f.prompts.records.at(1).text, SavePrompt);
    QCOMPARE(columnTexts(*window, 2), (QStringList{u"a.kpt"_s, u"b.kam"_s}));
    QCOMPARE(window->State().Files->Count(), 2);
    QVERIFY(!window->ListSaved());
    QCOMPARE(window->windowTitle(), caption);
    QVERIFY(window->mnuOpen->isEnabled());
    QVERIFY(window->Combo1->isEnabled());
    QVERIFY(!window->mnuSave->isEnabled());
}

void TestOpen::chosenDocumentListedWithReferences_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("expected"); // relative to projects/Work

    // Depth first in reference order; the missing part is skipped and p1, referenced from
    // two levels, is listed once.
    QTest::newRow("assembly with two sub-assembly levels")
        << u"top.kam"_s
        << QStringList{u"top.kam"_s,          u"sub1/Sub1.kam"_s, u"sub1/sub2/Sub2.kam"_s,
                       u"sub1/sub2/p3.kpt"_s, u"p1.kpt"_s,        u"p2.kpt"_s};
    QTest::newRow("drawing under the assembly filter")
        << u"draw.kdw"_s << QStringList{u"draw.kdw"_s, u"p2.kpt"_s};
}

void TestOpen::chosenDocumentListedWithReferences()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, expected);

    ShellFixture f;
    auto window = f.startWithSharedProject();
    const QString work = f.env.path(u"projects/Work"_s);
    WriteScrivoDocument(work + u"/top.kam"_s, u"Top"_s, 2,
                        {u"sub1\\Sub1.kam"_s, u"Missing.kpt"_s, u"p1.kpt"_s, u"p2.kpt"_s});
    WriteScrivoDocument(work + u"/sub1/Sub1.kam"_s, u"Sub 1"_s, 1,
                        {u"sub2/Sub2.kam"_s, u"../p1.kpt"_s});
    WriteScrivoDocument(work + u"/sub1/sub2/Sub2.kam"_s, u"Sub 2"_s, 1, {u"p3.kpt"_s});
    WriteScrivoDocument(work + u"/sub1/sub2/p3.kpt"_s, u"P3"_s);
    WriteScrivoDocument(work + u"/p1.kpt"_s, u"P1"_s);
    WriteScrivoDocument(work + u"/p2.kpt"_s, u"P2"_s, 4);
    WriteScrivoDocument(work + u"/draw.kdw"_s, u"Drawing"_s, 1, {u"p2.kpt"_s});
    const QDateTime reserved(QDate(2026, 3, 4), QTime(9, 15, 30));
    WriteScrivoReservation(work + u"/p2.kpt"_s, u"anna"_s, reserved, 4);

    // An earlier list saved as a report: Open must not take over its file name.
    const QString report = f.env.path(u"earlier.txt"_s);
    ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"x.kpt"_s, u"/x"_s)});
    f.prompts.answerSaveFile(report, 2);
    window->mnuSaveAsClick();
    QVERIFY(window->ListSaved());
    const QByteArray earlierReport = readBytes(report);

    f.prompts.answerOpenFile(work + u'/' + chosen);
    window->mnuOpenClick();

    QStringList expectedPaths;
    for (const QString &relative : expected)
        expectedPaths.append(work + u'/' + relative);
    QCOMPARE(listedPaths(*window), expectedPaths);
    QCOMPARE(window->State().Files->Count(), expected.size());
    QCOMPARE(window->ListViewFiles->topLevelItem(0)->text(4),
             chosen == u"top.kam"_s ? u"Top"_s : u"Drawing"_s);
    const QTreeWidgetItem *p2 = window->ListViewFiles->topLevelItem(expected.size() - 1);
    QCOMPARE(p2->text(0), u"anna"_s);
    QCOMPARE(p2->text(1), GeneralDateText(reserved));
    QCOMPARE(p2->text(5), u"4"_s);
    QCOMPARE(p2->checkState(0), Qt::Checked);
    QCOMPARE(window->ListViewFiles->topLevelItem(0)->checkState(0), Qt::Unchecked);
    QCOMPARE(window->SearchPath, work + u'/' + chosen);

    QVERIFY(!window->ListSaved());
    QVERIFY(window->mnuSave->isEnabled());
    QVERIFY(window->mnuSaveAs->isEnabled());
    QVERIFY(!window->mnuOpen->isEnabled());
    QVERIFY(!window->Combo1->isEnabled());
    QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
    QCOMPARE(window->StatusPanelText(1), u"User name: "_s + window->State().CheckOutUser);

    // A plain Save asks for a name; the earlier report is left alone.
    f.prompts.answerSaveFile(QString());
    window->mnuSaveClick();
    QCOMPARE(f.prompts.records.last().kind, ScriptedPrompts::Kind::SaveFile);
    QCOMPARE(readBytes(report), earlierReport);

    // New returns to the start: asks about the unsaved list, then opens everything again.
    f.prompts.answerMessage(PromptAnswer::No);
    window->mnuNewClick();
    QCOMPARE(f.prompts.records.last().text, SavePrompt);
    QCOMPARE(window->ListViewFiles->topLevelItemCount(), 0);
    QVERIFY(window->mnuOpen->isEnabled());
    QVERIFY(window->Combo1->isEnabled());
    QVERIFY(!window->mnuSave->isEnabled());
    QVERIFY(!window->mnuSaveAs->isEnabled());
    QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
    QVERIFY(f.prompts.scriptDone());
}

void TestOpen::unreadableDocumentListsRowsReadSoFar_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("chosen document is a folder") << u"Box.kam"_s << u"Box.kam"_s << QStringList{};
    QTest::newRow("third reference damaged")
        << u"top.kam"_s << u"r3.kpt"_s << QStringList{u"top.kam"_s, u"r1.kpt"_s, u"r2.kpt"_s};
}

void TestOpen::unreadableDocumentListsRowsReadSoFar()
{
    QFETCH(QString, chosen);
    QFETCH(QString, failing);
    QFETCH(QStringList, listed);

    ShellFixture f;
    auto window = f.startWithSharedProject();
    const QString work = f.env.path(u"projects/Work"_s);
    QVERIFY(QDir().mkpath(work + u"/Box.kam"_s));
    for (const QString &name : {u"r1.kpt"_s, u"r2.kpt"_s, u"r3.kpt"_s, u"r4.kpt"_s})
        WriteScrivoDocument(work + u'/' + name, name);
    WriteScrivoDocument(work + u"/top.kam"_s, u"Top"_s, 1,
                        {u"r1.kpt"_s, u"r2.kpt"_s, u"r3.kpt"_s, u"r4.kpt"_s});
    WriteDamagedScrivoReservation(work + u"/r3.kpt"_s);

    f.prompts.answerOpenFile(work + u'/' + chosen);
    f.prompts.answerMessage(PromptAnswer::OK);
    window->mnuOpenClick();

    QStringList listedPathsExpected;
    for (const QString &relative : listed)
        listedPathsExpected.append(work + u'/' + relative);
    QCOMPARE(listedPaths(*window), listedPathsExpected);
    QCOMPARE(window->State().Files->Count(), listed.size());

    const ScriptedPrompts::Record &message = f.prompts.records.last();
    QCOMPARE(message.kind, ScriptedPrompts::Kind::Message);
    QCOMPARE(message.text, u"Not all documents could be read:\r"_s + work + u'/' + failing + u'\r' +
                               readFailureOf(*f.server, work + u'/' + failing));
    QCOMPARE(message.icon, PromptIcon::Information);
    QCOMPARE(message.buttons, PromptButtons::OK);
    QCOMPARE(message.title, u"Korvex Brevant"_s);

    // The Open has happened all the same: the list is fixed to the chosen document.
    QVERIFY(!window->mnuOpen->isEnabled());
    QVERIFY(!window->Combo1->isEnabled());
    QVERIFY(window->mnuSave->isEnabled());
    QVERIFY(window->mnuSaveAs->isEnabled());
    QCOMPARE(window->StatusPanelText(1), u"User name: "_s + window->State().CheckOutUser);
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
    QCOMPARE(columnTexts(window, 2), (QStringList{u"a.kpt"_s, u"b.kam"_s, u"c.kdw"_s}));
    QVERIFY(f.prompts.scriptDone());
    QCOMPARE(f.prompts.unexpected, QStringList());
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestOpen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_open.moc"
