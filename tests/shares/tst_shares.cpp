// Scrivo on real network shares, as teams use it: one folder on a file server, mounted by two
// workstations, each with a Scrivo home of its own. An SMB share through the FUSE client
// (which makes no hard links) and an SFTP share through sshfs with its default caches (which
// keep a file's old size for 20 s).

#include "Hostile.h"
#include "NetworkShare.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "model/FileListModel.h"
#include "server/scrivo/ReservationRecord.h"
#include "server/scrivo/ScrivoServer.h"

#include <QHash>
#include <QThread>

namespace {

const QStringList Users{u"anna"_s, u"ben"_s, u"carl"_s, u"dora"_s};

// The documents' names, Part000.kpt ...
QStringList PartNames(int count)
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(u"Part%1.kpt"_s.arg(i, 3, 10, QLatin1Char('0')));
    return names;
}

} // namespace

class TestShares : public QObject
{
    Q_OBJECT

    TestEnvironment env;
    std::unique_ptr<NetworkShare> shares[NetworkShare::KindCount];
    QString folder; // this test's folder in the share
    int used = 0;

    NetworkShare &Share()
    {
        QFETCH(int, kind);
        return *shares[kind];
    }

    // A folder of its own in the share with a Shared project and the documents, and homes
    // for the users that have that project active through workstation 1 (anna, ben) or 2.
    void SetUp(const QStringList &documents, const QStringList &users = Users)
    {
        NetworkShare &share = Share();
        folder = u"t%1"_s.arg(++used);
        WriteWhole(share.Served(folder + u"/S.kpj"_s), "[Project Defaults]\nMultiUser=Shared\n");
        for (qsizetype i = 0; i < documents.size(); ++i)
            WriteScrivoDocument(share.Served(folder + u'/' + documents[i]), u"P"_s, 1 + i % 7);
        for (qsizetype i = 0; i < users.size(); ++i)
            Scrivo(users[i], i / 2 + 1, {u"activate"_s, u"S.kpj"_s});
    }
    // The document as the workstation sees it.
    QString At(int workstation, const QString &name) const
    {
        QFETCH(int, kind);
        return shares[kind]->Mount(workstation) + u'/' + folder + u'/' + name;
    }
    // The arguments of scrivo as user on the workstation: those that name a file of the
    // test's folder (the project "S.kpj" or a document) are its path there, and a reserve or
    // release is made in the user's name.
    QStringList Arguments(const QString &user, int workstation, QStringList arguments) const
    {
        for (QString &argument : arguments)
            if (argument.endsWith(u".kpt"_s) || argument.endsWith(u".kpj"_s))
                argument = At(workstation, argument);
        if (arguments.first() == u"reserve"_s || arguments.first() == u"release"_s)
            arguments.insert(1, user), arguments.insert(1, u"--user"_s);
        return arguments;
    }
    // scrivo run to its end as user (with a home of that user's own) on the workstation.
    ToolResult Scrivo(const QString &user, int workstation, const QStringList &arguments)
    {
        return RunScrivo(Arguments(user, workstation, arguments), 120000, HomeOf(user));
    }
    // The environment of scrivo run as user: a Scrivo home of that user's own.
    QProcessEnvironment HomeOf(const QString &user) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"KORVEX_SCRIVO_HOME"_s, env.path(u"homes/"_s + user));
        environment.insert(u"XDG_CACHE_HOME"_s, env.path(u"caches/"_s + user));
        return environment;
    }
    // What the server keeps in the test's folder.
    QStringList Served() { return FolderEntries(Share().Served(folder)); }
    // The kinds of share tried: those BREVANT_SHARE_KINDS names (the FUSE clients on this
    // machine by default; the kernel's clients in the kernel VM).
    static QList<NetworkShare::Kind> Kinds()
    {
        return NetworkShare::KindsNamed(
            qEnvironmentVariable("BREVANT_SHARE_KINDS", QStringLiteral("smb,sshfs")));
    }
    // A row for each kind tried, with the value that kind needs.
    template <typename Value>
    static void EachShareWith(const char *column, const QHash<NetworkShare::Kind, Value> &values)
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<Value>(column);
        for (const NetworkShare::Kind kind : Kinds())
            if (values.contains(kind))
                QTest::addRow("%s", qPrintable(NetworkShare::KindName(kind)))
                    << int(kind) << values.value(kind);
    }
    // The data of a test run once on each kind of share (without kernel clients: on each
    // FUSE client).
    static void EachShare(bool kernelClients = true)
    {
        QTest::addColumn<int>("kind");
        for (const NetworkShare::Kind kind : Kinds())
            if (kernelClients || !NetworkShare::InKernel(kind))
                QTest::addRow("%s", qPrintable(NetworkShare::KindName(kind))) << int(kind);
    }

