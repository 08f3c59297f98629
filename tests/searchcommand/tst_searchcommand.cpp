// The search command driven through the main window, offscreen, with the real Scrivo server
// and scripted dialogs.

#include "ScrivoDocuments.h"
#include "ShellFixture.h"

#include "platform/DirectoryListing.h"
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

// A file whose name is not UTF-8, which QTemporaryDir cannot remove.
struct RawFile
{
    explicit RawFile(QByteArray name) : path(std::move(name))
    {
        ::close(::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    }
    ~RawFile() { ::unlink(path.constData()); }
    QByteArray path;
};

void makeLink(const QString &target, const QString &path)
{
    QVERIFY2(
        ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
        qPrintable(path));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

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

    void searchListsTheTreeBreadthFirst_data()
    {
        QTest::addColumn<QString>("spelling");
        QTest::newRow("plain") << u""_s;
        QTest::newRow("blanks around") << u"  %1   "_s;
        QTest::newRow("trailing separator") << u"%1/"_s;
    }

    void searchListsTheTreeBreadthFirst()
    {
        QFETCH(QString, spelling);
        const QString start = spelling.isEmpty() ? root : spelling.arg(root);
        for (const QString &name :
             {u"b.kpt"_s, u"A.KDW"_s, u"c.Kam"_s, u"drawingkdw"_s, u" lead blank.kpt"_s,
              u"Grüße.kpt"_s, u"e.kpn"_s, u".hidden/h.kpt"_s, u"sub1/s1.kpt"_s,
              u"sub1/deep/s3.kpt"_s, u"sub2/s2.kpt"_s, u" lead/l.kpt"_s, u"trail /t.kpt"_s,
              u"x.kpt/inner.kpt"_s})
            doc(name);
        f->env.writeFile(u"tree/notes.txt"_s, "no document");
        makeLink(root, at(u"loop"_s));
        makeLink(at(u"nowhere"_s), at(u"broken"_s));
        WriteScrivoReservation(at(u"b.kpt"_s), u"alice"_s,
                               QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)), 4);
        const RawFile raw(QFile::encodeName(root) + "/d\xe9.kpt");

        QStringList progress;
        bool panelFixed = true;
        DuringSearch probe(*window, [&] {
            const QString text = window->StatusPanelText(1);
            if (progress.isEmpty() || progress.last() != text)
                progress.append(text);
            const QLabel *label = panel(*window, 1);
            panelFixed = panelFixed && label->minimumWidth() == window->width() - 10 &&
                         label->maximumWidth() == window->width() - 10;
        });
        search(start);

