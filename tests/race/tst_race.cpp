// Several scrivo processes and a check-out run of the window reserve the same documents of a
// Shared project at once, each claimant with its own server home; the reservation records
// beside the documents are where they meet.

#include "ScrivoDocuments.h"
#include "ShellFixture.h"

#include "model/FileListModel.h"

#include "server/ServerError.h"
#include "system/ProcessIdentity.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

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
    void twoMountsOfOneShareOverSftpMeetInTheRecords();
};

void TestRace::everyDocumentEndsWithOneHolderAndEveryLoserIsTold()
{
    ShellFixture f;
    const QString project = f.Project(u"A"_s, u"Shared"_s);
    QVERIFY(f.Start(project));
    const QString folder = f.env.path(u"projects/docs"_s);
    QStringList documents;
    QHash<QString, int> versions;
    for (int i = 0; i < Documents; ++i) {
        const QString name = u"Part%1.kpt"_s.arg(i, 4, 10, QLatin1Char('0'));
        const int version = 1 + i % 7;
        documents.append(WriteScrivoDocument(folder + u'/' + name, name, version));
        versions.insert(documents.last(), version);
    }
    // The window's rows, listed by a search, go backwards from the last document.
    f.Search(folder);
    f.window->SortColumns(3);
    f.window->SortColumns(3);
    f.window->SelectAll();
    f.prompts.Input(WindowUser);
    f.Trigger("mnuReserveForUser");

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

    f.prompts.Message(); // the documents the window lost
    QElapsedTimer clock;
    clock.start();
    for (Racer &racer : racers)
        racer.start();
    for (Racer &racer : racers)
        QVERIFY2(racer.process.waitForStarted(10000), qPrintable(racer.process.errorString()));
    f.Trigger("mnuReserveSelectedFiles");
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
    for (int row = 0; row < f.List().Count(); ++row) {
        const clsFile &record = *f.List().Record(row);
        const QString document = folder + u'/' + record.FileName();
        QCOMPARE(record.CheckedOutBy(), holderOf.value(document));
        QCOMPARE(record.CheckedOutVersion(), QString::number(versions.value(document)));
        windowLost += holderOf.value(document) != WindowUser ? 1 : 0;
    }
    QVERIFY(f.prompts.Done());
    const QStringList message = f.prompts.records.last().text.split(u'\r');
    QCOMPARE(message.first(),
             QStringLiteral("%1 document(s) could not be checked out:").arg(windowLost));
    for (const QString &line : message.mid(1, 10)) {
        const QString document = folder + u'/' + line.section(QStringLiteral(": "), 0, 0);
        QVERIFY2(holderOf.contains(document), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral(" by ") + holderOf.value(document)),
                 qPrintable(line));
    }
    QCOMPARE(f.ActiveProject(), project);

    qInfo("race: %d documents, %d scrivo processes and the window's check-out run; wins "
          "anna %d, ben %d, carl %d, dora %d, window %d; lost calls %d (scrivo %d, window %d); "
          "window done after %lld ms, all after %lld ms",
          Documents, int(racers.size()), wins.value(ToolUsers[0]), wins.value(ToolUsers[1]),
          wins.value(ToolUsers[2]), wins.value(ToolUsers[3]), wins.value(WindowUser),
          lostCalls + windowLost, lostCalls, windowLost, windowDone, allDone);
}

