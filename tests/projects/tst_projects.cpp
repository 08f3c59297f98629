#include "Hostile.h"
#include "ObservedServer.h"
#include "PromptChecks.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "reserve/PrepareWorkingProject.h"
#include "server/ProgramState.h"
#include "server/ProjectAccess.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/FileError.h"
#include "system/ProcessIdentity.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QString TempBeside(const QString &file)
{
    return ParentFolderOf(file) + u'/' + WorkingProjectName();
}

// A working project's text: the copy's text and the record of the run, in the copy's line
// ends.
QByteArray WithRunRecord(const QByteArray &copy, const QString &project)
{
    const QByteArray end = copy.contains("\r\n") ? "\r\n" : "\n";
    const ProcessIdentity self = ThisProcess();
    return copy + end + "[Working Project]" + end + "Source=" + project.toUtf8() + end +
           "Host=" + self.Host.toUtf8() + end + "Process=" + QByteArray::number(self.Process) +
           end + "Started=" + self.Started.toUtf8() + end;
}

// A name of 250 bytes: the file fits, the temporary name written beside it does not.
const QString LongName = QString(246, u'n') + u".kpj"_s;

// The real server behind an observer that records the project handler calls in order.
struct RecordedServer
{
    explicit RecordedServer(const TestEnvironment &env)
        : scrivo(std::make_shared<ScrivoServer>(env.scrivoHome())), observed(scrivo)
    {
        observed.onCall = [this](const QString &call) { calls << call; };
    }
    std::shared_ptr<ScrivoServer> scrivo;
    ObservedServer observed;
    QStringList calls;
};

QStringList ActivationCalls(const QString &project)
{
    return {u"SetActiveProject()"_s, u"SetActiveProject(%1)"_s.arg(project), u"MultiUserMode"_s};
}

} // namespace

class TestProjects : public QObject
{
    Q_OBJECT

private slots:
    void readFollowsProfileRules()
    {
        TestEnvironment env;
        const QString file = env.writeFile(
            u"a.ini"_s,
            "k0=before any section\n  [ Project Defaults ]  \n"
            "  multiuser   =   Single User   \ndouble = \"  quoted  \"\nsingle='x'\n"
            "mixed=\"open'\nlonequote=\"\nempty=\"\"\n;comment=not a key\n"
            "  ;indented=also a comment\nno equals "
            "sign\nutf8=Grüße\n[A]\nk=v\nk=second\n[a]\nk=third\nonly=in second section\n");
        // Rows of "section|key|value"; the first of two sections or keys of a name wins.
        for (const char *row :
             {"PROJECT defaults|MultiUser|Single User", "PROJECT defaults| MULTIUSER |Single User",
              "PROJECT defaults|double|  quoted  ", "PROJECT defaults|single|x",
              "PROJECT defaults|mixed|\"open'", "PROJECT defaults|lonequote|\"",
              "PROJECT defaults|empty|", "PROJECT defaults|;comment|", "PROJECT defaults|comment|",
              "PROJECT defaults|indented|", "PROJECT defaults|no equals sign|",
              "PROJECT defaults|utf8|Grüße", "A|k|v", "A|only|", "A|missing|", "B|k|"}) {
            const QStringList c = QString::fromUtf8(row).split(u'|');
            QCOMPARE(ReadINI(c[0], c[1], file), c[2]);
        }
        QCOMPARE(ReadINI(QString(), u"k0"_s, file), QString());
        QCOMPARE(ReadINI(u"A"_s, u"k"_s, env.path(u"no.ini"_s)), QString());
        QVERIFY_THROWS_EXCEPTION(FileError, ReadINI(u"A"_s, u"k"_s, env.root()));
        QVERIFY(!IniDocument::load(env.path(u"no.ini"_s)).hasSection(u"A"_s));

        // Every key of a section with its value, in file order.
        const IniDocument document = IniDocument::parse(
            "[Workgroup Search Paths]\nZeta = /z\nalpha=\"/a b\"\n; Comment=/c\nMid=/m\n"
            "[Other]\nx=1\n");
        QVERIFY(document.hasSection(u"workgroup search paths"_s));
        QVERIFY(!document.hasSection(u"Missing"_s));
        const QList<QPair<QString, QString>> expected{
            {u"Zeta"_s, u"/z"_s}, {u"alpha"_s, u"/a b"_s}, {u"Mid"_s, u"/m"_s}};
        QCOMPARE(document.entries(u"Workgroup Search Paths"_s), expected);
        QVERIFY(document.entries(u"Missing"_s).isEmpty());
    }

