#include "Hostile.h"
#include "ScrivoDocuments.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "projects/IniFile.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/DirectoryListing.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <cctype>
#include <functional>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray SharedProject = "[Project Defaults]\nMultiUser=Shared\n";

ino_t InodeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Runs "scrivo WORDS NAME ARGUMENTS..." with NAME given as its raw bytes (a name need not be
// valid UTF-8); the exit code.
int RunScrivoNamed(const QString &words, const QByteArray &name, const QStringList &arguments)
{
    QByteArray octal;
    for (const char c : name)
        octal += std::isalnum(uchar(c))
                     ? QByteArray(1, c)
                     : "\\0" + QByteArray::number(uchar(c), 8).rightJustified(3, '0');
    QProcess tool;
    tool.start(u"/bin/sh"_s, QStringList{u"-c"_s,
                                         u"n=$(printf '%b_' \"$1\"); n=${n%_}; w=$2; shift 2; "
                                         "exec \"$0\" $w \"$n\" \"$@\""_s,
                                         ScrivoToolPath(), QString::fromLatin1(octal), words} +
                                 arguments);
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit
               ? tool.exitCode()
               : -1;
}

// Makes a file system object that is no regular file at path: "fifo", "socket", "device",
// "dangling link" or "link loop".
void MakeNode(const QString &kind, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    bool made = false;
    if (kind == u"fifo") {
        made = ::mkfifo(native.constData(), 0644) == 0;
    } else if (kind == u"device") {
        made = ::mknod(native.constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
    } else if (kind == u"socket") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, native.constData(), sizeof address.sun_path - 1);
        made = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
    } else if (kind == u"dangling link") {
        made = ::symlink("nowhere", native.constData()) == 0;
    } else if (kind == u"link loop") {
        made = ::symlink(native.constData(), native.constData()) == 0;
    }
    QVERIFY2(made, qPrintable(kind + u' ' + path));
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT

    // A private Scrivo home, and a server on it, for each test.
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScrivoServer> server;

    // Makes a Shared project active and reserves under the given user.
    void workShared(const QString &user)
    {
        server->ProjectHandler().SetActiveProject(env->writeFile(u"S.kpj"_s, SharedProject));
        server->SetUserName(user);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        server = std::make_unique<ScrivoServer>();
    }

    void cleanup()
    {
        server.reset();
        env.reset();
    }

    void projectsAreRegisteredInOrderAndOneIsActive()
    {
        const QString a = env->writeFile(u"p/A.kpj"_s, SharedProject);
        const QString b = env->writeFile(u"q/B.kpj"_s, SharedProject);
        const QString c = env->writeFile(u"C.kpj"_s, SharedProject);
        ::ProjectHandler &projects = server->ProjectHandler();
        const QString defaultProject = env->scrivoHome() + u"/Default.kpj"_s;
        QCOMPARE(projects.ActiveProject(), defaultProject);
        QVERIFY(QFileInfo(defaultProject).isFile());
        QVERIFY(projects.GetProjects().isEmpty());
        for (const QString &project : {b, a, c, a}) // twice is once
            server->RegisterProject(project);
        QCOMPARE(projects.GetProjects(), (QStringList{b, a, c}));
        server->UnregisterProject(a);
        QCOMPARE(projects.GetProjects(), (QStringList{b, c}));
        const QString ini = env->scrivoHome() + u"/server.ini"_s;
        QCOMPARE(ReadINI(u"Projects"_s, u"Project2"_s, ini), c);
        QVERIFY(ReadINI(u"Projects"_s, u"Project3"_s, ini).isEmpty());

        // What is not registered, or no file, is refused with an error that names it.
        const int notFound = ServerErrors::ProjectNotFound;
        const QString missing = env->path(u"gone/B.kpj"_s);
        QVERIFY(ThrowsServerError([&] { server->UnregisterProject(a); }, notFound, {a}));
        QVERIFY(ThrowsServerError([&] { server->RegisterProject(missing); }, notFound));
        projects.SetActiveProject(a); // an unregistered file may be active
        QVERIFY(
            ThrowsServerError([&] { projects.SetActiveProject(missing); }, notFound, {missing}));
        QVERIFY(ThrowsServerError([&] { projects.SetActiveProject(env->root()); }, notFound));
        QCOMPARE(projects.ActiveProject(), a);

        // The active project is shared by all server objects.
        ScrivoServer other;
        QCOMPARE(other.ProjectHandler().ActiveProject(), a);
        QCOMPARE(other.ProjectHandler().GetProjects(), (QStringList{b, c}));

        // "" activates the fallback project, recreated when it was removed.
        QVERIFY(QFile::remove(defaultProject));
        projects.SetActiveProject(QString());
        QCOMPARE(projects.ActiveProject(), defaultProject);
        QVERIFY(QFileInfo(defaultProject).isFile());
        QCOMPARE(server->MultiUserMode(), MultiUserModes::SingleUser);

        // A home folder that cannot be made (its parent is a file) is refused at once.
        const QString blocked = env->writeFile(u"blocked"_s, "file") + u"/home"_s;
        QVERIFY(ThrowsServerError([&] { ScrivoServer failing(blocked); },
                                  ServerErrors::ServerHomeUnusable, {blocked}));

        // A server.ini that cannot be replaced refuses the change, names the file and keeps
        // what it held.
        const QByteArray held = ReadBytes(ini);
        const QString sideways = ini + u".held"_s;
        QVERIFY(QFile::rename(ini, sideways));
        QVERIFY(QDir().mkpath(ini + u"/in-the-way"_s));
        QVERIFY(ThrowsServerError([&] { server->RegisterProject(a); },
                                  ServerErrors::ServerHomeUnusable, {ini}));
        QVERIFY(QDir(ini).removeRecursively() && QFile::rename(sideways, ini));
        QCOMPARE(ReadBytes(ini), held);
        QCOMPARE(projects.GetProjects(), (QStringList{b, c}));
    }

    void serverIniKeepsOtherLinesHoldsTheDefaultUserAndGivesRelease()
    {
        // The server was made before server.ini named a default user: it works as the account.
        const passwd *account = ::getpwuid(::geteuid());
        QVERIFY(account);
        QCOMPARE(server->UserName(), QString::fromUtf8(account->pw_name));
        const QString ini = env->writeFile(
            u"scrivo-home/server.ini"_s,
            "; kept by hand\r\n[Server]\r\nUserName=carla\r\n[Other]\r\nKey=Value\r\n");
        const QString a = env->writeFile(u"A.kpj"_s, SharedProject);
        server->ProjectHandler().SetActiveProject(a);
        server->RegisterProject(a);
        const QByteArray text = ReadBytes(ini);
        QVERIFY(text.startsWith("; kept by hand\r\n[Server]\r\nUserName=carla\r\n"));
        QVERIFY(text.contains("[Other]\r\nKey=Value\r\n"));

        // A write that changes nothing leaves the file alone (it is replaced on every write).
        const ino_t before = InodeOf(ini);
        server->ProjectHandler().SetActiveProject(a);
        server->RegisterProject(a);
        server->SetDefaultUserName(u"carla"_s);
        QCOMPARE(InodeOf(ini), before);
        server->SetDefaultUserName(u"dora"_s);
        QVERIFY(InodeOf(ini) != before);
        QCOMPARE(ReadINI(u"Server"_s, u"UserName"_s, ini), u"dora"_s);

        // Each new server starts as the default user; each keeps a name of its own.
        QCOMPARE(server->UserName(), QString::fromUtf8(account->pw_name));
        ScrivoServer second;
        QCOMPARE(second.UserName(), u"dora"_s);
        second.SetUserName(u"Frida Berg"_s);
        QCOMPARE(second.UserName(), u"Frida Berg"_s);
        QCOMPARE(ScrivoServer().UserName(), u"dora"_s);
        const int invalid = ServerErrors::InvalidUserName;
        for (const QString &bad : {QString(), u"a\nb"_s, u"tab\there"_s, u"bell\a"_s}) {
            QVERIFY(ThrowsServerError([&] { second.SetUserName(bad); }, invalid));
            QVERIFY(ThrowsServerError([&] { second.SetDefaultUserName(bad); }, invalid));
        }
        QCOMPARE(second.UserName(), u"Frida Berg"_s);
        QCOMPARE(second.DefaultUserName(), u"dora"_s);
        // No lock or private copy stays behind.
        QCOMPARE(FolderEntries(env->scrivoHome()),
                 (QStringList{u"Default.kpj"_s, u"server.ini"_s}));

        // The major version: 9 unless server.ini holds a number.
        QCOMPARE(server->ReleaseInfo().MajorVersion(), 9);
        WriteINI(u"Server"_s, u"MajorVersion"_s, u"10"_s, ini);
        QCOMPARE(server->ReleaseInfo().MajorVersion(), 10);
        WriteINI(u"Server"_s, u"MajorVersion"_s, u"ten"_s, ini);
        QCOMPARE(server->ReleaseInfo().MajorVersion(), 9);
    }

    void multiUserModeIsReadByName_data()
    {
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<int>("mode");
        const auto row = [](const char *name, const QByteArray &value, int mode) {
            QTest::newRow(name) << QByteArray("[Project Defaults]\nMultiUser=" + value + "\n")
                                << mode;
        };
        row("single", "Single User", MultiUserModes::SingleUser);
        row("shared", "Shared", MultiUserModes::Shared);
        row("semi", "Semi-Isolated", MultiUserModes::SemiIsolated);
        row("semi no checkout", "Semi-Isolated no checkout",
            MultiUserModes::SemiIsolatedNoCheckout);
        row("depona", "Depona", MultiUserModes::Depona);
        // Names match exactly; the INI rules around the value are the reader's own.
        row("other case", "shared", MultiUserModes::SingleUser);
        row("unknown", "Team", MultiUserModes::SingleUser);
        QTest::newRow("no key") << QByteArray("[Project Defaults]\nOther=1\n")
                                << MultiUserModes::SingleUser;
    }

    void multiUserModeIsReadByName()
    {
        QFETCH(QByteArray, project);
        QFETCH(int, mode);
        server->ProjectHandler().SetActiveProject(env->writeFile(u"P.kpj"_s, project));
        QCOMPARE(server->MultiUserMode(), mode);
    }

    void workspaceAndWorkgroupPathsAreFullPaths()
    {
        const QString project = env->writeFile(
            u"site/proj/P.kpj"_s, "[Workspace]\nWorkspace=.\\ws\\main\n[Workgroup Search Paths]\n"
                                  "Zeta=..\\lib\\std\nAlpha=/opt/shared/parts\nWorkgroup=rel/dir\n"
                                  "Empty=\n");
        server->ProjectHandler().SetActiveProject(project);
        const QString folder = env->path(u"site/proj"_s);
        QCOMPARE(server->ProjectHandler().WorkspacePath(), folder + u"/ws/main"_s);
        QStringList names{u"stale"_s};
        QStringList paths{u"stale"_s};
        server->ProjectHandler().GetWorkgroupPaths(names, paths);
        QCOMPARE(names, (QStringList{u"Zeta"_s, u"Alpha"_s, u"Workgroup"_s, u"Empty"_s}));
        QCOMPARE(paths, (QStringList{env->path(u"site/lib/std"_s), u"/opt/shared/parts"_s,
                                     folder + u"/rel/dir"_s, QString()}));

        server->ProjectHandler().SetActiveProject(QString());
        QCOMPARE(server->ProjectHandler().WorkspacePath(), QString());
        server->ProjectHandler().GetWorkgroupPaths(names, paths);
        QVERIFY(names.isEmpty() && paths.isEmpty());
    }

    void documentsGiveMetadataOrFileNameDefaultsAndNoFilesAreRefused()
    {
        server->ProjectHandler().SetActiveProject(env->writeFile(u"S.kpj"_s, SharedProject));
        const struct
        {
            const char *file;
            QByteArray content;
            const char *displayName;
            int version;
        } cases[] = {
            {"m/Bracket.kpt", "[Document]\nDisplayName=Bracket left\nVersion=7\n", "Bracket left",
             7},
            {"m/Plain.v2.kpt", "just some text\nwithout sections\n", "Plain.v2", 1},
            {"m/Binary.kpt", QByteArray("KVX\0[Document]\nDisplayName=Hidden\nVersion=3\n", 44),
             "Binary", 1},
            {"m/BadVersion.kam", "[Document]\nDisplayName=Odd\nVersion=2.5\n", "Odd", 1},
            {"m/Malformed.kdw", "[Document\nDisplayName=Broken\n[References\n=x\n", "Malformed", 1},
            {"m/NoName.kdw", "[Document]\nDisplayName=\nVersion=4\n", "NoName", 4},
            {"m/Empty.kpt", "", "Empty", 1},
            {"m/Far.kpt",
             QByteArray(64 * 1024, 'x') + "\n[Document]\nDisplayName=Too far\nVersion=5\n", "Far",
             1},
        };
        for (const auto &c : cases) {
            const QString path = env->writeFile(QLatin1String(c.file), c.content);
            const ServerDocumentPtr document = server->OpenDocument(path);
            QCOMPARE(document->DisplayName(), QLatin1String(c.displayName));
            QCOMPARE(document->FullFileName(), path);
            QVERIFY(document->ReferencedDocuments().isEmpty());
            // The version shows in the reservation it is recorded with.
            document->Reserve();
            QCOMPARE(document->ReservedVersion(), c.version);
        }
        // A path with redundant parts opens the same file under its clean name.
        QCOMPARE(server->OpenDocument(env->path(u"m/../m//Bracket.kpt"_s))->FullFileName(),
                 env->path(u"m/Bracket.kpt"_s));

        // What is no file is refused with an error that names it.
        const QString folder = env->path(u"folder.kpt"_s);
        QVERIFY(QDir().mkpath(folder));
        const struct
        {
            QString path;
            int number;
        } refused[] = {{folder, ServerErrors::NotADocument},
                       {env->path(u"missing.kpt"_s), ServerErrors::FileNotFound},
                       {env->writeFile(u"file"_s, "x") + u"/a.kpt"_s, ServerErrors::PathNotFound},
                       {QString(), ServerErrors::InvalidArgument}};
        for (const auto &c : refused)
            QVERIFY(ThrowsServerError([&] { server->OpenDocument(c.path); }, c.number, {c.path}));
    }

    void referencesAreWalkedDepthFirstOnceEach()
    {
        // A references B and C; B references D and a missing file; C references D again, a
        // second spelling of the missing file and A (a cycle); D lies in a sibling folder.
        const QString a = env->writeFile(
            u"top/A.kam"_s,
            "[References]\nFirst=sub\\B.kam\nSecond=" + env->path(u"top/C.kam"_s).toUtf8() + "\n");
        const QString b = env->writeFile(u"top/sub/B.kam"_s,
                                         "[References]\nR1=..\\..\\other\\D.kpt\nR2=Gone.kpt\n");
        const QString c = env->writeFile(
            u"top/C.kam"_s, "[References]\nR1=../other/D.kpt\nR2=sub/./Gone.kpt\nR3=A.kam\nR4=\n");
        const QString d = env->writeFile(u"other/D.kpt"_s, "[Document]\nVersion=2\n");
        const QList<ServerDocumentPtr> refs = server->OpenDocument(a)->ReferencedDocuments();
        QCOMPARE(refs.size(), 4);
        QVERIFY(refs[0] && refs[1] && !refs[2] && refs[3]);
        QCOMPARE(refs[0]->FullFileName(), b);
        QCOMPARE(refs[1]->FullFileName(), d);
        QCOMPARE(refs[3]->FullFileName(), c);

        // A two-document cycle gives the other document once.
        const QString x = env->writeFile(u"cycle/X.kam"_s, "[References]\nR=Y.kam\n");
        const QString y = env->writeFile(u"cycle/Y.kam"_s, "[References]\nR=X.kam\n");
        const QList<ServerDocumentPtr> cycle = server->OpenDocument(x)->ReferencedDocuments();
        QCOMPARE(cycle.size(), 1);
        QCOMPARE(cycle[0]->FullFileName(), y);

        // A link back to its own folder cannot make the walk endless.
        QVERIFY(QFile::link(env->path(u"cycle"_s), env->path(u"cycle/loop"_s)));
        env->writeFile(u"cycle/Z.kam"_s, "[References]\nR=loop/Z.kam\nS=loop/X.kam\n");
        const QList<ServerDocumentPtr> loop =
            server->OpenDocument(env->path(u"cycle/Z.kam"_s))->ReferencedDocuments();
        QCOMPARE(loop.size(), 2);
        QCOMPARE(loop[0]->FullFileName(), env->path(u"cycle/loop/X.kam"_s));

        // A referenced folder is no document: that entry fails where it stands and says
        // which; the walk goes on.
        env->writeFile(u"bad/F.kam"_s, "[References]\nR=Folder.kpt\nS=G.kpt\n");
        env->writeFile(u"bad/G.kpt"_s, "g");
        QVERIFY(QDir().mkpath(env->path(u"bad/Folder.kpt"_s)));
        const QList<ServerDocumentPtr> bad =
            server->OpenDocument(env->path(u"bad/F.kam"_s))->ReferencedDocuments();
        QCOMPARE(bad.size(), 2);
        QCOMPARE(bad[0]->FullFileName(), env->path(u"bad/Folder.kpt"_s));
        QVERIFY(ThrowsServerError([&] { bad[0]->IsReserved(); }, ServerErrors::NotADocument,
                                  {env->path(u"bad/Folder.kpt"_s)}));
        QCOMPARE(bad[1]->FullFileName(), env->path(u"bad/G.kpt"_s));

        // Only the first 64 KiB are metadata; a line the limit cuts is none (here it would name
        // the folder "bad").
        QByteArray cut = "[References]\nR1=G.kpt\n";
        cut += QByteArray(64 * 1024 - cut.size() - 6, ';') + "\nR2=../bad/G.kpt\n";
        env->writeFile(u"bad/Cut.kam"_s, cut);
        const QList<ServerDocumentPtr> cutRefs =
            server->OpenDocument(env->path(u"bad/Cut.kam"_s))->ReferencedDocuments();
        QCOMPARE(cutRefs.size(), 1);
        QCOMPARE(cutRefs[0]->FullFileName(), env->path(u"bad/G.kpt"_s));
    }

    void reservationBelongsToOneHolder()
    {
        workShared(u"anna"_s);
        ScrivoServer ben;
        ben.SetUserName(u"ben"_s);
        const QString path = env->writeFile(u"w/Part.kpt"_s, "[Document]\nVersion=12\n");

        const ServerDocumentPtr document = server->OpenDocument(path);
        QVERIFY(!document->IsReserved());
        QCOMPARE(document->ReservedBy(), QString());
        QVERIFY(!document->ReservedTime().isValid());
        QCOMPARE(document->ReservedVersion(), 0);
        document->ReleaseReservation(); // nobody holds it: nothing happens

        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        document->Reserve();
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        QVERIFY(QFileInfo(ScrivoReservationPath(path)).isFile());
        const ServerDocumentPtr seenByBen = ben.OpenDocument(path);
        QVERIFY(seenByBen->IsReserved());
        QCOMPARE(seenByBen->ReservedBy(), u"anna"_s);
        QCOMPARE(seenByBen->ReservedVersion(), 12);
        const QDateTime time = seenByBen->ReservedTime();
        QVERIFY2(time >= before && time <= after, qPrintable(time.toString(Qt::ISODate)));
        QCOMPARE(time.timeSpec(), Qt::LocalTime);

        const int taken = ServerErrors::AlreadyReserved;
        const int notHolder = ServerErrors::NotTheHolder;
        QVERIFY(ThrowsServerError([&] { seenByBen->Reserve(); }, taken, {u"anna"_s, path}));
        QVERIFY(ThrowsServerError([&] { seenByBen->ReleaseReservation(); }, notHolder));
        ben.SetUserName(u"Anna"_s); // the holder must match exactly
        QVERIFY(ThrowsServerError([&] { seenByBen->ReleaseReservation(); }, notHolder));
        QVERIFY(ThrowsServerError([&] { document->Reserve(); }, taken));
        QCOMPARE(seenByBen->ReservedBy(), u"anna"_s);

        // The document object sees a release made through another one.
        ben.SetUserName(u"anna"_s);
        seenByBen->ReleaseReservation();
        QVERIFY(!document->IsReserved());
        QCOMPARE(document->ReservedBy(), QString());
        QCOMPARE(FolderEntries(env->path(u"w"_s)), QStringList{u"Part.kpt"_s});

        // Holder names with blanks at their ends and quotes survive the record.
        server->SetUserName(u" \"Dr. O'Neil\" "_s);
        document->Reserve();
        QCOMPARE(seenByBen->ReservedBy(), u" \"Dr. O'Neil\" "_s);
    }

    void refusedReservationWritesNothing()
    {
        workShared(u"anna"_s);
        const QString shared = server->ProjectHandler().ActiveProject();
        const QString single =
            env->writeFile(u"U.kpj"_s, "[Project Defaults]\nMultiUser=Single User\n");
        const QString path = env->writeFile(u"w/Part.kpt"_s, "part");
        const ServerDocumentPtr document = server->OpenDocument(path);

        // Outside a Shared project neither reserve nor release.
        const int notShared = ServerErrors::NotSharedProject;
        for (const QString &project : {single, QString()}) {
            server->ProjectHandler().SetActiveProject(project);
            QVERIFY(ThrowsServerError([&] { document->Reserve(); }, notShared, {path}));
            QVERIFY(!QFileInfo::exists(ScrivoReservationPath(path)));
        }
        server->ProjectHandler().SetActiveProject(shared);
        document->Reserve();
        server->ProjectHandler().SetActiveProject(single);
        QVERIFY(ThrowsServerError([&] { document->ReleaseReservation(); }, notShared));
        QVERIFY(document->IsReserved());
        server->ProjectHandler().SetActiveProject(shared);

        // A default user name that holds a control character is refused when it is used.
        WriteINI(u"Server"_s, u"UserName"_s, u"a\tb"_s, env->scrivoHome() + u"/server.ini"_s);
        ScrivoServer tabbed;
        const ServerDocumentPtr other = tabbed.OpenDocument(env->writeFile(u"w/B.kpt"_s, "b"));
        QVERIFY(ThrowsServerError([&] { other->Reserve(); }, ServerErrors::InvalidUserName));
        QVERIFY(!other->IsReserved());

        // The record's name does not fit beside a document whose name has 249 bytes.
        const QString longName = QString(245, u'n') + u".kpt"_s;
        const QString longPath = env->writeFile(u"long/"_s + longName, "content");
        const ServerDocumentPtr longDocument = server->OpenDocument(longPath);
        QVERIFY(ThrowsServerError([&] { longDocument->Reserve(); }, ServerErrors::WriteFailed,
                                  {longPath}));
        QVERIFY(!longDocument->IsReserved());
        QCOMPARE(FolderEntries(env->path(u"long"_s)), QStringList{longName});

        // The document's folder replaced by a file, and by a folder without the document.
        const QString moved = env->writeFile(u"moved/Part.kpt"_s, "part");
        const ServerDocumentPtr gone = server->OpenDocument(moved);
        QVERIFY(QDir(env->path(u"moved"_s)).removeRecursively());
        env->writeFile(u"moved"_s, "now a file");
        QVERIFY(ThrowsServerError([&] { gone->Reserve(); }, ServerErrors::PathNotFound));
        QVERIFY(!gone->IsReserved());
        QVERIFY(QFile::remove(env->path(u"moved"_s)));
        QVERIFY(QDir().mkpath(env->path(u"moved"_s)));
        QVERIFY(ThrowsServerError([&] { gone->Reserve(); }, ServerErrors::FileNotFound));
        QCOMPARE(FolderEntries(env->path(u"moved"_s)), QStringList());
    }

    void damagedRecordFailsReadsAndAnyUserMayRelease()
    {
        workShared(u"ben"_s);
        for (const QByteArray &content :
             {QByteArray("garbage without sections"),
              QByteArray("[Reservation]\nTime=2026-01-02T03:04:05+01:00\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=anna\nTime=yesterday\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05Z\nVersion=one\n"),
              QByteArray(70 * 1024, 'x')}) {
            const QString path = env->writeFile(u"Part.kpt"_s, "part");
            const QString record = env->writeFile(u".Part.kpt.reservation"_s, content);
            const ServerDocumentPtr document = server->OpenDocument(path);
            const QList<std::function<void()>> reads = {
                [&] { document->IsReserved(); }, [&] { document->ReservedBy(); },
                [&] { document->ReservedTime(); }, [&] { document->ReservedVersion(); },
                [&] { document->Reserve(); }};
            for (const auto &read : reads)
                QVERIFY(ThrowsServerError(read, ServerErrors::ReservationRecordDamaged, {record}));
            document->ReleaseReservation();
            QVERIFY(!document->IsReserved());
            QVERIFY(!QFileInfo::exists(record));
        }

        // A valid record with a UTC time is read in local time.
        const QString path = env->writeFile(u"Part.kpt"_s, "part");
        env->writeFile(u".Part.kpt.reservation"_s,
                       "[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05Z\nVersion=8\n");
        const ServerDocumentPtr document = server->OpenDocument(path);
        QCOMPARE(document->ReservedBy(), u"anna"_s);
        QCOMPARE(document->ReservedTime(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
        QCOMPARE(document->ReservedVersion(), 8);
    }

    void documentsWhoseNamesAreNotUtf8AreReachedByTheirBytes()
    {
        // Names as the directory listing decodes them: invalid bytes become lone surrogates.
        workShared(u"anna"_s);
        const QByteArray folder = QFile::encodeName(env->root()) + "/caf\xe9";
        const QByteArray document = folder + "/d\xe9.kpt";
        const QByteArray record = folder + "/.d\xe9.kpt.reservation";
        const RawPaths raw({folder}, {document},
                           "[Document]\nDisplayName=Caf\xc3\xa9 part\nVersion=3\n");

        const QString path = DecodeFileName(document);
        const ServerDocumentPtr opened = server->OpenDocument(path);
        QCOMPARE(opened->DisplayName(), u"Caf\u00e9 part"_s);
        QCOMPARE(EncodeFileName(opened->FullFileName()), document);
        opened->Reserve();
        QCOMPARE(::access(record.constData(), F_OK), 0);
        QCOMPARE(server->OpenDocument(path)->ReservedVersion(), 3);

        // The tool takes and prints the name's bytes as they are.
        QProcess tool;
        tool.setWorkingDirectory(env->root());
        tool.start(u"/bin/sh"_s,
                   {u"-c"_s, u"exec \"$0\" status \"$(printf 'caf\\351/d\\351.kpt')\""_s,
                    ScrivoToolPath()});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        const QByteArray line = tool.readAllStandardOutput();
        QVERIFY2(line.startsWith(QByteArray(document + "\tanna\t")), line.constData());

        opened->ReleaseReservation();
        QVERIFY(::access(record.constData(), F_OK) != 0);
        QVERIFY(!server->OpenDocument(path)->IsReserved());
    }

    void racingProcessesLeaveOneHolderAndReadersSeeWholeRecords()
    {
        // Many claimants over many documents, and the message each loser gets, are the race
        // test's; here two processes race for one document, round after round, while a
        // reader reads along.
        server->ProjectHandler().SetActiveProject(env->writeFile(u"S.kpj"_s, SharedProject));
        const QString path = env->writeFile(u"race/Part.kpt"_s, "[Document]\nVersion=3\n");
        const ServerDocumentPtr reader = server->OpenDocument(path);
        const QStringList users{u"anna"_s, u"ben"_s};
        int readsWhileRacing = 0;
        for (int round = 0; round < 25; ++round) {
            QProcess racers[2]; // a racer still running at a failure is killed with it
            for (int i = 0; i < 2; ++i)
                racers[i].start(ScrivoToolPath(), {u"reserve"_s, u"--user"_s, users[i], path});
            for (QProcess &racer : racers)
                QVERIFY2(racer.waitForStarted(10000), qPrintable(racer.errorString()));
            // A record is either absent or whole (bounded, in case a racer hangs).
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
            QList<int> exitCodes;
            for (QProcess &racer : racers) {
                QVERIFY2(racer.state() == QProcess::NotRunning, "a scrivo process did not finish");
                QCOMPARE(racer.exitStatus(), QProcess::NormalExit);
                exitCodes.append(racer.exitCode());
            }
            QVERIFY2(exitCodes == (QList<int>{0, 1}) || exitCodes == (QList<int>{1, 0}),
                     qPrintable(u"exit codes %1 %2"_s.arg(exitCodes[0]).arg(exitCodes[1])));
            const int winner = int(exitCodes.indexOf(0));
            QCOMPARE(reader->ReservedBy(), users[winner]);
            server->SetUserName(users[winner]);
            reader->ReleaseReservation();
        }
        QVERIFY(readsWhileRacing > 0);
        QCOMPARE(FolderEntries(env->path(u"race"_s)), QStringList{u"Part.kpt"_s});
    }

    void nonRegularFilesAreRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("place");
        for (const char *kind : {"fifo", "socket", "device"})
            for (const char *place :
                 {"server.ini", "Default.kpj", "project file", "document", "record"})
                QTest::newRow(qPrintable(u"%1 as %2"_s.arg(kind, place))) << kind << place;
        for (const char *kind : {"dangling link", "link loop"})
            QTest::newRow(qPrintable(u"%1 as record"_s.arg(kind))) << kind << "record";
    }

    void nonRegularFilesAreRefusedAtOnce()
    {
        // Through the tool, each command bounded to a few seconds: a read that waited on a
        // FIFO would never end.
        QFETCH(QString, kind);
        QFETCH(QString, place);
        const QString home = env->scrivoHome();
        const QString document = env->writeFile(u"w/Part.kpt"_s, "part");
        const QString project = env->writeFile(u"S.kpj"_s, SharedProject);
        server->ProjectHandler().SetActiveProject(project);
        QString node;
        if (place == u"server.ini") {
            node = home + u"/server.ini"_s;
            QFile::remove(node);
        } else if (place == u"Default.kpj") {
            server->ProjectHandler().SetActiveProject(QString());
            node = home + u"/Default.kpj"_s;
            QFile::remove(node);
        } else if (place == u"project file") {
            node = env->path(u"Fifo.kpj"_s);
            WriteINI(u"Server"_s, u"ActiveProject"_s, node, home + u"/server.ini"_s);
        } else if (place == u"document") {
            node = env->path(u"w/Node.kpt"_s);
        } else {
            node = ScrivoReservationPath(document);
        }
        MakeNode(kind, node);
        const QString target = place == u"document" ? node : document;

        // Status reads no project; a reservation reads the mode of the active project.
        const ToolResult status = RunScrivo({u"status"_s, target}, 5000);
        const ToolResult reserve = RunScrivo({u"reserve"_s, u"--user"_s, u"anna"_s, target}, 5000);
        QCOMPARE(reserve.exitCode, 1);
        QVERIFY2(reserve.err.contains(node), qPrintable(reserve.err));
        const bool projectOnly = place == u"Default.kpj" || place == u"project file";
        QCOMPARE(status.exitCode, projectOnly ? 0 : 1);
        if (place == u"record") {
            // A record that is no file is damaged: anybody may release it, and only the
            // object itself goes, never what a link points to.
            QVERIFY2(status.err.contains(u"damaged"_s), qPrintable(status.err));
            QCOMPARE(RunScrivo({u"release"_s, u"--user"_s, u"ben"_s, document}, 5000).exitCode, 0);
            QCOMPARE(FolderEntries(env->path(u"w"_s)), QStringList{u"Part.kpt"_s});
            QCOMPARE(RunScrivo({u"reserve"_s, u"--user"_s, u"anna"_s, document}, 5000).exitCode, 0);
        }
        if (place == u"project file")
            QCOMPARE(RunScrivo({u"activate"_s, node}, 5000).exitCode, 1);
    }

    void releaseNeverRemovesAReservationWrittenMeanwhile()
    {
        // anna's release in another process stops between reading the holder and taking
        // the record; meanwhile her reservation is released elsewhere and ben reserves.
        workShared(u"anna"_s);
        const QString path = env->writeFile(u"w/Part.kpt"_s, "part");
        server->OpenDocument(path)->Reserve();
        const QString pause = env->path(u"pause"_s);
        QDir().mkpath(pause);
        QProcess release;
        release.setProcessEnvironment(PausedBefore(ScrivoReservationPath(path), pause));
        release.start(ScrivoToolPath(), {u"release"_s, u"--user"_s, u"anna"_s, path});
        QVERIFY(WaitUntilPaused(pause));
        server->OpenDocument(path)->ReleaseReservation();
        server->SetUserName(u"ben"_s);
        server->OpenDocument(path)->Reserve();
        LetGo(pause);
        QVERIFY(release.waitForFinished(30000));

        QCOMPARE(release.exitCode(), 1);
        QVERIFY2(release.readAllStandardError().contains("anna"), "the release names the holder");
        QCOMPARE(server->OpenDocument(path)->ReservedBy(), u"ben"_s);
        QCOMPARE(FolderEntries(env->path(u"w"_s)),
                 (QStringList{u".Part.kpt.reservation"_s, u"Part.kpt"_s}));
    }

    void oneDocumentHasOneRecordWhateverWayLeadsToIt()
    {
        workShared(u"anna"_s);
        const QString real = env->writeFile(u"real/Part.kpt"_s, "[Document]\nVersion=5\n");
        MakeLink(env->path(u"real"_s), env->path(u"through-folder"_s));
        MakeLink(real, env->path(u"Linked.kpt"_s));
        server->OpenDocument(env->path(u"through-folder/Part.kpt"_s))->Reserve();
        // The record lies beside the file itself; every way to it meets it.
        QVERIFY(QFileInfo::exists(ScrivoReservationPath(real)));
        server->SetUserName(u"ben"_s);
        for (const QString &way : {real, env->path(u"Linked.kpt"_s)}) {
            QVERIFY(ThrowsServerError([&] { server->OpenDocument(way)->Reserve(); },
                                      ServerErrors::AlreadyReserved, {u"anna"_s}));
            QCOMPARE(server->OpenDocument(way)->ReservedBy(), u"anna"_s);
        }
        QCOMPARE(FolderEntries(env->path(u"."_s)).filter(u"reservation"_s), QStringList());

        // A file with two names cannot be tied to one record: its state reads, it is not
        // reserved.
        const QString first = env->writeFile(u"hard/First.kpt"_s, "part");
        const QString second = env->path(u"hard/Second.kpt"_s);
        QVERIFY(::link(QFile::encodeName(first).constData(),
                       QFile::encodeName(second).constData()) == 0);
        QVERIFY(!server->OpenDocument(second)->IsReserved());
        QVERIFY(ThrowsServerError([&] { server->OpenDocument(first)->Reserve(); },
                                  ServerErrors::SeveralHardLinks, {first, u"hard links"_s}));
        QCOMPARE(FolderEntries(env->path(u"hard"_s)),
                 (QStringList{u"First.kpt"_s, u"Second.kpt"_s}));
    }

    void userNamesThatCouldMisleadAreRefused_data()
    {
        QTest::addColumn<QByteArray>("name"); // as the bytes a shell gives the tool
        QTest::newRow("available") << QByteArray("available");
        QTest::newRow("AVAILABLE") << QByteArray("AVAILABLE");
        QTest::newRow("right-to-left override") << QByteArray("\xE2\x80\xAE"
                                                              "ecila");
        QTest::newRow("zero width space") << QByteArray("al\xE2\x80\x8Bice");
        QTest::newRow("line break") << QByteArray("ali\nce");
        QTest::newRow("not UTF-8") << QByteArray("al\xE9ice");
        QTest::newRow("257 characters") << QByteArray(257, 'a');
        QTest::newRow("70,000 characters") << QByteArray(70000, 'a');
    }

    void userNamesThatCouldMisleadAreRefused()
    {
        QFETCH(QByteArray, name);
        workShared(u"anna"_s);
        const QString path = env->writeFile(u"w/Part.kpt"_s, "part");
        QCOMPARE(RunScrivoNamed(u"reserve --user"_s, name, {path}), 1);
        QCOMPARE(RunScrivoNamed(u"user"_s, name, {}), 1);
        QVERIFY(!server->OpenDocument(path)->IsReserved());
        QCOMPARE(FolderEntries(env->path(u"w"_s)), QStringList{u"Part.kpt"_s});
        // The longest name is allowed.
        QCOMPARE(RunScrivo({u"reserve"_s, u"--user"_s, QString(256, u'a'), path}).exitCode, 0);
    }

    void everyDocumentWhoseRecordNameFitsCanBeReserved()
    {
        // The record's name is the document's plus 13 bytes; the private name it is written
        // under first is short.
        workShared(u"anna"_s);
        for (int length = 226; length <= 242; length += 4) {
            const QString name = QString(length - 4, u'd') + u".kpt"_s;
            const QString path = env->writeFile(u"long/"_s + name, "part");
            const ServerDocumentPtr document = server->OpenDocument(path);
            document->Reserve();
            QCOMPARE(document->ReservedBy(), u"anna"_s);
        }
    }

    void serverFilesThatCannotBeUsedAreTold()
    {
        const QString ini = env->scrivoHome() + u"/server.ini"_s;
        const QString project = env->writeFile(u"P.kpj"_s, SharedProject);
        server->RegisterProject(project);
        server->ProjectHandler().SetActiveProject(project);
        const QString doc = env->writeFile(u"w/Part.kpt"_s, "part");

        // A server.ini that exists but cannot be read fails every command; a large one too.
        const QByteArray held = ReadBytes(ini);
        QVERIFY(QFile::rename(ini, ini + u".held"_s));
        QVERIFY(QDir().mkpath(ini));
        for (const QStringList &command :
             {QStringList{u"projects"_s}, QStringList{u"user"_s}, QStringList{u"status"_s, doc},
              QStringList{u"register"_s, project}, QStringList{u"activate"_s, project}}) {
            const ToolResult result = RunScrivo(command);
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.contains(ini) && result.err.contains(u"folder"_s),
                     qPrintable(result.err));
        }
        QVERIFY(QDir(ini).removeRecursively());
        env->writeFile(u"scrivo-home/server.ini"_s,
                       held + "; " + QByteArray(17 * 1024 * 1024, 'x') + "\n");
        const ToolResult large = RunScrivo({u"projects"_s});
        QCOMPARE(large.exitCode, 1);
        QVERIFY2(large.err.contains(u"16 MiB"_s), qPrintable(large.err));
        env->writeFile(u"scrivo-home/server.ini"_s, held);

        // A project file above 16 MiB is refused, not read whole.
        env->writeFile(u"P.kpj"_s, SharedProject + "; " + QByteArray(17 * 1024 * 1024, 'x'));
        QVERIFY(ThrowsServerError([&] { server->MultiUserMode(); }, ServerErrors::ProjectUnreadable,
                                  {project, u"16 MiB"_s}));
        env->writeFile(u"P.kpj"_s, SharedProject);

        // A missing active project file: the server works in its fallback and says which file
        // is missing.
        QVERIFY(QFile::remove(project));
        QCOMPARE(server->ProjectHandler().ActiveProject(), env->scrivoHome() + u"/Default.kpj"_s);
        QCOMPARE(server->ProjectHandler().MissingActiveProject(), project);
        QCOMPARE(RunScrivo({u"projects"_s}).exitCode, 0);
    }

    void toolUsageAndProjectPathsAreChecked()
    {
        const QString project = env->writeFile(u"p/A.kpj"_s, SharedProject);
        const QString doc = env->writeFile(u"w/Part.kpt"_s, "part");
        QCOMPARE(RunScrivo({u"status"_s, u"--bogus"_s, doc}).exitCode, 2);
        QCOMPARE(RunScrivo({u"status"_s, u"--"_s, doc}).exitCode, 0);

        // Three spellings of one path register one project, cleaned.
        for (const QString &spelling :
             QStringList{project, env->path(u"p/../p/A.kpj"_s), u"/"_s + env->path(u"p//A.kpj"_s)})
            QCOMPARE(RunScrivo({u"register"_s, spelling}).exitCode, 0);
        QCOMPARE(server->ProjectHandler().GetProjects(), QStringList{project});

        // A folder and a link loop are named as what they are.
        const ToolResult folder = RunScrivo({u"register"_s, env->path(u"p"_s)});
        QCOMPARE(folder.exitCode, 1);
        QVERIFY2(folder.err.contains(u"is a folder"_s), qPrintable(folder.err));
        const QString loop = env->path(u"p/Loop.kpj"_s);
        MakeLink(loop, loop);
        for (const QString &command : {u"register"_s, u"activate"_s}) {
            const ToolResult looped = RunScrivo({command, loop});
            QCOMPARE(looped.exitCode, 1);
            QVERIFY2(looped.err.contains(u"symbolic links"_s), qPrintable(looped.err));
        }

        // Unregistering keeps what else the section and the file hold.
        const QString ini = env->scrivoHome() + u"/server.ini"_s;
        env->writeFile(u"scrivo-home/server.ini"_s,
                       ReadBytes(ini) + "Note=kept by hand\n[Team]\nLead=dora\n");
        QCOMPARE(RunScrivo({u"unregister"_s, env->path(u"p/./A.kpj"_s)}).exitCode, 0);
        QCOMPARE(server->ProjectHandler().GetProjects(), QStringList());
        QCOMPARE(ReadINI(u"Projects"_s, u"Note"_s, ini), u"kept by hand"_s);
        QCOMPARE(ReadINI(u"Team"_s, u"Lead"_s, ini), u"dora"_s);
    }

    void toolWritesASampleProjectReportsItAndRefusesBadUsage()
    {
        ToolResult listed = RunScrivo({u"projects"_s});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QString());

        const QString other = env->writeFile(u"Other.kpj"_s, SharedProject);
        QCOMPARE(RunScrivo({u"register"_s, other}).exitCode, 0);
        const QString folder = env->path(u"sample"_s);
        QCOMPARE(RunScrivo({u"sample"_s, folder}).exitCode, 0);
        const QString project = folder + u"/Sample.kpj"_s;
        listed = RunScrivo({u"projects"_s});
        QCOMPARE(listed.out, u"  "_s + other + u"\n* "_s + project + u'\n');

        QCOMPARE(server->ProjectHandler().ActiveProject(), project);
        QCOMPARE(server->MultiUserMode(), MultiUserModes::Shared);
        QCOMPARE(server->ProjectHandler().WorkspacePath(), folder + u"/Workspace"_s);

        const QString housing = folder + u"/Workspace/Gearbox/Parts/Housing.kpt"_s;
        const QString gearbox = folder + u"/Workspace/Gearbox/Gearbox.kam"_s;
        const ToolResult status = RunScrivo({u"status"_s, housing, gearbox});
        QCOMPARE(status.exitCode, 0);
        const QStringList lines = status.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        // A held document: name, holder, time, version (the last field); a free one: name and
        // "available".
        QCOMPARE(lines[0].section(u'\t', 0, 1), housing + u"\tanna"_s);
        QVERIFY(QDateTime::fromString(lines[0].section(u'\t', 2, 2), Qt::ISODate).isValid());
        QCOMPARE(lines[0].section(u'\t', 3), u"4"_s);
        QCOMPARE(lines[1], gearbox + u"\tavailable"_s);

        // The assembly's references resolve inside the sample, with one binary part among them.
        QStringList names;
        for (const ServerDocumentPtr &ref : server->OpenDocument(gearbox)->ReferencedDocuments()) {
            QVERIFY(ref);
            names.append(ref->DisplayName());
        }
        QCOMPARE(names, (QStringList{u"Gearbox housing"_s, u"Drive shaft"_s, u"Washer ISO 7089 8"_s,
                                     u"Gear"_s, u"Bolt ISO 4017 M8x30"_s}));

        // Reserve and release through the tool, as the given user.
        QCOMPARE(RunScrivo({u"reserve"_s, u"--user"_s, u"carl"_s, gearbox}).exitCode, 0);
        QCOMPARE(server->OpenDocument(gearbox)->ReservedBy(), u"carl"_s);
        const ToolResult refused = RunScrivo({u"release"_s, housing});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains(u"anna"_s));
        QCOMPARE(RunScrivo({u"release"_s, u"--user"_s, u"carl"_s, gearbox}).exitCode, 0);
        QVERIFY(!server->OpenDocument(gearbox)->IsReserved());

        // A second sample into the same folder would overwrite: refused, nothing changed.
        const ToolResult again = RunScrivo({u"sample"_s, folder});
        QCOMPARE(again.exitCode, 1);
        QVERIFY(again.err.contains(folder));
        QVERIFY(server->OpenDocument(housing)->IsReserved());

        // Bad usage ends with 2; a failure with 1 and one line naming what failed.
        for (const QStringList &arguments :
             {QStringList{}, QStringList{u"bogus"_s}, QStringList{u"register"_s},
              QStringList{u"reserve"_s, u"--user"_s}, QStringList{u"user"_s, u"a"_s, u"b"_s}})
            QCOMPARE(RunScrivo(arguments).exitCode, 2);
        QCOMPARE(RunScrivo({u"user"_s, u"gina"_s}).exitCode, 0);
        QCOMPARE(RunScrivo({u"user"_s}).out, u"gina\n"_s);
        const QString missing = env->path(u"none.kpj"_s);
        const ToolResult failed = RunScrivo({u"activate"_s, missing});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY(failed.err.contains(missing));
        QCOMPARE(failed.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
