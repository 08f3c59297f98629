#include "search/SearchFolder.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoServer.h"

#include "ScrivoDocuments.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Forwards to the real server and records every document it was asked to open.
class RecordingServer : public DocumentServer
{
public:
    explicit RecordingServer(DocumentServer &server) : inner(server) {}

    QStringList opened;

    ServerDocumentPtr OpenDocument(const QString &fullPath) override
    {
        opened.append(fullPath);
        return inner.OpenDocument(fullPath);
    }
    void CloseAllDocuments() override { inner.CloseAllDocuments(); }
    ::ProjectHandler &ProjectHandler() override { return inner.ProjectHandler(); }
    ::ReleaseInfo &ReleaseInfo() override { return inner.ReleaseInfo(); }
    QString UserName() override { return inner.UserName(); }
    void SetUserName(const QString &name) override { inner.SetUserName(name); }
    int MultiUserMode() override { return inner.MultiUserMode(); }

private:
    DocumentServer &inner;
};

// One search: the records, the work list, the stop flag and what the walk reported.
struct Search
{
    explicit Search(DocumentServer &server) : context(server, files, dirs, stop) {}

    clsFiles files;
    QStringList dirs;
    bool stop = false;
    SearchContext context;
    QStringList progress;

    void walk(const QString &start)
    {
        WalkFolderTree(context, start, [this](const QString &folder) { progress.append(folder); });
    }

    // Full names of the records, in list order.
    QStringList listed() const
    {
        QStringList names;
        for (int i = 1; i <= files.Count(); ++i) {
            const QString folder = files.Item(i)->FilePath();
            names.append((folder.endsWith(u'/') ? folder : folder + u'/') +
                         files.Item(i)->FileName());
        }
        return names;
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray logLine(const QByteArray &fullName)
{
    return "File has created Error: " + fullName + "\r\n";
}

void makeLink(const QString &target, const QString &path)
{
    QVERIFY2(
        ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0,
        qPrintable(path));
}

// Removes files and folders whose names are not UTF-8, which QTemporaryDir cannot remove.
struct RawPathCleanup
{
    QList<QByteArray> files;
    QList<QByteArray> folders;
    ~RawPathCleanup()
    {
        for (const QByteArray &file : std::as_const(files))
            ::unlink(file.constData());
        for (auto it = folders.crbegin(); it != folders.crend(); ++it)
            ::rmdir(it->constData());
    }
};

} // namespace

class TestSearchFolder : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScrivoServer> scrivo;
    std::unique_ptr<RecordingServer> server;
    QString root;