    void longValuesAreReadWhole()
    {
        TestEnvironment env;
        QString value;
        for (int i = 0; i < 60; ++i)
            value += u"/folder-%1"_s.arg(i, 2, 10, QLatin1Char('0'));
        QCOMPARE(value.size(), 600);
        const QString file = env.writeFile(u"a.ini"_s, "[W]\nWorkspace=" + value.toUtf8() + "\n");
        QCOMPARE(ReadINI(u"W"_s, u"Workspace"_s, file), value);
        const QString written = env.path(u"b.ini"_s);
        WriteINI(u"S"_s, u"k"_s, value, written);
        QCOMPARE(ReadINI(u"S"_s, u"k"_s, written), value);
    }

    void byteOrderMarkIsNotPartOfFirstLineAndSurvivesWrite()
    {
        TestEnvironment env;
        const QString file = env.writeFile(u"a.ini"_s, "\xEF\xBB\xBF[A]\r\nk=v\r\n");
        QCOMPARE(ReadINI(u"A"_s, u"k"_s, file), u"v"_s);
        WriteINI(u"A"_s, u"n"_s, u"w"_s, file);
        QCOMPARE(ReadBytes(file), QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\nn=w\r\n"));

        // Only the file's first bytes are a mark: a U+FEFF that starts a section name, key or
        // value is part of it, also when written and read back.
        const QString mark(QChar(0xFEFF));
        const QString marked = env.writeFile(
            u"b.ini"_s, "[\xEF\xBB\xBFS]\n\xEF\xBB\xBF=1\nv=\xEF\xBB\xBFx\n[S]\nv=plain\n");
        QCOMPARE(ReadINI(mark + u"S"_s, u"v"_s, marked), mark + u"x"_s);
        QCOMPARE(ReadINI(u"S"_s, u"v"_s, marked), u"plain"_s);
        QCOMPARE(ReadINI(mark + u"S"_s, mark, marked), u"1"_s);
        WriteINI(u"T"_s, mark + u"k"_s, mark + u"y"_s, marked);
        QCOMPARE(ReadINI(u"T"_s, mark + u"k"_s, marked), mark + u"y"_s);
        QCOMPARE(ReadINI(u"T"_s, u"k"_s, marked), QString());

        // Bytes that are not UTF-8 read as replacement characters, also at a name's or
        // value's end.
        const QString broken = env.writeFile(u"c.ini"_s, "[S\xC3]\n\xC3=1\nv=x\xC3\n");
        const QString replacement(QChar(0xFFFD));
        QCOMPARE(ReadINI(u"S"_s + replacement, replacement, broken), u"1"_s);
        QCOMPARE(ReadINI(u"S"_s + replacement, u"v"_s, broken), u"x"_s + replacement);
    }

    void oddFilesAreReadWithoutCrash()
    {
        TestEnvironment env;
        // Random bytes, NULs and stray brackets included: a write appends its section.
        QRandomGenerator random(4711);
        QByteArray binary(64 * 1024, '\0');
        for (char &byte : binary)
            byte = char(random.bounded(256));
        const QString binaryFile = env.writeFile(u"binary.kpj"_s, binary);
        QCOMPARE(ReadINI(u"Project Defaults"_s, u"k"_s, binaryFile), QString());
        WriteINI(u"Project Defaults"_s, u"k"_s, u"v"_s, binaryFile);
        QVERIFY(ReadBytes(binaryFile).startsWith(binary));
        QCOMPARE(ReadINI(u"Project Defaults"_s, u"k"_s, binaryFile), u"v"_s);

        const QByteArray x(100000, 'x');
        const QString longFile = env.writeFile(u"l.ini"_s, "[A]\nlong=" + x + "\n");
        QCOMPARE(ReadINI(u"A"_s, u"long"_s, longFile).toUtf8(), x);
    }

    void writeChangesOnlyTheLinesItMust_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key"); // null: the whole section is removed
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after"); // null: no file
        const auto row = [](const char *name, const QByteArray &before, const char *section,
                            const char *key, const char *value, const QByteArray &after) {
            QTest::newRow(name) << before << QString::fromUtf8(section)
                                << (key ? QString::fromUtf8(key) : QString())
                                << QString::fromUtf8(value) << after;
        };
        const QByteArray duplicates = "[A]\nk=first\nk=second\n[a]\nk=third\nonly=in second\n";
        const QByteArray plain = "just some text\nkey=value\nno line end";
        const QByteArray x(100000, 'x');
        const QByteArray head = "; written by another tool \xFF\xFE not UTF-8\r\n[Unknown Section]"
                                "\r\nOdd Key = \"kept\"   \r\n\r\n[Project Defaults]\r\n"
                                "   ; comment inside\r\n";
        const QByteArray shared = head + "MultiUser = Shared\r\nOther=\xC3\x28\r\n";
        const QByteArray tail = "\r\n[Last]\nmixed=lf line\n";
        const QByteArray kept = "[Project Defaults]\r\nMultiUser=Single User\r\n\r\n";
        const QByteArray other = "[Other]\r\nx=1\r\n";
        row("new file", {}, "A", "k", "v", "[A]\nk=v\n");
        row("other case lands in first duplicate", duplicates, "a", "K", "new",
            "[A]\nk=new\nk=second\n[a]\nk=third\nonly=in second\n");
        row("no section", plain, "A", "k", "v", plain + "\n\n[A]\nk=v\n");
        row("100,000-character lines", "[A]\nlong=" + x + "\nk=1\n; " + x + "\n", "A", "k", "2",
            "[A]\nlong=" + x + "\nk=2\n; " + x + "\n");
        row("comments, CRLF and foreign bytes",
            head + "MultiUser = Single User\r\nOther=\xC3\x28\r\n" + tail, "Project Defaults",
            "MultiUser", "Shared", shared + tail);
        row("new key takes CRLF", shared + tail, "Project Defaults", "New", "1",
            shared + "New=1\r\n" + tail);
        row("new key before trailing comment", "[A]\nk=v\n; about B\n\n[B]\nb=1", "a", "second",
            "2", "[A]\nk=v\nsecond=2\n; about B\n\n[B]\nb=1");
        row("new key behind last line without end", "[B]\nb=1", "B", "c", "3", "[B]\nb=1\nc=3\n");
        row("new section at the end", "[B]\nb=1\n", "C", "d", "4", "[B]\nb=1\n\n[C]\nd=4\n");
        row("first key under header", "[Empty]\n\n[Next]\n", "Empty", "k", "v",
            "[Empty]\nk=v\n\n[Next]\n");
        row("null key removes section",
            kept + "[workspace]\r\nWorkspace=.\\ws\r\n; note\r\n\r\n" + other, "Workspace", nullptr,
            "", kept + other);
        row("removing a missing section", kept + other, "Missing", nullptr, "", kept + other);
        row("removing from a missing file", {}, "A", nullptr, "", {});
    }

