// Several scrivo processes and a check-out run of the window reserve the same documents of a
// Shared project at once, each claimant with its own server home; the reservation records
// beside the documents are where they meet.

#include "ScrivoDocuments.h"
#include "ShellFixture.h"

#include "server/ServerError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <array>

namespace {

constexpr int Documents = 1000;
const QStringList ToolUsers{QStringLiteral("anna"), QStringLiteral("ben"), QStringLiteral("carl"),
                            QStringLiteral("dora")};
const QString WindowUser = QStringLiteral("erik");

QString ScrivoTool()
{
    return qEnvironmentVariable("BREVANT_BIN_DIR") + QStringLiteral("/scrivo");
}

// Runs the scrivo tool in the given home to its end, bounded in time; true on success.
bool RunTool(const QString &home, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KORVEX_SCRIVO_HOME"), home);
    process.setProcessEnvironment(environment);
    process.start(ScrivoTool(), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// One scrivo process of the race: its own home, in which the project is active, and its
// own order through the documents. Its messages go to a file, so a full pipe cannot hold
// it up while the window's run keeps the test busy.
struct Racer
{
    QString user;
    QString home;
    QString errors;
    QStringList order;
    QProcess process;

    void start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KORVEX_SCRIVO_HOME"), home);
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(errors);
        process.start(ScrivoTool(),
                      QStringList{QStringLiteral("reserve"), QStringLiteral("--user"), user} +
                          order);
    }

    bool finish()
    {
        if (process.waitForFinished(300000))
            return true;
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
};

// The documents in the order a claimant takes them: from start onwards, or backwards.
QStringList Ordered(const QStringList &documents, qsizetype start, bool backwards)
{
    QStringList order;
    for (qsizetype i = 0; i < documents.size(); ++i) {
        const qsizetype step = backwards ? -i : i;
        order.append(documents.at((start + step + documents.size()) % documents.size()));
    }
    return order;
}

} // namespace

class TestRace : public QObject
{
    Q_OBJECT

private slots:
    void everyDocumentEndsWithOneHolderAndEveryLoserIsTold();
};

void TestRace::everyDocumentEndsWithOneHolderAndEveryLoserIsTold()
{
    ShellFixture f;
    const QString project = f.addProject(QStringLiteral("A"), QStringLiteral("Shared"));
    f.activate(project);
    f.expectBackupWarning();
    const std::unique_ptr<frmMain> window = f.startWindow();
    QVERIFY(window);

    const QString folder = f.env.path(QStringLiteral("projects/docs"));
    QStringList documents;
    QHash<QString, int> versions;
    QList<clsFilePtr> records;
    for (int i = 0; i < Documents; ++i) {
        const QString name = QStringLiteral("Part%1.kpt").arg(i, 4, 10, QLatin1Char('0'));
        const int version = 1 + i % 7;
        documents.append(WriteScrivoDocument(folder + u'/' + name, name, version));
        versions.insert(documents.last(), version);
    }
    // The window's rows start in the middle of the list.
    for (const QString &document : Ordered(documents, Documents / 2, false))
        records.append(ShellFixture::record(Available, QFileInfo(document).fileName(), folder));
    ShellFixture::showRecords(*window, records);
    window->SelectAll();
    window->State().CheckOutUser = WindowUser;

    // Two processes go forwards from the first document, two backwards from the last, so
    // that claimants meet on the same document at the same time.
    std::array<Racer, 4> racers;
    for (int i = 0; i < int(racers.size()); ++i) {
        Racer &racer = racers[i];
        racer.user = ToolUsers.at(i);
        racer.home = f.env.path(QStringLiteral("homes/") + racer.user);
        racer.errors = f.env.path(QStringLiteral("homes/") + racer.user + QStringLiteral(".err"));
        QVERIFY(QDir().mkpath(racer.home));
        QVERIFY(RunTool(racer.home, {QStringLiteral("activate"), project}));
        racer.order =
            i < 2 ? Ordered(documents, 0, false) : Ordered(documents, Documents - 1, true);
    }

    f.prompts.answerMessage(PromptAnswer::OK); // the documents the window lost
    QElapsedTimer clock;
    clock.start();
    for (Racer &racer : racers)
        racer.start();
    for (Racer &racer : racers)
        QVERIFY2(racer.process.waitForStarted(10000), qPrintable(racer.process.errorString()));
    window->ChangeReservation(true);
    const qint64 windowDone = clock.elapsed();
    bool allFinished = true;
    for (Racer &racer : racers)
        allFinished = racer.finish() && allFinished;
    const qint64 allDone = clock.elapsed();
    QVERIFY2(allFinished, "a scrivo process did not finish");

    // Every document ends reserved by one of the claimants, in a whole record, and nothing
    // else is left in the folder (no record written under its temporary name).
    ScrivoServer reader(f.env.scrivoHome());
    QHash<QString, QString> holderOf;
    QHash<QString, int> wins;
    for (const QString &document : documents) {
        const ServerDocumentPtr doc = reader.OpenDocument(document);
        try {
            QVERIFY2(doc->IsReserved(), qPrintable(document + QStringLiteral(" is not reserved")));
            holderOf.insert(document, doc->ReservedBy());
            QCOMPARE(doc->ReservedVersion(), versions.value(document));
            QVERIFY(doc->ReservedTime().isValid());
        } catch (const ServerError &error) {
            QFAIL(qPrintable(error.description));
        }
        QVERIFY2(ToolUsers.contains(holderOf.value(document)) ||
                     holderOf.value(document) == WindowUser,
                 qPrintable(holderOf.value(document)));
        ++wins[holderOf.value(document)];
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2 * Documents);

    // Each scrivo process lost exactly the documents that another claimant holds, each in
    // one message naming that holder; a document it does not name, it holds.
    int lostCalls = 0;
    const QRegularExpression lostLine(
        QStringLiteral("^scrivo: (.+) is already reserved by (.+)\\.$"));
    for (Racer &racer : racers) {
        QCOMPARE(racer.process.exitStatus(), QProcess::NormalExit);
        QFile errors(racer.errors);
        QVERIFY(errors.open(QIODevice::ReadOnly));
        QSet<QString> lost;
        for (const QByteArray &line : errors.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QRegularExpressionMatch match = lostLine.match(QString::fromUtf8(line));
            QVERIFY2(match.hasMatch(), line.constData());
            const QString document = match.captured(1);
            QVERIFY2(holderOf.contains(document), qPrintable(document));
            QCOMPARE(match.captured(2), holderOf.value(document));
            QVERIFY2(!lost.contains(document), qPrintable(document + QStringLiteral(" twice")));
            lost.insert(document);
        }
        for (const QString &document : documents)
            QCOMPARE(lost.contains(document), holderOf.value(document) != racer.user);
        QCOMPARE(racer.process.exitCode(), lost.isEmpty() ? 0 : 1);
        lostCalls += int(lost.size());
    }

    // Every row of the window shows the document's holder; the rows it lost are counted in
    // its message, and each listed one names the holder.
    int windowLost = 0;
    for (int i = 1; i <= window->ListViewFiles->Count(); ++i) {
        const clsFile &record = *window->ListViewFiles->Row(i)->Record();
        const QString document = folder + u'/' + record.FileName();
        QCOMPARE(record.CheckedOutBy(), holderOf.value(document));
        QCOMPARE(record.CheckedOutVersion(), QString::number(versions.value(document)));
        windowLost += holderOf.value(document) != WindowUser ? 1 : 0;
    }
    QVERIFY(f.prompts.scriptDone());
    QVERIFY(f.prompts.unexpected.isEmpty());
    const QStringList message = f.prompts.records.last().text.split(u'\r');
    QCOMPARE(message.first(),
             QStringLiteral("%1 document(s) could not be checked out:").arg(windowLost));
    for (const QString &line : message.mid(1, 10)) {
        const QString document = folder + u'/' + line.section(QStringLiteral(": "), 0, 0);
        QVERIFY2(holderOf.contains(document), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral(" by ") + holderOf.value(document)),
                 qPrintable(line));
    }
    QCOMPARE(f.activeProject(), project);

    qInfo("race: %d documents, %d scrivo processes and the window's check-out run; wins "
          "anna %d, ben %d, carl %d, dora %d, window %d; lost calls %d (scrivo %d, window %d); "
          "window done after %lld ms, all after %lld ms",
          Documents, int(racers.size()), wins.value(ToolUsers[0]), wins.value(ToolUsers[1]),
          wins.value(ToolUsers[2]), wins.value(ToolUsers[3]), wins.value(WindowUser),
          lostCalls + windowLost, lostCalls, windowLost, windowDone, allDone);
}

QTEST_MAIN(TestRace)
#include "tst_race.moc"
