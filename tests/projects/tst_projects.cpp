#include "ScriptedPrompts.h"
#include "TestEnvironment.h"

#include "model/ProgramState.h"
#include "projects/FileFunctions.h"
#include "projects/IniFile.h"
#include "projects/ProjectFiles.h"
#include "projects/WorkingProject.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QString TempBeside(const QString &file)
{
    return ParentFolderOf(file) + QStringLiteral("/Temp$$$00.kpj");
}

// A name of 250 bytes: the file fits, the temporary name written beside it does not.
QString LongName()
{
    return QString(246, u'n') + QStringLiteral(".kpj");
}

// Passes every call on to the real server and records the project handler calls, so a
// test sees their order.
class RecordingServer : public DocumentServer
{
public:
    explicit RecordingServer(DocumentServer &server) : inner(server), handler(*this) {}

    ServerDocumentPtr OpenDocument(const QString &fullPath) override
    {
        return inner.OpenDocument(fullPath);
    }
    void CloseAllDocuments() override { inner.CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return handler; }
    ::ReleaseInfo &ReleaseInfo() override { return inner.ReleaseInfo(); }
    QString UserName() override { return inner.UserName(); }
    void SetUserName(const QString &name) override { inner.SetUserName(name); }
    int MultiUserMode() override
    {
        calls << QStringLiteral("MultiUserMode");
        return inner.MultiUserMode();
    }

    QStringList calls;

private:
    class Handler : public ::ProjectHandler
    {
    public:
        explicit Handler(RecordingServer &server) : owner(server) {}
        QString ActiveProject() override
        {
            owner.calls << QStringLiteral("ActiveProject");
            return owner.inner.ProjectHandler().ActiveProject();
        }
        void SetActiveProject(const QString &path) override
        {
            owner.calls << QStringLiteral("SetActiveProject(%1)").arg(path);
            owner.inner.ProjectHandler().SetActiveProject(path);
        }
        QStringList GetProjects() override { return owner.inner.ProjectHandler().GetProjects(); }
        QString WorkspacePath() override { return owner.inner.ProjectHandler().WorkspacePath(); }
        void GetWorkgroupPaths(QStringList &names, QStringList &paths) override
        {
            owner.inner.ProjectHandler().GetWorkgroupPaths(names, paths);
        }

    private:
        RecordingServer &owner;
    };

    DocumentServer &inner;
    Handler handler;
};

QStringList ActivationCalls(const QString &project)
{
    return {QStringLiteral("SetActiveProject()"),
            QStringLiteral("SetActiveProject(%1)").arg(project), QStringLiteral("MultiUserMode")};
}

} // namespace

class TestProjects : public QObject
{
    Q_OBJECT

private slots:
    // INI reading
    void readMatchesNamesWithoutCaseAndDropsBlanksAndQuotes();
    void readGivesEmptyForMissingFileSectionOrKey();
    void readReturnsLongValuesWhole();
    void firstDuplicateSectionAndKeyWin();
    void byteOrderMarkIsNotPartOfFirstLineAndSurvivesWrite();
    void oddFilesAreReadWithoutCrashAndWriteChangesOnlyTheKeyLine();
    void documentListsEntriesInFileOrder();

    // INI writing
    void writeKeepsCommentsCrlfAndForeignBytesByteForByte();
    void writeInOtherLetterCaseLandsInExistingSectionAndKey();
    void writeCreatesFileSectionAndKeyWhereTheyBelong();
    void writeWithNullKeyRemovesWholeSection();
    void writtenValuesReadBackUnchanged();
    void writeRefusesWhatTheFileCannotHold();
    void failedWriteLeavesFileUnchanged();

    // Paths
    void parentFolderAndFileName_data();
    void parentFolderAndFileName();
    void projectFilePathTakesBackslashesAndProjectFolder_data();
    void projectFilePathTakesBackslashesAndProjectFolder();

    // Project files
    void deleteTemporaryProjectDeletesOnlyTheExactName();
    void deponaProjectOnlyForExactValue_data();
    void deponaProjectOnlyForExactValue();
    void includedPathFileIsReturnedAsStored();
    void multiUserModeTextFollowsTable();
    void resetActiveProjectReportsServerFallback();
    void workspaceAndWorkgroupPathsComeFromActiveProject();

    // Working project
    void singleUserProjectWorksInSharedCopyWithoutWorkspace();
    void singleUserProjectWithoutWorkspaceKeepsAllSections();
    void staleTemporaryProjectIsReplaced();
    void semiIsolatedProjectWorksInCopyOfIncludedFile();
    void semiIsolatedProjectWithoutIncludeShowsMessage_data();
    void semiIsolatedProjectWithoutIncludeShowsMessage();
    void otherModesWorkInProjectItself_data();
    void otherModesWorkInProjectItself();
    void missingSourceThrowsNamingIt();
    void unwritableTargetThrowsNamingIt();
    void temporaryProjectIsNeverItsOwnSource();
    void moveWorkspaceToWorkgroupOverwritesWorkgroupAndThrowsOnFailure();
};

// ---------------------------------------------------------------------------- INI reading

