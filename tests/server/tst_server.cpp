#include "TestEnvironment.h"

#include "platform/DirectoryListing.h"

#include "projects/IniFile.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Runs the call and returns the ServerError it threw; fails the test when it threw none.
template <typename Call> ServerError ErrorOf(Call call)
{
    try {
        call();
    } catch (const ServerError &error) {
        return error;
    }
    return ServerError(0, QStringLiteral("no error was thrown"));
}

ino_t InodeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

QString RecordOf(const QString &document)
{
    const QFileInfo info(document);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() +
           QStringLiteral(".reservation");
}

QString ScrivoTool()
{
    return qEnvironmentVariable("BREVANT_BIN_DIR") + QStringLiteral("/scrivo");
}

struct ToolResult
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the scrivo tool to its end, bounded in time.
ToolResult RunTool(const QStringList &arguments)
{
    QProcess process;
    process.start(ScrivoTool(), arguments);
    ToolResult result;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

const QByteArray SharedProject = "[Project Defaults]\nMultiUser=Shared\n";

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void projectsAreRegisteredInOrderAndOneIsActive();
    void activeProjectRefusesMissingFilesAndFallsBackToDefault();
    void serverIniKeepsOtherLinesAndSkipsUnchangedWrites();
    void multiUserModeIsReadByName_data();
    void multiUserModeIsReadByName();
    void userNameIsPerServerAndDefaultIsShared();
    void majorVersionComesFromServerIni();
    void workspaceAndWorkgroupPathsAreFullPaths();
    void documentsGiveMetadataOrFileNameDefaults();
    void documentsThatAreNoFilesAreRefused();
    void referencesAreWalkedDepthFirstOnceEach();
    void reservationBelongsToOneHolder();
    void reservationNeedsASharedProjectAndAValidUser();
    void damagedRecordFailsReadsAndAnyUserMayRelease();
    void recordThatCannotBeWrittenChangesNothing();
    void documentsWhoseNamesAreNotUtf8AreReachedByTheirBytes();
    void racingProcessesLeaveExactlyOneHolder();
    void toolWritesASampleProjectAndReportsIt();
    void toolRefusesBadUsage();
};

void TestServer::projectsAreRegisteredInOrderAndOneIsActive()
{
    TestEnvironment env;
    const QString a = env.writeFile(QStringLiteral("p/A.kpj"), SharedProject);
    const QString b = env.writeFile(QStringLiteral("q/B.kpj"), SharedProject);
    const QString c = env.writeFile(QStringLiteral("C.kpj"), SharedProject);
    ScrivoServer server;
    QVERIFY(server.ProjectHandler().GetProjects().isEmpty());
    server.RegisterProject(b);
    server.RegisterProject(a);
    server.RegisterProject(c);
    server.RegisterProject(a); // twice is once
    QCOMPARE(server.ProjectHandler().GetProjects(), (QStringList{b, a, c}));

    server.UnregisterProject(a);
    QCOMPARE(server.ProjectHandler().GetProjects(), (QStringList{b, c}));
    const QString ini = env.scrivoHome() + QStringLiteral("/server.ini");
    QCOMPARE(ReadINI(QStringLiteral("Projects"), QStringLiteral("Project2"), ini), c);
    QVERIFY(ReadINI(QStringLiteral("Projects"), QStringLiteral("Project3"), ini).isEmpty());

    const ServerError notRegistered = ErrorOf([&] { server.UnregisterProject(a); });
    QCOMPARE(notRegistered.number, ServerErrors::ProjectNotFound);
    QVERIFY(notRegistered.description.contains(a));
    const QString missing = env.path(QStringLiteral("missing.kpj"));
    QCOMPARE(ErrorOf([&] { server.RegisterProject(missing); }).number,
             ServerErrors::ProjectNotFound);

    // The active project is shared by all server objects; an unregistered file may be active.
    server.ProjectHandler().SetActiveProject(a);
    ScrivoServer other;
    QCOMPARE(other.ProjectHandler().ActiveProject(), a);
    QCOMPARE(other.ProjectHandler().GetProjects(), (QStringList{b, c}));
}

