#include "ShellFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString SavePrompt = u"Do you want to save the display content ?"_s;
const QString Unnamed = u"Korvex Brevant - Unnamed"_s;
constexpr int TextFilter = 2;

// The state of the list when a command asks about it.
enum class ListState { Empty, Unsaved, Saved, SavedThenDeleted };
// How the save that follows a Yes ends.
enum class SaveEnd { Cancelled, Failed, Written };

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int savePromptCount(const ScriptedPrompts &prompts)
{
    int count = 0;
    for (const ScriptedPrompts::Record &record : prompts.records)
        if (record.kind == ScriptedPrompts::Kind::Message && record.text == SavePrompt)
            ++count;
    return count;
}

// A Session: the fixture, a started window and a folder for reports.
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
        if (state == ListState::SavedThenDeleted) {
            window->ListViewFiles->topLevelItem(0)->setSelected(true);
            window->mnuDeleteItems->setEnabled(true);
            window->mnuDeleteItems->trigger();
            QCOMPARE(window->ListViewFiles->topLevelItemCount(), 1);
        }
    }

    // Script entries for a Yes to the save prompt and the save that follows.
    void answerYesAndSave(SaveEnd end)
    {
        f.prompts.answerMessage(PromptAnswer::Yes);
        switch (end) {
        case SaveEnd::Cancelled:
            f.prompts.answerSaveFile(QString());
            break;
        case SaveEnd::Failed:
            // The target's folder is a regular file: no report can be written there.
            f.prompts.answerSaveFile(f.env.writeFile(u"blocker"_s, "x") + u"/r.txt"_s, TextFilter);
            f.prompts.answerMessage(PromptAnswer::OK);
            break;
        case SaveEnd::Written:
            f.prompts.answerSaveFile(reportPath(), TextFilter);
            break;
        }
    }

    QStringList fileNames() const
    {
        QStringList names;
        for (int row = 0; row < window->ListViewFiles->topLevelItemCount(); ++row)
            names.append(window->ListViewFiles->topLevelItem(row)->text(2));
        return names;
    }

    ShellFixture f;
    std::unique_ptr<frmMain> window;
};

} // namespace

Q_DECLARE_METATYPE(ListState)
Q_DECLARE_METATYPE(SaveEnd)

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void newAsksOnlyAboutAnUnsavedList_data();
    void newAsksOnlyAboutAnUnsavedList();
    void newAfterYesClearsOnlyWhenSaved_data();
    void newAfterYesClearsOnlyWhenSaved();
    void cancelledSaveAsAfterSaveMakesNewAskAgain();
    void closingFollowsTheSavePrompt_data();
    void closingFollowsTheSavePrompt();
    void infoShowsVersionAndBuild();
};

void TestSession::newAsksOnlyAboutAnUnsavedList_data()
{
    QTest::addColumn<ListState>("state");
    QTest::addColumn<bool>("asks");
    QTest::newRow("empty list") << ListState::Empty << false;
    QTest::newRow("just saved") << ListState::Saved << false;
    QTest::newRow("rows deleted after save") << ListState::SavedThenDeleted << true;
    QTest::newRow("never saved") << ListState::Unsaved << true;
}

void TestSession::newAsksOnlyAboutAnUnsavedList()
{
    QFETCH(ListState, state);
    QFETCH(bool, asks);
    Session s;
    s.prepare(state);
    s.window->mnuSave->setEnabled(true);
    s.window->mnuOpen->setEnabled(false);
    s.window->Combo1->setEnabled(false);
    s.window->SetStatusNote(u"2 document(s) could not be read"_s);
    const qsizetype before = s.f.prompts.records.size();

    if (asks)
        s.f.prompts.answerMessage(PromptAnswer::No);
    s.window->mnuNewClick();

    QCOMPARE(s.f.prompts.records.size() - before, asks ? 1 : 0);
    if (asks) {
        const ScriptedPrompts::Record &prompt = s.f.prompts.records.last();
        QCOMPARE(prompt.text, SavePrompt);
        QCOMPARE(prompt.buttons, PromptButtons::YesNo);
        QCOMPARE(prompt.icon, PromptIcon::None);
        QCOMPARE(prompt.title, u"Korvex Brevant"_s);
    }
    QCOMPARE(s.window->ListViewFiles->topLevelItemCount(), 0);
    QCOMPARE(s.window->State().Files->Count(), 0);
    QVERIFY(!s.window->ListSaved());
    QCOMPARE(s.window->windowTitle(), Unnamed);
    QVERIFY(!s.window->mnuSave->isEnabled());
    QVERIFY(!s.window->mnuSaveAs->isEnabled());
    QVERIFY(!s.window->mnuStopDocumentsSearch->isEnabled());
    QVERIFY(s.window->mnuOpen->isEnabled());
    QVERIFY(s.window->Combo1->isEnabled());
    QCOMPARE(s.window->StatusPanelText(3), QString());
    QVERIFY(s.f.prompts.scriptDone());
}

void TestSession::newAfterYesClearsOnlyWhenSaved_data()
{
    QTest::addColumn<SaveEnd>("end");
    QTest::newRow("save dialog cancelled") << SaveEnd::Cancelled;
    QTest::newRow("save failed") << SaveEnd::Failed;
    QTest::newRow("saved") << SaveEnd::Written;
}

