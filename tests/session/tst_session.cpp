#include "PromptChecks.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString SaveQuestion = MessagePrompt(u"Do you want to save the display content ?"_s,
                                           PromptIcon::None, PromptButtons::YesNo);
const QString Unnamed = u"Korvex Brevant - Unnamed"_s;
const QByteArray Report = "available|available|a.kpt|/p|a|available\r\n"
                          "anna|01.02.2026 10:00:00|b.kam|/p|b|3\r\n";
constexpr int TextFilter = 2;

// The state of the list when a command asks about it.
enum class ListState { Empty, Unsaved, Saved, SavedThenDeleted, SavedThenSaveAsCancelled };
// The reply to the save question, and how the save that follows a Yes ends.
// Dismissed: Escape or the box's close button.
enum class Reply { NotAsked, No, YesSaved, YesCancelled, YesFailed, Dismissed };

// A started window, a list in a given state and a place for reports.
struct Session
{
    Session() : window(f.startWithSharedProject()) { window->show(); }

    QString reportPath() const { return f.env.path(u"report.txt"_s); }

    void prepare(ListState state)
    {
        if (state == ListState::Empty)
            return;
        ShellFixture::showRecords(*window,
                                  {ShellFixture::record(Available, u"a.kpt"_s, u"/p"_s),
                                   ShellFixture::record(u"anna"_s, u"b.kam"_s, u"/p"_s, u"3"_s)});
        if (state == ListState::Unsaved)
            return;
        f.prompts.answerSaveFile(reportPath(), TextFilter);
        window->mnuSaveAsClick();
        QVERIFY(window->ListSaved());
        QCOMPARE(window->windowTitle(), u"Korvex Brevant - "_s + reportPath());
        if (state == ListState::SavedThenDeleted) {
            window->ListViewFiles->topLevelItem(0)->setSelected(true);
            window->mnuDeleteItems->setEnabled(true);
            window->mnuDeleteItems->trigger();
            QCOMPARE(window->ListViewFiles->topLevelItemCount(), 1);
        } else if (state == ListState::SavedThenSaveAsCancelled) {
            // Save As cancelled after a save: the list counts as unsaved, the caption stays.
            f.prompts.answerSaveFile(QString());
            window->mnuSaveAsClick();
            QVERIFY(!window->ListSaved());
            QCOMPARE(window->windowTitle(), u"Korvex Brevant - "_s + reportPath());
        }
    }

    // Script entries for the reply and the save that follows a Yes.
    void answer(Reply reply)
    {
        if (reply == Reply::Dismissed)
            f.prompts.answerMessage(PromptAnswer::Cancel);
        else if (reply != Reply::NotAsked)
            f.prompts.answerMessage(reply == Reply::No ? PromptAnswer::No : PromptAnswer::Yes);
        if (reply == Reply::YesSaved)
            f.prompts.answerSaveFile(reportPath(), TextFilter);
        if (reply == Reply::YesCancelled)
            f.prompts.answerSaveFile(QString());
        if (reply == Reply::YesFailed) {
            // The target's folder is a regular file: no report can be written there.
            f.prompts.answerSaveFile(f.env.writeFile(u"blocker"_s, "x") + u"/r.txt"_s, TextFilter);
            f.prompts.answerMessage(PromptAnswer::OK);
        }
    }

    // The first prompt since `from` is the save question, or there is none when not asked;
    // a failed save ends with its message.
    void verifyQuestion(qsizetype from, Reply reply)
    {
        QCOMPARE(ShownPrompts(f.prompts.records.mid(from)).value(0),
                 reply == Reply::NotAsked ? QString() : SaveQuestion);
        if (reply == Reply::YesFailed)
            QVERIFY(
                f.prompts.records.last().text.startsWith(u"The report could not be saved:\r"_s));
        QVERIFY(f.prompts.scriptDone());
    }

    ShellFixture f;
    std::unique_ptr<frmMain> window;
};

} // namespace

Q_DECLARE_METATYPE(ListState)
Q_DECLARE_METATYPE(Reply)

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void newAndClosingFollowTheSaveQuestion_data();
    void newAndClosingFollowTheSaveQuestion();
    void endingDesktopSessionClosesAfterAnUnsavedYes();
    void infoShowsVersionAndBuild();
};