void TestServer::activeProjectRefusesMissingFilesAndFallsBackToDefault()
{
    TestEnvironment env;
    ScrivoServer server;
    const QString defaultProject = env.scrivoHome() + QStringLiteral("/Default.kpj");
    QCOMPARE(server.ProjectHandler().ActiveProject(), defaultProject);
    QVERIFY(QFileInfo(defaultProject).isFile());

    const QString a = env.writeFile(QStringLiteral("A.kpj"), SharedProject);
    server.ProjectHandler().SetActiveProject(a);
    const QString missing = env.path(QStringLiteral("gone/B.kpj"));
    const ServerError error = ErrorOf([&] { server.ProjectHandler().SetActiveProject(missing); });
    QCOMPARE(error.number, ServerErrors::ProjectNotFound);
    QVERIFY(error.description.contains(missing));
    QCOMPARE(ErrorOf([&] { server.ProjectHandler().SetActiveProject(env.root()); }).number,
             ServerErrors::ProjectNotFound);
    QCOMPARE(server.ProjectHandler().ActiveProject(), a);

    // "" activates the fallback project, recreated when it was removed.
    QVERIFY(QFile::remove(defaultProject));
    server.ProjectHandler().SetActiveProject(QString());
    QCOMPARE(server.ProjectHandler().ActiveProject(), defaultProject);
    QVERIFY(QFileInfo(defaultProject).isFile());
    QCOMPARE(server.MultiUserMode(), MultiUserModes::SingleUser);

    // A home folder that cannot be made (its parent is a file) is refused at once.
    const QString blocked =
        env.writeFile(QStringLiteral("blocked"), "file") + QStringLiteral("/home");
    const ServerError unusable = ErrorOf([&] { ScrivoServer failing(blocked); });
    QCOMPARE(unusable.number, ServerErrors::ServerHomeUnusable);
    QVERIFY(unusable.description.contains(blocked));
}

void TestServer::serverIniKeepsOtherLinesAndSkipsUnchangedWrites()
{
    TestEnvironment env;
    const QString ini =
        env.writeFile(QStringLiteral("scrivo-home/server.ini"),
                      "; kept by hand\r\n[Server]\r\nUserName=carla\r\n[Other]\r\nKey=Value\r\n");
    const QString a = env.writeFile(QStringLiteral("A.kpj"), SharedProject);
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(a);
    server.RegisterProject(a);
    QFile file(ini);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.startsWith("; kept by hand\r\n[Server]\r\nUserName=carla\r\n"));
    QVERIFY(text.contains("[Other]\r\nKey=Value\r\n"));

    // A write that changes nothing leaves the file alone (it is replaced on every write).
    const ino_t before = InodeOf(ini);
    server.ProjectHandler().SetActiveProject(a);
    server.RegisterProject(a);
    server.SetDefaultUserName(QStringLiteral("carla"));
    QCOMPARE(InodeOf(ini), before);
    server.SetDefaultUserName(QStringLiteral("dora"));
    QVERIFY(InodeOf(ini) != before);
    QCOMPARE(ReadINI(QStringLiteral("Server"), QStringLiteral("UserName"), ini),
             QStringLiteral("dora"));
    // No lock or private copy stays behind.
    QCOMPARE(QDir(env.scrivoHome()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("Default.kpj"), QStringLiteral("server.ini")}));
}

void TestServer::multiUserModeIsReadByName_data()
{
    QTest::addColumn<QByteArray>("project");
    QTest::addColumn<int>("mode");
    const auto row = [](const char *name, const QByteArray &value, int mode) {
        QTest::newRow(name) << QByteArray("[Project Defaults]\nMultiUser=" + value + "\n") << mode;
    };
    row("single", "Single User", MultiUserModes::SingleUser);
    row("shared", "Shared", MultiUserModes::Shared);
    row("semi", "Semi-Isolated", MultiUserModes::SemiIsolated);
    row("semi no checkout", "Semi-Isolated no checkout", MultiUserModes::SemiIsolatedNoCheckout);
    row("depona", "Depona", MultiUserModes::Depona);
    row("quoted, blanks", "  \"Shared\"  ", MultiUserModes::Shared);
    row("other case", "shared", MultiUserModes::SingleUser);
    row("unknown", "Team", MultiUserModes::SingleUser);
    row("empty", "", MultiUserModes::SingleUser);
    QTest::newRow("no key") << QByteArray("[Project Defaults]\nOther=1\n")
                            << MultiUserModes::SingleUser;
    QTest::newRow("key in other section")
        << QByteArray("[Workspace]\nMultiUser=Shared\n") << MultiUserModes::SingleUser;
}

void TestServer::multiUserModeIsReadByName()
{
    QFETCH(QByteArray, project);
    QFETCH(int, mode);
    TestEnvironment env;
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("P.kpj"), project));
    QCOMPARE(server.MultiUserMode(), mode);
}