void TestProjects::readMatchesNamesWithoutCaseAndDropsBlanksAndQuotes()
{
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("a.ini"), "  [ Project Defaults ]  \n"
                                                                "  multiuser   =   Single User   \n"
                                                                "double = \"  quoted  \"\n"
                                                                "single='x'\n"
                                                                "mixed=\"open'\n"
                                                                "lonequote=\"\n"
                                                                "empty=\"\"\n"
                                                                ";comment=not a key\n"
                                                                "  ;indented=also a comment\n"
                                                                "no equals sign\n"
                                                                "utf8=Grüße\n");
    const QString section = QStringLiteral("PROJECT defaults");
    QCOMPARE(ReadINI(section, QStringLiteral("MultiUser"), file), QStringLiteral("Single User"));
    QCOMPARE(ReadINI(section, QStringLiteral(" MULTIUSER "), file), QStringLiteral("Single User"));
    QCOMPARE(ReadINI(section, QStringLiteral("double"), file), QStringLiteral("  quoted  "));
    QCOMPARE(ReadINI(section, QStringLiteral("single"), file), QStringLiteral("x"));
    QCOMPARE(ReadINI(section, QStringLiteral("mixed"), file), QStringLiteral("\"open'"));
    QCOMPARE(ReadINI(section, QStringLiteral("lonequote"), file), QStringLiteral("\""));
    QCOMPARE(ReadINI(section, QStringLiteral("empty"), file), QString());
    QCOMPARE(ReadINI(section, QStringLiteral(";comment"), file), QString());
    QCOMPARE(ReadINI(section, QStringLiteral("comment"), file), QString());
    QCOMPARE(ReadINI(section, QStringLiteral("indented"), file), QString());
    QCOMPARE(ReadINI(section, QStringLiteral("no equals sign"), file), QString());
    QCOMPARE(ReadINI(section, QStringLiteral("utf8"), file), QStringLiteral("Grüße"));
}

void TestProjects::readGivesEmptyForMissingFileSectionOrKey()
{
    TestEnvironment env;
    const QString file =
        env.writeFile(QStringLiteral("a.ini"), "k0=before any section\n[A]\nk=v\n");
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("k"), file), QStringLiteral("v"));
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("missing"), file), QString());
    QCOMPARE(ReadINI(QStringLiteral("B"), QStringLiteral("k"), file), QString());
    QCOMPARE(ReadINI(QString(), QStringLiteral("k0"), file), QString());
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("k"), env.path(QStringLiteral("no.ini"))),
             QString());
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("k"), env.root()), QString());
    QVERIFY(!IniDocument::load(env.path(QStringLiteral("no.ini"))).hasSection(QStringLiteral("A")));
}

void TestProjects::readReturnsLongValuesWhole()
{
    TestEnvironment env;
    QString value;
    for (int i = 0; i < 60; ++i)
        value += QStringLiteral("/folder-%1").arg(i, 2, 10, QLatin1Char('0'));
    QCOMPARE(value.size(), 600);
    const QString file =
        env.writeFile(QStringLiteral("a.ini"), "[Workspace]\nWorkspace=" + value.toUtf8() + "\n");
    QCOMPARE(ReadINI(QStringLiteral("Workspace"), QStringLiteral("Workspace"), file), value);

    const QString written = env.path(QStringLiteral("b.ini"));
    QVERIFY(WriteINI(QStringLiteral("S"), QStringLiteral("k"), value, written));
    QCOMPARE(ReadINI(QStringLiteral("S"), QStringLiteral("k"), written), value);
}

void TestProjects::firstDuplicateSectionAndKeyWin()
{
    TestEnvironment env;
    const QByteArray original = "[A]\nk=first\nk=second\n[a]\nk=third\nonly=in second section\n";
    const QString file = env.writeFile(QStringLiteral("a.ini"), original);
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("k"), file), QStringLiteral("first"));
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("only"), file), QString());

    QVERIFY(WriteINI(QStringLiteral("a"), QStringLiteral("K"), QStringLiteral("new"), file));
    QCOMPARE(ReadBytes(file),
             QByteArray("[A]\nk=new\nk=second\n[a]\nk=third\nonly=in second section\n"));
}

void TestProjects::byteOrderMarkIsNotPartOfFirstLineAndSurvivesWrite()
{
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("a.ini"), "\xEF\xBB\xBF[A]\r\nk=v\r\n");
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("k"), file), QStringLiteral("v"));

    QVERIFY(WriteINI(QStringLiteral("A"), QStringLiteral("n"), QStringLiteral("w"), file));
    QCOMPARE(ReadBytes(file), QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\nn=w\r\n"));
}

