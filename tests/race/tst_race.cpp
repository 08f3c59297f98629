// Claimants with homes of their own reserve the same documents at once, meeting only in the
// reservation records beside the documents: scrivo processes and the window's check-out run
// on one folder, and two users on two sshfs mounts of one folder served over SFTP.

#include "Hostile.h"
#include "ShellFixture.h"

#include "model/FileListModel.h"
#include "system/ProcessIdentity.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList Users{u"anna"_s, u"ben"_s, u"carl"_s, u"dora"_s};

QProcessEnvironment Home(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KORVEX_SCRIVO_HOME"_s, home);
    return environment;
}

// "scrivo reserve" as user over the documents, in its own home; messages go to a file.
void StartReserving(QProcess &process, const QString &user, const QString &home,
                    const QStringList &documents)
{
    process.setProcessEnvironment(Home(home));
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(home + u".err"_s);
    process.start(ScrivoToolPath(), QStringList{u"reserve"_s, u"--user"_s, user} + documents);
}

// The holder a home's server sees for the document ("" when free).
QString HolderSeen(const QString &home, const QString &document)
{
    return RunScrivo({u"status"_s, document}, 30000, Home(home))
        .out.section(u'\t', 1, 1)
        .section(u'\n', 0, 0);
}

quint16 FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

class TestRace : public QObject
{
    Q_OBJECT

private slots:
    void processesAndTheWindowLeaveOneWholeRecordEach()
    {
        constexpr int Documents = 200;
        ShellFixture f;
        const QString project = f.Project(u"A"_s, u"Shared"_s);
        QVERIFY(f.Start(project));
        QStringList documents;
        for (int i = 0; i < Documents; ++i)
            documents.append(
                f.Document(u"Part%1.kpt"_s.arg(i, 4, 10, QLatin1Char('0')), 1 + i % 7));
        // The window goes backwards through the rows, two processes forwards, two backwards.
        f.Search(f.env.path(u"projects/docs"_s));
        f.window->SortColumns(3);
        f.window->SortColumns(3);
        f.window->SelectAll();
        f.prompts.Input(u"erik"_s).Message();
        f.Trigger("mnuReserveForUser");
        QProcess racers[4];
        for (int i = 0; i < 4; ++i) {
            const QString home = f.env.path(u"homes/"_s + Users[i]);
            QVERIFY(RunScrivo({u"activate"_s, project}, 30000, Home(home)).exitCode == 0);
            QStringList order = documents;
            if (i >= 2)
                std::reverse(order.begin(), order.end());
            StartReserving(racers[i], Users[i], home, order);
        }
        f.Trigger("mnuReserveSelectedFiles");
        for (QProcess &racer : racers)
            QVERIFY(racer.waitForFinished(300000));

        // Each document held by one claimant in a whole record at its version, nothing else
        // left in the folder; every loser told the holder, every row showing it.
        QHash<QString, QString> holderOf;
        for (const QString &document : documents) {
            const ServerDocumentPtr doc = f.server->OpenDocument(document);
            holderOf.insert(document, doc->ReservedBy());
            QVERIFY2((Users + QStringList{u"erik"_s}).contains(holderOf[document]),
                     qPrintable(document));
            QCOMPARE(doc->ReservedVersion(), 1 + documents.indexOf(document) % 7);
        }
        QCOMPARE(FolderEntries(f.env.path(u"projects/docs"_s)).size(), 2 * Documents);
        const QRegularExpression lost(u"^scrivo: (.+) is already reserved by (.+)\\.$"_s);
        for (int i = 0; i < 4; ++i) {
            int told = 0;
            for (const QString &line :
                 QString::fromUtf8(ReadBytes(f.env.path(u"homes/"_s + Users[i] + u".err"_s)))
                     .split(u'\n', Qt::SkipEmptyParts)) {
                const QRegularExpressionMatch match = lost.match(line);
                QVERIFY2(match.hasMatch() && holderOf[match.captured(1)] == match.captured(2),
                         qPrintable(line));
                ++told;
            }
            QCOMPARE(told, Documents - int(holderOf.keys(Users[i]).size()));
        }
        for (int row = 0; row < f.List().Count(); ++row) {
            const clsFile &record = *f.List().Record(row);
            QCOMPARE(record.CheckedOutBy(), holderOf[record.FilePath() + u'/' + record.FileName()]);
        }
        QVERIFY(f.prompts.records.last().text.startsWith(
            u"%1 document(s) could not be checked out:"_s.arg(Documents -
                                                              holderOf.keys(u"erik"_s).size())));
        QCOMPARE(f.ActiveProject(), project);
    }