void TestServer::userNameIsPerServerAndDefaultIsShared()
{
    TestEnvironment env;
    ScrivoServer first;
    const passwd *account = ::getpwuid(::geteuid());
    QVERIFY(account);
    QCOMPARE(first.UserName(), QString::fromUtf8(account->pw_name));

    first.SetDefaultUserName(QStringLiteral("erik"));
    QCOMPARE(first.UserName(), QString::fromUtf8(account->pw_name)); // set at creation
    ScrivoServer second;
    QCOMPARE(second.UserName(), QStringLiteral("erik"));
    second.SetUserName(QStringLiteral("Frida Berg"));
    QCOMPARE(second.UserName(), QStringLiteral("Frida Berg"));
    QCOMPARE(ScrivoServer().UserName(), QStringLiteral("erik"));

    for (const QString &bad : {QString(), QStringLiteral("a\nb"), QStringLiteral("tab\there"),
                               QStringLiteral("bell\a")}) {
        QCOMPARE(ErrorOf([&] { second.SetUserName(bad); }).number, ServerErrors::InvalidUserName);
        QCOMPARE(ErrorOf([&] { second.SetDefaultUserName(bad); }).number,
                 ServerErrors::InvalidUserName);
    }
    QCOMPARE(second.UserName(), QStringLiteral("Frida Berg"));
    QCOMPARE(second.DefaultUserName(), QStringLiteral("erik"));
}

void TestServer::majorVersionComesFromServerIni()
{
    TestEnvironment env;
    ScrivoServer server;
    QCOMPARE(server.ReleaseInfo().MajorVersion(), 9);
    const QString ini = env.scrivoHome() + QStringLiteral("/server.ini");
    QVERIFY(WriteINI(QStringLiteral("Server"), QStringLiteral("MajorVersion"), QStringLiteral("10"),
                     ini));
    QCOMPARE(server.ReleaseInfo().MajorVersion(), 10);
    QVERIFY(WriteINI(QStringLiteral("Server"), QStringLiteral("MajorVersion"),
                     QStringLiteral("ten"), ini));
    QCOMPARE(server.ReleaseInfo().MajorVersion(), 9);
}

void TestServer::workspaceAndWorkgroupPathsAreFullPaths()
{
    TestEnvironment env;
    const QString project =
        env.writeFile(QStringLiteral("site/proj/P.kpj"), "[Workspace]\nWorkspace=.\\ws\\main\n"
                                                         "[Workgroup Search Paths]\n"
                                                         "Zeta=..\\lib\\std\n"
                                                         "Alpha=/opt/shared/parts\n"
                                                         "Workgroup=rel/dir\n"
                                                         "Empty=\n");
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(project);
    const QString folder = env.path(QStringLiteral("site/proj"));
    QCOMPARE(server.ProjectHandler().WorkspacePath(), folder + QStringLiteral("/ws/main"));
    QStringList names{QStringLiteral("stale")};
    QStringList paths{QStringLiteral("stale")};
    server.ProjectHandler().GetWorkgroupPaths(names, paths);
    QCOMPARE(names, (QStringList{QStringLiteral("Zeta"), QStringLiteral("Alpha"),
                                 QStringLiteral("Workgroup"), QStringLiteral("Empty")}));
    QCOMPARE(paths, (QStringList{env.path(QStringLiteral("site/lib/std")),
                                 QStringLiteral("/opt/shared/parts"),
                                 folder + QStringLiteral("/rel/dir"), QString()}));

    server.ProjectHandler().SetActiveProject(QString());
    QCOMPARE(server.ProjectHandler().WorkspacePath(), QString());
    server.ProjectHandler().GetWorkgroupPaths(names, paths);
    QVERIFY(names.isEmpty() && paths.isEmpty());
}

void TestServer::documentsGiveMetadataOrFileNameDefaults()
{
    TestEnvironment env;
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("S.kpj"), SharedProject));
    struct Case
    {
        const char *file;
        QByteArray content;
        const char *displayName;
        int version;
    };
    const QByteArray beyondLimit =
        QByteArray(64 * 1024, 'x') + "\n[Document]\nDisplayName=Too far\nVersion=5\n";
    const Case cases[] = {
        {"m/Bracket.kpt", "[Document]\nDisplayName=Bracket left\nVersion=7\n", "Bracket left", 7},
        {"m/Plain.v2.kpt", "just some text\nwithout sections\n", "Plain.v2", 1},
        {"m/Binary.kpt", QByteArray("KVX\0[Document]\nDisplayName=Hidden\nVersion=3\n", 44),
         "Binary", 1},
        {"m/BadVersion.kam", "[Document]\nDisplayName=Odd\nVersion=2.5\n", "Odd", 1},
        {"m/Malformed.kdw", "[Document\nDisplayName=Broken\n[References\n=x\n", "Malformed", 1},
        {"m/NoName.kdw", "[Document]\nDisplayName=\nVersion=4\n", "NoName", 4},
        {"m/Empty.kpt", "", "Empty", 1},
        {"m/Far.kpt", beyondLimit, "Far", 1},
    };
    for (const Case &c : cases) {
        const QString path = env.writeFile(QLatin1String(c.file), c.content);
        const ServerDocumentPtr document = server.OpenDocument(path);
        QCOMPARE(document->DisplayName(), QLatin1String(c.displayName));
        QCOMPARE(document->FullFileName(), path);
        QVERIFY(document->ReferencedDocuments().isEmpty());
        // The version shows in the reservation it is recorded with.
        document->Reserve();
        QCOMPARE(document->ReservedVersion(), c.version);
    }
    // A path with redundant parts opens the same file under its clean name.
    const QString untidy = env.path(QStringLiteral("m/../m//Bracket.kpt"));
    QCOMPARE(server.OpenDocument(untidy)->FullFileName(),
             env.path(QStringLiteral("m/Bracket.kpt")));
}