void TestProjects::oddFilesAreReadWithoutCrashAndWriteChangesOnlyTheKeyLine()
{
    TestEnvironment env;
    const QString key = QStringLiteral("k");

    // Random bytes, NULs and stray brackets included.
    QRandomGenerator random(4711);
    QByteArray binary(64 * 1024, '\0');
    for (char &byte : binary)
        byte = char(random.bounded(256));
    const QString binaryFile = env.writeFile(QStringLiteral("binary.kpj"), binary);
    QCOMPARE(ReadINI(QStringLiteral("Project Defaults"), key, binaryFile), QString());
    QVERIFY(WriteINI(QStringLiteral("Project Defaults"), key, QStringLiteral("v"), binaryFile));
    QVERIFY(ReadBytes(binaryFile).startsWith(binary));
    QCOMPARE(ReadINI(QStringLiteral("Project Defaults"), key, binaryFile), QStringLiteral("v"));

    // No section at all: the new section goes behind the text, which stays as it was.
    const QByteArray plain = "just some text\nkey=value\nno line end";
    const QString plainFile = env.writeFile(QStringLiteral("plain.ini"), plain);
    QCOMPARE(ReadINI(QString(), QStringLiteral("key"), plainFile), QString());
    QVERIFY(WriteINI(QStringLiteral("A"), key, QStringLiteral("v"), plainFile));
    QCOMPARE(ReadBytes(plainFile), QByteArray(plain + "\n\n[A]\nk=v\n"));

    // A 100,000-character line.
    const QByteArray longValue(100000, 'x');
    const QByteArray before = "[A]\nlong=" + longValue + "\nk=1\n; " + longValue + "\n";
    const QString longFile = env.writeFile(QStringLiteral("long.ini"), before);
    QCOMPARE(ReadINI(QStringLiteral("A"), QStringLiteral("long"), longFile).toUtf8(), longValue);
    QVERIFY(WriteINI(QStringLiteral("A"), key, QStringLiteral("2"), longFile));
    QCOMPARE(ReadBytes(longFile),
             QByteArray("[A]\nlong=" + longValue + "\nk=2\n; " + longValue + "\n"));
}

void TestProjects::documentListsEntriesInFileOrder()
{
    const IniDocument document = IniDocument::parse("[Workgroup Search Paths]\n"
                                                    "Zeta = /z\n"
                                                    "alpha=\"/a b\"\n"
                                                    "; Comment=/c\n"
                                                    "Mid=/m\n"
                                                    "[Other]\n"
                                                    "x=1\n");
    QVERIFY(document.hasSection(QStringLiteral("workgroup search paths")));
    QVERIFY(!document.hasSection(QStringLiteral("Missing")));
    const QList<QPair<QString, QString>> expected{{QStringLiteral("Zeta"), QStringLiteral("/z")},
                                                  {QStringLiteral("alpha"), QStringLiteral("/a b")},
                                                  {QStringLiteral("Mid"), QStringLiteral("/m")}};
    QCOMPARE(document.entries(QStringLiteral("Workgroup Search Paths")), expected);
    QVERIFY(document.entries(QStringLiteral("Missing")).isEmpty());
}

// ---------------------------------------------------------------------------- INI writing

void TestProjects::writeKeepsCommentsCrlfAndForeignBytesByteForByte()
{
    TestEnvironment env;
    const QByteArray head = "; written by another tool \xFF\xFE not UTF-8\r\n"
                            "[Unknown Section]\r\n"
                            "Odd Key = \"kept\"   \r\n"
                            "\r\n"
                            "[Project Defaults]\r\n"
                            "   ; comment inside\r\n";
    const QByteArray tail = "Other=\xC3\x28\r\n"
                            "\r\n"
                            "[Last]\n"
                            "mixed=lf line\n";
    const QString file =
        env.writeFile(QStringLiteral("p.kpj"), head + "MultiUser = Single User\r\n" + tail);

    QVERIFY(WriteINI(QStringLiteral("Project Defaults"), QStringLiteral("MultiUser"),
                     QStringLiteral("Shared"), file));
    QCOMPARE(ReadBytes(file), QByteArray(head + "MultiUser = Shared\r\n" + tail));

    // A new key takes the file's CRLF line end.
    QVERIFY(WriteINI(QStringLiteral("Project Defaults"), QStringLiteral("New"), QStringLiteral("1"),
                     file));
    QCOMPARE(ReadBytes(file),
             QByteArray(head + "MultiUser = Shared\r\n" + "Other=\xC3\x28\r\nNew=1\r\n" +
                        "\r\n[Last]\nmixed=lf line\n"));
}

void TestProjects::writeInOtherLetterCaseLandsInExistingSectionAndKey()
{
    TestEnvironment env;
    const QString file =
        env.writeFile(QStringLiteral("p.kpj"), "[Project Defaults]\nMultiUser=Single User\n");
    QVERIFY(WriteINI(QStringLiteral("PROJECT DEFAULTS"), QStringLiteral("multiuser"),
                     QStringLiteral("Shared"), file));
    QCOMPARE(ReadBytes(file), QByteArray("[Project Defaults]\nMultiUser=Shared\n"));
}

