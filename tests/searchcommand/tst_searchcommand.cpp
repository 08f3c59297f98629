// The search command driven through the main window, offscreen, with the real Scrivo server
// and scripted dialogs.

#include "PromptChecks.h"
#include "ScrivoDocuments.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "search/SearchFolder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString ScopeMessage =
    u"The search of Korvex files should be done in the scope of your active project file."_s;
const QString SaveQuestion = u"Do you want to save the display content ?"_s;

// Runs an action at every pass of event processing inside a search, that is between two
// folder entries, where the user's own commands run.
class DuringSearch
{
public:
    DuringSearch(frmMain &window, std::function<void()> action)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, &window, action] {
            if (!window.Searching())
                return;
            ++passes;
            action();
        });
        timer.start(0);
    }
    int passes = 0;

private:
    QTimer timer;
};

QLabel *panel(const frmMain &window, int number)
{
    return window.StatusBar1->findChild<QLabel *>(u"StatusBar1Panel"_s + QString::number(number));
}

// Full names of the listed rows, in row order.
QStringList listedNames(const frmMain &window)
{
    QStringList names;
    for (int i = 1; i <= window.ListViewFiles->Count(); ++i) {
        const FileRow *row = window.ListViewFiles->Row(i);
        names.append(row->text(3) + u'/' + row->text(2));
    }
    return names;
}

// Every command a search holds off, in a fixed order: Save and Save As are 3 and 4.
QList<QAction *> heldCommands(const frmMain &w)
{
    // clang-format off
    return {w.mnuNew, w.mnuOpen, w.mnuDocumentsSearch, w.mnuSave, w.mnuSaveAs, w.mnuDeleteItems,
            w.pupmnuDeleteItems, w.mnuReserveForUser, w.mnuReserveSelectedFiles,
            w.mnuUnreserveSelectedFiles, w.pupmnuReserve, w.pupmnuUnreserve};
    // clang-format on
}

// Whether each held command is enabled, then Combo1, then the stop command.
QList<bool> commandStates(const frmMain &w)
{
    QList<bool> states;
    for (const QAction *action : heldCommands(w))
        states.append(action->isEnabled());
    return states << w.Combo1->isEnabled() << w.mnuStopDocumentsSearch->isEnabled();
}

} // namespace

class TestSearchCommand : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShellFixture> f;
    std::unique_ptr<frmMain> window;
    QString root;

    QString at(const QString &relative) const { return root + u'/' + relative; }
    QString doc(const QString &relative)
    {
        return WriteScrivoDocument(at(relative), relative.section(u'/', -1));
    }
    QString logPath() const { return f->env.stateHome() + u"/korvex-brevant/Error.log"_s; }

    // The search command with the scope message answered and folder chosen in the browser.
    void search(const QString &folder)
    {
        f->prompts.answerMessage(PromptAnswer::OK);
        f->prompts.answerFolder(folder);
        window->mnuDocumentsSearch->trigger();
    }

