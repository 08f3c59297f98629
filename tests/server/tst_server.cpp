// Scrivo, the document server, and its tool: projects and settings in the home folder,
// documents and references, reservations between processes, and files that are not what
// they should be.

#include "Hostile.h"
#include "TestFiles.h"

#include "projects/IniFile.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoSample.h"
#include "server/scrivo/ScrivoServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static const QByteArray SharedProject = "[Project Defaults]\nMultiUser=Shared\n";

class TestServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScrivoServer> server;

    QString Ini() const { return env->scrivoHome() + u"/server.ini"_s; }

    // A Shared project active, and a document in it; reservations as user.
    QString WorkShared(const QString &user, const QByteArray &document = "part")
    {
        server->ProjectHandler().SetActiveProject(env->writeFile(u"S.kpj"_s, SharedProject));
        server->SetUserName(user);
        return env->writeFile(u"w/Part.kpt"_s, document);
    }

private slots:
    void init()
    {
        server.reset();
        env.reset(); // before the next one, which keeps the environment it found
        env = std::make_unique<TestEnvironment>();
        server = std::make_unique<ScrivoServer>();
    }

    void homeHoldsProjectsTheActiveOneAndTheDefaultUser()
    {
        const QString a = env->writeFile(u"p/A.kpj"_s, SharedProject);
        const QString b = env->writeFile(u"q/B.kpj"_s, SharedProject);
        ::ProjectHandler &projects = server->ProjectHandler();
        const QString defaultProject = env->scrivoHome() + u"/Default.kpj"_s;
        QCOMPARE(projects.ActiveProject(), defaultProject);
        // Twice is once, however spelled: the path is kept cleaned.
        for (const QString &project : {env->path(u"q/./../q//B.kpj"_s), a, b})
            server->RegisterProject(project);
        QCOMPARE(projects.GetProjects(), (QStringList{b, a}));
        server->UnregisterProject(b);
        QCOMPARE(projects.GetProjects(), QStringList{a});
        QVERIFY_SERVER_ERROR(server->UnregisterProject(b), ProjectNotFound, b);
        QVERIFY_SERVER_ERROR(server->RegisterProject(QString()), ProjectNotFound);
        QVERIFY_SERVER_ERROR(server->OpenDocument(QString()), InvalidArgument);
        projects.SetActiveProject(b); // an unregistered file may be active
        // Not while another program's check-out run has the home's run turn.
        const int turn =
            ::open(QFile::encodeName(env->scrivoHome() + u"/run.lock"_s), O_RDWR | O_CREAT, 0644);
        QVERIFY(::flock(turn, LOCK_EX) == 0);
        QVERIFY_SERVER_ERROR(projects.SetActiveProject(a), RunInProgress, env->scrivoHome());
        // This process's own turn of another home is no reason to pass over the check here;
        // its turn of this home is.
        {
            ScrivoServer otherHome(env->path(u"other-home"_s));
            const RunTurnPtr elsewhere = otherHome.TakeRunTurn([] { return false; });
            QVERIFY_SERVER_ERROR(projects.SetActiveProject(a), RunInProgress, env->scrivoHome());
        }
        ::close(turn);
        {
            const RunTurnPtr own = server->TakeRunTurn([] { return false; });
            projects.SetActiveProject(a);
            projects.SetActiveProject(b);
        }
        for (const QString &kind : {u"dangling link"_s, u"folder"_s, u"fifo"_s, u"link loop"_s}) {
            MakeNode(kind, env->path(kind));
            QVERIFY_SERVER_ERROR(projects.SetActiveProject(env->path(kind)), ProjectNotFound,
                                 env->path(kind));
        }
        // The active project is shared by every server object; "" makes the fallback active,
        // written again when it was removed.
        QCOMPARE(ScrivoServer().ProjectHandler().ActiveProject(), b);
        QVERIFY(QFile::remove(defaultProject));
        projects.SetActiveProject(QString());
        QCOMPARE(projects.ActiveProject(), defaultProject);

        // A new server works as the default user, each under a name of its own.
        QCOMPARE(server->UserName(), QString::fromUtf8(::getpwuid(::geteuid())->pw_name));
        server->SetDefaultUserName(u"dora"_s);
        ScrivoServer second;
        QCOMPARE(second.UserName(), u"dora"_s);
        second.SetUserName(u"Frida Berg"_s);
        QCOMPARE(ScrivoServer().UserName(), u"dora"_s);
        QVERIFY_SERVER_ERROR(second.SetDefaultUserName(u"available"_s), InvalidUserName);
    }

    void modeAndFoldersComeFromTheActiveProject()
    {
        // The other modes are the window's and the runs' tests; the name is matched as
        // written, and one that is not a mode's (as a missing one) means Single User.
        for (const auto &[value, mode] :
             {std::pair{"Semi-Isolated no checkout", MultiUserModes::SemiIsolatedNoCheckout},
              std::pair{"shared", MultiUserModes::SingleUser}}) {
            server->ProjectHandler().SetActiveProject(env->writeFile(
                u"P.kpj"_s, "[Project Defaults]\nMultiUser=" + QByteArray(value) + "\n"));
            QCOMPARE(server->MultiUserMode(), mode);
        }
        // Above 16 MiB a project file is refused, not read whole (server.ini is read alike).
        const QString big =
            env->writeFile(u"Big.kpj"_s, SharedProject + "; " + QByteArray(17 << 20, 'x'));
        server->ProjectHandler().SetActiveProject(big);
        QVERIFY_SERVER_ERROR(server->MultiUserMode(), ProjectUnreadable, big, u"16 MiB"_s);
        const QString project = env->writeFile(
            u"site/proj/P.kpj"_s, "[Workspace]\nWorkspace=.\\ws\\main\n[Workgroup Search Paths]\n"
                                  "Zeta=..\\lib\nAlpha=/opt/parts\nRoot=\\srv\\x\\..\\T\nEmpty=\n");
        server->ProjectHandler().SetActiveProject(project);
        QCOMPARE(server->ProjectHandler().WorkspacePath(), env->path(u"site/proj/ws/main"_s));
        QStringList names{u"stale"_s}, paths;
        server->ProjectHandler().GetWorkgroupPaths(names, paths);
        QCOMPARE(names, (QStringList{u"Zeta"_s, u"Alpha"_s, u"Root"_s, u"Empty"_s}));
        QCOMPARE(paths,
                 (QStringList{env->path(u"site/lib"_s), u"/opt/parts"_s, u"/srv/T"_s, QString()}));
    }

    void documentsGiveMetadataAndReferencesOnceEach()
    {
        WorkShared(u"anna"_s);
        // Display name and version from the metadata block where one is found in the first
        // 64 KiB, else the base name and version 1.
        const QList<std::tuple<QString, QByteArray, QString>> cases{
            {u"Bracket.kpt"_s,
             "[Document]\nDisplayName=Bracket l\nVersion=7\nDisplayName=B\nVersion=8\n",
             u"Bracket l 7"_s}, // the first line of a key counts
            {u"Plain.v2.kpt"_s, "just some text\n", u"Plain.v2 1"_s},
            {u"Binary.kpt"_s, QByteArray("K") + '\0' + "[Document]\nDisplayName=H\nVersion=3\n",
             u"Binary 1"_s},
            {u"Odd.kam"_s, "[Document]\nDisplayName=\nVersion=2.5\n", u"Odd 1"_s},
            {u"Far.kpt"_s, QByteArray(64 * 1024, 'x') + "\n[Document]\nVersion=5\n", u"Far 1"_s}};
        for (const auto &[file, content, shown] : cases) {
            const auto document = server->OpenDocument(env->writeFile(u"m/"_s + file, content));
            document->Reserve(); // the version shows in the reservation
            QCOMPARE(document->DisplayName() + u' ' + QString::number(document->ReservedVersion()),
                     shown);
        }
        // Paths are cleaned once, relative ones against the working folder; paths already
        // clean stay as they are.
        QStringList cleaned;
        for (const QString &path : {u"/"_s, u"/a/./b/"_s, u"/a/../b"_s, u"/a//b"_s, u"/a/."_s,
                                    u"/a/b/.."_s, u"/a/.h/..b/..."_s, u"/a/"_s, u"a/../c"_s})
            cleaned.append(AbsolutePathOf(path));
        QCOMPARE(cleaned,
                 (QStringList{u"/"_s, u"/a/b"_s, u"/b"_s, u"/a/b"_s, u"/a"_s, u"/a"_s,
                              u"/a/.h/..b/..."_s, u"/a"_s, QDir::currentPath() + u"/c"_s}));
        // A path whose folder is a file (a missing file and a folder are among the references
        // below).
        const QString underFile = env->writeFile(u"file"_s, "x") + u"/a.kpt"_s;
        QVERIFY_SERVER_ERROR(server->OpenDocument(underFile), PathNotFound, underFile);

        // Depth first in file order, each once: A -> B, C; B -> D, a missing file; C -> D, a
        // second spelling of the missing file, A (a cycle), a link back up, a folder (it fails
        // where it stands), and a line the 64 KiB limit cuts (it would name the folder "top").
        const QString a = env->writeFile(u"top/A.kam"_s, "[References]\nR1=sub\\B.kam\nR2=C.kam\n");
        env->writeFile(u"top/sub/B.kam"_s, "[References]\nR1=..\\..\\other\\D.kpt\nR2=Gone.kpt\n");
        MakeLink(env->path(u"top"_s), env->path(u"top/up"_s));
        QDir().mkpath(env->path(u"top/Folder.kpt"_s));
        QByteArray c = "[References]\nR1=../other/D.kpt\nR2=sub/./Gone.kpt\nR3=A.kam\nR4=up/C.kam\n"
                       "R5=Folder.kpt\n";
        c += QByteArray(64 * 1024 - c.size() - 6, ';') + "\nR6=../top/A.kam\n";
        env->writeFile(u"top/C.kam"_s, c);
        env->writeFile(u"other/D.kpt"_s, "[Document]\nVersion=2\n");
        const QList<ServerDocumentPtr> references = server->OpenDocument(a)->ReferencedDocuments();
        QStringList walked;
        for (const ServerDocumentPtr &ref : references)
            walked.append(ref ? ref->FullFileName().mid(env->root().size() + 1) : u"-"_s);
        QCOMPARE(walked, (QStringList{u"top/sub/B.kam"_s, u"other/D.kpt"_s, u"-"_s, u"top/C.kam"_s,
                                      u"top/Folder.kpt"_s}));
        QVERIFY_SERVER_ERROR(references.last()->IsReserved(), NotADocument, u"Folder.kpt"_s);
        // The contract's default for a server that has only the walk: every document the walk
        // found. (This server's own, the references as written, resolved, is what where-used
        // follows.)
        QCOMPARE(server->OpenDocument(a)->ServerDocument::DirectReferences().replaceInStrings(
                     env->root() + u'/', QString()),
                 (QStringList{u"top/sub/B.kam"_s, u"other/D.kpt"_s, u"top/C.kam"_s,
                              u"top/Folder.kpt"_s}));
    }

    void reservationHasOneHolderWhateverWayLeadsToTheDocument()
    {
        const QString path = WorkShared(u"anna"_s, "[Document]\nVersion=12\n");
        ScrivoServer ben;
        ben.SetUserName(u"ben"_s);
        const ServerDocumentPtr document = server->OpenDocument(path);
        QVERIFY(!document->IsReserved() && !document->ReservedTime().isValid());
        document->ReleaseReservation(); // nobody holds it: nothing happens
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        document->Reserve();
        const ServerDocumentPtr seenByBen = ben.OpenDocument(path);
        QCOMPARE(seenByBen->ReservedBy() + u' ' + QString::number(seenByBen->ReservedVersion()),
                 u"anna 12"_s);
        QVERIFY(seenByBen->ReservedTime() >= before &&
                seenByBen->ReservedTime().timeSpec() == Qt::LocalTime);
        QVERIFY_SERVER_ERROR(seenByBen->Reserve(), AlreadyReserved, u"anna"_s, path);
        ben.SetUserName(u"Anna"_s); // only the holder exactly may release
        QVERIFY_SERVER_ERROR(seenByBen->ReleaseReservation(), NotTheHolder);
        ben.SetUserName(u"anna"_s);
        seenByBen->ReleaseReservation();
        server->SetUserName(u"AVAILABLE"_s); // a free document's mark is nobody's name
        QVERIFY_SERVER_ERROR(document->Reserve(), InvalidUserName);
        server->SetUserName(u"anna"_s);
        document->Reserve();
        // Through a link to the file or to its folder, the record is the file's own; a file
        // with two names is not reserved, its state still reads.
        MakeLink(env->path(u"w"_s), env->path(u"through"_s));
        MakeLink(path, env->path(u"Linked.kpt"_s));
        for (const QString &way : {env->path(u"through/Part.kpt"_s), env->path(u"Linked.kpt"_s)})
            QVERIFY_SERVER_ERROR(ben.OpenDocument(way)->Reserve(), AlreadyReserved, u"anna"_s);
        const QString single = env->writeFile(u"w/Single.kpt"_s, "s");
        QVERIFY(::link(QFile::encodeName(single).constData(),
                       QFile::encodeName(env->path(u"w/Twin.kpt"_s)).constData()) == 0);
        QVERIFY_SERVER_ERROR(ben.OpenDocument(single)->Reserve(), SeveralHardLinks, single,
                             u"hard links"_s);
        QVERIFY(!ben.OpenDocument(single)->IsReserved());
        // A document replaced by a folder since it was opened gets no record.
        const ServerDocumentPtr replaced = ben.OpenDocument(single);
        QVERIFY(QFile::remove(single) && QDir().mkdir(single));
        QVERIFY_SERVER_ERROR(replaced->Reserve(), NotADocument, single);
        QVERIFY(!QFileInfo::exists(ScrivoReservationPath(single)));

        // A document whose record's name just fits can be reserved; the private name it is
        // written under first is short. A name whose record cannot fit is refused.
        server->OpenDocument(env->writeFile(u"long/"_s + QString(238, u'd') + u".kpt"_s, "p"))
            ->Reserve();
        const QString tooLong = env->writeFile(u"long/"_s + QString(245, u'n') + u".kpt"_s, "p");
        QVERIFY_SERVER_ERROR(server->OpenDocument(tooLong)->Reserve(), WriteFailed, tooLong);
        QCOMPARE(FolderEntries(env->path(u"long"_s)).filter(u".rsv"_s), QStringList());

        // Outside a Shared project nothing changes.
        server->ProjectHandler().SetActiveProject(QString());
        QVERIFY_SERVER_ERROR(document->ReleaseReservation(), NotSharedProject);
        QVERIFY_SERVER_ERROR(server->ReleaseReservationOf(path), NotSharedProject);
    }

    void damagedRecordsFailReadsAndAnyUserMayReleaseThem()
    {
        const QString path = WorkShared(u"ben"_s);
        // An empty record just made by its writer is no damage: its holder is not known yet.
        env->writeFile(u"w/.Part.kpt.reservation"_s, QByteArray());
        QVERIFY(server->OpenDocument(path)->Reservation().HolderUnknown);
        for (const QByteArray &content :
             {QByteArray("garbage without sections"),
              QByteArray("[Reservation]\nTime=2026-01-02T03:04:05+01:00\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=available\nTime=2026-01-02T03:04:05Z\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05\nVersion=1\n"),
              QByteArray("[Reservation]\nBy=anna\nTime=2026-01-02T03:04:05Z\nVersion=one\n"),
              QByteArray(70 * 1024, 'x')}) {
            const QString record = env->writeFile(u"w/.Part.kpt.reservation"_s, content);
            const ServerDocumentPtr document = server->OpenDocument(path);
            QVERIFY_SERVER_ERROR(document->IsReserved(), ReservationRecordDamaged, record);
            QVERIFY_SERVER_ERROR(document->ReservedBy(), ReservationRecordDamaged, record);
            QVERIFY_SERVER_ERROR(document->Reserve(), ReservationRecordDamaged, record);
            document->ReleaseReservation();
            QVERIFY(!QFileInfo::exists(record));
        }
        // A record written where the local time is ahead of UTC names its offset.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "IST-5:30");
        server->OpenDocument(path)->Reserve();
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        QVERIFY(ReadBytes(ScrivoReservationPath(path)).contains("+05:30\n"));
    }

    void nonRegularFilesAreRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("place");
        for (const char *kind : {"fifo", "socket", "device", "folder", "link loop"})
            for (const char *place :
                 {"server.ini", "Default.kpj", "project file", "document", "record"})
                QTest::addRow("%s as %s", kind, place) << kind << place;
    }

    void nonRegularFilesAreRefusedAtOnce()
    {
        // Through the tool, each command bounded to a few seconds: a read that waited on a
        // FIFO would never end.
        QFETCH(QString, kind);
        QFETCH(QString, place);
        const QString document = WorkShared(u"anna"_s);
        const QString node = place == u"server.ini"     ? Ini()
                             : place == u"Default.kpj"  ? env->scrivoHome() + u"/Default.kpj"_s
                             : place == u"project file" ? env->path(u"Node.kpj"_s)
                             : place == u"document"     ? env->path(u"w/Node.kpt"_s)
                                                        : ScrivoReservationPath(document);
        if (place == u"Default.kpj")
            server->ProjectHandler().SetActiveProject(QString());
        if (place == u"project file")
            WriteINI(u"Server"_s, u"ActiveProject"_s, node, Ini());
        QFile::remove(node);
        MakeNode(kind, node);
        const QString target = place == u"document" ? node : document;
        // Status reads no project; a reservation reads the mode of the active project.
        const ToolResult status = RunScrivo({u"status"_s, target});
        const ToolResult reserve = RunScrivo({u"reserve"_s, u"--user"_s, u"anna"_s, target});
        QCOMPARE(reserve.exitCode, 1);
        QVERIFY2(reserve.err.contains(node), qPrintable(reserve.err));
        QCOMPARE(status.exitCode, place == u"Default.kpj" || place == u"project file" ? 0 : 1);
        if (place == u"record") {
            // Anybody may release it; only the object itself goes, never a link's target, and
            // never a folder.
            QVERIFY2(status.err.contains(u"damaged"_s), qPrintable(status.err));
            const bool folder = kind == u"folder";
            QCOMPARE(RunScrivo({u"release"_s, u"--user"_s, u"ben"_s, document}).exitCode,
                     int(folder));
            const QStringList left{QFileInfo(node).fileName(), u"Part.kpt"_s};
            QCOMPARE(FolderEntries(env->path(u"w"_s)), folder ? left : left.mid(1));
        }
    }

    void changesTakeTurnsSoNoReleaseRemovesARecordItDidNotLookAt_data()
    {
        // The turn's time as the server keeps it, moved by plantedSeconds; the second
        // release's workstation clock, wrong by clockSeconds.
        QTest::addColumn<int>("plantedSeconds");
        QTest::addColumn<int>("clockSeconds");
        QTest::addColumn<bool>("takenOver");
        QTest::addRow("a clock two hours ahead") << 0 << 7200 << false;
        QTest::addRow("a turn two minutes old") << -120 << 0 << true;
        QTest::addRow("a turn from the server's future") << 7200 << 0 << true;
    }

    void changesTakeTurnsSoNoReleaseRemovesARecordItDidNotLookAt()
    {
        // anna's release in another process has looked at her record in its turn and stalls
        // before it takes the record away. A second release of it waits for the turn: nobody
        // can reserve meanwhile. Only a turn more than a minute old on the server's clock is
        // taken over, whatever the waiter's clock says; the stalled release, let go after
        // ben reserved, then finds its turn gone, looks again and leaves ben's record.
        QFETCH(int, plantedSeconds);
        QFETCH(int, clockSeconds);
        QFETCH(bool, takenOver);
        const QString path = WorkShared(u"anna"_s);
        server->OpenDocument(path)->Reserve();
        const QString pause = env->path(u"pause"_s);
        QProcess first;
        first.setProcessEnvironment(PausedBefore(ScrivoReservationPath(path), pause));
        first.start(ScrivoToolPath(), {u"release"_s, u"--user"_s, u"anna"_s, path});
        QVERIFY(WaitUntilPaused(pause, first));
        SetTimes(env->path(u"w/.Part.kpt.lock"_s), plantedSeconds);
        QProcess second;
        second.setProcessEnvironment(
            WithPreload(QProcessEnvironment::systemEnvironment(),
                        {{u"BREVANT_CLOCK_SHIFT"_s, QString::number(clockSeconds)}}));
        second.start(ScrivoToolPath(), {u"release"_s, u"--user"_s, u"anna"_s, path});
        ScrivoServer ben;
        ben.SetUserName(u"ben"_s);
        if (takenOver) {
            // Not before the waiter has itself waited a few seconds.
            QVERIFY(!second.waitForFinished(3000));
            QVERIFY(second.waitForFinished(120000) && second.exitCode() == 0);
            ben.OpenDocument(path)->Reserve();
        } else {
            QVERIFY(!second.waitForFinished(8000));
            QVERIFY_SERVER_ERROR(ben.OpenDocument(path)->Reserve(), AlreadyReserved, u"anna"_s);
        }
        LetGo(pause);
        const ToolResult stalled = FinishTool(first, 120000), waited = FinishTool(second, 120000);
        QCOMPARE(stalled.exitCode, int(takenOver));
        QVERIFY2(!takenOver || stalled.err.contains(u"reserved by ben, not by anna"_s),
                 qPrintable(stalled.err));
        QCOMPARE(waited.exitCode, 0);
        QCOMPARE(server->OpenDocument(path)->Reservation().By, takenOver ? u"ben"_s : QString());
        const QStringList left{u".Part.kpt.reservation"_s, u"Part.kpt"_s};
        QCOMPARE(FolderEntries(env->path(u"w"_s)), takenOver ? left : left.mid(1));
    }

    void commandLinesAreConventional_data()
    {
        QTest::addColumn<QStringList>("command"); // the program, then its arguments
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed"); // what standard output or error starts with
        QTest::addRow("scrivo --help")
            << QStringList{u"scrivo"_s, u"--help"_s} << 0 << u"Usage: scrivo"_s;
        QTest::addRow("a missing value") << QStringList{u"scrivo"_s, u"reserve"_s, u"--user"_s} << 2
                                         << u"scrivo: reserve: Missing value"_s;
        QTest::addRow("window --help")
            << QStringList{u"korvex-brevant"_s, u"--help"_s} << 0 << u"Usage: korvex-brevant"_s;
        QTest::addRow("window -V")
            << QStringList{u"korvex-brevant"_s, u"-V"_s} << 0 << u"korvex-brevant 1.03"_s;
        QTest::addRow("window with an argument")
            << QStringList{u"korvex-brevant"_s, u"project.kpj"_s} << 2
            << u"korvex-brevant: unexpected argument project.kpj"_s;
    }

    void commandLinesAreConventional()
    {
        // Without a display: the window answers its options before it opens.
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        noDisplay.remove(u"DISPLAY"_s);
        noDisplay.remove(u"QT_QPA_PLATFORM"_s);
        QProcess run;
        run.setProcessEnvironment(noDisplay);
        run.start(qEnvironmentVariable("BREVANT_BIN_DIR") + u'/' + command.first(), command.mid(1));
        const ToolResult result = FinishTool(run, 120000);
        QCOMPARE(result.exitCode, exitCode);
        const QString out = result.out + result.err;
        QVERIFY2(out.startsWith(printed), qPrintable(out));
    }

    void statusKeepsANameThatHoldsALineBreakOnItsLine()
    {
        // As scrivo list writes it: a tab and a line break escaped.
        QCOMPARE(RunScrivo({u"status"_s, env->writeFile(u"w/a\tb\nc.kpt"_s, "x")}).out,
                 env->path(u"w/a\\tb\\nc.kpt"_s) + u"\tavailable\n"_s);
    }

    void reservationCommentIsKeptAndShownOrRefused_data()
    {
        QTest::addColumn<QByteArray>("comment"); // the bytes given to scrivo reserve -m
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("told");  // what standard error says
        QTest::addColumn<QString>("shown"); // the fields status gives after the path
        const QString refused = u"scrivo: The comment \"%1\" cannot be used: %2.\n"_s;
        const QString held = u"\tanna\t(time)\t1"_s;
        QTest::newRow("words, blanks at their ends")
            << QByteArray(" \"B\" ä ") << 0 << QString() << held + u"\t \"B\" ä "_s;
        QTest::newRow("not UTF-8")
            << QByteArray("a\xff") << 1
            << refused.arg(u"a<U+DCFF>"_s, u"it is not valid UTF-8 text"_s) << u"\tavailable"_s;
    }

    void reservationCommentIsKeptAndShownOrRefused()
    {
        QFETCH(QByteArray, comment);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        QFETCH(QString, shown);
        const QString document = WorkShared(u"anna"_s);
        // Through a file and the shell, as bytes that need not be text.
        const QString given = env->writeFile(u"comment"_s, comment);
        QProcess reserve;
        reserve.start(u"sh"_s,
                      {u"-c"_s, u"exec \"$0\" reserve --user anna -m \"$(cat \"$1\")\" \"$2\""_s,
                       ScrivoToolPath(), given, document});
        const ToolResult reserved = FinishTool(reserve, 120000);
        QCOMPARE(reserved.exitCode, exitCode);
        QCOMPARE(reserved.err, told);
        QString status = RunScrivo({u"status"_s, document}).out;
        status.replace(QRegularExpression(u"\t[0-9T:+-]+Z?\t"_s), u"\t(time)\t"_s);
        QCOMPARE(status, document + shown + u'\n');
        // A comment that another program wrote as no safe text is left out, the reservation
        // holds.
        env->writeFile(
            u"w/.Part.kpt.reservation"_s,
            "[Reservation]\nBy=ben\nTime=2026-01-02T03:04:05Z\nVersion=1\nComment=a\x01\n");
        const ReservationState written = server->OpenDocument(document)->Reservation();
        QCOMPARE((QStringList{written.By, written.Comment}), (QStringList{u"ben"_s, QString()}));
    }

    void toolFailsWhenItsStandardOutputCannotBeWritten()
    {
        // A nightly "scrivo list > file" on a full disk: more than a buffer of output, lost,
        // and the run must not end as if it had been written.
        for (int i = 0; i < 100; ++i)
            env->writeFile(u"w/P%1.kpt"_s.arg(i), "x");
        QProcess scrivo;
        scrivo.setStandardOutputFile(u"/dev/full"_s);
        scrivo.start(ScrivoToolPath(), {u"list"_s, env->path(u"w"_s)});
        const ToolResult result = FinishTool(scrivo, 120000);
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err,
                 u"scrivo: standard output could not be written: No space left on device\n"_s);
    }

    void sampleIsWrittenOnceAndTheToolChecksItsArguments()
    {
        const QString folder = env->path(u"sample"_s);
        QDir().mkpath(folder); // an empty folder holds nothing to overwrite
        const QString user = server->UserName(), project = folder + u"/Sample.kpj"_s;
        QCOMPARE(WriteSampleProject(folder, *server), project);
        QCOMPARE(server->UserName(), user); // the sample's holders were only lent the session
        QCOMPARE(RunScrivo({u"projects"_s}).out, u"* "_s + project + u'\n');
        QCOMPARE(server->MultiUserMode(), MultiUserModes::Shared);
        const QString housing = folder + u"/Workspace/Gearbox/Parts/Housing.kpt"_s;
        const QString gearbox = folder + u"/Workspace/Gearbox/Gearbox.kam"_s;
        // The sample's housing is anna's at version 4; the time is whenever the sample was made.
        const QString status = RunScrivo({u"status"_s, u"--"_s, housing, gearbox}).out;
        QVERIFY2(status.startsWith(housing + u"\tanna\t"_s) &&
                     status.endsWith(u"\t4\n"_s + gearbox + u"\tavailable\n"_s),
                 qPrintable(status));
        QCOMPARE(RunScrivo({u"sample"_s, folder}).exitCode, 1); // nothing overwritten

        // Usage errors end with 2, failures with 1 and one line.
        for (const QStringList &arguments :
             {QStringList{}, QStringList{u"bogus"_s}, QStringList{u"register"_s},
              QStringList{u"list"_s}, QStringList{u"where-used"_s},
              QStringList{u"list"_s, u"--json"_s, u"--report"_s, u"x"_s, folder},
              QStringList{u"where-used"_s, u"--json"_s, u"--report"_s, u"x"_s, housing}})
            QCOMPARE(RunScrivo(arguments).exitCode, 2);
        // A folder is named as what it is.
        const ToolResult failed = RunScrivo({u"register"_s, folder});
        QVERIFY(failed.exitCode == 1 && failed.err.count(u'\n') == 1 &&
                failed.err.contains(u"is a folder"_s));
        QCOMPARE(RunScrivo({u"unregister"_s, project}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