void TestProjects::writeCreatesFileSectionAndKeyWhereTheyBelong()
{
    TestEnvironment env;
    const QString file = env.path(QStringLiteral("new.kpj"));
    QVERIFY(WriteINI(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"), file));
    QCOMPARE(ReadBytes(file), QByteArray("[A]\nk=v\n"));

    // A new key goes behind the section's last key, before its trailing comment and blanks.
    env.writeFile(QStringLiteral("new.kpj"), "[A]\nk=v\n; about B\n\n[B]\nb=1");
    QVERIFY(WriteINI(QStringLiteral("a"), QStringLiteral("second"), QStringLiteral("2"), file));
    QVERIFY(WriteINI(QStringLiteral("B"), QStringLiteral("c"), QStringLiteral("3"), file));
    QVERIFY(WriteINI(QStringLiteral("C"), QStringLiteral("d"), QStringLiteral("4"), file));
    QCOMPARE(ReadBytes(file),
             QByteArray("[A]\nk=v\nsecond=2\n; about B\n\n[B]\nb=1\nc=3\n\n[C]\nd=4\n"));

    // A section without keys gets its first key right under the header.
    env.writeFile(QStringLiteral("new.kpj"), "[Empty]\n\n[Next]\n");
    QVERIFY(WriteINI(QStringLiteral("Empty"), QStringLiteral("k"), QStringLiteral("v"), file));
    QCOMPARE(ReadBytes(file), QByteArray("[Empty]\nk=v\n\n[Next]\n"));
}

void TestProjects::writeWithNullKeyRemovesWholeSection()
{
    TestEnvironment env;
    const QString file =
        env.writeFile(QStringLiteral("p.kpj"), "[Project Defaults]\r\nMultiUser=Single User\r\n\r\n"
                                               "[workspace]\r\nWorkspace=.\\ws\r\n; note\r\n\r\n"
                                               "[Other]\r\nx=1\r\n");
    QVERIFY(WriteINI(QStringLiteral("Workspace"), QString(), QString(), file));
    QCOMPARE(ReadBytes(file),
             QByteArray("[Project Defaults]\r\nMultiUser=Single User\r\n\r\n[Other]\r\nx=1\r\n"));
    QVERIFY(!IniDocument::load(file).hasSection(QStringLiteral("Workspace")));

    // An empty key is a key, not a removal: it is refused.
    QVERIFY(!WriteINI(QStringLiteral("Other"), QStringLiteral(""), QString(), file));
    QCOMPARE(ReadINI(QStringLiteral("Other"), QStringLiteral("x"), file), QStringLiteral("1"));

    // Removing what is not there neither changes nor creates a file.
    const QByteArray before = ReadBytes(file);
    QVERIFY(RemoveINISection(QStringLiteral("Missing"), file));
    QCOMPARE(ReadBytes(file), before);
    const QString missing = env.path(QStringLiteral("missing.kpj"));
    QVERIFY(RemoveINISection(QStringLiteral("A"), missing));
    QVERIFY(!QFileInfo::exists(missing));
}

void TestProjects::writtenValuesReadBackUnchanged()
{
    TestEnvironment env;
    const QString file = env.path(QStringLiteral("values.ini"));
    const QStringList values{QStringLiteral("plain"),       QStringLiteral("  blanks around  "),
                             QStringLiteral("\"quoted\""),  QStringLiteral("'single'"),
                             QStringLiteral("a = b ; c"),   QStringLiteral("Ünïcödé ✓"),
                             QStringLiteral("C:\\P\\ws\\"), QString()};
    for (int i = 0; i < values.size(); ++i)
        QVERIFY(WriteINI(QStringLiteral("S"), QStringLiteral("k%1").arg(i), values[i], file));
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(ReadINI(QStringLiteral("S"), QStringLiteral("k%1").arg(i), file), values[i]);
}

void TestProjects::writeRefusesWhatTheFileCannotHold()
{
    TestEnvironment env;
    const QByteArray original = "[A]\nk=v\n";
    const QString file = env.writeFile(QStringLiteral("a.ini"), original);
    struct Case
    {
        QString section, key, value;
    };
    const QList<Case> cases{
        {QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("two\nlines")},
        {QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("cr\rinside")},
        {QStringLiteral("A]"), QStringLiteral("k"), QStringLiteral("v")},
        {QStringLiteral(" "), QStringLiteral("k"), QStringLiteral("v")},
        {QStringLiteral("A"), QStringLiteral("k=x"), QStringLiteral("v")},
        {QStringLiteral("A"), QStringLiteral(";k"), QStringLiteral("v")},
    };
    for (const Case &c : cases) {
        QString error;
        QVERIFY2(!WriteINI(c.section, c.key, c.value, file, &error), qPrintable(c.value));
        QVERIFY(!error.isEmpty());
        QCOMPARE(ReadBytes(file), original);
    }
}

void TestProjects::failedWriteLeavesFileUnchanged()
{
    TestEnvironment env;
    const QByteArray original = "[A]\nk=v\n";
    const QString longFile = env.writeFile(LongName(), original);
    QVERIFY(QFileInfo::exists(longFile));
    QString error;
    QVERIFY(
        !WriteINI(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("w"), longFile, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadBytes(longFile), original);
    QCOMPARE(QDir(env.root()).entryList(QDir::Files | QDir::Hidden), QStringList{LongName()});

    const QString regular = env.writeFile(QStringLiteral("regular"), "x");
    error.clear();
    QVERIFY(!WriteINI(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("w"),
                      regular + QStringLiteral("/a.ini"), &error));
    QVERIFY(!error.isEmpty());

    const QString folder = env.path(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder));
    error.clear();
    QVERIFY(
        !WriteINI(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("w"), folder, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(folder).isDir());
}

// ---------------------------------------------------------------------------- Paths

void TestProjects::parentFolderAndFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("name");
    QTest::newRow("nested") << "/p/a.kpj"
                            << "/p"
                            << "a.kpj";
    QTest::newRow("deep") << "/p/q/r/Temp$$$00.kpj"
                          << "/p/q/r"
                          << "Temp$$$00.kpj";
    QTest::newRow("root file") << "/a.kpj"
                               << "/"
                               << "a.kpj";
    QTest::newRow("bare name") << "a.kpj"
                               << ""
                               << "a.kpj";
    QTest::newRow("relative") << "p/a.kpj"
                              << "p"
                              << "a.kpj";
    QTest::newRow("trailing separator") << "/p/dir/"
                                        << "/p"
                                        << "dir";
    QTest::newRow("doubled separator") << "/p//a.kpj"
                                       << "/p"
                                       << "a.kpj";
    QTest::newRow("root") << "/"
                          << ""
                          << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("blank name") << "/p/ a.kpj "
                                << "/p"
                                << " a.kpj ";
}

void TestProjects::parentFolderAndFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, parent);
    QFETCH(QString, name);
    QCOMPARE(ParentFolderOf(path), parent);
    QCOMPARE(FileNameOf(path), name);
    QCOMPARE(GetDriveName(path), QString());
}

