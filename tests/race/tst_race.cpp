// Claimants with homes of their own reserve the same documents at once, meeting only in the
// reservation records beside the documents: four scrivo processes working through two sshfs
// mounts of one folder served over SFTP, as users on two machines would.

#include "Hostile.h"
#include "TestFiles.h"

#include "server/scrivo/ScrivoServer.h"
#include "system/ProcessIdentity.h"

#include <QHash>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QStringList Users{u"anna"_s, u"ben"_s, u"carl"_s, u"dora"_s};

QProcessEnvironment Home(const QString &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KORVEX_SCRIVO_HOME"_s, home);
    return environment;
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

// An sshd of the test's own (own keys and config, a free port) serving the folder "share",
// mounted twice with sshfs without caches, so each mount asks the server every time.
class SftpShare
{
public:
    SftpShare()
    {
        for (const QString &folder : {u"share"_s, u"m1"_s, u"m2"_s})
            QDir().mkpath(at(folder));
        QDir().mkpath(u"/run/sshd"_s);
        for (const QString &key : {u"host"_s, u"user"_s})
            QProcess::execute(u"ssh-keygen"_s, {u"-q"_s, u"-t"_s, u"ed25519"_s, u"-N"_s, QString(),
                                                u"-f"_s, at(key)});
        const quint16 port = FreePort();
        WriteWhole(at(u"sshd_config"_s),
                   QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\n"
                                  "AuthorizedKeysFile %3.pub\nPasswordAuthentication no\n"
                                  "PermitRootLogin prohibit-password\nStrictModes no\nUsePAM no\n"
                                  "PidFile none\nSubsystem sftp internal-sftp\n")
                       .arg(port)
                       .arg(at(u"host"_s), at(u"user"_s))
                       .toUtf8());
        sshd.start(u"/usr/sbin/sshd"_s, {u"-D"_s, u"-e"_s, u"-f"_s, at(u"sshd_config"_s)});
        const QString options =
            u"IdentityFile=%1,StrictHostKeyChecking=no,UserKnownHostsFile="
            "/dev/null,BatchMode=yes,cache=no,dir_cache=no"_s.arg(at(u"user"_s));
        for (const QString &mount : {at(u"m1"_s), at(u"m2"_s)})
            for (int attempt = 0; attempt < 50 && !mounts.contains(mount); ++attempt) {
                if (QProcess::execute(u"sshfs"_s,
                                      {u"-p"_s, QString::number(port), u"-o"_s, options,
                                       AccountName() + u"@127.0.0.1:"_s + at(u"share"_s), mount}) ==
                    0)
                    mounts.append(mount);
                else
                    QThread::msleep(100); // sshd may not listen yet
            }
    }
    ~SftpShare()
    {
        for (const QString &mount : std::as_const(mounts))
            QProcess::execute(u"fusermount"_s, {u"-u"_s, u"-z"_s, mount});
        sshd.kill();
        sshd.waitForFinished(5000);
    }
    QString at(const QString &relative) const { return dir.filePath(relative); }

    QStringList mounts;

private:
    QTemporaryDir dir;
    QProcess sshd;
};

} // namespace

class TestRace : public QObject
{
    Q_OBJECT

private slots:
    void claimantsOnTwoMountsLeaveOneWholeRecordEach()
    {
        constexpr int Documents = 100;
        SftpShare share;
        QCOMPARE(share.mounts.size(), 2);
        TestEnvironment env;
        WriteWhole(share.at(u"share/S.kpj"_s), "[Project Defaults]\nMultiUser=Shared\n");
        QStringList names;
        for (int i = 0; i < Documents; ++i) {
            names.append(u"Part%1.kpt"_s.arg(i, 3, 10, QLatin1Char('0')));
            WriteScrivoDocument(share.at(u"share/"_s + names[i]), u"P"_s, 1 + i % 7);
        }

        // Four scrivo processes, anna and ben through the first mount, carl and dora through
        // the second; anna and carl forwards, ben and dora backwards.
        QProcess racers[4];
        for (int i = 0; i < 4; ++i) {
            const QString home = env.path(u"homes/"_s + Users[i]);
            const QString mount = share.mounts[i / 2];
            QCOMPARE(RunScrivo({u"activate"_s, mount + u"/S.kpj"_s}, 30000, Home(home)).exitCode,
                     0);
            QStringList order{u"reserve"_s, u"--user"_s, Users[i]};
            for (const QString &name : names)
                order.insert(i % 2 == 0 ? order.size() : 3, mount + u'/' + name);
            racers[i].setProcessEnvironment(Home(home));
            racers[i].setStandardOutputFile(QProcess::nullDevice());
            racers[i].setStandardErrorFile(home + u".err"_s);
            racers[i].start(ScrivoToolPath(), order);
        }
        for (QProcess &racer : racers)
            QVERIFY(racer.waitForFinished(300000));

        // Each document held by one claimant in a whole record at its version, the same
        // holder seen through both mounts, nothing else left in the folder; every claimant
        // was told once for each document it did not get.
        QHash<QString, int> held;
        for (int i = 0; i < Documents; ++i) {
            QStringList seen;
            for (const QString &mount : share.mounts) {
                const ServerDocumentPtr doc =
                    ScrivoServer(env.path(u"homes/anna"_s)).OpenDocument(mount + u'/' + names[i]);
                QCOMPARE(doc->ReservedVersion(), 1 + i % 7);
                seen.append(doc->ReservedBy());
            }
            QVERIFY2(Users.contains(seen[0]) && seen[1] == seen[0], qPrintable(names[i]));
            ++held[seen[0]];
        }
        QCOMPARE(FolderEntries(share.at(u"share"_s)).size(), 2 * Documents + 1);
        for (const QString &user : Users)
            QCOMPARE(ReadBytes(env.path(u"homes/"_s + user + u".err"_s)).count("already reserved"),
                     Documents - held[user]);
    }
};

QTEST_GUILESS_MAIN(TestRace)
#include "tst_race.moc"
