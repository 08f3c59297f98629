#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString BinDir = QStringLiteral(BREVANT_BIN_DIR);
const QString ShotDir = QStringLiteral(BREVANT_SMOKE_SHOTS);
const QString CheckOutUser = u"carla"_s;
const QString StartupUser = u"smoke"_s;

// Runs a tool to its end (bounded); its standard output, or nothing when it failed.
std::optional<QString>
run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool xdotool(const QStringList &arguments)
{
    return run(u"xdotool"_s, arguments).has_value();
}

// The first visible window whose name matches the pattern, or "" when there is none.
QString visibleWindow(const QString &pattern)
{
    return run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, pattern})
        .value_or(QString())
        .section(u'\n', 0, 0);
}

// Polls until the condition holds, up to timeoutMs; whether it came to hold.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QTest::qWait(200);
    }
    return true;
}

// The first visible window whose name matches the pattern, waiting up to timeoutMs.
QString waitForWindow(const QString &pattern, int timeoutMs = 30000)
{
    QString found;
    waitUntil([&] { return !(found = visibleWindow(pattern)).isEmpty(); }, timeoutMs);
    return found;
}

bool waitForWindowGone(const QString &pattern)
{
    return waitUntil([&] { return visibleWindow(pattern).isEmpty(); });
}

// Gives the window the keyboard focus and presses the keys one after the other.
bool focusAndType(const QString &window, const QStringList &keys)
{
    if (!xdotool({u"windowactivate"_s, u"--sync"_s, window}) &&
        !xdotool({u"windowfocus"_s, u"--sync"_s, window}))
        return false;
    for (const QString &key : keys) {
        QTest::qWait(300);
        if (!xdotool({u"key"_s, key}))
            return false;
    }
    return true;
}

// Types text into the focused widget of the window.
bool focusAndWrite(const QString &window, const QString &text)
{
    if (!xdotool({u"windowfocus"_s, u"--sync"_s, window}))
        return false;
    QTest::qWait(300);
    return xdotool({u"type"_s, u"--delay"_s, u"30"_s, text});
}

bool screenshot(const QString &name, const QString &window = u"root"_s)
{
    const QString path = ShotDir + u'/' + name;
    QFile::remove(path);
    return QProcess::execute(u"import"_s, {u"-window"_s, window, path}) == 0 && QFile::exists(path);
}

// The documents a search of folder lists (parts, assemblies and drawings, any letter case,
// outside hidden folders), as full paths.
QStringList documentsBelow(const QString &folder)
{
    QStringList documents;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    static const QRegularExpression pattern(u"(kpt|kam|kdw)$"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    while (it.hasNext()) {
        const QString path = it.next();
        if (pattern.match(path).hasMatch() && !path.contains(u"/."_s))
            documents.append(path);
    }
    return documents;
}

} // namespace

// The real program on the virtual X server, driven through its menus and real dialogs,
// against a Scrivo home of its own with the sample project.
class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchedDocumentsCheckedOutAndSavedAsTextReport();
    void openedAssemblyCheckedOutWhole();
    void terminationSignalClosesThroughTheClosingSteps();

private:
    // Writes the sample project, starts the program, answers the backup warning and notes
    // the sample's documents with their holders.
    bool start(const QString &activeProject = QString());
    QString scrivo(const QStringList &arguments);
    // "document<TAB>holder" for each of the sample's documents, from scrivo status
    // ("available" for a free one).
    QStringList holders();
    // The holders after a check-out of the claimed documents by the user: the free ones
    // become the user's, the rest stay as they were.
    QStringList holdersAfterCheckOut(const QStringList &claimed, const QString &user) const;
    // Waits for the message box titled "Korvex Brevant" and presses the key.
    bool answerMessage(const QString &key);
    // Waits for the dialog titled title, presses the keys, types the path and presses Return;
    // true once the dialog is gone.
    bool enterInDialog(const QString &title, const QStringList &keys, const QString &path);
    // Exits through File > Exit; a save prompt, when the list is unsaved, is answered No.
    bool exitProgram(bool expectSavePrompt);

    std::optional<QTemporaryDir> dir;
    QProcessEnvironment environment;
    QProcess program;
    QString sample;
    QString window;
    QStringList documents;
    QStringList before;
};

void TestSmoke::init()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (run under xvfb-run)");
    dir.emplace();
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KORVEX_SCRIVO_HOME"_s, dir->filePath(u"home"_s));
    environment.insert(u"XDG_STATE_HOME"_s, dir->filePath(u"state"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    // The save dialog starts in the home folder: keep it inside the test's folder.
    environment.insert(u"HOME"_s, dir->filePath(u"user"_s));
    QDir().mkpath(dir->filePath(u"home"_s));
    QDir().mkpath(dir->filePath(u"user"_s));
    sample = dir->filePath(u"sample"_s);
}

void TestSmoke::cleanup()
{
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished(5000);
    }
    dir.reset();
}