namespace {

// A TCP port on loopback that nothing listens on now.
quint16 FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool Listening(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// A folder served over SFTP on loopback by an sshd of the test's own (own keys, own config,
// a free port) and mounted twice with sshfs; all of it undone when the object goes.
class SftpShare
{
public:
    SftpShare()
    {
        const auto tool = [this](const QString &program, const QStringList &arguments) {
            QProcess process;
            process.start(program, arguments);
            const bool ok = process.waitForFinished(30000) &&
                            process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
            if (!ok)
                problem +=
                    program + u": "_s + QString::fromLocal8Bit(process.readAllStandardError());
            return ok;
        };
        for (const char *folder : {"share", "m1", "m2"})
            QDir().mkpath(dir.filePath(QLatin1String(folder)));
        QDir().mkpath(u"/run/sshd"_s); // sshd's privilege separation folder
        for (const char *key : {"host", "user"})
            if (!tool(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(), u"-f"_s,
                                        dir.filePath(QLatin1String(key))}))
                return;
        QFile::copy(dir.filePath(u"user.pub"_s), dir.filePath(u"authorized_keys"_s));
        port = FreePort();
        QFile config(dir.filePath(u"sshd_config"_s));
        config.open(QIODevice::WriteOnly);
        config.write(
            u"Port %1\nListenAddress 127.0.0.1\nHostKey %2\nAuthorizedKeysFile %3\n"
            "PasswordAuthentication no\nPermitRootLogin prohibit-password\n"
            "StrictModes no\nUsePAM no\nPidFile none\nSubsystem sftp internal-sftp\n"_s.arg(port)
                .arg(dir.filePath(u"host"_s), dir.filePath(u"authorized_keys"_s))
                .toUtf8());
        config.close();
        sshd.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, config.fileName()});
        QElapsedTimer waited;
        waited.start();
        bool listening = false;
        while (!listening && waited.elapsed() < 10000 && sshd.state() != QProcess::NotRunning) {
            listening = Listening(port);
            if (!listening)
                QThread::msleep(50);
        }
        if (!listening) {
            problem +=
                u"sshd did not start: "_s + QString::fromLocal8Bit(sshd.readAllStandardError());
            return;
        }
        for (const char *mount : {"m1", "m2"}) {
            const QString point = dir.filePath(QLatin1String(mount));
            // No caching: each mount asks the server, as two machines would.
            if (!tool(u"sshfs"_s,
                      {u"-p"_s, QString::number(port), u"-o"_s,
                       u"IdentityFile=%1,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,"
                       "BatchMode=yes,cache=no,dir_cache=no"_s.arg(dir.filePath(u"user"_s)),
                       u"%1@127.0.0.1:%2"_s.arg(AccountName(), path(u"share"_s)), point}))
                return;
            mounted.append(point);
        }
    }

    ~SftpShare()
    {
        for (const QString &point : std::as_const(mounted))
            QProcess::execute(u"fusermount"_s, {u"-u"_s, u"-z"_s, point});
        sshd.kill();
        sshd.waitForFinished(5000);
    }

    bool ready() const { return mounted.size() == 2; }
    QString path(const QString &relative) const { return dir.filePath(relative); }
    QString problem;

private:
    QTemporaryDir dir;
    QProcess sshd;
    quint16 port = 0;
    QStringList mounted;
};

} // namespace

void TestRace::twoMountsOfOneShareOverSftpMeetInTheRecords()
{
    // Two users, each with a Scrivo home of their own that works through one mount of the
    // share, reserve the same documents at once in opposite orders.
    SftpShare share;
    QVERIFY2(share.ready(), qPrintable(share.problem));
    constexpr int Shared = 150;
    QFile project(share.path(u"share/S.kpj"_s));
    QVERIFY(project.open(QIODevice::WriteOnly));
    project.write("[Project Defaults]\nMultiUser=Shared\n");
    project.close();
    QStringList names;
    for (int i = 0; i < Shared; ++i) {
        names.append(u"Part%1.kpt"_s.arg(i, 3, 10, QLatin1Char('0')));
        WriteScrivoDocument(share.path(u"share/"_s + names.last()), names.last(), 2);
    }
    std::array<Racer, 2> racers;
    for (int i = 0; i < 2; ++i) {
        const QString mount = share.path(i == 0 ? u"m1"_s : u"m2"_s);
        Racer &racer = racers[i];
        racer.user = ToolUsers.at(i);
        racer.home = share.path(u"home-"_s + racer.user);
        racer.errors = racer.home + u".err"_s;
        QVERIFY(RunTool(racer.home, {u"activate"_s, mount + u"/S.kpj"_s}));
        for (const QString &name : names)
            racer.order.append(mount + u'/' + name);
        if (i == 1)
            std::reverse(racer.order.begin(), racer.order.end());
    }
    for (Racer &racer : racers)
        racer.start();
    for (Racer &racer : racers)
        QVERIFY2(racer.finish(), "a scrivo process did not finish");

    // Each document is reserved exactly once, and both mounts show the same holder.
    QHash<QString, int> wins;
    for (const QString &name : names) {
        QStringList seen;
        for (const Racer &racer : racers) {
            QProcess status;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"KORVEX_SCRIVO_HOME"_s, racer.home);
            status.setProcessEnvironment(environment);
            const QString mount = racer.order.first().section(u'/', 0, -2);
            status.start(ScrivoTool(), {u"status"_s, mount + u'/' + name});
            QVERIFY(status.waitForFinished(30000));
            seen.append(QString::fromUtf8(status.readAllStandardOutput()).section(u'\t', 1, 1));
        }
        QCOMPARE(seen.at(0), seen.at(1));
        QVERIFY2(ToolUsers.mid(0, 2).contains(seen.at(0)), qPrintable(name + u": "_s + seen.at(0)));
        ++wins[seen.at(0)];
    }
    QCOMPARE(wins.value(ToolUsers[0]) + wins.value(ToolUsers[1]), Shared);
    const QStringList left = QDir(share.path(u"share"_s)).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left.filter(u".reservation"_s).size(), Shared);
    QCOMPARE(left.size(), 2 * Shared + 1);
    qInfo("over sshfs: %d documents, wins anna %d, ben %d", Shared, wins.value(ToolUsers[0]),
          wins.value(ToolUsers[1]));
}

QTEST_MAIN(TestRace)
#include "tst_race.moc"
