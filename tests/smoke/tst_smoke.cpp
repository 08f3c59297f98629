#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

const QString BinDir = QStringLiteral(BREVANT_BIN_DIR);

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

// The first window whose name matches the pattern, waiting up to timeoutMs.
QString waitForWindow(const QString &pattern, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QString found = run(QStringLiteral("xdotool"),
                                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                   QStringLiteral("--name"), pattern})
                                  .value_or(QString());
        if (!found.isEmpty())
            return found.split(QLatin1Char('\n')).constFirst();
        QTest::qWait(200);
    }
    return {};
}

bool focusAndType(const QString &window, const QStringList &keys)
{
    if (!run(QStringLiteral("xdotool"),
             {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}))
        return false;
    for (const QString &key : keys) {
        QTest::qWait(300);
        if (QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key}) != 0)
            return false;
    }
    return true;
}

} // namespace

class TestSmoke : public QObject
{
    Q_OBJECT

private slots:
    void windowStartsShowsItselfAndExits();

private:
    QProcess program;

private slots:
    void cleanup()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(5000);
        }
    }
};

void TestSmoke::windowStartsShowsItselfAndExits()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (run under xvfb-run)");

    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KORVEX_SCRIVO_HOME"), dir.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QDir().mkpath(dir.filePath(QStringLiteral("home")));

    const QString scrivo = BinDir + QStringLiteral("/scrivo");
    QVERIFY(run(scrivo, {QStringLiteral("sample"), dir.filePath(QStringLiteral("sample"))},
                environment));
    const QString projectsBefore =
        run(scrivo, {QStringLiteral("projects")}, environment).value_or(QString());
    QVERIFY2(projectsBefore.contains(QLatin1Char('*')), qPrintable(projectsBefore));

    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(BinDir + QStringLiteral("/korvex-brevant"), {});
    QVERIFY(program.waitForStarted(10000));

    // The backup warning comes first and holds the start-up until it is answered.
    const QString warning = waitForWindow(QStringLiteral("^Korvex Brevant$"), 30000);
    QVERIFY2(!warning.isEmpty(), "no backup warning appeared");
    QVERIFY(focusAndType(warning, {QStringLiteral("Return")}));

    const QString window = waitForWindow(QStringLiteral("^Korvex Brevant - Unnamed$"), 30000);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QTest::qWait(1000);
    QFile::remove(QStringLiteral(BREVANT_SMOKE_SHOT));
    QCOMPARE(QProcess::execute(QStringLiteral("import"),
                               {QStringLiteral("-window"), QStringLiteral("root"),
                                QStringLiteral(BREVANT_SMOKE_SHOT)}),
             0);
    QVERIFY(QFile::exists(QStringLiteral(BREVANT_SMOKE_SHOT)));

    // File > Exit through the keyboard.
    QVERIFY(focusAndType(window, {QStringLiteral("alt+f"), QStringLiteral("e")}));
    QVERIFY2(program.waitForFinished(20000), "the window did not close through File > Exit");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);

    // The server is left as it was found.
    QCOMPARE(run(scrivo, {QStringLiteral("projects")}, environment).value_or(QString()),
             projectsBefore);
}

QTEST_GUILESS_MAIN(TestSmoke)
#include "tst_smoke.moc"