void TestProjects::projectFilePathTakesBackslashesAndProjectFolder_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << ""
                           << "/p/Main.kpj"
                           << "";
    QTest::newRow("absolute") << "/srv/Team.kpj"
                              << "/p/Main.kpj"
                              << "/srv/Team.kpj";
    QTest::newRow("backslashes up") << "..\\srv\\Team.kpj"
                                    << "/p/sub/Main.kpj"
                                    << "/p/srv/Team.kpj";
    QTest::newRow("dot") << ".\\ws"
                         << "/p/Main.kpj"
                         << "/p/ws";
    QTest::newRow("bare") << "ws"
                          << "/p/Main.kpj"
                          << "/p/ws";
    QTest::newRow("project in root") << "ws"
                                     << "/Main.kpj"
                                     << "/ws";
    QTest::newRow("absolute with backslashes") << "\\srv\\x\\..\\Team.kpj"
                                               << "/p/Main.kpj"
                                               << "/srv/Team.kpj";
}

void TestProjects::projectFilePathTakesBackslashesAndProjectFolder()
{
    QFETCH(QString, value);
    QFETCH(QString, project);
    QFETCH(QString, expected);
    QCOMPARE(ProjectFilePath(value, project), expected);
}

// ---------------------------------------------------------------------------- Project files

void TestProjects::deleteTemporaryProjectDeletesOnlyTheExactName()
{
    TestEnvironment env;
    const QString temp = env.writeFile(QStringLiteral("p/Temp$$$00.kpj"), "[A]\n");
    const QString lower = env.writeFile(QStringLiteral("p/temp$$$00.kpj"), "[A]\n");
    const QString main = env.writeFile(QStringLiteral("p/Main.kpj"), "[A]\n");
    const QString folder = env.path(QStringLiteral("q/Temp$$$00.kpj"));
    QVERIFY(QDir().mkpath(folder));
    env.writeFile(QStringLiteral("q/Temp$$$00.kpj/inside.kpj"), "x");

    DeleteTemporaryProject(lower);
    DeleteTemporaryProject(main);
    DeleteTemporaryProject(QString());
    DeleteTemporaryProject(folder);
    DeleteTemporaryProject(env.path(QStringLiteral("missing/Temp$$$00.kpj")));
    QVERIFY(QFileInfo::exists(temp));
    QVERIFY(QFileInfo::exists(lower));
    QVERIFY(QFileInfo::exists(main));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/inside.kpj")));

    DeleteTemporaryProject(temp);
    QVERIFY(!QFileInfo::exists(temp));
    QVERIFY(QFileInfo::exists(lower));
}

void TestProjects::deponaProjectOnlyForExactValue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("depona");
    QTest::newRow("Depona") << QByteArray("[Project Defaults]\nMultiUser=Depona\n") << true;
    QTest::newRow("blanks and case of names")
        << QByteArray("[project defaults]\n multiuser = Depona \n") << true;
    QTest::newRow("lower-case value")
        << QByteArray("[Project Defaults]\nMultiUser=depona\n") << false;
    QTest::newRow("Shared") << QByteArray("[Project Defaults]\nMultiUser=Shared\n") << false;
    QTest::newRow("missing key") << QByteArray("[Project Defaults]\nName=Depona\n") << false;
    QTest::newRow("other section") << QByteArray("[Other]\nMultiUser=Depona\n") << false;
}

void TestProjects::deponaProjectOnlyForExactValue()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, depona);
    TestEnvironment env;
    QCOMPARE(IsDeponaProject(env.writeFile(QStringLiteral("p.kpj"), content)), depona);
    QVERIFY(!IsDeponaProject(env.path(QStringLiteral("missing.kpj"))));
}

void TestProjects::includedPathFileIsReturnedAsStored()
{
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("p.kpj"),
                                       "[Included Path File]\nIncluded Pathfile=..\\srv\\Team.kpj\n"
                                       "[Included Pathfile]\nIncluded Path File=wrong\n");
    QCOMPARE(IncludedPathFileOf(file), QStringLiteral("..\\srv\\Team.kpj"));
    QCOMPARE(IncludedPathFileOf(env.path(QStringLiteral("missing.kpj"))), QString());
}