private slots:
    void init()
    {
        f = std::make_unique<ShellFixture>();
        window = f->startWithSharedProject();
        QVERIFY(window);
        // Events run before every further folder entry, where the probes below act.
        window->SearchEventInterval = 0;
        window->show();
        f->prompts.records.clear();
        root = f->env.path(u"tree"_s);
        QVERIFY(QDir().mkpath(root));
    }

    void cleanup()
    {
        QVERIFY(f->prompts.scriptDone());
        window.reset();
        f.reset();
    }

    void searchListsTheTreeAndHoldsCommandsMeanwhile_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("openAvailable");
        QTest::newRow("plain, saved list") << u"%1"_s << true << true;
        QTest::newRow("blanks around, unsaved list, open unavailable")
            << u"  %1   "_s << false << false;
        QTest::newRow("trailing separator, saved list") << u"%1/"_s << true << true;
    }

    void searchListsTheTreeAndHoldsCommandsMeanwhile()
    {
        QFETCH(QString, spelling);
        QFETCH(bool, saved);
        QFETCH(bool, openAvailable);
        const QString start = spelling.arg(root);
        // Which names are documents, and in what order, is the walker's own test; here the
        // window shows a breadth-first walk over two levels with a reserved document.
        for (const QString &name :
             {u"b.kpt"_s, u"a.kpt"_s, u"sub1/s1.kpt"_s, u"sub1/deep/s3.kpt"_s, u"sub2/s2.kpt"_s})
            doc(name);
        WriteScrivoReservation(at(u"b.kpt"_s), u"alice"_s,
                               QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), 4);
        ShellFixture::showRecords(*window, {ShellFixture::record(u"bob"_s, u"x.kpt"_s, root),
                                            ShellFixture::record(Available, u"y.kpt"_s, root)});
        window->SetListSaved(saved);
        window->setWindowTitle(u"Korvex Brevant - /reports/list.txt"_s);
        window->SortColumns(3);
        window->SortColumns(3); // file names descending
        window->mnuOpen->setEnabled(openAvailable);
        window->State().StopSearch = true;
        const QList<bool> before = commandStates(*window);
        const clsFilePtr first = window->State().Files->Item(1);

        // A cancelled folder dialog changes nothing but the stop flag.
        if (!saved)
            f->prompts.answerMessage(PromptAnswer::No);
        f->prompts.answerMessage(PromptAnswer::OK);
        f->prompts.answerFolder(QString());
        window->mnuDocumentsSearch->trigger();
        QCOMPARE(f->prompts.records.size(), saved ? 2 : 3);
        QCOMPARE(ShownPrompt(f->prompts.records.at(saved ? 0 : 1)), MessagePrompt(ScopeMessage));
        QCOMPARE(f->prompts.records.last().title, u"Select Directory for search Korvex Files:"_s);
        QVERIFY(!window->State().StopSearch);
        QVERIFY(window->SearchPath.isEmpty());
        QCOMPARE(listedNames(*window), (QStringList{at(u"y.kpt"_s), at(u"x.kpt"_s)}));
        QVERIFY(window->Sorted());
        QCOMPARE(window->State().Files->Item(1), first);
        QCOMPARE(window->windowTitle(), u"Korvex Brevant - /reports/list.txt"_s);
        QCOMPARE(commandStates(*window), before);
        QCOMPARE(window->ListSaved(), saved);

        QStringList progress;
        bool panelFixed = true;
        QList<bool> during;
        DuringSearch probe(*window, [&] {
            const QString text = window->StatusPanelText(1);
            if (progress.isEmpty() || progress.last() != text)
                progress.append(text);
            const QLabel *label = panel(*window, 1);
            // The inner width less 10 twips, two thirds of a pixel.
            const int width = window->width() - 1;
            panelFixed =
                panelFixed && label->minimumWidth() == width && label->maximumWidth() == width;
            during = commandStates(*window);
            // The handlers refuse meanwhile, also when called directly: any prompt or
            // change of the list would fail the test.
            window->mnuNewClick();
            window->mnuSaveClick();
            window->mnuSaveAsClick();
            window->mnuDocumentsSearchClick();
            window->mnuReserveForUserClick();
        });
        if (!saved)
            f->prompts.answerMessage(PromptAnswer::No);
        search(start);
        QCOMPARE(window->SearchPath, start);

        // The rows in record order, the sort undone; they are the window's own rows (their
        // texts and keys are the list's tests).
        QCOMPARE(listedNames(*window),
                 (QStringList{at(u"a.kpt"_s), at(u"b.kpt"_s), at(u"sub1/s1.kpt"_s),
                              at(u"sub2/s2.kpt"_s), at(u"sub1/deep/s3.kpt"_s)}));
        QVERIFY(!window->Sorted());
        QCOMPARE(window->ListViewFiles->Row(5)->Record(), window->State().Files->Item(5));
        QCOMPARE(window->ListViewFiles->Row(2)->text(0), u"alice"_s);
        QCOMPARE(window->ListViewFiles->Row(2)->checkState(0), Qt::Checked);
        QVERIFY(!QFile::exists(logPath()));
        QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
        QVERIFY(window->ListBoxDirs.isEmpty());
        QVERIFY(!window->State().StopSearch);

        // Progress in panel 1, which keeps a fixed width meanwhile and is sized to its text
        // again afterwards.
        QVERIFY(probe.passes > 0);
        QVERIFY(panelFixed);
        QCOMPARE(progress.first(), u"Searching . . . "_s + TrimBlanks(start));
        QVERIFY(progress.contains(u"Searching . . . "_s + at(u"sub1"_s)));
        QCOMPARE(window->StatusPanelText(1), u"User name: "_s + window->State().CheckOutUser);
        QCOMPARE(panel(*window, 1)->minimumWidth(), 0);
        QCOMPARE(panel(*window, 1)->maximumWidth(), QWIDGETSIZE_MAX);
        QVERIFY(!panel(*window, 3)->isVisibleTo(window.get()));

        // Meanwhile every held command unavailable, the stop command available; afterwards
        // Save and Save As available, the drop-down not until New, the rest as before, and
        // ListSaved as it was before the search.
        QCOMPARE(during, QList<bool>(before.size() - 1, false) << true);
        QList<bool> after = before;
        after[3] = after[4] = true;
        after[after.size() - 2] = false;
        QCOMPARE(commandStates(*window), after);
        QCOMPARE(window->mnuOpen->isEnabled(), openAvailable);
        QCOMPARE(window->ListSaved(), saved);

        // New asks about the searched list only when the list before was not saved.
        f->prompts.records.clear();
        if (!saved)
            f->prompts.answerMessage(PromptAnswer::No);
        window->mnuNew->trigger();
        QCOMPARE(f->prompts.records.size(), saved ? 0 : 1);
        QCOMPARE(window->ListViewFiles->Count(), 0);
        QVERIFY(window->Combo1->isEnabled());
    }

    void badInputCompletesAndFailuresAreCountedInTheStatusBar()
    {
        // Documents the server cannot open or read, a queued folder that disappears before
        // its turn, a folder of 50,000 entries and a tree 300 levels deep.
        QStringList expected{doc(u"good.kpt"_s)};
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        MakeLink(at(u"missing"_s), at(u"gone.kpt"_s));
        doc(u"zz/vanishes.kpt"_s);
        const QByteArray wide = QFile::encodeName(at(u"wide"_s));
        QCOMPARE(::mkdir(wide.constData(), 0755), 0);
        for (int i = 0; i < 50000; ++i) {
            const QByteArray name =
                wide + '/' + QByteArray::number(i) + (i % 10000 == 0 ? ".kpt" : ".txt");
            QVERIFY(::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        }
        for (int i = 0; i < 50000; i += 10000)
            expected.append(at(u"wide/"_s) + QString::number(i) + u".kpt"_s);
        QString deep = root;
        for (int level = 0; level < 300; ++level)
            deep += u"/d"_s;
        QVERIFY(QDir().mkpath(deep));
        expected.append(WriteScrivoDocument(deep + u"/bottom.kdw"_s, u"bottom"_s));
        DuringSearch probe(*window, [this] { QDir(at(u"zz"_s)).removeRecursively(); });
        search(root);

        QCOMPARE(listedNames(*window), expected);
        QVERIFY(window->ListBoxDirs.isEmpty());
        const QByteArray damaged =
            "File has created Error: " + QFile::encodeName(at(u"damaged.kpt"_s)) + "\r\n";
        const QByteArray gone =
            "File has created Error: " + QFile::encodeName(at(u"gone.kpt"_s)) + "\r\n";
        QCOMPARE(ReadBytes(logPath()), damaged + gone + gone);
        QCOMPARE(window->StatusPanelText(3),
                 u"2 document(s) could not be read, see "_s + logPath());
        QVERIFY(panel(*window, 3)->isVisibleTo(window.get()));

        // The next search clears the panel, even of a folder that is not there.
        f->prompts.answerMessage(PromptAnswer::No);
        search(at(u"not there"_s));
        QCOMPARE(window->ListViewFiles->Count(), 0);
        QCOMPARE(window->State().Files->Count(), 0);
        QVERIFY(!panel(*window, 3)->isVisibleTo(window.get()));
        QVERIFY(window->mnuSave->isEnabled());

        // A log that cannot be written is told instead of pointing at lines it does not hold.
        const QString stateFile = f->env.writeFile(u"state-file"_s, "a file, not a folder");
        qputenv("XDG_STATE_HOME", QFile::encodeName(stateFile));
        search(root);
        QVERIFY2(window->StatusPanelText(3).startsWith(
                     u"2 document(s) could not be read; the error log could not be written: "_s +
                     stateFile + u"/korvex-brevant/Error.log: "_s),
                 qPrintable(window->StatusPanelText(3)));
    }

    void stopOrCloseTakesEffectAtTheNextDocument_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("stop command") << false;
        QTest::newRow("close request") << true;
    }

    void stopOrCloseTakesEffectAtTheNextDocument()
    {
        QFETCH(bool, close);
        const QString startupProject = f->activeProject();
        for (const QString &name :
             {u"1.kpt"_s, u"2sub/a.kpt"_s, u"3sub/b.kpt"_s, u"4.kpt"_s, u"5sub/c.kpt"_s})
            doc(name);
        QStringList queued;
        bool closedMeanwhile = false;
        DuringSearch probe(*window, [&] {
            QVERIFY(window->mnuStopDocumentsSearch->isEnabled());
            queued = window->ListBoxDirs;
            if (!close) {
                window->mnuStopDocumentsSearch->trigger();
                return;
            }
            closedMeanwhile = closedMeanwhile || window->close() || !window->isVisible();
            window->mnuExit->trigger();
        });
        if (close) {
            // The closing steps run once the search has returned: the save prompt for the
            // unsaved list of the one document read before the stop, then the unload.
            f->prompts.answerMessage(PromptAnswer::OK);
            f->prompts.answerFolder(root);
            f->prompts.onNext([&] {
                QCOMPARE(listedNames(*window), QStringList{at(u"1.kpt"_s)});
                QVERIFY(!window->Searching());
            });
            f->prompts.answerMessage(PromptAnswer::No);
            window->mnuDocumentsSearch->trigger();
        } else {
            search(root);
        }

        // The sub-folders met before the next document were still queued, then taken off
        // unsearched; the document after the stop was not read.
        QVERIFY(probe.passes > 0);
        QCOMPARE(queued, (QStringList{root, at(u"2sub"_s), at(u"3sub"_s)}));
        QVERIFY(window->ListBoxDirs.isEmpty());
        QVERIFY(!QFile::exists(logPath()));
        if (!close) {
            QCOMPARE(listedNames(*window), QStringList{at(u"1.kpt"_s)});
            QVERIFY(window->State().StopSearch);
            QVERIFY(!window->mnuStopDocumentsSearch->isEnabled());
            return;
        }
        QVERIFY(!closedMeanwhile);
        QCOMPARE(f->prompts.records.last().text, SaveQuestion);
        QVERIFY(!window->isVisible());
        QVERIFY(!window->State().Files);
        QVERIFY(!window->State().DocumentServer);
        QCOMPARE(f->activeProject(), startupProject);
    }
};

QTEST_MAIN(TestSearchCommand)

#include "tst_searchcommand.moc"
