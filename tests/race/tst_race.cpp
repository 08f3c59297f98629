// Claimants with homes of their own reserve the same documents at once, meeting only in the
// reservation records beside the documents: the window's check-out run and four scrivo
// processes, working through two sshfs mounts of one folder served over SFTP, as users on
// two machines would.

#include "Hostile.h"
#include "ShellFixture.h"

#include "model/FileListModel.h"
#include "system/ProcessIdentity.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
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
        WriteWhole(share.at(u"share/S.kpj"_s), "[Project Defaults]\nMultiUser=Shared\n");
        QStringList names;
        for (int i = 0; i < Documents; ++i)
            names.append(u"Part%1.kpt"_s.arg(i, 3, 10, QLatin1Char('0')));
        for (int i = 0; i < Documents; ++i)
            WriteScrivoDocument(share.at(u"share/"_s + names[i]), u"P"_s, 1 + i % 7);

        // The window works through the first mount in the order of the versions, across the
        // others' ways; four scrivo processes through the second, anna and ben forwards, carl
        // and dora backwards.
        ShellFixture f;
        const QString project = share.mounts[0] + u"/S.kpj"_s;
        f.server->RegisterProject(project);
        QVERIFY(f.Start(project));
        f.Search(share.mounts[0]);
        QCOMPARE(f.List().Count(), Documents);
        f.window->SortColumns(5);
        f.window->SelectAll();
        f.prompts.Input(u"erik"_s).Message();
        f.Trigger("mnuReserveForUser");
        QProcess racers[4];
        for (int i = 0; i < 4; ++i) {
            const QString home = f.env.path(u"homes/"_s + Users[i]);
            QCOMPARE(RunScrivo({u"activate"_s, share.mounts[1] + u"/S.kpj"_s}, 30000, Home(home))
                         .exitCode,
                     0);
            QStringList order{u"reserve"_s, u"--user"_s, Users[i]};
            for (const QString &name : names)
                order.insert(i < 2 ? order.size() : 3, share.mounts[1] + u'/' + name);
            racers[i].setProcessEnvironment(Home(home));
            racers[i].setStandardOutputFile(QProcess::nullDevice());
            racers[i].setStandardErrorFile(home + u".err"_s);
            racers[i].start(ScrivoToolPath(), order);
        }
        f.Trigger("mnuReserveSelectedFiles");
        for (QProcess &racer : racers)
            QVERIFY(racer.waitForFinished(300000));

        // Each document held by one claimant in a whole record at its version, the same
        // holder seen through both mounts, nothing else left in the folder.
        QHash<QString, QString> holderOf;
        for (int i = 0; i < Documents; ++i) {
            const ServerDocumentPtr doc = f.server->OpenDocument(share.mounts[0] + u'/' + names[i]);
            const QString holder = holderOf[names[i]] = doc->ReservedBy();
            QVERIFY2((Users + QStringList{u"erik"_s}).contains(holder), qPrintable(names[i]));
            QCOMPARE(doc->ReservedVersion(), 1 + i % 7);
            const ToolResult seen = RunScrivo({u"status"_s, share.mounts[1] + u'/' + names[i]},
                                              30000, Home(f.env.path(u"homes/anna"_s)));
            QCOMPARE(seen.out.section(u'\t', 1, 1), holder);
        }
        QCOMPARE(FolderEntries(share.at(u"share"_s)).size(), 2 * Documents + 1);
        // Every loser told the holder; every row shows it; the window counts its failures.
        const QRegularExpression lost(
            u"^scrivo: .*/(Part\\d+\\.kpt) is already reserved by (.+)\\.$"_s);
        for (const QString &user : Users) {
            const QStringList told =
                QString::fromUtf8(ReadBytes(f.env.path(u"homes/"_s + user + u".err"_s)))
                    .split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(told.size(), Documents - int(holderOf.keys(user).size()));
            for (const QString &line : told) {
                const QRegularExpressionMatch match = lost.match(line);
                QVERIFY2(match.hasMatch() && holderOf[match.captured(1)] == match.captured(2),
                         qPrintable(line));
            }
        }
        for (int row = 0; row < Documents; ++row)
            QCOMPARE(f.List().Record(row)->CheckedOutBy(),
                     holderOf[f.List().Record(row)->FileName()]);
        QVERIFY(f.prompts.records.last().text.startsWith(
            u"%1 document(s) could not be checked out:"_s.arg(Documents -
                                                              holderOf.keys(u"erik"_s).size())));
        QCOMPARE(f.ActiveProject(), project);
    }
};

QTEST_MAIN(TestRace)
#include "tst_race.moc"
