// Project files: the INI rules, the path functions, the keys the program reads, and working
// projects as files.

#include "Hostile.h"
#include "TestFiles.h"

#include "projects/IniFile.h"
#include "projects/WorkingProject.h"
#include "system/ProcessIdentity.h"

#include <csignal>
#include <sched.h>
#include <unistd.h>

// A working project's text: the copy's text and the record of the run, in the copy's line
// ends.
static QByteArray WithRunRecord(const QByteArray &copy, const QString &project)
{
    const QByteArray end = copy.contains("\r\n") ? "\r\n" : "\n";
    const ProcessIdentity self = ThisProcess();
    return copy + end + "[Working Project]" + end + "Source=" + project.toUtf8() + end +
           "Host=" + self.Host.toUtf8() + end + "Process=" + QByteArray::number(self.Process) +
           end + "Started=" + self.Started.toUtf8() + end;
}

Q_DECLARE_METATYPE(IniChange)

class TestProjects : public QObject
{
    Q_OBJECT

    // Each test's own Scrivo home and files, made afresh for every test and data row.
    std::optional<TestEnvironment> env;

private slots:
    void init() { env.emplace(); }
    void cleanup() { env.reset(); }

    void readFollowsProfileRules()
    {
        const QByteArray text =
            "\xEF\xBB\xBF"
            "k0=before any section\n[A]\nk=v\nk=second\n[a]\nk=third\n"
            "only=in second section\n[\xEF\xBB\xBFS]\nv=\xEF\xBB\xBFx\nbad=x\xC3\n"
            "  [ Project Defaults ]  \n  multiuser   =   Single User   \n"
            "double = \"  quoted  \"\nsingle='x'\nmixed=\"open'\nempty=\"\"\n"
            ";comment=not a key\nno equals sign\nlong=";
        const QString file = env->writeFile(u"a.ini"_s, text + QByteArray(600, 'x'));
        // Rows of "section|key|value": names without regard to case, blanks and matching
        // quotes dropped, the first of two names wins, values read whole, a U+FEFF inside the
        // file is text, bytes that are not UTF-8 read as U+FFFD.
        for (const QString &row :
             QStringList{u"PROJECT defaults| MULTIUSER |Single User"_s,
                         u"project defaults|double|  quoted  "_s, u"Project Defaults|single|x"_s,
                         u"Project Defaults|mixed|\"open'"_s, u"Project Defaults|empty|"_s,
                         u"Project Defaults|comment|"_s, u"Project Defaults|no equals sign|"_s,
                         u"Project Defaults|long|"_s + QString(600, u'x'), u"A|k|v"_s, u"A|only|"_s,
                         u"B|k|"_s, u"\uFEFFS|v|\uFEFFx"_s, u"\uFEFFS|bad|x\uFFFD"_s, u"|k0|"_s}) {
            const QStringList c = row.split(u'|');
            QCOMPARE(ReadINI(c[0], c[1], file), c[2]);
        }
        QCOMPARE(IniDocument::FromFile(file).EntriesOf(u"a"_s).size(), 2);
        // Names compare byte by byte where both are ASCII: only letters match across case, so
        // "[" is not "{" though they differ by the case bit; other names as text (the Kelvin
        // sign is a capital k).
        for (const auto &[name, wanted, same] :
             {std::tuple{"MultiUser", u"multiuser"_s, true}, std::tuple{"[a", u"{a"_s, false},
              std::tuple{"key", u"ke"_s, false}, std::tuple{"k\xC3\xA9y", u"K\u00C9Y"_s, true},
              std::tuple{"k\xC3\xA9", u"ke"_s, false}, std::tuple{"1_2", u"1_2"_s, true},
              std::tuple{"k", u"\u212A"_s, true}})
            QVERIFY2(IniNameIs(name, wanted) == same, name);
    }