void TestSession::newAfterYesClearsOnlyWhenSaved()
{
    QFETCH(SaveEnd, end);
    Session s;
    s.prepare(ListState::Unsaved);
    s.window->mnuSave->setEnabled(true);

    s.answerYesAndSave(end);
    s.window->mnuNewClick();
    QVERIFY(s.f.prompts.scriptDone());

    if (end == SaveEnd::Written) {
        QCOMPARE(s.fileNames(), QStringList());
        QCOMPARE(s.window->windowTitle(), Unnamed);
        QCOMPARE(readBytes(s.reportPath()), QByteArray("available|available|a.kpt|/p|a|available"
                                                       "\r\nanna|01.02.2026 10:00:00|b.kam|/p|b|"
                                                       "3\r\n"));
        return;
    }
    if (end == SaveEnd::Failed)
        QVERIFY(s.f.prompts.records.last().text.startsWith(u"The report could not be saved:\r"_s));
    QCOMPARE(s.fileNames(), (QStringList{u"a.kpt"_s, u"b.kam"_s}));
    QCOMPARE(s.window->State().Files->Count(), 2);
    QCOMPARE(s.window->windowTitle(), Unnamed);
    QVERIFY(!s.window->ListSaved());
    QVERIFY(s.window->mnuSave->isEnabled());
    QVERIFY(!QFile::exists(s.reportPath()));

    // Still unsaved: the next New asks again.
    s.f.prompts.answerMessage(PromptAnswer::No);
    s.window->mnuNewClick();
    QCOMPARE(s.fileNames(), QStringList());
}

void TestSession::cancelledSaveAsAfterSaveMakesNewAskAgain()
{
    Session s;
    s.prepare(ListState::Saved);
    const QString caption = s.window->windowTitle();
    QCOMPARE(caption, u"Korvex Brevant - "_s + s.reportPath());

    s.f.prompts.answerSaveFile(QString());
    s.window->mnuSaveAsClick();
    QVERIFY(!s.window->ListSaved());
    QCOMPARE(s.window->windowTitle(), caption);

    s.f.prompts.answerMessage(PromptAnswer::No);
    s.window->mnuNewClick();
    QCOMPARE(savePromptCount(s.f.prompts), 1);
    QVERIFY(s.f.prompts.scriptDone());
}

void TestSession::closingFollowsTheSavePrompt_data()
{
    QTest::addColumn<ListState>("state");
    QTest::addColumn<int>("answer"); // -1: not asked; else 0 No, 1+SaveEnd: Yes and that end
    QTest::addColumn<bool>("closes");

    QTest::newRow("empty list") << ListState::Empty << -1 << true;
    QTest::newRow("just saved") << ListState::Saved << -1 << true;
    QTest::newRow("rows deleted after save, No") << ListState::SavedThenDeleted << 0 << true;
    QTest::newRow("unsaved, No") << ListState::Unsaved << 0 << true;
    QTest::newRow("unsaved, Yes, saved") << ListState::Unsaved << 1 + int(SaveEnd::Written) << true;
    QTest::newRow("unsaved, Yes, cancelled")
        << ListState::Unsaved << 1 + int(SaveEnd::Cancelled) << false;
    QTest::newRow("unsaved, Yes, failed")
        << ListState::Unsaved << 1 + int(SaveEnd::Failed) << false;
}

void TestSession::closingFollowsTheSavePrompt()
{
    QFETCH(ListState, state);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    Session s;
    s.prepare(state);
    const int rows = s.window->ListViewFiles->topLevelItemCount();
    const int promptsBefore = savePromptCount(s.f.prompts);

    if (answer == 0)
        s.f.prompts.answerMessage(PromptAnswer::No);
    else if (answer > 0)
        s.answerYesAndSave(SaveEnd(answer - 1));
    s.window->mnuExit->trigger();

    QVERIFY(s.f.prompts.scriptDone());
    QCOMPARE(savePromptCount(s.f.prompts) - promptsBefore, answer < 0 ? 0 : 1);
    QCOMPARE(s.window->isVisible(), !closes);
    if (closes) {
        // The records are emptied and released, and the server let go.
        QVERIFY(!s.window->State().Files);
        QVERIFY(!s.window->State().DocumentServer);
        return;
    }
    // The user wanted the list saved: window, rows and records stay.
    QCOMPARE(s.window->ListViewFiles->topLevelItemCount(), rows);
    QCOMPARE(s.window->State().Files->Count(), rows);
    QVERIFY(s.window->State().DocumentServer);

    // A second request answered No closes as usual.
    s.f.prompts.answerMessage(PromptAnswer::No);
    QVERIFY(s.window->close());
    QVERIFY(!s.window->State().Files);
}

void TestSession::infoShowsVersionAndBuild()
{
    Session s;
    s.f.prompts.answerMessage(PromptAnswer::OK);
    s.window->mnuInfo->trigger();
    const ScriptedPrompts::Record &info = s.f.prompts.records.last();
    QCOMPARE(info.text, u"Korvex Brevant Version 1.03\rBuild: 9.00.096e"_s);
    QCOMPARE(info.icon, PromptIcon::Information);
    QCOMPARE(info.buttons, PromptButtons::OK);
    QCOMPARE(info.title, u"Korvex Brevant"_s);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestSession test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"