void TestServer::documentsThatAreNoFilesAreRefused()
{
    TestEnvironment env;
    ScrivoServer server;
    const QString folder = env.path(QStringLiteral("folder.kpt"));
    QVERIFY(QDir().mkpath(folder));
    const QString missing = env.path(QStringLiteral("missing.kpt"));
    const QString inMissingFolder =
        env.writeFile(QStringLiteral("file"), "x") + QStringLiteral("/a.kpt");
    const struct
    {
        QString path;
        int number;
    } cases[] = {{folder, ServerErrors::NotADocument},
                 {missing, ServerErrors::FileNotFound},
                 {inMissingFolder, ServerErrors::PathNotFound},
                 {QString(), ServerErrors::InvalidArgument}};
    for (const auto &c : cases) {
        const ServerError error = ErrorOf([&] { server.OpenDocument(c.path); });
        QCOMPARE(error.number, c.number);
        QVERIFY2(error.description.contains(c.path), qPrintable(error.description));
    }
}

void TestServer::referencesAreWalkedDepthFirstOnceEach()
{
    TestEnvironment env;
    ScrivoServer server;
    // A references B and C; B references D and a missing file; C references D again, a
    // second spelling of the missing file and A (a cycle); D lies in a sibling folder.
    const QString a = env.writeFile(QStringLiteral("top/A.kam"),
                                    "[References]\nFirst=sub\\B.kam\nSecond=" +
                                        env.path(QStringLiteral("top/C.kam")).toUtf8() + "\n");
    const QString b = env.writeFile(QStringLiteral("top/sub/B.kam"),
                                    "[References]\nR1=..\\..\\other\\D.kpt\nR2=Gone.kpt\n");
    const QString c = env.writeFile(QStringLiteral("top/C.kam"),
                                    "[References]\nR1=../other/D.kpt\nR2=sub/./Gone.kpt\n"
                                    "R3=A.kam\nR4=\n");
    const QString d = env.writeFile(QStringLiteral("other/D.kpt"), "[Document]\nVersion=2\n");
    const QList<ServerDocumentPtr> refs = server.OpenDocument(a)->ReferencedDocuments();
    QCOMPARE(refs.size(), 4);
    QVERIFY(refs[0] && refs[1] && !refs[2] && refs[3]);
    QCOMPARE(refs[0]->FullFileName(), b);
    QCOMPARE(refs[1]->FullFileName(), d);
    QCOMPARE(refs[3]->FullFileName(), c);

    // A two-document cycle gives the other document once.
    const QString x = env.writeFile(QStringLiteral("cycle/X.kam"), "[References]\nR=Y.kam\n");
    const QString y = env.writeFile(QStringLiteral("cycle/Y.kam"), "[References]\nR=X.kam\n");
    const QList<ServerDocumentPtr> cycle = server.OpenDocument(x)->ReferencedDocuments();
    QCOMPARE(cycle.size(), 1);
    QCOMPARE(cycle[0]->FullFileName(), y);

    // A link back to its own folder cannot make the walk endless.
    QVERIFY(QFile::link(env.path(QStringLiteral("cycle")), env.path(QStringLiteral("cycle/loop"))));
    env.writeFile(QStringLiteral("cycle/Z.kam"), "[References]\nR=loop/Z.kam\nS=loop/X.kam\n");
    const QList<ServerDocumentPtr> loop =
        server.OpenDocument(env.path(QStringLiteral("cycle/Z.kam")))->ReferencedDocuments();
    QCOMPARE(loop.size(), 2);
    QCOMPARE(loop[0]->FullFileName(), env.path(QStringLiteral("cycle/loop/X.kam")));

    // A referenced folder is no document: the walk fails and says which.
    env.writeFile(QStringLiteral("bad/F.kam"), "[References]\nR=Folder.kpt\n");
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("bad/Folder.kpt"))));
    const ServerError error = ErrorOf(
        [&] { server.OpenDocument(env.path(QStringLiteral("bad/F.kam")))->ReferencedDocuments(); });
    QCOMPARE(error.number, ServerErrors::NotADocument);
    QVERIFY(error.description.contains(env.path(QStringLiteral("bad/Folder.kpt"))));
}