QString TestSmoke::scrivo(const QStringList &arguments)
{
    return run(BinDir + u"/scrivo"_s, arguments, environment).value_or(u"<failed>"_s);
}

QStringList TestSmoke::holders()
{
    QStringList result;
    for (const QString &line : scrivo(QStringList{u"status"_s} + documents).split(u'\n'))
        result.append(line.section(u'\t', 0, 1));
    return result;
}

QStringList TestSmoke::holdersAfterCheckOut(const QStringList &claimed, const QString &user) const
{
    QStringList expected;
    for (const QString &line : before) {
        const QString document = line.section(u'\t', 0, 0);
        expected.append(claimed.contains(document) && line == document + u"\tavailable"_s
                            ? document + u'\t' + user
                            : line);
    }
    return expected;
}

bool TestSmoke::start(const QString &activeProject)
{
    if (!run(BinDir + u"/scrivo"_s, {u"sample"_s, sample}, environment) ||
        !run(BinDir + u"/scrivo"_s, {u"user"_s, StartupUser}, environment))
        return false;
    if (!activeProject.isEmpty() &&
        (!run(BinDir + u"/scrivo"_s, {u"register"_s, activeProject}, environment) ||
         !run(BinDir + u"/scrivo"_s, {u"activate"_s, activeProject}, environment)))
        return false;
    documents = documentsBelow(sample);
    before = holders();
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(BinDir + u"/korvex-brevant"_s, {});
    if (!program.waitForStarted(10000))
        return false;
    // The backup warning comes first and holds the start-up until it is answered.
    if (!answerMessage(u"Return"_s))
        return false;
    window = waitForWindow(u"^Korvex Brevant - Unnamed$"_s);
    QTest::qWait(500);
    return !window.isEmpty();
}

bool TestSmoke::answerMessage(const QString &key)
{
    const QString message = waitForWindow(u"^Korvex Brevant$"_s);
    if (message.isEmpty() || !focusAndType(message, {key}))
        return false;
    return waitForWindowGone(u"^Korvex Brevant$"_s);
}

bool TestSmoke::enterInDialog(const QString &title, const QStringList &keys, const QString &path)
{
    const QString pattern = u'^' + QRegularExpression::escape(title) + u'$';
    const QString dialog = waitForWindow(pattern);
    if (dialog.isEmpty()) {
        qWarning("no dialog titled %s", qPrintable(title));
        return false;
    }
    return focusAndType(dialog, keys) && focusAndWrite(dialog, path) &&
           focusAndType(dialog, {u"Return"_s}) && waitForWindowGone(pattern);
}

bool TestSmoke::exitProgram(bool expectSavePrompt)
{
    if (!focusAndType(window, {u"alt+f"_s, u"e"_s}))
        return false;
    if (expectSavePrompt) {
        // Escape keeps the unsaved list and the window open; only No lets them go.
        if (!answerMessage(u"Escape"_s))
            return false;
        QTest::qWait(1000);
        if (program.state() == QProcess::NotRunning) {
            qWarning("Escape on the save question closed the window");
            return false;
        }
        if (!focusAndType(window, {u"alt+f"_s, u"e"_s}) || !answerMessage(u"alt+n"_s))
            return false;
    }
    if (program.state() != QProcess::NotRunning && !program.waitForFinished(20000))
        return false;
    return program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
}