    void writeChangesOnlyTheLinesItMust_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<IniChange>("change");
        QTest::addColumn<QByteArray>("after"); // null: no file
        const QByteArray head =
            "; by another tool \xFF\xFE\r\n[Unknown]\r\nOdd Key = \"kept\"   \r\n"
            "\r\n[Project Defaults]\r\n   ; comment inside\r\n";
        const QByteArray tail = "\r\n[Last]\nmixed=lf line\n";
        const auto row = [](const char *name, const QByteArray &before, IniChange change,
                            const QByteArray &after) {
            QTest::newRow(name) << before << change << after;
        };
        row("new file", {}, {u"A"_s, u"k"_s, u"v"_s}, "[A]\nk=v\n");
        row("value in place, first of two sections", "[A]\nk=first\nk=2\n[a]\nk=3\n",
            {u"a"_s, u"K"_s, u"new"_s}, "[A]\nk=new\nk=2\n[a]\nk=3\n");
        row("new section after text without one", "some text\nno line end",
            {u"A"_s, u"k"_s, u"v"_s}, "some text\nno line end\n\n[A]\nk=v\n");
        row("comments, CRLF and foreign bytes kept", head + "MultiUser = Single User\r\n" + tail,
            {u"Project Defaults"_s, u"MultiUser"_s, u"Shared"_s},
            head + "MultiUser = Shared\r\n" + tail);
        row("new key takes the file's line ends, before a comment", head + "a=1\r\n; note\r\n",
            {u"Project Defaults"_s, u"New"_s, u"1"_s}, head + "a=1\r\nNew=1\r\n; note\r\n");
        row("blanks and quotes survive quoted", "[A]\n", {u"A"_s, u"k"_s, u" \"q\" "_s},
            "[A]\nk=\" \"q\" \"\n");
        row("null key removes every section of the name", "[W]\nk=1\n[B]\nb=1\n[w]\nk=2\n",
            {u"W"_s, QString(), QString()}, "[B]\nb=1\n");
        row("removing a key keeps the rest", "[P]\nProject1=a\nNote=n\nproject1=b\n",
            IniChange::KeyRemoval(u"P"_s, u"Project1"_s), "[P]\nNote=n\n");
    }

    void writeChangesOnlyTheLinesItMust()
    {
        QFETCH(QByteArray, before);
        QFETCH(IniChange, change);
        QFETCH(QByteArray, after);
        const QString file =
            before.isNull() ? env->path(u"a.ini"_s) : env->writeFile(u"a.ini"_s, before);
        WriteINIChanges({change}, file);
        QCOMPARE(ReadBytes(file), after.isNull() ? QByteArray("<unreadable>") : after);
        if (!change.key.isNull() && !change.removeKey)
            QCOMPARE(ReadINI(change.section, change.key, file), change.value);
    }

    void refusedWritesLeaveTheFileAsItWas()
    {
        const QByteArray original = "[A]\nk=v\n";
        const QString file = env->writeFile(u"a.ini"_s, original);
        // A name of 250 bytes: the file fits, the private file written beside it does not.
        const QString longFile = env->writeFile(u"w/"_s + QString(246, u'n') + u".kpj"_s, original);
        // Rows of "section|key|value" no INI line can hold.
        for (const QString &row :
             {u"A|k|two\nlines"_s, u"A]|k|v"_s, u" |k|v"_s, u"A|k=x|v"_s, u"A|;k|v"_s}) {
            const QStringList c = row.split(u'|');
            QVERIFY2(FailureOf([&] { WriteINI(c[0], c[1], c[2], file); }).startsWith(file),
                     qPrintable(row));
        }
        // A private file that does not fit beside the file.
        QVERIFY(
            FailureOf([&] { WriteINI(u"A"_s, u"k"_s, u"w"_s, longFile); }).startsWith(longFile));
        QCOMPARE(ReadBytes(file) + ReadBytes(longFile), original + original);
        QCOMPARE(FolderEntries(env->path(u"w"_s)).size(), 1);
    }

    void workingProjectIsASharedCopyRecordingItsRun()
    {
        const QByteArray source = "; Main project\n[Project Defaults]\nMultiUser=Single User\n\n"
                                  "[Workspace]\nWorkspace=.\\ws\n\n[Workgroup Search Paths]\n"
                                  "Old=/srv/old\n";
        const QString main = env->writeFile(u"p/Main.kpj"_s, source);
        // It records the selected project, which for a copy of an included file is another.
        // (Where it is written, that the source stays as it was and that a copy of an included
        // file keeps its workspace are the check-out runs' tests.)
        const QString working = BuildWorkingProject(main, true, u"/srv/Selected.kpj"_s);
        QCOMPARE(ReadBytes(working),
                 WithRunRecord("; Main project\n[Project Defaults]\nMultiUser=Shared\n\n"
                               "[Workgroup Search Paths]\nOld=/srv/old\nWorkgroup=.\\ws\n",
                               u"/srv/Selected.kpj"_s));
        // A host name beyond letters and digits of ASCII (a machine of its own: a child in a
        // UTS namespace of its own) is named with "_" for each other character.
        QCOMPARE(RunInChildProcess([] {
                     const char host[] = "w\xc3\xb6rk st\xc3\xa4tion.lan";
                     if (::unshare(CLONE_NEWUTS) != 0 ||
                         ::sethostname(host, sizeof host - 1) != 0 ||
                         !WorkingProjectName().contains(u"-w_rk_st_tion.lan-"_s))
                         ::_exit(1);
                 }),
                 0);
        // A source that cannot be copied, and one that is the working project itself.
        for (const QString &bad : {env->path(u"srv/Gone.kpj"_s), working})
            QVERIFY(FailureOf([&] { BuildWorkingProject(bad, false, main); }).contains(bad));
    }

    void runsInOneFolderNeverMeetAndKilledRunsAreCleanedUp()
    {
        const QByteArray source = "[Project Defaults]\nMultiUser=Single User\n";
        const QString main = env->writeFile(u"p/Main.kpj"_s, source);
        // A killed run's working project names its project, and the next run removes it;
        // a link or folder planted under a working project's name stays, never followed.
        QCOMPARE(RunInChildProcess([&] { BuildWorkingProject(main, true, main); }, true), SIGKILL);
        const QString killed = env->path(u"p/"_s + FolderEntries(env->path(u"p"_s)).last());
        QCOMPARE(AbandonedWorkingProjectSource(killed), std::optional(main));
        const QString outside = env->path(u"outside.kpj"_s);
        MakeLink(outside, env->path(u"p/Temp$$$00-planted.kpj"_s));
        QDir().mkpath(env->path(u"p/Temp$$$00-folder.kpj"_s));
        const QString mine = BuildWorkingProject(main, true, main);
        // Another process's run, start to end, while this one runs: it builds and removes
        // only its own.
        QCOMPARE(RunInChildProcess(
                     [&] { DeleteTemporaryProject(BuildWorkingProject(main, true, main)); }),
                 0);
        QCOMPARE(ReadBytes(mine), WithRunRecord("[Project Defaults]\nMultiUser=Shared\n", main));
        // The working project of older versions goes; the selected project itself never.
        DeleteTemporaryProject(env->writeFile(u"p/Temp$$$00.kpj"_s, source));
        DeleteTemporaryProject(main);
        QCOMPARE(FolderEntries(env->path(u"p"_s)),
                 (QStringList{u"Main.kpj"_s, u"Temp$$$00-folder.kpj"_s, u"Temp$$$00-planted.kpj"_s,
                              WorkingProjectName()}));
        // This run's own name planted as a dangling link: nothing is written through it.
        DeleteTemporaryProject(mine);
        MakeLink(outside, mine);
        QVERIFY(FailureOf([&] { BuildWorkingProject(main, true, main); }).contains(mine));
        QVERIFY(!QFileInfo::exists(outside) && QFileInfo(mine).isSymLink());
        // A working project of a run on another host is never taken for a killed run's.
        const QString remote = env->writeFile(u"p/Temp$$$00-x-elsewhere-1.kpj"_s,
                                              "[Working Project]\nSource=" + main.toUtf8() +
                                                  "\nHost=elsewhere\nProcess=1\nStarted=0\n");
        QCOMPARE(AbandonedWorkingProjectSource(remote), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestProjects)
#include "tst_projects.moc"