    QString doc(const QString &relative)
    {
        return WriteScrivoDocument(root + u'/' + relative, relative.section(u'/', -1));
    }
    QString at(const QString &relative) const { return root + u'/' + relative; }
    QString logPath() const { return env->stateHome() + u"/korvex-brevant/Error.log"_s; }

private slots:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        scrivo = std::make_unique<ScrivoServer>();
        server = std::make_unique<RecordingServer>(*scrivo);
        root = env->path(u"tree"_s);
        QDir().mkpath(root);
    }

    void cleanup()
    {
        server.reset();
        scrivo.reset();
        env.reset();
    }

    void walksBreadthFirstInNameOrder()
    {
        for (const char *name : {"sub1/deep/y.kpt", "sub2/z.kpt", "b.kpt", "sub1/x.kpt",
                                 "sub1/Deep2/w.kdw", "a.kam", "A.kdw"})
            doc(QString::fromLatin1(name));
        env->writeFile(u"tree/notes.txt"_s, "not a document");
        Search search(*server);
        search.walk(root);

        QCOMPARE(search.listed(),
                 (QStringList{at(u"A.kdw"_s), at(u"a.kam"_s), at(u"b.kpt"_s), at(u"sub1/x.kpt"_s),
                              at(u"sub2/z.kpt"_s), at(u"sub1/Deep2/w.kdw"_s),
                              at(u"sub1/deep/y.kpt"_s)}));
        QCOMPARE(search.progress, (QStringList{root, at(u"sub1"_s), at(u"sub2"_s),
                                               at(u"sub1/Deep2"_s), at(u"sub1/deep"_s)}));
        QVERIFY(search.dirs.isEmpty());
        QCOMPARE(search.files.Item(1)->CheckedOutBy(), Available);
        QCOMPARE(search.files.Item(1)->BrowserName(), u"A.kdw"_s);
        QCOMPARE(search.context.FailedDocuments, 0);
        QVERIFY(!QFile::exists(logPath()));
    }

    void foldersBeginningWithDotAreSkippedButDotFilesAreRead()
    {
        doc(u".git/a.kpt"_s);
        doc(u".hidden/deeper/b.kpt"_s);
        doc(u".c.kpt"_s);
        const QString reserved = doc(u"visible/c.kpt"_s);
        WriteScrivoReservation(reserved, u"alice"_s, QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)),
                               4);
        Search search(*server);
        search.walk(root);

        QCOMPARE(search.listed(), (QStringList{at(u".c.kpt"_s), at(u"visible/c.kpt"_s)}));
        QCOMPARE(server->opened, search.listed());
        QCOMPARE(search.progress, (QStringList{root, at(u"visible"_s)}));
        QCOMPARE(search.files.Item(2)->CheckedOutBy(), u"alice"_s);
    }

    void documentsAreKnownByTheirLastThreeLettersInAnyCase()
    {
        for (const char *name : {"p.KPT", "q.Kam", "r.kDw", "s.kpn", "drawingkdw", "t.kpt.bak",
                                 "u.KP", "x.kpt/inner.kpt"})
            doc(QString::fromLatin1(name));
        Search search(*server);
        search.walk(root);

        const QStringList expected{at(u"drawingkdw"_s), at(u"p.KPT"_s), at(u"q.Kam"_s),
                                   at(u"r.kDw"_s), at(u"x.kpt/inner.kpt"_s)};
        QCOMPARE(search.listed(), expected);
        // Nothing else cost a server call; the folder named like a part was searched, not opened.
        QCOMPARE(server->opened, expected);
        QVERIFY(!QFile::exists(logPath()));
    }

    void startFolderWithTrailingSeparatorGivesNoDoubledSeparator()
    {
        doc(u"one.kpt"_s);
        doc(u"sub/two.kpt"_s);
        Search search(*server);
        search.walk(root + u'/');
        QCOMPARE(server->opened, (QStringList{at(u"one.kpt"_s), at(u"sub/two.kpt"_s)}));
        QCOMPARE(search.files.Item(1)->FilePath(), root);
        QCOMPARE(search.progress, (QStringList{root + u'/', at(u"sub"_s)}));

        // The root folder: its sub-folders are queued with a single separator.
        Search rootSearch(*server);
        SearchFolder(rootSearch.context, u"/"_s);
        QVERIFY(rootSearch.dirs.contains(u"/tmp"_s) || rootSearch.dirs.contains(u"/usr"_s));
        for (const QString &folder : std::as_const(rootSearch.dirs))
            QVERIFY2(folder.startsWith(u'/') && !folder.startsWith(u"//"), qPrintable(folder));
    }

    void namesWithBlanksAreUsedExactlyAsListed()
    {
        doc(u" lead/a.kpt"_s);
        doc(u"trail /b.kpt"_s);
        doc(u" space.kpt"_s);
        doc(u"end .kpt "_s); // ends in a blank: not a part
        Search search(*server);
        search.walk(root);
        QCOMPARE(search.listed(),
                 (QStringList{at(u" space.kpt"_s), at(u" lead/a.kpt"_s), at(u"trail /b.kpt"_s)}));
        QCOMPARE(search.files.Item(2)->FilePath(), at(u" lead"_s));
        QCOMPARE(search.context.FailedDocuments, 0);

        // Only the folder the folder browser returned is trimmed, by the search command.
        QCOMPARE(TrimBlanks(u"  "_s + root + u"  "_s), root);
        QCOMPARE(TrimBlanks(u"\tx "_s), u"\tx"_s);
        Search fromTrailing(*server);
        fromTrailing.walk(at(u"trail "_s));
        QCOMPARE(fromTrailing.listed(), QStringList{at(u"trail /b.kpt"_s)});
    }

    void nonAsciiNamesAreFound()
    {
        doc(u"Ordner ä/Grüße.kpt"_s);
        Search search(*server);
        search.walk(root);
        QCOMPARE(search.listed(), QStringList{at(u"Ordner ä/Grüße.kpt"_s)});
        QCOMPARE(search.files.Item(1)->FileName(), u"Grüße.kpt"_s);
    }

    void namesThatAreNotUtf8ReachTheRightFiles()
    {
        const QByteArray rawRoot = QFile::encodeName(root);
        const QByteArray folder = rawRoot + "/caf\xe9";
        const QByteArray inner = folder + "/inner.kpt";
        const QByteArray top = rawRoot + "/d\xe9.kdw";
        RawPathCleanup cleanup{{inner, top}, {folder}};
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        for (const QByteArray &path : {inner, top}) {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            QVERIFY(fd >= 0);
            ::close(fd);
        }
        Search search(*server);
        search.walk(root);

        // The walker entered the folder, and the server opened both documents under the
        // paths the walker gave, which lead back to the very files on disk.
        QCOMPARE(server->opened.size(), 2);
        QCOMPARE(EncodeFileName(server->opened.at(0)), top);
        QCOMPARE(EncodeFileName(server->opened.at(1)), inner);
        QCOMPARE(search.files.Count(), 2);
        for (int i = 0; i < search.files.Count(); ++i)
            QCOMPARE(EncodeFileName(search.listed().at(i)), EncodeFileName(server->opened.at(i)));
        QCOMPARE(EncodeFileName(search.files.Item(1)->FileName()), QByteArray("d\xe9.kdw"));
        QVERIFY(!QFile::exists(logPath()));
    }

    void stopTakesEffectAtTheNextDocument()
    {
        for (const char *name : {"1.kpt", "2sub/a.kpt", "3sub/b.kpt", "4.kpt", "5sub/c.kpt"})
            doc(QString::fromLatin1(name));
        Search search(*server);
        // The stop command runs while pending events are processed after the first document.
        search.context.ProcessEvents = [&search] {
            if (search.files.Count() == 1)
                search.stop = true;
        };
        search.walk(root);

        QCOMPARE(search.listed(), QStringList{at(u"1.kpt"_s)});
        QCOMPARE(server->opened, QStringList{at(u"1.kpt"_s)});
        // The sub-folders listed before the stop were queued and then taken off unsearched.
        QCOMPARE(search.progress, (QStringList{root, at(u"2sub"_s), at(u"3sub"_s)}));
        QVERIFY(search.dirs.isEmpty());
    }

    void stopSetOnEntryDoesNothing()
    {
        doc(u"a.kpt"_s);
        doc(u"sub/b.kpt"_s);
        WriteDamagedScrivoReservation(at(u"a.kpt"_s));
        Search search(*server);
        search.stop = true;
        int eventRuns = 0;
        search.context.ProcessEvents = [&eventRuns] { ++eventRuns; };
        search.dirs = QStringList{u"/queued"_s};
        SearchFolder(search.context, root);
        QCOMPARE(search.dirs, QStringList{u"/queued"_s});
        QCOMPARE(eventRuns, 0);
        QVERIFY(server->opened.isEmpty());
        QCOMPARE(search.files.Count(), 0);
        QVERIFY(!QFile::exists(logPath()));

        search.dirs.clear();
        search.walk(root);
        QCOMPARE(search.progress, QStringList{root});
        QVERIFY(search.dirs.isEmpty());
        QVERIFY(server->opened.isEmpty());
    }

    void failuresAreLoggedAndTheSearchGoesOn()
    {
        makeLink(at(u"gone.kpt"_s), at(u"broken.kpt"_s));
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        doc(u"good.kpt"_s);
        QDir().mkpath(at(u"x.kpt"_s));
        makeLink(at(u"nowhere"_s), at(u"dangling"_s));
        QVERIFY(!QFileInfo::exists(env->stateHome() + u"/korvex-brevant"_s));

        Search search(*server);
        search.walk(root);
        QCOMPARE(search.listed(), QStringList{at(u"good.kpt"_s)});
        QCOMPARE(server->opened,
                 (QStringList{at(u"broken.kpt"_s), at(u"damaged.kpt"_s), at(u"good.kpt"_s)}));
        const QByteArray broken = logLine(QFile::encodeName(at(u"broken.kpt"_s)));
        const QByteArray damaged = logLine(QFile::encodeName(at(u"damaged.kpt"_s)));
        QCOMPARE(search.context.Log.Path(), logPath());
        QCOMPARE(readAll(logPath()), broken + broken + damaged);
        QCOMPARE(search.context.FailedDocuments, 2);
        QCOMPARE(search.context.Log.WriteFailures(), 0);

        // The next search appends and counts afresh.
        Search again(*server);
        again.walk(root);
        QCOMPARE(readAll(logPath()), broken + broken + damaged + broken + broken + damaged);
        QCOMPARE(again.context.FailedDocuments, 2);
    }

    void logThatCannotBeWrittenDoesNotStopTheSearch()
    {
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        doc(u"good.kpt"_s);
        const QString notAFolder = env->writeFile(u"state-file"_s, "a file, not a folder");
        qputenv("XDG_STATE_HOME", QFile::encodeName(notAFolder));
        Search search(*server);
        search.walk(root);
        QCOMPARE(search.listed(), QStringList{at(u"good.kpt"_s)});
        QCOMPARE(search.context.FailedDocuments, 1);
        QCOMPARE(search.context.Log.WriteFailures(), 1);
        QCOMPARE(search.context.Log.LinesWritten(), 0);
        QCOMPARE(readAll(notAFolder), QByteArray("a file, not a folder"));
    }

    void logLivesInTheStateFolder()
    {
        const QByteArray oldHome = qgetenv("HOME");
        const QString home = env->path(u"home"_s);
        qputenv("HOME", QFile::encodeName(home));
        const QString fallback = home + u"/.local/state/korvex-brevant/Error.log"_s;
        QCOMPARE(ErrorLog::DefaultPath(), logPath());
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(ErrorLog::DefaultPath(), fallback);
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(ErrorLog::DefaultPath(), fallback);
        ErrorLog log;
        QVERIFY(log.Append(u"/p/a.kpt"_s));
        QCOMPARE(readAll(fallback), logLine("/p/a.kpt"));
        qputenv("HOME", oldHome);
    }

    void linkLoopsEndAndNoFolderIsSearchedTwice()
    {
        doc(u"a/p.kpt"_s);
        doc(u"other/q.kpt"_s);
        QDir().mkpath(at(u"a/b"_s));
        makeLink(root, at(u"a/loop"_s));
        makeLink(u".."_s, at(u"a/b/up"_s));
        makeLink(u"other"_s, at(u"link2"_s));
        Search search(*server);
        search.walk(root);

        QCOMPARE(search.listed(), (QStringList{at(u"a/p.kpt"_s), at(u"link2/q.kpt"_s)}));
        QCOMPARE(search.progress, (QStringList{root, at(u"a"_s), at(u"link2"_s), at(u"other"_s),
                                               at(u"a/b"_s), at(u"a/loop"_s), at(u"a/b/up"_s)}));
        QVERIFY(search.dirs.isEmpty());
    }

    void folderThatCannotBeListedIsPassedOver()
    {
        const QString file = doc(u"plain.kpt"_s);
        Search search(*server);
        search.dirs = QStringList{u"/queued"_s};
        SearchFolder(search.context, file);
        SearchFolder(search.context, at(u"missing"_s));
        QCOMPARE(search.dirs, QStringList{u"/queued"_s});
        QVERIFY(server->opened.isEmpty());

        Search walk(*server);
        walk.walk(at(u"missing"_s));
        QCOMPARE(walk.progress, QStringList{at(u"missing"_s)});
        QVERIFY(walk.dirs.isEmpty());
        QCOMPARE(walk.files.Count(), 0);
        QVERIFY(!QFile::exists(logPath()));
    }
};

int runSearchFolderTests(int argc, char **argv)
{
    TestSearchFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SearchFolder.moc"