void TestProjects::multiUserModeTextFollowsTable()
{
    ProgramState state;
    QCOMPARE(SetMultiUserModeText(state, 0), QString());
    const QStringList names{QStringLiteral("Single User"), QStringLiteral("Shared"),
                            QStringLiteral("Semi-Isolated"),
                            QStringLiteral("Semi-Isolated no checkout"), QStringLiteral("Depona")};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(SetMultiUserModeText(state, MultiUserModes::SingleUser + i), names[i]);
        QCOMPARE(state.MultiUserModeText, names[i]);
    }
    QCOMPARE(SetMultiUserModeText(state, MultiUserModes::SemiIsolatedNoCheckout),
             QStringLiteral("Semi-Isolated no checkout"));
    for (int unknown : {0, -1, 36352, 36358, 0x8E00})
        QCOMPARE(SetMultiUserModeText(state, unknown), QStringLiteral("Semi-Isolated no checkout"));
    QCOMPARE(state.MultiUserModeText, QStringLiteral("Semi-Isolated no checkout"));
}

void TestProjects::resetActiveProjectReportsServerFallback()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    const QString main =
        env.writeFile(QStringLiteral("p/Main.kpj"), "[Project Defaults]\nMultiUser=Shared\n");
    server.RegisterProject(main);
    server.ProjectHandler().SetActiveProject(main);
    QCOMPARE(server.ProjectHandler().ActiveProject(), main);

    const QString fallback = ResetActiveProject(server);
    QCOMPARE(QFileInfo(fallback).canonicalFilePath(),
             QFileInfo(env.scrivoHome() + QStringLiteral("/Default.kpj")).canonicalFilePath());
    QCOMPARE(server.ProjectHandler().ActiveProject(), fallback);
}

void TestProjects::workspaceAndWorkgroupPathsComeFromActiveProject()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    const QString withPaths = env.writeFile(
        QStringLiteral("p/Main.kpj"), "[Workspace]\nWorkspace=.\\ws\n"
                                      "[Workgroup Search Paths]\nFirst=..\\lib\nSecond=/srv\n");
    const QString without = env.writeFile(QStringLiteral("q/Bare.kpj"), "[Project Defaults]\n");

    server.ProjectHandler().SetActiveProject(withPaths);
    QVERIFY(HasWorkspacePath(server));
    QCOMPARE(GetWorkspacePath(server), env.path(QStringLiteral("p/ws")));
    QCOMPARE(FirstWorkgroupPath(server), env.path(QStringLiteral("lib")));

    server.ProjectHandler().SetActiveProject(without);
    QVERIFY(!HasWorkspacePath(server));
    QCOMPARE(GetWorkspacePath(server), QString());
    QCOMPARE(FirstWorkgroupPath(server), QString());
}

// ---------------------------------------------------------------------------- Working project

void TestProjects::singleUserProjectWorksInSharedCopyWithoutWorkspace()
{
    TestEnvironment env;
    ScrivoServer scrivo(env.scrivoHome());
    RecordingServer server(scrivo);
    ScriptedPrompts prompts;
    const QByteArray source = "; Main project of the team\n"
                              "[Project Defaults]\n"
                              "MultiUser=Single User\n"
                              "Name=Main\n"
                              "\n"
                              "[Workspace]\n"
                              "Workspace=.\\ws\n"
                              "\n"
                              "[Workgroup Search Paths]\n"
                              "Old=/srv/old\n"
                              "\n"
                              "[Included Path File]\n"
                              "Included Pathfile=\n";
    const QString main = env.writeFile(QStringLiteral("p/Main.kpj"), source);
    scrivo.RegisterProject(main);

    const QString working = PrepareWorkingProject(server, prompts, main);

    const QString temp = TempBeside(main);
    QCOMPARE(working, temp);
    QCOMPARE(ReadBytes(temp), QByteArray("; Main project of the team\n"
                                         "[Project Defaults]\n"
                                         "MultiUser=Shared\n"
                                         "Name=Main\n"
                                         "\n"
                                         "[Workgroup Search Paths]\n"
                                         "Old=/srv/old\n"
                                         "Workgroup=.\\ws\n"
                                         "\n"
                                         "[Included Path File]\n"
                                         "Included Pathfile=\n"));
    QCOMPARE(ReadBytes(main), source);
    QCOMPARE(server.calls,
             ActivationCalls(main) + QStringList{QStringLiteral("SetActiveProject()")});
    QVERIFY(prompts.records.isEmpty());

    // The server sees the copy as a Shared project without a workspace.
    scrivo.ProjectHandler().SetActiveProject(temp);
    QCOMPARE(scrivo.MultiUserMode(), MultiUserModes::Shared);
    QVERIFY(!HasWorkspacePath(scrivo));
    QVERIFY(!scrivo.ProjectHandler().GetProjects().contains(temp));
}