        const QList<ScriptedPrompts::Record> &asked = f->prompts.records;
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].text, ScopeMessage);
        QVERIFY(asked[0].title == BrevantTitle && asked[0].icon == PromptIcon::Information &&
                asked[0].buttons == PromptButtons::OK);
        QCOMPARE(asked[1].title, u"Select Directory for search Korvex Files:"_s);
        QCOMPARE(window->SearchPath, start);

        // Each folder's documents in name order, the start folder before its sub-folders,
        // names used as listed; hidden folders, presentations and other files passed over;
        // the loop back to the start is not searched again.
        const QStringList expected{
            at(u" lead blank.kpt"_s), at(u"A.KDW"_s),        at(u"Grüße.kpt"_s),
            at(u"b.kpt"_s),           at(u"c.Kam"_s),        at(u"drawingkdw"_s),
            DecodeFileName(raw.path), at(u" lead/l.kpt"_s),  at(u"sub1/s1.kpt"_s),
            at(u"sub2/s2.kpt"_s),     at(u"trail /t.kpt"_s), at(u"x.kpt/inner.kpt"_s),
            at(u"sub1/deep/s3.kpt"_s)};
        QCOMPARE(listedNames(*window), expected);
        for (int i = 1; i <= window->ListViewFiles->Count(); ++i) {
            const FileRow *row = window->ListViewFiles->Row(i);
            QCOMPARE(row->Key(), u"A"_s + QString::number(i));
            QCOMPARE(row->Record(), window->State().Files->Item(i));
            const bool held = row->text(0) != Available;
            QCOMPARE(row->checkState(0), held ? Qt::Checked : Qt::Unchecked);
            QCOMPARE(held, i == 4);
        }
        QCOMPARE(window->ListViewFiles->Row(4)->text(0), u"alice"_s);
        QVERIFY(!QFile::exists(logPath()));

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

        QCOMPARE(window->windowTitle(), u"Korvex Brevant - Unnamed"_s);
        QVERIFY(window->ListBoxDirs.isEmpty());
        QVERIFY(!window->State().StopSearch);
    }

    void failuresAreLoggedAndCountedInTheStatusBar()
    {
        doc(u"good.kpt"_s);
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        makeLink(at(u"missing"_s), at(u"gone.kpt"_s));
        doc(u"zz/vanishes.kpt"_s);
        // The queued folder disappears before its turn: it cannot be listed.
        DuringSearch probe(*window, [this] { QDir(at(u"zz"_s)).removeRecursively(); });
        search(root);

        QCOMPARE(listedNames(*window), QStringList{at(u"good.kpt"_s)});
        const QByteArray damaged =
            "File has created Error: " + QFile::encodeName(at(u"damaged.kpt"_s)) + "\r\n";
        const QByteArray gone =
            "File has created Error: " + QFile::encodeName(at(u"gone.kpt"_s)) + "\r\n";
        QCOMPARE(readAll(logPath()), damaged + gone + gone);
        const QString note = u"2 document(s) could not be read, see "_s + logPath();
        QCOMPARE(window->StatusPanelText(3), note);
        QVERIFY(panel(*window, 3)->isVisibleTo(window.get()));

        // New clears the panel; so does the next search, even of a folder that is not there.
        f->prompts.answerMessage(PromptAnswer::No);
        window->mnuNew->trigger();
        QVERIFY(!panel(*window, 3)->isVisibleTo(window.get()));
        search(root);
        QCOMPARE(window->StatusPanelText(3), note);
        f->prompts.answerMessage(PromptAnswer::No);
        search(at(u"not there"_s));
        QCOMPARE(window->ListViewFiles->Count(), 0);
        QCOMPARE(window->State().Files->Count(), 0);
        QVERIFY(!panel(*window, 3)->isVisibleTo(window.get()));
        QVERIFY(window->mnuSave->isEnabled());
    }

    void stopTakesEffectAtTheNextDocument()
    {
        for (const QString &name :
             {u"1.kpt"_s, u"2sub/a.kpt"_s, u"3sub/b.kpt"_s, u"4.kpt"_s, u"5sub/c.kpt"_s})
            doc(name);
        QStringList queued;
        {
            DuringSearch probe(*window, [&] {
                QVERIFY(window->mnuStopDocumentsSearch->isEnabled());
                window->mnuStopDocumentsSearch->trigger();
                queued = window->ListBoxDirs;
            });
            search(root);
        }

        // The sub-folders met before the next document were still queued, then taken off
        // unsearched; the document after the stop was not read.
        QCOMPARE(queued, (QStringList{root, at(u"2sub"_s), at(u"3sub"_s)}));
        QCOMPARE(listedNames(*window), QStringList{at(u"1.kpt"_s)});
        QVERIFY(window->ListBoxDirs.isEmpty());
        QVERIFY(window->State().StopSearch);
        QVERIFY(!window->mnuStopDocumentsSearch->isEnabled());
        QVERIFY(!QFile::exists(logPath()));

        // The next search starts afresh.
        f->prompts.answerMessage(PromptAnswer::No);
        f->prompts.answerMessage(PromptAnswer::OK);
        f->prompts.answerFolder(root);
        window->mnuDocumentsSearchClick();
        QCOMPARE(window->ListViewFiles->Count(), 5);
    }

    void commandsAreUnavailableDuringTheSearch_data()
    {
        QTest::addColumn<bool>("openAvailable");
        QTest::newRow("open available") << true;
        QTest::newRow("after opening documents") << false;
    }

    void commandsAreUnavailableDuringTheSearch()
    {
        QFETCH(bool, openAvailable);
        doc(u"a.kpt"_s);
        doc(u"b.kpt"_s);
        ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"old.kpt"_s, root)});
        window->SetListSaved(true);
        window->mnuOpen->setEnabled(openAvailable);
        const QList<bool> before = commandStates(*window);

        QList<bool> during;
        bool popupDeleteEnabled = true;
        DuringSearch probe(*window, [&] {
            during = commandStates(*window);
            // Whatever reaches the commands meanwhile changes nothing: shortcuts, the
            // handlers themselves, the popup.
            QTest::keyClick(window->ListViewFiles, Qt::Key_Delete);
            for (QAction *action : heldCommands(*window))
                action->trigger();
            window->mnuNewClick();
            window->mnuSaveClick();
            window->mnuSaveAsClick();
            window->mnuDocumentsSearchClick();
            emit window->ListViewFiles->RightMouseDown(window->mapToGlobal(QPoint(20, 20)));
            popupDeleteEnabled = window->pupmnuDeleteItems->isEnabled();
            window->pupmnuListView->hide();
        });
        search(root);

        QVERIFY(probe.passes > 0);
        QCOMPARE(during, QList<bool>(before.size() - 1, false) << true);
        QVERIFY(!popupDeleteEnabled);
        QCOMPARE(listedNames(*window), (QStringList{at(u"a.kpt"_s), at(u"b.kpt"_s)}));
        QVERIFY(window->ListSaved());

        // Afterwards: Save and Save As available, the drop-down not until New, the rest as
        // before the search.
        QList<bool> after = before;
        after[3] = after[4] = true;
        after[after.size() - 2] = false;
        QCOMPARE(commandStates(*window), after);
        QCOMPARE(window->mnuOpen->isEnabled(), openAvailable);
    }

    void closeRequestDuringTheSearchClosesAfterIt()
    {
        const QString startupProject = f->activeProject();
        doc(u"1.kpt"_s);
        doc(u"2.kpt"_s);
        doc(u"sub/3.kpt"_s);
        bool closedMeanwhile = true;
        DuringSearch probe(*window, [&] {
            closedMeanwhile = window->close() || !window->isVisible();
            window->mnuExit->trigger();
        });
        // The closing steps run once the search has returned: the save prompt for the
        // unsaved list of the one document read before the stop, then the unload.
        f->prompts.answerMessage(PromptAnswer::OK);
        f->prompts.answerFolder(root);
        f->prompts.onNext([&] {
            QCOMPARE(window->ListViewFiles->Count(), 1);
            QVERIFY(!window->Searching());
        });
        f->prompts.answerMessage(PromptAnswer::No);
        window->mnuDocumentsSearch->trigger();

        QVERIFY(probe.passes > 0);
        QVERIFY(!closedMeanwhile);
        QCOMPARE(f->prompts.records.last().text, SaveQuestion);
        QVERIFY(!window->isVisible());
        QVERIFY(!window->State().Files);
        QVERIFY(!window->State().DocumentServer);
        QCOMPARE(f->activeProject(), startupProject);
        QVERIFY(window->ListBoxDirs.isEmpty());
    }

    void cancelledFolderDialogChangesNothing()
    {
        doc(u"a.kpt"_s);
        ShellFixture::showRecords(*window, {ShellFixture::record(u"bob"_s, u"x.kpt"_s, root),
                                            ShellFixture::record(Available, u"y.kpt"_s, root)});
        window->SetListSaved(true);
        window->setWindowTitle(u"Korvex Brevant - /reports/list.txt"_s);
        window->mnuSave->setEnabled(true);
        window->State().StopSearch = true;
        const QList<bool> before = commandStates(*window);
        const clsFilePtr first = window->State().Files->Item(1);

        f->prompts.answerMessage(PromptAnswer::OK);
        f->prompts.answerFolder(QString());
        window->mnuDocumentsSearch->trigger();

        QCOMPARE(f->prompts.records.size(), 2);
        QCOMPARE(f->prompts.records[0].text, ScopeMessage);
        QVERIFY(!window->State().StopSearch);
        QVERIFY(window->SearchPath.isEmpty());
        QCOMPARE(listedNames(*window), (QStringList{at(u"x.kpt"_s), at(u"y.kpt"_s)}));
        QCOMPARE(window->State().Files->Item(1), first);
        QCOMPARE(window->windowTitle(), u"Korvex Brevant - /reports/list.txt"_s);
        QCOMPARE(commandStates(*window), before);
        QVERIFY(window->ListSaved());
    }

    void searchKeepsListSavedAndShowsRecordOrder_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved list") << true;
        QTest::newRow("unsaved list") << false;
    }

    void searchKeepsListSavedAndShowsRecordOrder()
    {
        QFETCH(bool, saved);
        doc(u"a.kpt"_s);
        doc(u"b.kpt"_s);
        ShellFixture::showRecords(*window, {ShellFixture::record(Available, u"z.kpt"_s, root)});
        window->SetListSaved(saved);
        window->SortColumns(3);
        window->SortColumns(3); // file names descending
        QVERIFY(window->Sorted());

        if (!saved)
            f->prompts.answerMessage(PromptAnswer::No);
        search(root);
        QCOMPARE(window->ListSaved(), saved);
        QVERIFY(!window->Sorted());
        QCOMPARE(listedNames(*window), (QStringList{at(u"a.kpt"_s), at(u"b.kpt"_s)}));

        // New asks about the searched list only when the list before was not saved.
        f->prompts.records.clear();
        if (!saved)
            f->prompts.answerMessage(PromptAnswer::No);
        window->mnuNew->trigger();
        QCOMPARE(f->prompts.records.size(), saved ? 0 : 1);
        QCOMPARE(window->ListViewFiles->Count(), 0);
        QVERIFY(window->Combo1->isEnabled());
    }

    void largeFoldersAndDeepTreesComplete()
    {
        // A folder of 50,000 entries and a tree 300 levels deep.
        const QByteArray wide = QFile::encodeName(at(u"wide"_s));
        QCOMPARE(::mkdir(wide.constData(), 0755), 0);
        for (int i = 0; i < 50000; ++i) {
            const QByteArray name =
                wide + '/' + QByteArray::number(i) + (i % 10000 == 0 ? ".kpt" : ".txt");
            QVERIFY(::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        }
        QString deep = root;
        for (int level = 0; level < 300; ++level)
            deep += u"/d"_s;
        QVERIFY(QDir().mkpath(deep));
        WriteScrivoDocument(deep + u"/bottom.kdw"_s, u"bottom"_s);

        search(root);
        QStringList expected{deep + u"/bottom.kdw"_s};
        for (int i = 0; i < 50000; i += 10000)
            expected.prepend(at(u"wide/"_s) + QString::number(i) + u".kpt"_s);
        std::sort(expected.begin(), expected.end() - 1);
        QCOMPARE(listedNames(*window), expected);
        QVERIFY(window->ListBoxDirs.isEmpty());
    }
};

QTEST_MAIN(TestSearchCommand)

#include "tst_searchcommand.moc"