void TestServer::reservationBelongsToOneHolder()
{
    TestEnvironment env;
    ScrivoServer anna;
    anna.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("S.kpj"), SharedProject));
    anna.SetUserName(QStringLiteral("anna"));
    ScrivoServer ben;
    ben.SetUserName(QStringLiteral("ben"));
    const QString path = env.writeFile(QStringLiteral("w/Part.kpt"), "[Document]\nVersion=12\n");

    const ServerDocumentPtr document = anna.OpenDocument(path);
    QVERIFY(!document->IsReserved());
    QCOMPARE(document->ReservedBy(), QString());
    QVERIFY(!document->ReservedTime().isValid());
    QCOMPARE(document->ReservedVersion(), 0);
    document->ReleaseReservation(); // nobody holds it: nothing happens

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    document->Reserve();
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    QVERIFY(QFileInfo(RecordOf(path)).isFile());
    const ServerDocumentPtr seenByBen = ben.OpenDocument(path);
    QVERIFY(seenByBen->IsReserved());
    QCOMPARE(seenByBen->ReservedBy(), QStringLiteral("anna"));
    QCOMPARE(seenByBen->ReservedVersion(), 12);
    const QDateTime time = seenByBen->ReservedTime();
    QVERIFY2(time >= before && time <= after, qPrintable(time.toString(Qt::ISODate)));
    QCOMPARE(time.timeSpec(), Qt::LocalTime);

    const ServerError taken = ErrorOf([&] { seenByBen->Reserve(); });
    QCOMPARE(taken.number, ServerErrors::AlreadyReserved);
    QVERIFY(taken.description.contains(QStringLiteral("anna")));
    QVERIFY(taken.description.contains(path));
    QCOMPARE(ErrorOf([&] { seenByBen->ReleaseReservation(); }).number, ServerErrors::NotTheHolder);
    ben.SetUserName(QStringLiteral("Anna")); // the holder must match exactly
    QCOMPARE(ErrorOf([&] { seenByBen->ReleaseReservation(); }).number, ServerErrors::NotTheHolder);
    QCOMPARE(ErrorOf([&] { document->Reserve(); }).number, ServerErrors::AlreadyReserved);
    QCOMPARE(seenByBen->ReservedBy(), QStringLiteral("anna"));

    // The document object sees a release made through another one.
    ben.SetUserName(QStringLiteral("anna"));
    seenByBen->ReleaseReservation();
    QVERIFY(!document->IsReserved());
    QCOMPARE(document->ReservedBy(), QString());
    QVERIFY(!QFileInfo::exists(RecordOf(path)));
    QCOMPARE(QDir(env.path(QStringLiteral("w"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Part.kpt")});

    // Holder names with blanks at their ends and quotes survive the record.
    anna.SetUserName(QStringLiteral(" \"Dr. O'Neil\" "));
    document->Reserve();
    QCOMPARE(seenByBen->ReservedBy(), QStringLiteral(" \"Dr. O'Neil\" "));
}

void TestServer::reservationNeedsASharedProjectAndAValidUser()
{
    TestEnvironment env;
    ScrivoServer server;
    server.SetUserName(QStringLiteral("anna"));
    const QString shared = env.writeFile(QStringLiteral("S.kpj"), SharedProject);
    const QString single =
        env.writeFile(QStringLiteral("U.kpj"), "[Project Defaults]\nMultiUser=Single User\n");
    const QString path = env.writeFile(QStringLiteral("w/Part.kpt"), "part");
    const ServerDocumentPtr document = server.OpenDocument(path);

    for (const QString &project : {single, QString()}) {
        server.ProjectHandler().SetActiveProject(project);
        const ServerError refused = ErrorOf([&] { document->Reserve(); });
        QCOMPARE(refused.number, ServerErrors::NotSharedProject);
        QVERIFY(refused.description.contains(path));
        QVERIFY(!QFileInfo::exists(RecordOf(path)));
    }
    server.ProjectHandler().SetActiveProject(shared);
    document->Reserve();
    server.ProjectHandler().SetActiveProject(single);
    QCOMPARE(ErrorOf([&] { document->ReleaseReservation(); }).number,
             ServerErrors::NotSharedProject);
    QVERIFY(document->IsReserved());

    // A default user name that holds a control character is refused when it is used.
    server.ProjectHandler().SetActiveProject(shared);
    QVERIFY(WriteINI(QStringLiteral("Server"), QStringLiteral("UserName"), QStringLiteral("a\tb"),
                     env.scrivoHome() + QStringLiteral("/server.ini")));
    ScrivoServer tabbed;
    const ServerDocumentPtr other =
        tabbed.OpenDocument(env.writeFile(QStringLiteral("w/B.kpt"), "b"));
    const ServerError invalid = ErrorOf([&] { other->Reserve(); });
    QCOMPARE(invalid.number, ServerErrors::InvalidUserName);
    QVERIFY(!other->IsReserved());
}

void TestServer::damagedRecordFailsReadsAndAnyUserMayRelease()
{
    const QByteArray damaged[] = {
        "garbage without sections",
        "[Reservation]\nTime=2026-01-02T03:04:05+01:00\nVersion=1\n",
        "[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05\nVersion=1\n",
        "[Reservation]\nBy=anna\nTime=yesterday\nVersion=1\n",
        "[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05Z\nVersion=one\n",
        QByteArray(70 * 1024, 'x'),
    };
    for (const QByteArray &content : damaged) {
        TestEnvironment env;
        ScrivoServer server;
        server.ProjectHandler().SetActiveProject(
            env.writeFile(QStringLiteral("S.kpj"), SharedProject));
        server.SetUserName(QStringLiteral("ben"));
        const QString path = env.writeFile(QStringLiteral("Part.kpt"), "part");
        const QString record = env.writeFile(QStringLiteral(".Part.kpt.reservation"), content);
        const ServerDocumentPtr document = server.OpenDocument(path);
        const QList<std::function<void()>> reads = {
            [&] { document->IsReserved(); }, [&] { document->ReservedBy(); },
            [&] { document->ReservedTime(); }, [&] { document->ReservedVersion(); },
            [&] { document->Reserve(); }};
        for (const auto &read : reads) {
            const ServerError error = ErrorOf(read);
            QCOMPARE(error.number, ServerErrors::ReservationRecordDamaged);
            QVERIFY(error.description.contains(record));
        }
        document->ReleaseReservation();
        QVERIFY(!document->IsReserved());
        QVERIFY(!QFileInfo::exists(record));
    }

    // A valid record with a UTC time is read in local time.
    TestEnvironment env;
    ScrivoServer server;
    const QString path = env.writeFile(QStringLiteral("Part.kpt"), "part");
    env.writeFile(QStringLiteral(".Part.kpt.reservation"),
                  "[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05Z\nVersion=8\n");
    const ServerDocumentPtr document = server.OpenDocument(path);
    QCOMPARE(document->ReservedBy(), QStringLiteral("anna"));
    QCOMPARE(document->ReservedTime(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
    QCOMPARE(document->ReservedVersion(), 8);
}

void TestServer::recordThatCannotBeWrittenChangesNothing()
{
    TestEnvironment env;
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("S.kpj"), SharedProject));
    server.SetUserName(QStringLiteral("anna"));

    // The record's name does not fit beside a document whose name has 249 bytes.
    const QString longName = QString(245, u'n') + QStringLiteral(".kpt");
    const QString path = env.writeFile(QStringLiteral("long/") + longName, "content");
    const ServerDocumentPtr document = server.OpenDocument(path);
    QVERIFY(!document->IsReserved());
    const ServerError error = ErrorOf([&] { document->Reserve(); });
    QCOMPARE(error.number, ServerErrors::WriteFailed);
    QVERIFY(error.description.contains(path));
    QVERIFY(!document->IsReserved());
    QCOMPARE(QDir(env.path(QStringLiteral("long"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{longName});

    // The document's folder replaced by a file, and by a folder without the document.
    const QString moved = env.writeFile(QStringLiteral("moved/Part.kpt"), "part");
    const ServerDocumentPtr gone = server.OpenDocument(moved);
    QVERIFY(QDir(env.path(QStringLiteral("moved"))).removeRecursively());
    env.writeFile(QStringLiteral("moved"), "now a file");
    QCOMPARE(ErrorOf([&] { gone->Reserve(); }).number, ServerErrors::PathNotFound);
    QVERIFY(!gone->IsReserved());
    QVERIFY(QFile::remove(env.path(QStringLiteral("moved"))));
    QVERIFY(QDir().mkpath(env.path(QStringLiteral("moved"))));
    QCOMPARE(ErrorOf([&] { gone->Reserve(); }).number, ServerErrors::FileNotFound);
    QVERIFY(QDir(env.path(QStringLiteral("moved")))
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestServer::documentsWhoseNamesAreNotUtf8AreReachedByTheirBytes()
{
    // Names as the directory listing decodes them: invalid bytes become lone surrogates.
    TestEnvironment env;
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("S.kpj"), SharedProject));
    server.SetUserName(QStringLiteral("anna"));
    const QByteArray folder = QFile::encodeName(env.root()) + "/caf\xe9";
    const QByteArray document = folder + "/d\xe9.kpt";
    const QByteArray record = folder + "/.d\xe9.kpt.reservation";
    QCOMPARE(::mkdir(folder.constData(), 0755), 0);
    {
        const int fd = ::open(document.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        const QByteArray metadata = "[Document]\nDisplayName=Caf\xc3\xa9 part\nVersion=3\n";
        QCOMPARE(::write(fd, metadata.constData(), size_t(metadata.size())),
                 ssize_t(metadata.size()));
        ::close(fd);
    }
    struct Cleanup
    {
        QByteArray document, record, folder;
        ~Cleanup()
        {
            ::unlink(record.constData());
            ::unlink(document.constData());
            ::rmdir(folder.constData());
        }
    } cleanup{document, record, folder};

    const QString path = DecodeFileName(document);
    const ServerDocumentPtr opened = server.OpenDocument(path);
    QCOMPARE(opened->DisplayName(), QStringLiteral("Caf\u00e9 part"));
    QCOMPARE(EncodeFileName(opened->FullFileName()), document);
    opened->Reserve();
    struct stat st
    {
    };
    QCOMPARE(::stat(record.constData(), &st), 0);
    QCOMPARE(server.OpenDocument(path)->ReservedVersion(), 3);

    // The tool takes and prints the name's bytes as they are.
    QProcess tool;
    tool.setWorkingDirectory(env.root());
    tool.start(QStringLiteral("/bin/sh"),
               {QStringLiteral("-c"),
                QStringLiteral("exec \"$0\" status \"$(printf 'caf\\351/d\\351.kpt')\""),
                ScrivoTool()});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QByteArray line = tool.readAllStandardOutput();
    QVERIFY2(line.startsWith(QByteArray(document + "\tanna\t")), line.constData());

    opened->ReleaseReservation();
    QVERIFY(::stat(record.constData(), &st) != 0);
    QVERIFY(!server.OpenDocument(path)->IsReserved());
}

void TestServer::racingProcessesLeaveExactlyOneHolder()
{
    TestEnvironment env;
    ScrivoServer server;
    server.ProjectHandler().SetActiveProject(env.writeFile(QStringLiteral("S.kpj"), SharedProject));
    const QString path = env.writeFile(QStringLiteral("race/Part.kpt"), "[Document]\nVersion=3\n");
    const ServerDocumentPtr reader = server.OpenDocument(path);
    const QStringList users{QStringLiteral("anna"), QStringLiteral("ben")};
    int readsWhileRacing = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess racers[2];
        for (int i = 0; i < 2; ++i)
            racers[i].start(ScrivoTool(),
                            {QStringLiteral("reserve"), QStringLiteral("--user"), users[i], path});
        for (QProcess &racer : racers)
            QVERIFY2(racer.waitForStarted(10000), qPrintable(racer.errorString()));
        // Read along while they race: a record is either absent or whole.
        QElapsedTimer bound;
        bound.start();
        while ((racers[0].state() != QProcess::NotRunning ||
                racers[1].state() != QProcess::NotRunning) &&
               bound.elapsed() < 30000) {
            if (reader->IsReserved()) {
                QVERIFY(users.contains(reader->ReservedBy()));
                QCOMPARE(reader->ReservedVersion(), 3);
            }
            ++readsWhileRacing;
            racers[0].waitForFinished(1);
            racers[1].waitForFinished(1);
        }
        int winners = 0;
        int winner = -1;
        for (int i = 0; i < 2; ++i) {
            if (racers[i].state() != QProcess::NotRunning && !racers[i].waitForFinished(30000)) {
                racers[0].kill();
                racers[1].kill();
                racers[0].waitForFinished(5000);
                racers[1].waitForFinished(5000);
                QFAIL("a scrivo process did not finish");
            }
            QCOMPARE(racers[i].exitStatus(), QProcess::NormalExit);
            if (racers[i].exitCode() == 0) {
                ++winners;
                winner = i;
            } else {
                QCOMPARE(racers[i].exitCode(), 1);
            }
        }
        QCOMPARE(winners, 1);
        const QString loserMessage = QString::fromUtf8(racers[1 - winner].readAllStandardError());
        QVERIFY2(loserMessage.contains(QStringLiteral("reserved by ") + users[winner]),
                 qPrintable(loserMessage));
        QCOMPARE(loserMessage.count(u'\n'), 1);
        QCOMPARE(reader->ReservedBy(), users[winner]);
        server.SetUserName(users[winner]);
        reader->ReleaseReservation();
    }
    QVERIFY(readsWhileRacing > 0);
    QCOMPARE(QDir(env.path(QStringLiteral("race"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Part.kpt")});
}

void TestServer::toolWritesASampleProjectAndReportsIt()
{
    TestEnvironment env;
    ToolResult listed = RunTool({QStringLiteral("projects")});
    QCOMPARE(listed.exitCode, 0);
    QCOMPARE(listed.out, QString());

    const QString other = env.writeFile(QStringLiteral("Other.kpj"), SharedProject);
    QCOMPARE(RunTool({QStringLiteral("register"), other}).exitCode, 0);
    const QString folder = env.path(QStringLiteral("sample"));
    const ToolResult sample = RunTool({QStringLiteral("sample"), folder});
    QCOMPARE(sample.exitCode, 0);
    const QString project = folder + QStringLiteral("/Sample.kpj");
    listed = RunTool({QStringLiteral("projects")});
    QCOMPARE(listed.out, QStringLiteral("  ") + other + QStringLiteral("\n* ") + project + u'\n');

    ScrivoServer server;
    QCOMPARE(server.ProjectHandler().ActiveProject(), project);
    QCOMPARE(server.MultiUserMode(), MultiUserModes::Shared);
    QCOMPARE(server.ProjectHandler().WorkspacePath(), folder + QStringLiteral("/Workspace"));

    const QString housing = folder + QStringLiteral("/Workspace/Gearbox/Parts/Housing.kpt");
    const QString gearbox = folder + QStringLiteral("/Workspace/Gearbox/Gearbox.kam");
    const ToolResult status = RunTool({QStringLiteral("status"), housing, gearbox});
    QCOMPARE(status.exitCode, 0);
    const QStringList lines = status.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QStringList reserved = lines[0].split(u'\t');
    QCOMPARE(reserved.size(), 4);
    QCOMPARE(reserved[0], housing);
    QCOMPARE(reserved[1], QStringLiteral("anna"));
    QVERIFY(QDateTime::fromString(reserved[2], Qt::ISODate).isValid());
    QCOMPARE(reserved[3], QStringLiteral("4"));
    QCOMPARE(lines[1], gearbox + QStringLiteral("\tavailable"));

    // The assembly's references resolve inside the sample, with one binary part among them.
    QStringList names;
    for (const ServerDocumentPtr &ref : server.OpenDocument(gearbox)->ReferencedDocuments()) {
        QVERIFY(ref);
        names.append(ref->DisplayName());
    }
    QCOMPARE(names, (QStringList{QStringLiteral("Gearbox housing"), QStringLiteral("Drive shaft"),
                                 QStringLiteral("Washer ISO 7089 8"), QStringLiteral("Gear"),
                                 QStringLiteral("Bolt ISO 4017 M8x30")}));

    // Reserve and release through the tool, as the given user.
    QCOMPARE(RunTool({QStringLiteral("reserve"), QStringLiteral("--user"), QStringLiteral("carl"),
                      gearbox})
                 .exitCode,
             0);
    QCOMPARE(server.OpenDocument(gearbox)->ReservedBy(), QStringLiteral("carl"));
    const ToolResult refused = RunTool({QStringLiteral("release"), housing});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.err.contains(QStringLiteral("anna")));
    QCOMPARE(RunTool({QStringLiteral("release"), QStringLiteral("--user"), QStringLiteral("carl"),
                      gearbox})
                 .exitCode,
             0);
    QVERIFY(!server.OpenDocument(gearbox)->IsReserved());

    // A second sample into the same folder would overwrite: refused, nothing changed.
    const ToolResult again = RunTool({QStringLiteral("sample"), folder});
    QCOMPARE(again.exitCode, 1);
    QVERIFY(again.err.contains(folder));
    QVERIFY(server.OpenDocument(housing)->IsReserved());
}

void TestServer::toolRefusesBadUsage()
{
    TestEnvironment env;
    for (const QStringList &arguments :
         {QStringList{}, QStringList{QStringLiteral("bogus")},
          QStringList{QStringLiteral("register")},
          QStringList{QStringLiteral("reserve"), QStringLiteral("--user")},
          QStringList{QStringLiteral("user"), QStringLiteral("a"), QStringLiteral("b")}})
        QCOMPARE(RunTool(arguments).exitCode, 2);
    const ToolResult user = RunTool({QStringLiteral("user"), QStringLiteral("gina")});
    QCOMPARE(user.exitCode, 0);
    QCOMPARE(RunTool({QStringLiteral("user")}).out, QStringLiteral("gina\n"));
    const QString missing = env.path(QStringLiteral("none.kpj"));
    const ToolResult failed = RunTool({QStringLiteral("activate"), missing});
    QCOMPARE(failed.exitCode, 1);
    QVERIFY(failed.err.contains(missing));
    QCOMPARE(failed.err.count(u'\n'), 1);
}

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