void TestSession::newAndClosingFollowTheSaveQuestion_data()
{
    QTest::addColumn<bool>("closing"); // the window is closed, else New
    QTest::addColumn<ListState>("state");
    QTest::addColumn<Reply>("reply");
    for (const bool closing : {false, true}) {
        const auto row = [closing](const char *name, ListState state, Reply reply) {
            QTest::addRow("%s, %s", closing ? "close" : "New", name) << closing << state << reply;
        };
        row("empty list", ListState::Empty, Reply::NotAsked);
        row("just saved", ListState::Saved, Reply::NotAsked);
        row("rows deleted after save, No", ListState::SavedThenDeleted, Reply::No);
        row("Save As cancelled after save, No", ListState::SavedThenSaveAsCancelled, Reply::No);
        row("unsaved, No", ListState::Unsaved, Reply::No);
        row("unsaved, Yes, saved", ListState::Unsaved, Reply::YesSaved);
        row("unsaved, Yes, cancelled", ListState::Unsaved, Reply::YesCancelled);
        row("unsaved, Yes, failed", ListState::Unsaved, Reply::YesFailed);
        row("unsaved, dismissed", ListState::Unsaved, Reply::Dismissed);
    }
}

void TestSession::newAndClosingFollowTheSaveQuestion()
{
    QFETCH(bool, closing);
    QFETCH(ListState, state);
    QFETCH(Reply, reply);
    Session s;
    s.prepare(state);
    s.window->mnuSave->setEnabled(true);
    s.window->mnuOpen->setEnabled(false);
    s.window->Combo1->setEnabled(false);
    s.window->SetStatusNote(u"2 document(s) could not be read"_s);
    const qsizetype before = s.f.prompts.records.size();
    s.answer(reply);

    closing ? s.window->mnuExit->trigger() : s.window->mnuNewClick();

    s.verifyQuestion(before, reply);
    if (reply == Reply::YesCancelled || reply == Reply::YesFailed || reply == Reply::Dismissed) {
        // The user wanted the list saved, or did not say to lose it: window, rows and
        // records stay, still unsaved.
        QVERIFY(s.window->isVisible());
        QCOMPARE(ShellFixture::columnTexts(*s.window, 2), (QStringList{u"a.kpt"_s, u"b.kam"_s}));
        QCOMPARE(s.window->State().Files->Count(), 2);
        QVERIFY(s.window->State().DocumentServer);
        QCOMPARE(s.window->windowTitle(), Unnamed);
        QVERIFY(!s.window->ListSaved());
        QVERIFY(s.window->mnuSave->isEnabled());
        QVERIFY(!QFile::exists(s.reportPath()));
        // A second request answered No goes ahead as usual.
        s.f.prompts.answerMessage(PromptAnswer::No);
        if (closing)
            QVERIFY(s.window->close());
        else
            s.window->mnuNewClick();
        QVERIFY(s.f.prompts.scriptDone());
    }
    if (reply == Reply::YesSaved)
        QCOMPARE(ReadBytes(s.reportPath()), Report);
    if (closing) {
        // The window is gone, the records are emptied and released, and the server let go.
        QVERIFY(!s.window->isVisible());
        QVERIFY(!s.window->State().Files);
        QVERIFY(!s.window->State().DocumentServer);
        return;
    }
    QCOMPARE(ShellFixture::columnTexts(*s.window, 2), QStringList());
    QCOMPARE(s.window->State().Files->Count(), 0);
    QVERIFY(!s.window->ListSaved());
    QCOMPARE(s.window->windowTitle(), Unnamed);
    // Save, Save As, the stop of a search, Open, the project drop-down.
    QCOMPARE((QList<bool>{s.window->mnuSave->isEnabled(), s.window->mnuSaveAs->isEnabled(),
                          s.window->mnuStopDocumentsSearch->isEnabled(),
                          s.window->mnuOpen->isEnabled(), s.window->Combo1->isEnabled()}),
             (QList<bool>{false, false, false, true, true}));
    QCOMPARE(s.window->StatusPanelText(3), QString());
}

void TestSession::endingDesktopSessionClosesAfterAnUnsavedYes()
{
    Session s;
    s.prepare(ListState::Unsaved);
    const qsizetype before = s.f.prompts.records.size();
    s.answer(Reply::YesCancelled);

    s.window->EndSession();

    s.verifyQuestion(before, Reply::YesCancelled);
    // The window goes through its unload steps; the records the user wanted saved are kept.
    QVERIFY(!s.window->isVisible());
    QVERIFY(!s.window->State().DocumentServer);
    QVERIFY(s.window->State().Files);
    QCOMPARE(s.window->State().Files->Count(), 2);
}

void TestSession::infoShowsVersionAndBuild()
{
    Session s;
    s.f.prompts.answerMessage(PromptAnswer::OK);
    s.window->mnuInfo->trigger();
    QCOMPARE(ShownPrompt(s.f.prompts.records.last()),
             MessagePrompt(u"Korvex Brevant Version 1.03\rBuild: 9.00.096e"_s));
}

QTEST_MAIN(TestSession)

#include "tst_session.moc"