private slots:
    void initTestCase()
    {
        for (const auto kind : Kinds()) {
            auto &share = shares[int(kind)];
            share = std::make_unique<NetworkShare>(kind);
            QVERIFY2(share->Ready(), qPrintable(share->Problem()));
        }
    }

    void cleanupTestCase()
    {
        for (auto &share : shares)
            share.reset();
    }

    void staleLookNeverDecidesACheckIn_data()
    {
        // Around the clients' cache times: the SMB clients' second, sshfs's 20 s, the NFS
        // client's at least 3 s for a file.
        using enum NetworkShare::Kind;
        EachShareWith<QList<int>>("delaysMs", {{Smb, {0, 1200}},
                                               {Sshfs, {0, 2000, 21000}},
                                               {Nfs3, {0, 3500}},
                                               {Nfs4, {0, 3500}},
                                               {Cifs, {0, 1200}}});
    }

    void staleLookNeverDecidesACheckIn()
    {
        // Workstation 2 looks at anna's reservations; through workstation 1 she releases them
        // and a user with a longer name reserves (a longer record, so a look that stops at the
        // old size would cut it). Each delay later workstation 2 checks in in anna's name, as
        // the window does for a row that shows anna: the record as it is decides.
        QFETCH(int, kind);
        QFETCH(QList<int>, delaysMs);
        const QString newer = u"christopher.maximilian"_s;
        const QStringList names = PartNames(int(delaysMs.size()));
        SetUp(names, {u"anna"_s, newer, u"ben"_s});
        // Where the share makes no hard links, records are created in place: told once.
        const ToolResult reserved = Scrivo(u"anna"_s, 1, QStringList{u"reserve"_s} + names);
        QCOMPARE(reserved.exitCode, 0);
        QCOMPARE(reserved.err.count(u"cannot make hard links"_s),
                 kind == int(NetworkShare::Kind::Smb) ? 1 : 0);
        QCOMPARE(Scrivo(u"ben"_s, 2, QStringList{u"status"_s} + names).out.count(u"\tanna\t"_s),
                 names.size());
        QCOMPARE(Scrivo(u"anna"_s, 1, QStringList{u"release"_s} + names).exitCode, 0);
        QCOMPARE(Scrivo(newer, 1, QStringList{u"reserve"_s} + names).exitCode, 0);
        for (qsizetype i = 0; i < names.size(); ++i) {
            QThread::msleep(ulong(delaysMs[i]));
            const ToolResult checkIn = Scrivo(u"anna"_s, 2, {u"release"_s, names[i]});
            QVERIFY2(checkIn.exitCode == 1 &&
                         checkIn.err.contains(u"by "_s + newer + u", not by anna"_s),
                     qPrintable(checkIn.err));
        }
    }

    void handleKeptOpenNeverDecidesACheckIn_data() { EachShare(); }

    void handleKeptOpenNeverDecidesACheckIn()
    {
        // Workstation 2 reads anna's record, and at once ben's takes its place on the server
        // (a workstation of the kernel's SMB client then still keeps the file it read open):
        // anna's check-in through workstation 2 is refused and leaves ben's record there.
        SetUp({u"A.kpt"_s, u"B.kpt"_s}, {u"anna"_s, u"ben"_s});
        QCOMPARE(Scrivo(u"anna"_s, 1, {u"reserve"_s, u"A.kpt"_s}).exitCode, 0);
        QCOMPARE(Scrivo(u"ben"_s, 1, {u"reserve"_s, u"B.kpt"_s}).exitCode, 0);
        const QString a = At(2, u"A.kpt"_s), served = Share().Served(folder + u"/A.kpt"_s);
        QCOMPARE(ReservationRecord(a, a).ReservedBy(), u"anna"_s);
        QVERIFY(
            ::rename(QFile::encodeName(ScrivoReservationPath(Share().Served(folder + u"/B.kpt"_s))),
                     QFile::encodeName(ScrivoReservationPath(served))) == 0);
        QVERIFY(ThrowsServerError([&] { ReservationRecord(a, a).Remove(u"anna"_s); },
                                  ServerErrors::NotTheHolder, {u"by ben, not by anna"_s}));
        QCOMPARE(ReservationRecord(served, served).ReservedBy(), u"ben"_s);
    }

    void unfinishedRecordIsBeingReservedThenDamaged_data()
    {
        // The record's age is changed on the server's own disk, where no client hears of it:
        // the kernel's SMB client keeps a file it read open for a second after (deferred
        // close) and its attributes for another.
        using enum NetworkShare::Kind;
        EachShareWith<int>("clientCacheMs",
                           {{Smb, 0}, {Sshfs, 0}, {Nfs3, 0}, {Nfs4, 0}, {Cifs, 2100}});
    }

    void unfinishedRecordIsBeingReservedThenDamaged()
    {
        // A record whose writer has created it at its name and not yet written it whole, as
        // the other workstation sees it: the document is held by a holder not known yet, and
        // nobody else may release it; a minute later the record counts as damaged.
        QFETCH(int, clientCacheMs);
        SetUp({u"A.kpt"_s}, {u"anna"_s, u"ben"_s, u"carl"_s});
        const QString record = ScrivoReservationPath(Share().Served(folder + u"/A.kpt"_s));
        WriteWhole(record, "[Reservation]\nBy=\"dora\"\nTime=2026-12");
        const ToolResult status = Scrivo(u"carl"_s, 2, {u"status"_s, u"A.kpt"_s});
        QCOMPARE(status.out, At(2, u"A.kpt"_s) + u"\t(being reserved)\n"_s);
        const ToolResult listed = Scrivo(u"carl"_s, 2, {u"list"_s, u"--reserved"_s, At(2, {})});
        QVERIFY2(listed.exitCode == 0 && listed.out.contains(u"\t(being reserved)\t\t\tP\n"_s),
                 qPrintable(listed.out + listed.err));
        const ToolResult kept = Scrivo(u"carl"_s, 2, {u"release"_s, u"A.kpt"_s});
        QVERIFY2(kept.exitCode == 1 && kept.err.contains(u"being reserved"_s),
                 qPrintable(kept.err));

        SetTimes(record, -120);
        QThread::msleep(ulong(clientCacheMs));
        QVERIFY(Scrivo(u"carl"_s, 2, {u"status"_s, u"A.kpt"_s}).err.contains(u"damaged"_s));
        // A check-out that waits for another change's turn and meets the damaged record there
        // leaves nothing of its own behind (the last comparison).
        QDir().mkpath(Share().Served(folder + u"/.A.kpt.lock/t1"_s));
        QVERIFY(Scrivo(u"ben"_s, 1, {u"reserve"_s, u"A.kpt"_s}).err.contains(u"damaged"_s));
        QVERIFY(QDir(Share().Served(folder + u"/.A.kpt.lock"_s)).removeRecursively());
        QCOMPARE(Scrivo(u"carl"_s, 2, {u"release"_s, u"A.kpt"_s}).exitCode, 0);
        QCOMPARE(Served(), (QStringList{u"A.kpt"_s, u"S.kpj"_s}));
    }

    void theWindowChecksOutAndInManyDocumentsAtOnce_data() { EachShare(); }

    void theWindowChecksOutAndInManyDocumentsAtOnce()
    {
        // On a share the window works on many documents at once; every row ends as the
        // server holds its document, and the other workstation sees the same. The project is
        // a Single User one: each run works through a working project written beside it.
        const QStringList names = PartNames(60);
        SetUp(names, {});
        WriteWhole(Share().Served(folder + u"/S.kpj"_s),
                   "[Project Defaults]\nMultiUser=Single User\n");
        ShellFixture f;
        f.server->SetUserName(u"anna"_s);
        const QString project = At(1, u"S.kpj"_s);
        f.server->RegisterProject(project);
        QVERIFY(f.Start(project));
        f.Search(At(1, QString()));
        f.Trigger("mnuSelectAll");
        f.Trigger("mnuReserveSelectedFiles");
        QCOMPARE(f.Column(0), QStringList(names.size(), u"anna"_s));
        const ToolResult seen = Scrivo(u"ben"_s, 2, {u"list"_s, At(2, QString())});
        QCOMPARE(seen.out.count(u"\tanna\t"_s), names.size());
        f.Trigger("mnuUnreserveSelectedFiles");
        QCOMPARE(f.Column(0), QStringList(names.size(), Available));
        QCOMPARE(Served().size(), names.size() + 1);
        QVERIFY(f.prompts.Done());
    }

    void claimantsOnTwoMountsLeaveOneWholeRecordEach_data()
    {
        using enum NetworkShare::Kind;
        EachShareWith<int>("documents",
                           {{Smb, 120}, {Sshfs, 100}, {Nfs3, 200}, {Nfs4, 200}, {Cifs, 200}});
    }

    void claimantsOnTwoMountsLeaveOneWholeRecordEach()
    {
        // Four scrivo processes, anna and ben through the first mount, carl and dora through
        // the second; anna and carl forwards, ben and dora backwards.
        QFETCH(int, documents);
        const QStringList names = PartNames(documents);
        SetUp(names);
        QProcess racers[4];
        for (int i = 0; i < 4; ++i) {
            QStringList order{u"reserve"_s};
            for (const QString &name : names)
                order.insert(i % 2 == 0 ? order.size() : 1, name);
            racers[i].setProcessEnvironment(HomeOf(Users[i]));
            racers[i].setStandardOutputFile(QProcess::nullDevice());
            racers[i].setStandardErrorFile(env.path(Users[i] + u".err"_s));
            racers[i].start(ScrivoToolPath(), Arguments(Users[i], i / 2 + 1, order));
        }
        for (QProcess &racer : racers)
            QVERIFY2(racer.waitForFinished(540000), "a claimant did not end within 9 minutes");

        // Each document held by one claimant in a whole record at its version, the same
        // holder seen through both mounts; every claimant was told once for each document it
        // did not get (under load smbnetfs may answer a read with EIO: that claimant is told
        // the document could not be read).
        QHash<QString, QStringList> held;
        for (int i = 0; i < documents; ++i) {
            QStringList seen;
            for (int workstation : {1, 2}) {
                ReservationState state;
                const QString failure = FailureOf([&] {
                    state = ScrivoServer(env.path(u"homes/anna"_s))
                                .OpenDocument(At(workstation, names[i]))
                                ->Reservation();
                });
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
                QCOMPARE(state.Version, 1 + i % 7);
                seen.append(state.By);
            }
            QVERIFY2(Users.contains(seen[0]) && seen[1] == seen[0], qPrintable(names[i]));
            held[seen[0]].append(names[i]);
        }
        for (const QString &user : Users) {
            const QByteArray told = ReadBytes(env.path(user + u".err"_s));
            const QByteArray unreadable = "could not be read: Input/output error";
            QByteArrayList other;
            for (const QByteArray &line : told.split('\n'))
                if (!line.contains("already reserved") && !line.contains("hard links") &&
                    !line.contains(unreadable))
                    other.append(line);
            QVERIFY2(told.count("already reserved") + told.count(unreadable) ==
                         documents - held[user].size(),
                     other.join(QByteArrayLiteral(" // ")).left(1500));
        }

        // Each checks in what it holds, through the other mount; nothing is left behind.
        for (int i = 0; i < 4; ++i) {
            racers[i].setStandardErrorFile(env.path(Users[i] + u".release"_s));
            if (!held[Users[i]].isEmpty())
                racers[i].start(ScrivoToolPath(),
                                Arguments(Users[i], 2 - i / 2,
                                          QStringList{u"release"_s, u"--"_s} + held[Users[i]]));
        }
        for (int i = 0; i < 4; ++i)
            QVERIFY2(racers[i].state() == QProcess::NotRunning ||
                         (racers[i].waitForFinished(540000) && racers[i].exitCode() == 0),
                     ReadBytes(env.path(Users[i] + u".release"_s)).left(2000));
        QCOMPARE(Served().size(), documents + 1);
    }

    void aStalledCheckOutNeverPlacesItsRecordOverAnother_data() { EachShare(); }

    void aStalledCheckOutNeverPlacesItsRecordOverAnother()
    {
        // anna's check-out through workstation 1 found the document free in its turn and
        // stalls before it puts its record in place, for longer than a turn may last. ben's
        // through workstation 2 takes the turn over and reserves; anna's, let go, finds its
        // turn gone, looks again and is refused: ben's record stays.
        SetUp({u"A.kpt"_s}, {u"anna"_s, u"carl"_s, u"ben"_s});
        const QString pause = env.path(u"pause-%1"_s.arg(folder));
        QProcess anna;
        anna.setProcessEnvironment(
            PausedBefore(At(1, u".A.kpt.lock/n*"_s), pause, HomeOf(u"anna"_s)));
        anna.start(ScrivoToolPath(), Arguments(u"anna"_s, 1, {u"reserve"_s, u"A.kpt"_s}));
        QVERIFY(WaitUntilPaused(pause, anna));
        SetTimes(Share().Served(folder + u"/.A.kpt.lock"_s), -120);
        const ToolResult ben = Scrivo(u"ben"_s, 2, {u"reserve"_s, u"A.kpt"_s});
        QVERIFY2(ben.exitCode == 0, qPrintable(ben.err));
        LetGo(pause);
        const ToolResult stalled = FinishTool(anna, 120000);
        QVERIFY2(stalled.exitCode == 1 && stalled.err.contains(u"already reserved by ben"_s),
                 qPrintable(stalled.err));
        for (int workstation : {1, 2})
            QVERIFY(Scrivo(u"carl"_s, workstation, {u"status"_s, u"A.kpt"_s})
                        .out.contains(u"\tben\t"_s));
        QCOMPARE(Served(), (QStringList{u".A.kpt.reservation"_s, u"A.kpt"_s, u"S.kpj"_s}));
    }

    void aNameTheOtherMountStillKnowsIsLookedAtAgain_data() { EachShare(); }

    void aNameTheOtherMountStillKnowsIsLookedAtAgain()
    {
        // Workstation 2 has seen anna's records; she releases them through workstation 1.
        // ben's check-out through workstation 2 right after finds them free, however long
        // its client still remembers their names.
        const QStringList names = PartNames(6);
        SetUp(names, {u"anna"_s, u"carl"_s, u"ben"_s});
        QCOMPARE(Scrivo(u"anna"_s, 1, QStringList{u"reserve"_s} + names).exitCode, 0);
        QCOMPARE(Scrivo(u"ben"_s, 2, QStringList{u"status"_s} + names).out.count(u"\tanna\t"_s),
                 names.size());
        QCOMPARE(Scrivo(u"anna"_s, 1, QStringList{u"release"_s} + names).exitCode, 0);
        const ToolResult ben = Scrivo(u"ben"_s, 2, QStringList{u"reserve"_s} + names);
        QVERIFY2(ben.exitCode == 0, qPrintable(ben.err));
        QCOMPARE(Scrivo(u"carl"_s, 1, QStringList{u"status"_s} + names).out.count(u"\tben\t"_s),
                 names.size());
    }

    void theMetadataCacheNeverHidesAChangeLongerThanTheClient_data()
    {
        // How long the client itself may show another workstation's document as it was:
        // sshfs keeps a file's size and times for 20 s.
        using enum NetworkShare::Kind;
        EachShareWith<int>("clientCacheMs",
                           {{Smb, 0}, {Sshfs, 21000}, {Nfs3, 0}, {Nfs4, 0}, {Cifs, 1200}});
    }

    void theMetadataCacheNeverHidesAChangeLongerThanTheClient()
    {
        // carl lists through workstation 1 with the cache his listing before filled: ben's
        // check-out through workstation 2 shows at once; a document written anew there shows
        // once the client's own cache no longer hides it, as without the metadata cache.
        QFETCH(int, clientCacheMs);
        const QStringList names = PartNames(4);
        SetUp(names, {u"anna"_s, u"carl"_s, u"ben"_s});
        for (const QString &name : names)
            SetTimes(Share().Served(folder + u'/' + name), -3600);
        const auto listed = [&](const QStringList &options = {}) {
            return Scrivo(u"carl"_s, 1, QStringList{u"list"_s} + options + QStringList{At(1, {})})
                .out;
        };
        const QString cache = env.path(u"caches/carl/korvex-brevant/metadata.cache"_s);
        QFile::remove(cache); // the other share's row filled it too
        QCOMPARE(listed().count(u"\tavailable\t\t\tP\n"_s), names.size());
        QCOMPARE(ReadBytes(cache).count('\n'), names.size() + 2);
        WriteScrivoDocument(At(2, names[2]), u"Written anew"_s);
        QCOMPARE(Scrivo(u"ben"_s, 2, {u"reserve"_s, names[1]}).exitCode, 0);
        QCOMPARE(listed().count(u"\tben\t"_s), 1);
        QThread::msleep(ulong(clientCacheMs));
        const QString after = listed();
        QVERIFY2(after.contains(u"\tWritten anew\n"_s), qPrintable(after));
        QCOMPARE(listed({u"--no-cache"_s}), after);
    }

    void filesHeldOpenAndSecondNamesNeitherMisleadNorBlock_data()
    {
        // Only the kernel's clients tell a document's two names apart (the FUSE clients report
        // one link for every file). An SMB server lists a removed file that is still open as
        // long as it is (told as a document that could not be read), and the kernel's SMB
        // client may keep a file open for a second after it read it, which then shuts out the
        // file's other name as well.
        using enum NetworkShare::Kind;
        EachShareWith<QList<int>>("listed", {{Nfs3, {3}}, {Nfs4, {3}}, {Cifs, {2, 3}}});
    }

    void filesHeldOpenAndSecondNamesNeitherMisleadNorBlock()
    {
        // A document with a second name is refused. A document and a record that are removed
        // while a program of the same workstation holds them open (NFS then keeps them as
        // .nfsXXXX files) are neither listed nor in the way of the next check-out.
        if (!QTest::currentDataTag())
            QSKIP("no kernel client among the shares tried");
        QFETCH(QList<int>, listed);
        SetUp({u"A.kpt"_s, u"B.kpt"_s, u"C.kpt"_s}, {u"anna"_s, u"carl"_s, u"ben"_s});
        QCOMPARE(::link(QFile::encodeName(Share().Served(folder + u"/A.kpt"_s)),
                        QFile::encodeName(Share().Served(folder + u"/Twin.kpt"_s))),
                 0);
        const ToolResult twin = Scrivo(u"ben"_s, 2, {u"reserve"_s, u"A.kpt"_s});
        QVERIFY2(twin.exitCode == 1 && twin.err.contains(u"hard links"_s), qPrintable(twin.err));
        QCOMPARE(Scrivo(u"ben"_s, 2, {u"reserve"_s, u"C.kpt"_s}).exitCode, 0);
        QFile document(At(2, u"B.kpt"_s)), record(ScrivoReservationPath(At(2, u"C.kpt"_s)));
        QVERIFY(document.open(QIODevice::ReadOnly) && record.open(QIODevice::ReadOnly));
        QVERIFY(QFile::remove(At(2, u"B.kpt"_s)));
        QCOMPARE(Scrivo(u"ben"_s, 2, {u"release"_s, u"C.kpt"_s}).exitCode, 0);
        const ToolResult list = Scrivo(u"ben"_s, 2, {u"list"_s, At(2, {})});
        QVERIFY2(listed.contains(list.out.count(u'\n')) && !list.out.contains(u".nfs"_s) &&
                     list.exitCode == int(listed.first() < 3), // A, C and Twin
                 qPrintable(list.out + list.err +
                            ReadBytes(env.stateHome() + u"/korvex-brevant/Error.log"_s)));
        const ToolResult again = Scrivo(u"carl"_s, 1, {u"reserve"_s, u"C.kpt"_s});
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
    }

    void aFolderListingThatFailsForAMomentIsAskedAgain_data() { EachShare(false); }

    void aFolderListingThatFailsForAMomentIsAskedAgain()
    {
        // Right after failed look-ups a FUSE client may fail a listing for a moment (EIO); the
        // kernel's clients do not, and such a failure is no moment there.
        if (!QTest::currentDataTag())
            QSKIP("no FUSE client among the shares tried");
        SetUp(PartNames(3), {u"anna"_s, u"carl"_s, u"ben"_s});
        const ToolResult listed =
            RunScrivo({u"list"_s, At(2, QString())}, 120000,
                      WithPreload(HomeOf(u"ben"_s), {{u"BREVANT_FAIL_LISTING"_s, u"*/"_s + folder},
                                                     {u"BREVANT_FAIL_TIMES"_s, u"2"_s}}));
        QVERIFY2(listed.exitCode == 0, qPrintable(listed.err));
        QCOMPARE(listed.out.count(u"\tavailable\t"_s), 3);
    }

    void aLostConnectionIsToldAsSuch_data()
    {
        // Through sshfs, which can be cut from either end.
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("serverSide");
        QTest::addColumn<QString>("why");
        const int sshfs = int(NetworkShare::Kind::Sshfs);
        if (!Kinds().contains(NetworkShare::Kind::Sshfs))
            return;
        QTest::addRow("the server ends the connection")
            << sshfs << true << u"it is no longer mounted at "_s;
        QTest::addRow("the client is killed")
            << sshfs << false << u"Transport endpoint is not connected"_s;
    }

    void aLostConnectionIsToldAsSuch()
    {
        // A check-out run loses its share before it takes its first turn: the documents that
        // exist there are not said to be missing.
        if (!QTest::currentDataTag())
            QSKIP("sshfs is not among the shares tried");
        QFETCH(bool, serverSide);
        QFETCH(QString, why);
        const QStringList names = PartNames(3);
        SetUp(names, {u"anna"_s, u"carl"_s, u"ben"_s});
        const QString pause = env.path(u"pause-%1"_s.arg(folder));
        QProcess run;
        run.setProcessEnvironment(PausedBefore(At(2, u".trn-*"_s), pause, HomeOf(u"ben"_s)));
        run.start(ScrivoToolPath(), Arguments(u"ben"_s, 2, QStringList{u"reserve"_s} + names));
        QVERIFY(WaitUntilPaused(pause, run));
        if (serverSide)
            Share().CutConnections();
        else
            Share().KillClient(2);
        LetGo(pause);
        const ToolResult ben = FinishTool(run, 120000);
        QVERIFY(Share().Remount(1) && Share().Remount(2));
        QCOMPARE(ben.exitCode, 1);
        QCOMPARE(ben.err.count(u": the share is not reachable ("_s + why), names.size());
    }
};

QTEST_MAIN(TestShares)
#include "tst_shares.moc"
