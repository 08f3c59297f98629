// The real program on a virtual X server, driven through its menus, mnemonics and real
// dialogs with xdotool, against a Scrivo home of its own with the sample project: what only
// a real window shows. Screenshots are left in the build folder.

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString ScrivoPath = QStringLiteral(BREVANT_BIN_DIR "/scrivo");
// Screenshots go to the build folder.
const QString Shots = QStringLiteral(BREVANT_SMOKE_SHOTS "/smoke_");
const QString Failed = u"<failed>"_s;

// Runs a tool to its end (at most 60 s); its standard output, or Failed.
QString Run(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return Failed;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The first visible window whose name matches, waiting up to 120 s; "" when there is none.
QString WaitForWindow(const QString &pattern, bool gone = false)
{
    for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QTest::qWait(200)) {
        const auto ids = Run(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, pattern});
        if ((ids == Failed) == gone)
            return gone ? u"gone"_s : ids.section(u'\n', 0, 0);
    }
    return QString();
}

// The program driven, once started.
qint64 ProgramId = 0;

// Waits until the program has done what it was asked: it neither ran nor waited for the disk
// for this many tenths of a second (at most 120 s, so that only a hung program ends the
// wait). A busy machine only makes this take longer, where a fixed pause would guess.
bool WaitUntilIdle(int quietTenths = 5)
{
    QByteArray last;
    int quiet = 0;
    for (QDeadlineTimer deadline(120000); !deadline.hasExpired(); QTest::qWait(100)) {
        // "pid (comm) state ...": the state, then, 12th and 13th after it, the CPU time the
        // process's threads have used.
        QFile stat(u"/proc/%1/stat"_s.arg(ProgramId));
        const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const QByteArray now = line.mid(line.lastIndexOf(')') + 2).split(' ').mid(11, 2).join(' ');
        quiet = now == last && !line.contains(") R ") && !line.contains(") D ") ? quiet + 1 : 0;
        last = now;
        if (quiet >= quietTenths)
            return true;
    }
    return false;
}

// Gives the window the focus and presses the keys, or types the text, one after the other.
bool Keys(const QString &window, const QStringList &keys, const QString &text = QString())
{
    bool done = Run(u"xdotool"_s, {u"windowfocus"_s, u"--sync"_s, window}) != Failed;
    // Each key once the one before has been handled (a menu it opens is shown).
    for (const QString &key : keys)
        done = done && WaitUntilIdle(2) && Run(u"xdotool"_s, {u"key"_s, key}) != Failed;
    return done && (text.isEmpty() ||
                    Run(u"xdotool"_s, {u"type"_s, u"--delay"_s, u"30"_s, text}) != Failed);
}

// Waits for the dialog titled title, presses the keys, types the text and presses Return
// (the message box "Korvex Brevant" is answered with the keys alone); true once it is gone.
bool InDialog(const QString &title, const QStringList &keys, const QString &text = QString())
{
    const QString pattern = u'^' + QRegularExpression::escape(title) + u'$';
    const QString dialog = WaitForWindow(pattern);
    return !dialog.isEmpty() && Keys(dialog, keys, text) &&
           (text.isEmpty() || Keys(dialog, {u"Return"_s})) &&
           !WaitForWindow(pattern, true).isEmpty();
}

} // namespace

class TestSmoke : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess program;
    QString window;

    QString Scrivo(const QStringList &arguments) { return Run(ScrivoPath, arguments, environment); }
    QString Sample() const { return folder->filePath(u"sample"_s); }

    // The sample project, another project active, the program started and its backup
    // warning answered.
    bool Start(const QString &active)
    {
        environment.insert(u"KORVEX_SCRIVO_HOME"_s, folder->filePath(u"home"_s));
        environment.insert(u"XDG_STATE_HOME"_s, folder->filePath(u"state"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, folder->filePath(u"config"_s));
        environment.insert(u"HOME"_s, folder->path()); // where the save dialog starts
        if (QFile project(active); !project.open(QIODevice::WriteOnly) ||
                                   project.write("[Project Defaults]\nMultiUser=Depona\n") < 0)
            return false;
        if (Scrivo({u"sample"_s, Sample()}) == Failed ||
            Scrivo({u"user"_s, u"smoke"_s}) == Failed ||
            Scrivo({u"register"_s, active}) == Failed || Scrivo({u"activate"_s, active}) == Failed)
            return false;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(BREVANT_BIN_DIR "/korvex-brevant"), {});
        ProgramId = program.waitForStarted(60000) ? program.processId() : 0;
        if (ProgramId == 0 || !InDialog(u"Korvex Brevant"_s, {u"Return"_s}))
            return false;
        window = WaitForWindow(u"^Korvex Brevant - (Unnamed|Unbenannt)$"_s);
        return !window.isEmpty() && WaitUntilIdle();
    }

    bool Ended()
    {
        return (program.state() == QProcess::NotRunning || program.waitForFinished(120000)) &&
               program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
    }