    void writeChangesOnlyTheLinesItMust()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        TestEnvironment env;
        const QString file =
            before.isNull() ? env.path(u"a.ini"_s) : env.writeFile(u"a.ini"_s, before);
        WriteINI(section, key, value, file);
        if (after.isNull())
            QVERIFY(!QFileInfo::exists(file));
        else
            QCOMPARE(ReadBytes(file), after);
    }

    void writtenValuesReadBackUnchanged()
    {
        TestEnvironment env;
        const QString file = env.path(u"values.ini"_s);
        const QStringList values{
            u"plain"_s,     u"  blanks around  "_s, u"\"quoted\""_s,  u"'single'"_s,
            u"a = b ; c"_s, u"Ünïcödé ✓"_s,         u"C:\\P\\ws\\"_s, QString()};
        for (int i = 0; i < values.size(); ++i)
            WriteINI(u"S"_s, u"k%1"_s.arg(i), values[i], file);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(ReadINI(u"S"_s, u"k%1"_s.arg(i), file), values[i]);
    }

    void refusedOrFailedWriteLeavesFileUnchanged()
    {
        TestEnvironment env;
        const QByteArray original = "[A]\nk=v\n";
        const QString file = env.writeFile(u"a.ini"_s, original);
        const QString longFile = env.writeFile(u"w/"_s + LongName, original);
        const QString folder = env.path(u"folder.ini"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString underFile = env.writeFile(u"regular"_s, "x") + u"/a.ini"_s;
        // What the file cannot hold, and targets that cannot be written.
        const struct
        {
            const char *section, *key, *value;
            QString file;
        } cases[] = {{"A", "k", "two\nlines", file}, {"A", "k", "cr\rinside", file},
                     {"A]", "k", "v", file},         {" ", "k", "v", file},
                     {"A", "k=x", "v", file},        {"A", ";k", "v", file},
                     {"A", "", "v", file},           {"A", "k", "w", longFile},
                     {"A", "k", "w", underFile},     {"A", "k", "w", folder}};
        for (const auto &c : cases) {
            QString reason;
            try {
                WriteINI(c.section, c.key, c.value, c.file);
            } catch (const FileError &error) {
                reason = error.Reason;
            }
            QVERIFY2(!reason.isEmpty(), c.value);
        }
        QCOMPARE(ReadBytes(file), original);
        QCOMPARE(ReadBytes(longFile), original);
        QCOMPARE(FolderEntries(env.path(u"w"_s)), QStringList{LongName});
        QVERIFY(QFileInfo(folder).isDir());
    }

    void pathFunctions()
    {
        // Rows of "path|parent|name".
        for (const char *row :
             {"/p/a.kpj|/p|a.kpj", "/p/q/r/Temp$$$00.kpj|/p/q/r|Temp$$$00.kpj", "/a.kpj|/|a.kpj",
              "a.kpj||a.kpj", "p/a.kpj|p|a.kpj", "/p/dir/|/p|dir", "/p//a.kpj|/p|a.kpj", "/||",
              "||", "/p/ a.kpj |/p| a.kpj "}) {
            const QStringList c = QString::fromUtf8(row).split(u'|');
            QCOMPARE(ParentFolderOf(c[0]), c[1]);
            QCOMPARE(FileNameOf(c[0]), c[2]);
        }
        // Values read from a project file, with the project file and the full path they give:
        // a backslash is a separator, a relative path is taken from the project's folder.
        for (const char *row :
             {"|/p/Main.kpj|", "/srv/Team.kpj|/p/Main.kpj|/srv/Team.kpj",
              "..\\srv\\Team.kpj|/p/sub/Main.kpj|/p/srv/Team.kpj", ".\\ws|/p/Main.kpj|/p/ws",
              "ws|/p/Main.kpj|/p/ws", "ws|/Main.kpj|/ws",
              "\\srv\\x\\..\\Team.kpj|/p/Main.kpj|/srv/Team.kpj"}) {
            const QStringList c = QString::fromUtf8(row).split(u'|');
            QCOMPARE(ProjectFilePath(c[0], c[1]), c[2]);
        }
    }

    void deleteTemporaryProjectDeletesOnlyTheExactName()
    {
        TestEnvironment env;
        const QString temp = env.writeFile(u"p/Temp$$$00.kpj"_s, "[A]\n");
        const QString lower = env.writeFile(u"p/temp$$$00.kpj"_s, "[A]\n");
        const QString main = env.writeFile(u"p/Main.kpj"_s, "[A]\n");
        const QString folder = env.path(u"q/Temp$$$00.kpj"_s);
        env.writeFile(u"q/Temp$$$00.kpj/inside.kpj"_s, "x");
        for (const QString &other :
             {lower, main, QString(), folder, env.path(u"missing/Temp$$$00.kpj"_s)})
            DeleteTemporaryProject(other);
        QVERIFY(QFileInfo::exists(temp) && QFileInfo::exists(lower) && QFileInfo::exists(main));
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(QFileInfo::exists(folder + u"/inside.kpj"_s));
        DeleteTemporaryProject(temp);
        QVERIFY(!QFileInfo::exists(temp));
        QVERIFY(QFileInfo::exists(lower));
    }

    void projectFileValues()
    {
        TestEnvironment env;
        // Depona only for the exact value, found by the usual name rules.
        const struct
        {
            QByteArray content;
            bool depona;
        } cases[] = {{"[Project Defaults]\nMultiUser=Depona\n", true},
                     {"[project defaults]\n multiuser = Depona \n", true},
                     {"[Project Defaults]\nMultiUser=depona\n", false},
                     {"[Project Defaults]\nMultiUser=Shared\n", false},
                     {"[Project Defaults]\nName=Depona\n", false},
                     {"[Other]\nMultiUser=Depona\n", false}};
        for (const auto &c : cases)
            QCOMPARE(IsDeponaProject(env.writeFile(u"p.kpj"_s, c.content)), c.depona);
        const QString missing = env.path(u"missing.kpj"_s);
        QVERIFY(!IsDeponaProject(missing));

        const QString file = env.writeFile(u"p.kpj"_s, "[Included Path File]\nIncluded Pathfile="
                                                       "..\\srv\\Team.kpj\n[Included Pathfile]\n"
                                                       "Included Path File=wrong\n");
        QCOMPARE(IncludedPathFileOf(file), u"..\\srv\\Team.kpj"_s);
        QCOMPARE(IncludedPathFileOf(missing), QString());
    }

    void multiUserModeTextFollowsTable()
    {
        ProgramState state;
        QCOMPARE(SetMultiUserModeText(state, 0), QString());
        const QStringList names{u"Single User"_s, u"Shared"_s, u"Semi-Isolated"_s,
                                u"Semi-Isolated no checkout"_s, u"Depona"_s};
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(SetMultiUserModeText(state, MultiUserModes::SingleUser + i), names[i]);
            QCOMPARE(state.MultiUserModeText, names[i]);
        }
        // An unknown number leaves the text as it was.
        QCOMPARE(SetMultiUserModeText(state, MultiUserModes::SemiIsolatedNoCheckout), names[3]);
        for (int unknown : {0, -1, 36352, 36358, 0x8E00})
            QCOMPARE(SetMultiUserModeText(state, unknown), names[3]);
        QCOMPARE(state.MultiUserModeText, names[3]);
    }

    void serverPathsAndFallbackComeFromActiveProject()
    {
        TestEnvironment env;
        ScrivoServer server(env.scrivoHome());
        const QString withPaths = env.writeFile(
            u"p/Main.kpj"_s,
            "[Workspace]\nWorkspace=.\\ws\n[Workgroup Search Paths]\nFirst=..\\lib\nSecond=/srv\n");
        const QString without = env.writeFile(u"q/Bare.kpj"_s, "[Project Defaults]\n");
        server.RegisterProject(withPaths);
        server.ProjectHandler().SetActiveProject(withPaths);
        QVERIFY(HasWorkspacePath(server));
        QCOMPARE(GetWorkspacePath(server), env.path(u"p/ws"_s));
        QCOMPARE(FirstWorkgroupPath(server), env.path(u"lib"_s));

        server.ProjectHandler().SetActiveProject(without);
        QVERIFY(!HasWorkspacePath(server));
        QCOMPARE(GetWorkspacePath(server), QString());
        QCOMPARE(FirstWorkgroupPath(server), QString());

        // The reset reports the server's own fallback project, which it made active.
        const QString fallback = ResetActiveProject(server);
        QCOMPARE(QFileInfo(fallback).canonicalFilePath(),
                 QFileInfo(env.scrivoHome() + u"/Default.kpj"_s).canonicalFilePath());
        QCOMPARE(server.ProjectHandler().ActiveProject(), fallback);
    }

    void singleUserProjectWorksInSharedCopyWithoutWorkspace()
    {
        TestEnvironment env;
        RecordedServer server(env);
        ScriptedPrompts prompts;
        const QByteArray source = "; Main project of the team\n[Project Defaults]\n"
                                  "MultiUser=Single User\nName=Main\n\n[Workspace]\n"
                                  "Workspace=.\\ws\n\n[Workgroup Search Paths]\nOld=/srv/old\n"
                                  "\n[Included Path File]\nIncluded Pathfile=\n";
        const QString main = env.writeFile(u"p/Main.kpj"_s, source);
        server.scrivo->RegisterProject(main);

        const QString temp = TempBeside(main);
        QCOMPARE(PrepareWorkingProject(server.observed, prompts, main), temp);
        QCOMPARE(ReadBytes(temp), WithRunRecord("; Main project of the team\n[Project Defaults]\n"
                                                "MultiUser=Shared\nName=Main\n\n"
                                                "[Workgroup Search Paths]\nOld=/srv/old\n"
                                                "Workgroup=.\\ws\n\n[Included Path File]\n"
                                                "Included Pathfile=\n",
                                                main));
        QCOMPARE(ReadBytes(main), source);
        QCOMPARE(server.calls, ActivationCalls(main) + QStringList{u"SetActiveProject()"_s});
        QVERIFY(prompts.records.isEmpty());

        // The server sees the copy as a Shared project without a workspace.
        server.scrivo->ProjectHandler().SetActiveProject(temp);
        QCOMPARE(server.scrivo->MultiUserMode(), MultiUserModes::Shared);
        QVERIFY(!HasWorkspacePath(*server.scrivo));
        QVERIFY(!server.scrivo->ProjectHandler().GetProjects().contains(temp));
    }

    void staleTemporaryProjectIsReplacedAndSourceKept()
    {
        TestEnvironment env;
        ScrivoServer server(env.scrivoHome());
        ScriptedPrompts prompts;
        // No workspace: every section stays, in the source's CRLF line ends.
        const QByteArray source =
            "[Project Defaults]\r\nMultiUser = Single User\r\n[Workgroup Search Paths]\r\nA=/a\r\n";
        const QString main = env.writeFile(u"p/Main.kpj"_s, source);
        env.writeFile(u"p/"_s + WorkingProjectName(),
                      "[Project Defaults]\nMultiUser=Depona\n[Stale]\n" + QByteArray(5000, 's') +
                          "\n");

        QCOMPARE(PrepareWorkingProject(server, prompts, main), TempBeside(main));
        QCOMPARE(ReadBytes(TempBeside(main)),
                 WithRunRecord("[Project Defaults]\r\nMultiUser = Shared\r\n"
                               "[Workgroup Search Paths]\r\nA=/a\r\n",
                               main));
        QCOMPARE(ReadBytes(main), source);
    }

    void semiIsolatedProjectWorksInCopyOfIncludedFile()
    {
        TestEnvironment env;
        RecordedServer server(env);
        ScriptedPrompts prompts;
        const QByteArray local = "[Project Defaults]\nMultiUser=Semi-Isolated\n[Included Path "
                                 "File]\nIncluded Pathfile=..\\srv\\Team.kpj\n[Workspace]\n"
                                 "Workspace=/local/ws\n";
        const QByteArray team =
            "[Project Defaults]\r\nMultiUser=Single User\r\n[Workspace]\r\nWorkspace=/team/ws\r\n";
        const QString project = env.writeFile(u"p/sub/Local.kpj"_s, local);
        const QString included = env.writeFile(u"p/srv/Team.kpj"_s, team);

        const QString working = PrepareWorkingProject(server.observed, prompts, project);
        QCOMPARE(working, TempBeside(included));
        QCOMPARE(ReadBytes(working),
                 WithRunRecord("[Project Defaults]\r\nMultiUser=Shared\r\n[Workspace]\r\n"
                               "Workspace=/team/ws\r\n",
                               project));
        QCOMPARE(ReadBytes(project), local);
        QCOMPARE(ReadBytes(included), team);
        QVERIFY(!QFileInfo::exists(TempBeside(project)));
        QCOMPARE(server.calls, ActivationCalls(project) + QStringList{u"SetActiveProject()"_s});
        QVERIFY(prompts.records.isEmpty());
    }

    void semiIsolatedProjectWithoutIncludeShowsMessage_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no section") << QByteArray("[Project Defaults]\nMultiUser=Semi-Isolated\n");
        QTest::newRow("empty value") << QByteArray("[Project Defaults]\nMultiUser=Semi-Isolated\n"
                                                   "[Included Path File]\nIncluded Pathfile=  \n");
    }

    void semiIsolatedProjectWithoutIncludeShowsMessage()
    {
        QFETCH(QByteArray, content);
        TestEnvironment env;
        RecordedServer server(env);
        ScriptedPrompts prompts;
        prompts.answerMessage(PromptAnswer::OK);
        const QString project = env.writeFile(u"p/Local.kpj"_s, content);

        QCOMPARE(PrepareWorkingProject(server.observed, prompts, project), project);
        QVERIFY(prompts.scriptDone());
        QCOMPARE(ShownPrompts(prompts.records),
                 QStringList{MessagePrompt(u"Include file missing for semi-isolated mode."_s)});
        QCOMPARE(server.calls, ActivationCalls(project));
        QCOMPARE(ReadBytes(project), content);
        QCOMPARE(FolderEntries(ParentFolderOf(project)), QStringList{u"Local.kpj"_s});
    }

    void otherModesWorkInProjectItself_data()
    {
        QTest::addColumn<QByteArray>("mode");
        for (const char *mode : {"Shared", "Semi-Isolated no checkout", "Depona"})
            QTest::newRow(mode) << QByteArray(mode);
    }

    void otherModesWorkInProjectItself()
    {
        QFETCH(QByteArray, mode);
        TestEnvironment env;
        RecordedServer server(env);
        ScriptedPrompts prompts;
        // An include and a workspace that must not lead to a copy in these modes.
        const QByteArray content = "[Project Defaults]\nMultiUser=" + mode +
                                   "\n[Included Path File]\nIncluded Pathfile=Team.kpj\n"
                                   "[Workspace]\nWorkspace=ws\n";
        const QString project = env.writeFile(u"p/Main.kpj"_s, content);
        env.writeFile(u"p/Team.kpj"_s, "[Project Defaults]\nMultiUser=Shared\n");

        QCOMPARE(PrepareWorkingProject(server.observed, prompts, project), project);
        QCOMPARE(server.calls, ActivationCalls(project));
        QCOMPARE(server.scrivo->ProjectHandler().ActiveProject(), project);
        QCOMPARE(ReadBytes(project), content);
        QCOMPARE(FolderEntries(ParentFolderOf(project)),
                 (QStringList{u"Main.kpj"_s, u"Team.kpj"_s}));
        QVERIFY(prompts.records.isEmpty());
    }

    void eachRunWorksInAWorkingProjectOfItsOwn()
    {
        TestEnvironment env;
        ScrivoServer server(env.scrivoHome());
        ScriptedPrompts prompts;
        const QByteArray source = "[Project Defaults]\nMultiUser=Single User\n";
        const QString main = env.writeFile(u"p/Main.kpj"_s, source);
        const QString mine = PrepareWorkingProject(server, prompts, main);
        const QByteArray myProject = ReadBytes(mine);

        // Another process's run in the same folder, start to end, while this one runs: it
        // builds its own and removes only its own.
        QString theirs;
        QCOMPARE(RunInChildProcess([&] {
                     theirs = PrepareWorkingProject(server, prompts, main);
                     DeleteTemporaryProject(theirs);
                     if (theirs == mine || QFileInfo::exists(theirs))
                         ::_exit(1);
                 }),
                 0);
        QCOMPARE(ReadBytes(mine), myProject);

        // A run that was killed left its working project: the next run removes it, as it does
        // an old-style one that is this run's name... but never a link or folder planted
        // under a working project's name, nor what a link points to.
        QCOMPARE(RunInChildProcess([&] { PrepareWorkingProject(server, prompts, main); }, true),
                 SIGKILL);
        QCOMPARE(FolderEntries(env.path(u"p"_s)).size(), 3);
        const QString outside = env.path(u"outside.kpj"_s);
        MakeLink(outside, env.path(u"p/Temp$$$00-planted-link.kpj"_s));
        QVERIFY(QDir().mkpath(env.path(u"p/Temp$$$00-planted-folder.kpj"_s)));
        DeleteTemporaryProject(mine);
        QCOMPARE(PrepareWorkingProject(server, prompts, main), mine);
        QCOMPARE(FolderEntries(env.path(u"p"_s)),
                 (QStringList{u"Main.kpj"_s, u"Temp$$$00-planted-folder.kpj"_s,
                              u"Temp$$$00-planted-link.kpj"_s, FileNameOf(mine)}));
        DeleteTemporaryProject(mine);

        // This run's own name planted as a dangling link: nothing is written through it.
        MakeLink(outside, mine);
        QVERIFY_THROWS_EXCEPTION(FileError, PrepareWorkingProject(server, prompts, main));
        QVERIFY(!QFileInfo::exists(outside));
        QVERIFY(QFileInfo(mine).isSymLink());
        DeleteTemporaryProject(mine);
        QVERIFY(QFileInfo(mine).isSymLink());
        QCOMPARE(ReadBytes(main), source);
    }

    void workingProjectOfAKilledRunNamesItsProject()
    {
        TestEnvironment env;
        ScrivoServer server(env.scrivoHome());
        ScriptedPrompts prompts;
        const QString main =
            env.writeFile(u"p/Main.kpj"_s, "[Project Defaults]\nMultiUser=Single User\n");
        const QString running = PrepareWorkingProject(server, prompts, main);
        // The run of this process is alive: its working project is no leftover.
        QCOMPARE(AbandonedWorkingProjectSource(running), std::nullopt);
        QCOMPARE(RunInChildProcess([&] { PrepareWorkingProject(server, prompts, main); }, true),
                 SIGKILL);
        const QStringList left = FolderEntries(env.path(u"p"_s)).filter(u"Temp"_s);
        QCOMPARE(left.size(), 2);
        const QString killed =
            env.path(u"p/"_s + (left[0] == FileNameOf(running) ? left[1] : left[0]));
        QCOMPARE(AbandonedWorkingProjectSource(killed), std::optional<QString>(main));
        QCOMPARE(AbandonedWorkingProjectSource(main), std::nullopt);
        RemoveAbandonedWorkingProjects(env.path(u"p"_s));
        QVERIFY(!QFileInfo::exists(killed));
        QVERIFY(QFileInfo::exists(running));
    }

    void copyThatCannotBeMadeThrowsNamingTheFile()
    {
        TestEnvironment env;
        ScrivoServer server(env.scrivoHome());
        ScriptedPrompts prompts;
        const auto prepare = [&](const QString &project) {
            try {
                PrepareWorkingProject(server, prompts, project);
            } catch (const FileError &error) {
                return ServerError(error.Reason.contains(u"does not exist"_s) ||
                                           error.Reason.contains(u"Not a directory"_s)
                                       ? ServerErrors::FileNotFound
                                       : ServerErrors::WriteFailed,
                                   error.File);
            }
            return ServerError(0, QString());
        };
        const auto semiIsolated = [&](const QByteArray &include) {
            return env.writeFile(u"p/Local.kpj"_s, "[Project Defaults]\nMultiUser=Semi-Isolated\n"
                                                   "[Included Path File]\nIncluded Pathfile=" +
                                                       include + "\n");
        };
        // A missing included file, and one below a regular file.
        env.writeFile(u"srv/regular"_s, "not a folder");
        for (const QByteArray include : {"../srv/Gone.kpj", "../srv/regular/Team.kpj"}) {
            const QString project = semiIsolated(include);
            const QString resolved = ProjectFilePath(QString::fromUtf8(include), project);
            const ServerError error = prepare(project);
            QCOMPARE(error.number, ServerErrors::FileNotFound);
            QVERIFY2(error.description.contains(resolved), qPrintable(error.description));
            QVERIFY(!QFileInfo::exists(TempBeside(resolved)));
        }
        QCOMPARE(FolderEntries(env.path(u"srv"_s)), QStringList{u"regular"_s});

        // An included file that is itself the working project is never copied onto itself.
        const QByteArray included = "[Project Defaults]\nMultiUser=Shared\n[Keep]\nk=v\n";
        const QString temp = env.writeFile(u"srv/"_s + WorkingProjectName(), included);
        const ServerError self = prepare(semiIsolated("../srv/" + WorkingProjectName().toUtf8()));
        QVERIFY2(self.description.contains(temp), qPrintable(self.description));
        QCOMPARE(ReadBytes(temp), included);

        // A temporary project that cannot be written (a folder holds its name).
        const QByteArray source = "[Project Defaults]\nMultiUser=Single User\n";
        const QString main = env.writeFile(u"q/Main.kpj"_s, source);
        QVERIFY(QDir().mkpath(TempBeside(main)));
        const ServerError unwritable = prepare(main);
        QCOMPARE(unwritable.number, ServerErrors::WriteFailed);
        QVERIFY2(unwritable.description.contains(TempBeside(main)),
                 qPrintable(unwritable.description));
        QVERIFY(QFileInfo(TempBeside(main)).isDir());
        QCOMPARE(ReadBytes(main), source);
        QCOMPARE(FolderEntries(env.path(u"q"_s)),
                 (QStringList{u"Main.kpj"_s, WorkingProjectName()}));
    }

    void moveWorkspaceToWorkgroupOverwritesWorkgroupAndThrowsOnFailure()
    {
        TestEnvironment env;
        const QByteArray content =
            "[Workgroup Search Paths]\nWorkgroup=/old\nOther=/o\n[Workspace]\nWorkspace = /new "
            "ws\n";
        const QString file = env.writeFile(u"p/Main.kpj"_s, content);
        MoveWorkspaceToWorkgroup(file);
        QCOMPARE(ReadBytes(file),
                 QByteArray("[Workgroup Search Paths]\nWorkgroup=/new ws\nOther=/o\n"));

        // Without a workspace value the file stays as it is.
        const QByteArray noWorkspace = "[Workspace]\nWorkspace=\n[A]\nb=c\n";
        env.writeFile(u"p/Main.kpj"_s, noWorkspace);
        MoveWorkspaceToWorkgroup(file);
        QCOMPARE(ReadBytes(file), noWorkspace);

        const QString longFile = env.writeFile(u"q/"_s + LongName, content);
        QVERIFY_THROWS_EXCEPTION(FileError, MoveWorkspaceToWorkgroup(longFile));
        QCOMPARE(ReadBytes(longFile), content);
    }
};

QTEST_GUILESS_MAIN(TestProjects)
#include "tst_projects.moc"