void TestSmoke::searchedDocumentsCheckedOutAndSavedAsTextReport()
{
    QVERIFY(start());
    QCOMPARE(before.size(), documents.size());
    const QString projectsBefore = scrivo({u"projects"_s});
    QVERIFY2(projectsBefore.contains(u'*'), qPrintable(projectsBefore));
    QVERIFY(screenshot(u"smoke_window.png"_s, window));

    // Edit > Find: the scope message, then the folder browser with the sample's path typed in.
    QVERIFY(focusAndType(window, {u"ctrl+f"_s}));
    QVERIFY(answerMessage(u"Return"_s));
    QVERIFY(enterInDialog(u"Select Directory for search Korvex Files:"_s, {}, sample));
    QTest::qWait(2000);

    // Rows 3 and 4 of the sample's search (Conveyor.kam and Roller.kpt) are free.
    QVERIFY(focusAndType(window, {u"Home"_s, u"Down"_s, u"Down"_s, u"shift+Down"_s}));
    // File > Check Out for User: the input box, then File > Check Out selected files (the
    // first of two items with the mnemonic "s").
    QVERIFY(focusAndType(window, {u"alt+f"_s, u"u"_s}));
    QVERIFY(enterInDialog(u"Korvex Brevant"_s, {u"ctrl+a"_s}, CheckOutUser));
    QVERIFY(focusAndType(window, {u"alt+f"_s, u"s"_s, u"Return"_s}));
    QTest::qWait(1500);
    QVERIFY(screenshot(u"smoke_search.png"_s, window));

    // File > Save As with the text report's filter: the second entry of the type box, which
    // follows the name field.
    const QString report = dir->filePath(u"report.txt"_s);
    QVERIFY(focusAndType(window, {u"alt+f"_s, u"a"_s}));
    QVERIFY(enterInDialog(u"Save As"_s, {u"alt+n"_s, u"Tab"_s, u"Down"_s, u"alt+n"_s, u"ctrl+a"_s},
                          report));
    const QString caption = u"^Korvex Brevant - "_s + QRegularExpression::escape(report) + u'$';
    QVERIFY2(!waitForWindow(caption, 10000).isEmpty(), "the caption does not name the report");
    // The list is saved: Exit asks nothing.
    QVERIFY2(exitProgram(false), "the window did not close through File > Exit");

    // One line per listed document, six fields each; the two checked-out rows name the user.
    QFile file(report);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // Every line ends with CR LF.
    QVERIFY(text.endsWith("\r\n"));
    QCOMPARE(text.count("\r\n"), text.count('\n'));
    const QStringList lines = QString::fromUtf8(text.chopped(2)).split(u"\r\n"_s);
    QCOMPARE(lines.size(), documents.size());
    QStringList checkedOut;
    for (const QString &line : lines) {
        const QStringList fields = line.split(u'|');
        QCOMPARE(fields.size(), 6);
        QVERIFY2(documents.contains(fields.at(3) + u'/' + fields.at(2)), qPrintable(fields.at(2)));
        if (fields.at(0) == CheckOutUser)
            checkedOut.append(fields.at(3) + u'/' + fields.at(2));
    }
    QCOMPARE(checkedOut.size(), 2);

    // Scrivo holds the two, free before, for the check-out user; nothing else changed, and
    // the server's projects are as they were found.
    QCOMPARE(holders(), holdersAfterCheckOut(checkedOut, CheckOutUser));
    QCOMPARE(scrivo({u"projects"_s}), projectsBefore);
}

void TestSmoke::openedAssemblyCheckedOutWhole()
{
    QVERIFY(start());
    QCOMPARE(before.size(), documents.size());
    // The sample's gearbox and what it references, at all levels.
    QStringList listed;
    for (const char *relative :
         {"Workspace/Gearbox/Gearbox.kam", "Workspace/Gearbox/Parts/Housing.kpt",
          "Workspace/Gearbox/Parts/Shaft.kpt", "Library/Washer.kpt",
          "Workspace/Gearbox/Parts/Gear.kpt", "Library/Bolt M8.kpt"})
        listed.append(sample + u'/' + QLatin1String(relative));

    // File > Open: the real file dialog with the assembly's path typed in.
    QVERIFY(focusAndType(window, {u"alt+f"_s, u"o"_s}));
    QVERIFY(enterInDialog(u"Korvex File Selection"_s, {}, listed.first()));
    QTest::qWait(1000);

    // Edit > Select All, then File > Check Out selected files for the start-up user.
    QVERIFY(focusAndType(window, {u"ctrl+a"_s, u"alt+f"_s, u"s"_s, u"Return"_s}));
    QTest::qWait(1500);
    QVERIFY(screenshot(u"smoke_open.png"_s, window));
    // The opened list was never saved: Exit asks, and No closes.
    QVERIFY2(exitProgram(true), "the window did not close through File > Exit");

    // Every listed document is reserved: the free ones now for the start-up user, the
    // others still by their holders; the rest of the sample is untouched.
    QCOMPARE(holders(), holdersAfterCheckOut(listed, StartupUser));
}

void TestSmoke::terminationSignalClosesThroughTheClosingSteps()
{
    // A Depona project active at start: the start-up moves to the sample project, and only
    // the closing steps make the Depona project active again.
    const QString depona = dir->filePath(u"Depona.kpj"_s);
    QFile file(depona);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Project Defaults]\nMultiUser=Depona\n");
    file.close();
    QVERIFY(start(depona));
    QVERIFY(scrivo({u"projects"_s}).contains(u"* "_s + sample + u"/Sample.kpj"_s));

    ::kill(pid_t(program.processId()), SIGTERM);

    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(scrivo({u"projects"_s}).contains(u"* "_s + depona),
             qPrintable(scrivo({u"projects"_s})));
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