    void twoMountsOfOneShareOverSftpMeetInTheRecords()
    {
        // An sshd of the test's own (own keys and config, a free port) serves one folder,
        // mounted twice with sshfs; each user works through one mount with a home of their own.
        QTemporaryDir dir;
        const auto at = [&dir](const QString &relative) { return dir.filePath(relative); };
        for (const QString &folder : {u"share"_s, u"m1"_s, u"m2"_s, u"/run/sshd"_s})
            QDir().mkpath(folder.startsWith(u'/') ? folder : at(folder));
        for (const QString &key : {u"host"_s, u"user"_s})
            QCOMPARE(QProcess::execute(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s,
                                                         QString(), u"-f"_s, at(key)}),
                     0);
        QFile::copy(at(u"user.pub"_s), at(u"keys"_s));
        const quint16 port = FreePort();
        const QString config =
            QString::fromUtf8(
                "Port %1\nListenAddress 127.0.0.1\nHostKey %2\nAuthorizedKeysFile "
                "%3\nPasswordAuthentication "
                "no\nPermitRootLogin prohibit-password\nStrictModes no\nUsePAM no\nPidFile none\n"
                "Subsystem sftp internal-sftp\n")
                .arg(port)
                .arg(at(u"host"_s), at(u"keys"_s));
        {
            QFile file(at(u"sshd_config"_s));
            file.open(QIODevice::WriteOnly);
            file.write(config.toUtf8());
        }
        QProcess sshd;
        sshd.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, at(u"sshd_config"_s)});
        QStringList mounted;
        const auto unmount = qScopeGuard([&] {
            for (const QString &point : std::as_const(mounted))
                QProcess::execute(u"fusermount"_s, {u"-u"_s, u"-z"_s, point});
            sshd.kill();
            sshd.waitForFinished(5000);
        });
        for (const QString &mount : {u"m1"_s, u"m2"_s}) {
            // Each mount asks the server every time, as two machines would.
            for (int attempt = 0; attempt < 50 && !mounted.contains(at(mount)); ++attempt) {
                if (QProcess::execute(
                        u"sshfs"_s,
                        {u"-p"_s, QString::number(port), u"-o"_s,
                         u"IdentityFile=%1,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes,cache=no,dir_cache=no"_s
                             .arg(at(u"user"_s)),
                         u"%1@127.0.0.1:%2"_s.arg(AccountName(), at(u"share"_s)), at(mount)}) == 0)
                    mounted.append(at(mount));
                else
                    QThread::msleep(100); // sshd may not listen yet
            }
        }
        QCOMPARE(mounted.size(), 2);

        constexpr int Shared = 100;
        {
            QFile project(at(u"share/S.kpj"_s));
            project.open(QIODevice::WriteOnly);
            project.write("[Project Defaults]\nMultiUser=Shared\n");
        }
        QStringList names;
        for (int i = 0; i < Shared; ++i)
            names.append(QFileInfo(WriteScrivoDocument(at(u"share/Part%1.kpt"_s.arg(i)), u"P"_s, 2))
                             .fileName());
        QProcess racers[2];
        for (int i = 0; i < 2; ++i) {
            QStringList order;
            for (const QString &name : names)
                order.append(mounted[i] + u'/' + name);
            if (i == 1)
                std::reverse(order.begin(), order.end());
            QCOMPARE(RunScrivo({u"activate"_s, mounted[i] + u"/S.kpj"_s}, 30000, Home(at(Users[i])))
                         .exitCode,
                     0);
            StartReserving(racers[i], Users[i], at(Users[i]), order);
        }
        for (QProcess &racer : racers)
            QVERIFY(racer.waitForFinished(300000));
        // Each document reserved exactly once, the same holder seen through both mounts.
        for (const QString &name : names) {
            const QString seen = HolderSeen(at(Users[0]), mounted[0] + u'/' + name);
            QVERIFY2(seen == Users[0] || seen == Users[1], qPrintable(name + u": "_s + seen));
            QCOMPARE(HolderSeen(at(Users[1]), mounted[1] + u'/' + name), seen);
        }
        const QStringList left = FolderEntries(at(u"share"_s));
        QCOMPARE(left.filter(u".reservation"_s).size(), Shared);
        QCOMPARE(left.size(), 2 * Shared + 1);
    }
};

QTEST_MAIN(TestRace)
#include "tst_race.moc"