private slots:
    void init()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (run under xvfb-run)");
        folder = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        program.kill();
        program.waitForFinished(5000);
    }

    void searchedRowsCheckedOutAndSavedThroughTheRealDialogs()
    {
        QVERIFY(Start(folder->filePath(u"Depona.kpj"_s)));
        // Edit > Find: the scope message, then the folder browser with the sample typed in.
        QVERIFY(Keys(window, {u"ctrl+f"_s}));
        QVERIFY(InDialog(u"Korvex Brevant"_s, {u"Return"_s}));
        QVERIFY(InDialog(u"Select Directory for search Korvex Files:"_s, {}, Sample()));
        QVERIFY2(WaitUntilIdle(), "the search did not end within 120 s");
        // Without the mouse: "/" goes to the filter, "roller" leaves Roller.kpt (free) shown,
        // Tab Tab to the list, Select All, then File > Check Out for User carla and File >
        // Check Out selected files (Alt+F K: S is Save); Escape in the filter shows all again.
        QVERIFY(Keys(window, {u"slash"_s, u"r"_s, u"o"_s, u"l"_s, u"l"_s, u"e"_s, u"r"_s, u"Tab"_s,
                              u"Tab"_s, u"ctrl+a"_s, u"alt+f"_s, u"u"_s}));
        QVERIFY(InDialog(u"Korvex Brevant"_s, {u"ctrl+a"_s}, u"carla"_s));
        QVERIFY(Keys(window, {u"alt+f"_s, u"k"_s}));
        QVERIFY2(WaitUntilIdle(), "the check-out did not end within 120 s");
        QVERIFY(Keys(window, {u"ctrl+l"_s, u"Escape"_s}));
        QVERIFY(WaitUntilIdle());
        QVERIFY(Run(u"import"_s, {u"-window"_s, window, Shots + u"search.png"_s}) != Failed);
        // File > Save As with the text filter (the type box after the name field) over an old
        // report, its name typed without the extension: only the program asks before it is
        // replaced. The caption then names the report, and Exit asks nothing.
        const QString report = folder->filePath(u"report.txt"_s);
        QFile(report).open(QIODevice::WriteOnly);
        QVERIFY(Keys(window, {u"alt+f"_s, u"a"_s}));
        QVERIFY(InDialog(u"Save As"_s, {u"alt+n"_s, u"Tab"_s, u"Down"_s, u"alt+n"_s, u"ctrl+a"_s},
                         folder->filePath(u"report"_s)));
        QVERIFY(InDialog(u"Korvex Brevant"_s, {u"alt+y"_s}));
        QVERIFY(!WaitForWindow(u"^Korvex Brevant - "_s + QRegularExpression::escape(report) + u'$')
                     .isEmpty());
        QVERIFY(Keys(window, {u"alt+f"_s, u"e"_s}));
        QVERIFY(Ended());

        // One CR LF line of six fields per document of the sample, one of them carla's.
        const QStringList lines = Run(u"cat"_s, {report}).split(u"\r\n"_s, Qt::SkipEmptyParts);
        const QString documents = Run(
            u"find"_s, {Sample(), u"-type"_s, u"f"_s, u"-iregex"_s, u".*\\.k\\(pt\\|am\\|dw\\)"_s});
        QCOMPARE(lines.size(), documents.split(u'\n').size());
        QCOMPARE(lines.filter(QRegularExpression(u"^carla\\|([^|]*\\|){4}[^|]*$"_s)).size(), 1);
    }

    void germanUserGetsGermanMenusAndASignalClosesThroughTheClosingSteps()
    {
        environment.remove(u"LC_ALL"_s);
        environment.remove(u"LANGUAGE"_s);
        environment.insert(u"LANG"_s, u"de_DE.UTF-8"_s);
        // The start-up moves from this project to the sample; only the closing steps make it
        // active again.
        QVERIFY(Start(folder->filePath(u"Other.kpj"_s)));
        // Bearbeiten > Korvex-Dokumente suchen: the scope message, then the folder browser
        // under its German title, drawn by Qt's dialog in German.
        QVERIFY(Keys(window, {u"alt+b"_s, u"s"_s}));
        QVERIFY(InDialog(u"Korvex Brevant"_s, {u"Return"_s}));
        const QString browser =
            WaitForWindow(u"^Verzeichnis für die Suche nach Korvex-Dateien wählen:$"_s);
        QVERIFY(!browser.isEmpty());
        QVERIFY(Run(u"import"_s, {u"-window"_s, u"root"_s, Shots + u"german.png"_s}) != Failed);
        QVERIFY(Keys(browser, {u"Escape"_s}));
        QVERIFY(WaitForWindow(u"^Verzeichnis"_s, true) == u"gone"_s);
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(Ended());
        QVERIFY(Scrivo({u"projects"_s}).contains(u"* "_s + folder->filePath(u"Other.kpj"_s)));
    }
};

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
