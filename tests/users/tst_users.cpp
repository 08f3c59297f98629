// Many people, one folder: two ordinary accounts of one group working in team folders
// (group-writable, setgid, some with the sticky bit), each with a umask of their own, through
// the scrivo tool and the engines run in a child process that has become the user.

#include "Hostile.h"
#include "TestFiles.h"
#include "Users.h"

#include "projects/WorkingProject.h"
#include "system/KorvexProcess.h"

#include <csignal>
#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int Anna = 0;
constexpr int Ben = 1;
constexpr int TeamUmask = 002;

mode_t ModeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestUsers_ : public QObject
{
    Q_OBJECT

    TestUsers users;
    std::unique_ptr<TestEnvironment> env;
    QString team; // a team folder of this test

    // Each user's own Scrivo home and state folder, or the one home they share.
    QProcessEnvironment Environment(int user, const QString &sharedHome = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        const QString own = env->path(u"own/"_s + users.Name(user));
        environment.insert(u"KORVEX_SCRIVO_HOME"_s,
                           sharedHome.isEmpty() ? own + u"/scrivo"_s : sharedHome);
        environment.insert(u"XDG_STATE_HOME"_s, own + u"/state"_s);
        return environment;
    }
    ToolResult Scrivo(int user, const QStringList &arguments, int umask = TeamUmask,
                      const QString &sharedHome = {}) const
    {
        QProcess run;
        users.Start(run, user, umask, ScrivoToolPath(), arguments, Environment(user, sharedHome));
        return FinishTool(run, 120000);
    }
    // A Shared project in the team folder, active for both users.
    void ActivateSharedProject()
    {
        const QString project = env->writeFile(u"team/S.kpj"_s, "[Project Defaults]\n"
                                                                "MultiUser=Shared\n");
        for (int user : {Anna, Ben})
            QCOMPARE(Scrivo(user, {u"activate"_s, project}).exitCode, 0);
    }
    // Makes this (forked) process the user, with the account's own and supplementary groups
    // and the team's umask; with hidden processes, it first mounts a /proc of its own with
    // hidepid=2. Ends the process with 125 when it cannot become the user, with 126 when /proc
    // could not be mounted.
    void Become(int user, bool hiddenProcesses = false) const
    {
        if (hiddenProcesses && (::unshare(CLONE_NEWNS) != 0 ||
                                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                                ::mount("proc", "/proc", "proc", 0, "hidepid=2") != 0))
            ::_exit(126);
        const QByteArray name = QFile::encodeName(users.Name(user));
        const passwd *account = ::getpwnam(name.constData());
        if (!account || ::initgroups(name.constData(), account->pw_gid) != 0 ||
            ::setgid(account->pw_gid) != 0 || ::setuid(account->pw_uid) != 0)
            ::_exit(125);
        ::umask(TeamUmask);
    }
    // The engine's work as the user in a forked child: its result, 124 when it threw.
    int AsUser(int user, const std::function<int()> &body, bool hiddenProcesses = false) const
    {
        const int status = RunInChildProcess([&] {
            Become(user, hiddenProcesses);
            try {
                ::_exit(body());
            } catch (const std::exception &error) {
                std::fprintf(stderr, "%s\n", error.what());
                ::_exit(124);
            }
        });
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // A table of one bool column: the row named without, then the row named with.
    static void BoolRows(const char *column, const char *without, const char *with)
    {
        QTest::addColumn<bool>(column);
        QTest::newRow(without) << false;
        QTest::newRow(with) << true;
    }

private slots:
    void init()
    {
        if (!users.Ready())
            QSKIP(qPrintable(users.Problem()));
        env = std::make_unique<TestEnvironment>();
        team = env->path(u"team"_s);
        users.MakeTeamFolder(team);
        for (int user : {Anna, Ben}) {
            const QString own = env->path(u"own/"_s + users.Name(user));
            QDir().mkpath(own);
            QVERIFY(::chown(QFile::encodeName(own).constData(), users.Uid(user), gid_t(-1)) == 0);
        }
    }

    void everyUmaskLetsTheTeamSeeAReservation_data()
    {
        QTest::addColumn<int>("umask");
        for (int umask : {022, 002, 077})
            QTest::addRow("umask %03o", umask) << umask;
    }

    void everyUmaskLetsTheTeamSeeAReservation()
    {
        // Whatever anna's umask, her record can be read by everyone who can read the
        // document, and the team may write it; ben, refused the release in his name, is told
        // she holds it.
        QFETCH(int, umask);
        ActivateSharedProject();
        const QString document = env->writeFile(u"team/A.kpt"_s, "[Document]\nVersion=2\n");
        QCOMPARE(Scrivo(Anna, {u"reserve"_s, document}, umask).exitCode, 0);
        QCOMPARE(ModeOf(ScrivoReservationPath(document)), mode_t(0664));
        const ToolResult refused = Scrivo(Ben, {u"release"_s, document});
        QVERIFY2(refused.exitCode == 1 && refused.err.contains(u"by "_s + users.Name(Anna) +
                                                               u", not by "_s + users.Name(Ben)),
                 qPrintable(refused.err));
    }

    void aRecordNobodyCanReadMayBeReleasedByAnyone_data() { BoolRows("sticky", "team", "sticky"); }

    void aRecordNobodyCanReadMayBeReleasedByAnyone()
    {
        // A record that its writer's umask (of an earlier version) kept from everyone else is
        // damaged for them, and whoever may remove it may release it; in a sticky folder ben
        // may not, and is told so.
        QFETCH(bool, sticky);
        ActivateSharedProject();
        const QString document = env->writeFile(u"team/A.kpt"_s, "part");
        const QByteArray record = QFile::encodeName(ScrivoReservationPath(document));
        QCOMPARE(Scrivo(Anna, {u"reserve"_s, document}).exitCode, 0);
        QVERIFY(::chmod(record.constData(), 0600) == 0);
        users.MakeTeamFolder(team, sticky);
        QVERIFY(Scrivo(Ben, {u"status"_s, document}).err.contains(u"Permission denied"_s));
        const ToolResult released = Scrivo(Ben, {u"release"_s, document});
        QCOMPARE(released.exitCode, int(sticky));
        QCOMPARE(released.err.contains(u"could not be removed"_s), sticky);
        QCOMPARE(QFile::exists(record), sticky);
    }

    void anActiveProjectItsUserCannotReachIsToldNeverReplaced()
    {
        // anna's active project lies in a folder closed to her since she chose it: her
        // check-out is refused naming that project and why, not the default project in its
        // place.
        const QString closed = env->path(u"closed"_s);
        const QString project = env->writeFile(u"closed/C.kpj"_s, "[Project Defaults]\n"
                                                                  "MultiUser=Shared\n");
        QVERIFY(::chmod(QFile::encodeName(closed).constData(), 0755) == 0);
        QCOMPARE(Scrivo(Anna, {u"activate"_s, project}).exitCode, 0);
        QVERIFY(::chmod(QFile::encodeName(closed).constData(), 0700) == 0);
        const QString document = env->writeFile(u"team/A.kpt"_s, "part");
        const ToolResult refused = Scrivo(Anna, {u"reserve"_s, document});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(project + u" cannot be read: Permission denied"_s),
                 qPrintable(refused.err));
        QVERIFY(!QFile::exists(ScrivoReservationPath(document)));
    }

    void aTurnAnotherUsersKilledProgramLeftIsTakenOver()
    {
        // anna's release was killed in its turn, under a umask that keeps the group from
        // writing what she makes; a minute later (on the server's clock) ben takes the turn
        // over, with what it holds, and releases her reservation in her name.
        ActivateSharedProject();
        const QString document = env->writeFile(u"team/A.kpt"_s, "part");
        QCOMPARE(Scrivo(Anna, {u"reserve"_s, document}).exitCode, 0);
        const QString pause = env->path(u"own/"_s + users.Name(Anna));
        QProcess killed;
        users.Start(killed, Anna, 022, ScrivoToolPath(), {u"release"_s, document},
                    PausedBefore(ScrivoReservationPath(document), pause, Environment(Anna)));
        QVERIFY(WaitUntilPaused(pause, killed));
        killed.kill();
        QVERIFY(killed.waitForFinished(60000));
        SetTimes(team + u"/.A.kpt.lock"_s, -120);
        const ToolResult released =
            Scrivo(Ben, {u"release"_s, u"--user"_s, users.Name(Anna), document});
        QVERIFY2(released.exitCode == 0, qPrintable(released.err));
        QCOMPARE(FolderEntries(team), (QStringList{u"A.kpt"_s, u"S.kpj"_s}));
    }

    void writersOfASharedHomeWaitForEachOther_data() { BoolRows("sticky", "team", "sticky"); }

    void writersOfASharedHomeWaitForEachOther()
    {
        // Both users write the server.ini of the home they share 150 times at once; in a home
        // with the sticky bit ben may not replace anna's server.ini, only write it.
        QFETCH(bool, sticky);
        const QString home = env->path(u"home"_s);
        users.MakeTeamFolder(home, sticky);
        QCOMPARE(Scrivo(Anna, {u"user"_s, u"first"_s}, TeamUmask, home).exitCode, 0);
        QProcess writers[2];
        for (int user : {Anna, Ben})
            users.Start(writers[user], user, TeamUmask, u"/bin/sh"_s,
                        {u"-c"_s, u"for i in $(seq 150); do \"$0\" user \"$1$i\" || exit 1; done"_s,
                         ScrivoToolPath(), users.Name(user)},
                        Environment(user, home));
        for (QProcess &writer : writers)
            QVERIFY2(writer.waitForFinished(120000) && writer.exitCode() == 0,
                     writer.readAllStandardError().constData());
        const QString last = Scrivo(Anna, {u"user"_s}, TeamUmask, home).out;
        QVERIFY2(last == users.Name(Anna) + u"150\n"_s || last == users.Name(Ben) + u"150\n"_s,
                 qPrintable(last));
        QCOMPARE(ModeOf(home + u"/server.ini"_s), mode_t(0664));
    }

    void aRunWhoseProcessIsHiddenIsAlive()
    {
        // With /proc mounted hidepid=2, ben cannot see anna's processes: her running run's
        // working project must still not count as left behind.
        const QString project = env->writeFile(u"team/P.kpj"_s, "[Project Defaults]\n");
        int built[2];
        QVERIFY(::pipe(built) == 0);
        const pid_t run = ::fork();
        if (run == 0) { // anna's run, going until it is killed
            Become(Anna);
            const QByteArray working =
                QFile::encodeName(BuildWorkingProject(project, false, project));
            if (::write(built[1], working.constData(), size_t(working.size())) < 0)
                ::_exit(1);
            ::close(built[1]);
            ::pause(); // until the test kills it
        }
        ::close(built[1]);
        QFile pipe;
        QVERIFY(pipe.open(built[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
        const QString working = QFile::decodeName(pipe.readAll());
        const auto clean = [this] {
            RemoveAbandonedWorkingProjects(team);
            return 0;
        };
        const int hidden = AsUser(Ben, clean, true);
        ::kill(run, SIGKILL);
        ::waitpid(run, nullptr, 0);
        if (hidden == 126)
            QSKIP("this kernel does not let the test mount a /proc with hidepid=2");
        QCOMPARE(hidden, 0);
        QVERIFY(!working.isEmpty() && QFileInfo::exists(working));
        // Once the run is gone, its working project is left behind and goes.
        QCOMPARE(AsUser(Ben, clean), 0);
        QVERIFY(!QFileInfo::exists(working));
    }

    void theCadApplicationOfAnotherAccountIsNotThisUsers()
    {
        const QString korvex = env->path(u"korvex"_s);
        QVERIFY(QFile::copy(u"/bin/sleep"_s, korvex));
        QProcess application;
        users.Start(application, Ben, TeamUmask, korvex, {u"60"_s}, Environment(Ben));
        // Running once the account's process has become the program (setpriv execs it).
        const QString command = u"/proc/%1/comm"_s.arg(application.processId());
        QVERIFY2(QTest::qWaitFor([&] { return ReadBytes(command).trimmed() == "korvex"; }, 120000),
                 "the other account's korvex did not start within 120 s");
        const auto running = [] { return int(IsKorvexRunning()); };
        QCOMPARE(AsUser(Anna, running), 0);
        QCOMPARE(AsUser(Ben, running), 1); // killed with the object
    }

    void aFolderAnotherUserClosedIsLoggedAndCounted()
    {
        env->writeFile(u"team/open/A.kpt"_s, "a");
        const QString closed = QFileInfo(env->writeFile(u"team/closed/B.kpt"_s, "b")).path();
        QVERIFY(::chown(QFile::encodeName(closed).constData(), users.Uid(Anna), gid_t(-1)) == 0);
        QVERIFY(::chmod(QFile::encodeName(closed).constData(), 0700) == 0);
        const ToolResult listed = Scrivo(Ben, {u"list"_s, team});
        QCOMPARE(listed.exitCode, 1);
        QVERIFY2(listed.err.contains(u"1 folder(s) could not be listed"_s), qPrintable(listed.err));
        QVERIFY(listed.out.startsWith(env->path(u"team/open/A.kpt"_s) + u'\t'));
        const QString log =
            Environment(Ben).value(u"XDG_STATE_HOME"_s) + u"/korvex-brevant/Error.log"_s;
        QCOMPARE(ReadBytes(log), "File has created Error: " + QFile::encodeName(closed) + "\r\n");
    }

    void reportsNeverReplaceWhatTheirUserMayNotWrite_data()
    {
        QTest::addColumn<int>("owner");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("replaced");
        QTest::addRow("another user's, readable") << Anna << 0644 << false;
        QTest::addRow("another user's, the team's to write") << Anna << 0664 << true;
    }

    void reportsNeverReplaceWhatTheirUserMayNotWrite()
    {
        QFETCH(int, owner);
        QFETCH(int, mode);
        QFETCH(bool, replaced);
        env->writeFile(u"team/docs/A.kpt"_s, "a");
        const QString report = env->writeFile(u"team/held.txt"_s, "old report\r\n");
        const QByteArray native = QFile::encodeName(report);
        QVERIFY(::chown(native.constData(), users.Uid(owner), users.TeamGroup()) == 0 &&
                ::chmod(native.constData(), mode_t(mode)) == 0);
        const ToolResult written =
            Scrivo(Ben, {u"list"_s, u"--report"_s, report, env->path(u"team/docs"_s)});
        // Exit code, "Permission denied", the old report kept, and the report's mode as it was.
        QCOMPARE((QList<int>{written.exitCode, written.err.contains(u"Permission denied"_s),
                             ReadBytes(report) == "old report\r\n", int(ModeOf(report))}),
                 (QList<int>{!replaced, !replaced, !replaced, mode}));
    }
};

QTEST_GUILESS_MAIN(TestUsers_)
#include "tst_users.moc"