void TestProjects::singleUserProjectWithoutWorkspaceKeepsAllSections()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    ScriptedPrompts prompts;
    const QByteArray source = "[Project Defaults]\r\nMultiUser = Single User\r\n"
                              "[Workgroup Search Paths]\r\nA=/a\r\n";
    const QString main = env.writeFile(QStringLiteral("p/Main.kpj"), source);

    QCOMPARE(PrepareWorkingProject(server, prompts, main), TempBeside(main));
    QCOMPARE(ReadBytes(TempBeside(main)), QByteArray("[Project Defaults]\r\nMultiUser = Shared\r\n"
                                                     "[Workgroup Search Paths]\r\nA=/a\r\n"));
    QCOMPARE(ReadBytes(main), source);
}

void TestProjects::staleTemporaryProjectIsReplaced()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    ScriptedPrompts prompts;
    const QString main =
        env.writeFile(QStringLiteral("p/Main.kpj"), "[Project Defaults]\nMultiUser=Single User\n");
    env.writeFile(QStringLiteral("p/Temp$$$00.kpj"),
                  "[Project Defaults]\nMultiUser=Depona\n[Stale]\n" + QByteArray(5000, 's') + "\n");

    QCOMPARE(PrepareWorkingProject(server, prompts, main), TempBeside(main));
    QCOMPARE(ReadBytes(TempBeside(main)), QByteArray("[Project Defaults]\nMultiUser=Shared\n"));
}

void TestProjects::semiIsolatedProjectWorksInCopyOfIncludedFile()
{
    TestEnvironment env;
    ScrivoServer scrivo(env.scrivoHome());
    RecordingServer server(scrivo);
    ScriptedPrompts prompts;
    const QByteArray local = "[Project Defaults]\nMultiUser=Semi-Isolated\n"
                             "[Included Path File]\nIncluded Pathfile=..\\srv\\Team.kpj\n"
                             "[Workspace]\nWorkspace=/local/ws\n";
    const QByteArray team = "[Project Defaults]\r\nMultiUser=Single User\r\n"
                            "[Workspace]\r\nWorkspace=/team/ws\r\n";
    const QString project = env.writeFile(QStringLiteral("p/sub/Local.kpj"), local);
    const QString included = env.writeFile(QStringLiteral("p/srv/Team.kpj"), team);

    const QString working = PrepareWorkingProject(server, prompts, project);

    QCOMPARE(working, TempBeside(included));
    QCOMPARE(ReadBytes(working), QByteArray("[Project Defaults]\r\nMultiUser=Shared\r\n"
                                            "[Workspace]\r\nWorkspace=/team/ws\r\n"));
    QCOMPARE(ReadBytes(project), local);
    QCOMPARE(ReadBytes(included), team);
    QVERIFY(!QFileInfo::exists(TempBeside(project)));
    QCOMPARE(server.calls,
             ActivationCalls(project) + QStringList{QStringLiteral("SetActiveProject()")});
    QVERIFY(prompts.records.isEmpty());
}

void TestProjects::semiIsolatedProjectWithoutIncludeShowsMessage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no section") << QByteArray("[Project Defaults]\nMultiUser=Semi-Isolated\n");
    QTest::newRow("empty value") << QByteArray("[Project Defaults]\nMultiUser=Semi-Isolated\n"
                                               "[Included Path File]\nIncluded Pathfile=  \n");
}

void TestProjects::semiIsolatedProjectWithoutIncludeShowsMessage()
{
    QFETCH(QByteArray, content);
    TestEnvironment env;
    ScrivoServer scrivo(env.scrivoHome());
    RecordingServer server(scrivo);
    ScriptedPrompts prompts;
    prompts.answerMessage(PromptAnswer::OK);
    const QString project = env.writeFile(QStringLiteral("p/Local.kpj"), content);

    QCOMPARE(PrepareWorkingProject(server, prompts, project), project);

    QVERIFY(prompts.scriptDone());
    QCOMPARE(prompts.records.size(), 1);
    const ScriptedPrompts::Record &message = prompts.records.first();
    QCOMPARE(message.kind, ScriptedPrompts::Kind::Message);
    QCOMPARE(message.text, QStringLiteral("Include file missing for semi-isolated mode."));
    QCOMPARE(message.title, QStringLiteral("Korvex Brevant"));
    QCOMPARE(message.icon, PromptIcon::Information);
    QCOMPARE(message.buttons, PromptButtons::OK);
    QCOMPARE(server.calls, ActivationCalls(project));
    QCOMPARE(ReadBytes(project), content);
    QCOMPARE(QDir(ParentFolderOf(project)).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Local.kpj")});
}

void TestProjects::otherModesWorkInProjectItself_data()
{
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("Shared") << QByteArray("Shared");
    QTest::newRow("Semi-Isolated no checkout") << QByteArray("Semi-Isolated no checkout");
    QTest::newRow("Depona") << QByteArray("Depona");
}

void TestProjects::otherModesWorkInProjectItself()
{
    QFETCH(QByteArray, mode);
    TestEnvironment env;
    ScrivoServer scrivo(env.scrivoHome());
    RecordingServer server(scrivo);
    ScriptedPrompts prompts;
    // An include and a workspace that must not lead to a copy in these modes.
    const QByteArray content = "[Project Defaults]\nMultiUser=" + mode +
                               "\n[Included Path File]\nIncluded Pathfile=Team.kpj\n"
                               "[Workspace]\nWorkspace=ws\n";
    const QString project = env.writeFile(QStringLiteral("p/Main.kpj"), content);
    env.writeFile(QStringLiteral("p/Team.kpj"), "[Project Defaults]\nMultiUser=Shared\n");

    QCOMPARE(PrepareWorkingProject(server, prompts, project), project);
    QCOMPARE(server.calls, ActivationCalls(project));
    QCOMPARE(scrivo.ProjectHandler().ActiveProject(), project);
    QCOMPARE(ReadBytes(project), content);
    QCOMPARE(QDir(ParentFolderOf(project)).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("Main.kpj"), QStringLiteral("Team.kpj")}));
    QVERIFY(prompts.records.isEmpty());
}

void TestProjects::missingSourceThrowsNamingIt()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    ScriptedPrompts prompts;
    env.writeFile(QStringLiteral("srv/regular"), "not a folder");
    const QStringList includes{QStringLiteral("../srv/Gone.kpj"),
                               QStringLiteral("../srv/regular/Team.kpj")};
    for (const QString &include : includes) {
        const QString project = env.writeFile(QStringLiteral("p/Local.kpj"),
                                              "[Project Defaults]\nMultiUser=Semi-Isolated\n"
                                              "[Included Path File]\nIncluded Pathfile=" +
                                                  include.toUtf8() + "\n");
        const QString resolved = ProjectFilePath(include, project);
        try {
            PrepareWorkingProject(server, prompts, project);
            QFAIL("no error for a missing included file");
        } catch (const ServerError &error) {
            QCOMPARE(error.number, ServerErrors::FileNotFound);
            QVERIFY2(error.description.contains(resolved), qPrintable(error.description));
        }
        QVERIFY(!QFileInfo::exists(TempBeside(resolved)));
    }
    QCOMPARE(QDir(env.path(QStringLiteral("srv"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("regular")});
}

void TestProjects::unwritableTargetThrowsNamingIt()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    ScriptedPrompts prompts;
    const QByteArray source = "[Project Defaults]\nMultiUser=Single User\n";
    const QString main = env.writeFile(QStringLiteral("p/Main.kpj"), source);
    const QString temp = TempBeside(main);
    QVERIFY(QDir().mkpath(temp));

    try {
        PrepareWorkingProject(server, prompts, main);
        QFAIL("no error for a temporary project that cannot be written");
    } catch (const ServerError &error) {
        QCOMPARE(error.number, ServerErrors::WriteFailed);
        QVERIFY2(error.description.contains(temp), qPrintable(error.description));
    }
    QVERIFY(QFileInfo(temp).isDir());
    QCOMPARE(ReadBytes(main), source);
    QCOMPARE(QDir(ParentFolderOf(main)).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Main.kpj")});
}

void TestProjects::temporaryProjectIsNeverItsOwnSource()
{
    TestEnvironment env;
    ScrivoServer server(env.scrivoHome());
    ScriptedPrompts prompts;
    const QByteArray included = "[Project Defaults]\nMultiUser=Shared\n[Keep]\nk=v\n";
    const QString temp = env.writeFile(QStringLiteral("srv/Temp$$$00.kpj"), included);
    const QString project =
        env.writeFile(QStringLiteral("p/Local.kpj"), "[Project Defaults]\nMultiUser=Semi-Isolated\n"
                                                     "[Included Path File]\n"
                                                     "Included Pathfile=../srv/Temp$$$00.kpj\n");
    try {
        PrepareWorkingProject(server, prompts, project);
        QFAIL("no error for a temporary project copied onto itself");
    } catch (const ServerError &error) {
        QVERIFY2(error.description.contains(temp), qPrintable(error.description));
    }
    QCOMPARE(ReadBytes(temp), included);
}

void TestProjects::moveWorkspaceToWorkgroupOverwritesWorkgroupAndThrowsOnFailure()
{
    TestEnvironment env;
    const QByteArray content = "[Workgroup Search Paths]\nWorkgroup=/old\nOther=/o\n"
                               "[Workspace]\nWorkspace = /new ws\n";
    const QString file = env.writeFile(QStringLiteral("p/Main.kpj"), content);
    MoveWorkspaceToWorkgroup(file);
    QCOMPARE(ReadBytes(file),
             QByteArray("[Workgroup Search Paths]\nWorkgroup=/new ws\nOther=/o\n"));

    // Without a workspace value the file stays as it is.
    const QByteArray noWorkspace = "[Workspace]\nWorkspace=\n[A]\nb=c\n";
    env.writeFile(QStringLiteral("p/Main.kpj"), noWorkspace);
    MoveWorkspaceToWorkgroup(file);
    QCOMPARE(ReadBytes(file), noWorkspace);

    const QString longFile = env.writeFile(QStringLiteral("q/") + LongName(), content);
    try {
        MoveWorkspaceToWorkgroup(longFile);
        QFAIL("no error for a file that cannot be replaced");
    } catch (const ServerError &error) {
        QCOMPARE(error.number, ServerErrors::WriteFailed);
        QVERIFY2(error.description.contains(longFile), qPrintable(error.description));
    }
    QCOMPARE(ReadBytes(longFile), content);
}

QTEST_GUILESS_MAIN(TestProjects)
#include "tst_projects.moc"
