// The directory listing and the folder walker on real trees, with the real Scrivo server.

#include "search/SearchFolder.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/DirectoryListing.h"

#include "ObservedServer.h"
#include "ScrivoDocuments.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

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

QByteArray logLine(const QByteArray &fullName)
{
    return "File has created Error: " + fullName + "\r\n";
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ObservedServer> server;
    QStringList opened; // every document the server was asked to open
    QString root;

    QString doc(const QString &relative)
    {
        return WriteScrivoDocument(at(relative), relative.section(u'/', -1));
    }
    QString at(const QString &relative) const { return root + u'/' + relative; }
    QString logPath() const { return env->stateHome() + u"/korvex-brevant/Error.log"_s; }

private slots:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        server = std::make_unique<ObservedServer>(std::make_shared<ScrivoServer>());
        opened.clear();
        server->onOpenDocument = [this](const QString &path) { opened.append(path); };
        root = env->path(u"tree"_s);
        QDir().mkpath(root);
    }

    void cleanup()
    {
        server.reset();
        env.reset();
    }

    void listingGivesEntriesInByteOrderWithTypeAndIdentity()
    {
        for (const char *name : {"z", "b", "B", "a.kpt", "\xc3\xa4", ".hidden"})
            env->writeFile(u"tree/"_s + QString::fromUtf8(name), {});
        QDir().mkpath(at(u"sub"_s));
        QDir().mkpath(at(u"other"_s));
        MakeLink(u"sub"_s, at(u"tosub"_s));
        MakeLink(u"a.kpt"_s, at(u"tofile"_s));
        MakeLink(u"gone"_s, at(u"dangling"_s));

        const DirectoryListing listing = DirectoryListing::Read(root);
        QVERIFY(listing.IsOpen());
        QList<QByteArray> names;
        QList<QByteArray> folders;
        for (const DirectoryEntry &entry : listing.Entries()) {
            names.append(entry.RawName);
            if (entry.IsFolder)
                folders.append(entry.RawName);
        }
        QCOMPARE(names, (QList<QByteArray>{".hidden", "B", "a.kpt", "b", "dangling", "other", "sub",
                                           "tofile", "tosub", "z", "\xc3\xa4"}));
        QCOMPARE(folders, (QList<QByteArray>{"other", "sub", "tosub"}));
        QCOMPARE(listing.Entries().back().Name(), u"ä"_s);

        // A folder is known by its device and inode, through a link too.
        const FolderIdentity sub = DirectoryListing::Read(at(u"sub"_s)).Identity();
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(at(u"sub"_s)).constData(), &info), 0);
        QCOMPARE(sub.Device, static_cast<quint64>(info.st_dev));
        QCOMPARE(sub.Inode, static_cast<quint64>(info.st_ino));
        QCOMPARE(DirectoryListing::Read(at(u"tosub"_s)).Identity(), sub);
        QVERIFY(DirectoryListing::Read(at(u"other"_s)).Identity() != sub);

        // What cannot be listed gives an error and no entries.
        for (const QString &path : {at(u"a.kpt"_s), at(u"missing"_s), QString()}) {
            const DirectoryListing failed = DirectoryListing::Read(path);
            QVERIFY2(!failed.IsOpen(), qPrintable(path));
            QVERIFY(!failed.ErrorText().isEmpty());
            QVERIFY(failed.Entries().empty());
        }
    }

    void namesDecodeAndEncodeBackToTheSameBytes()
    {
        const QList<QByteArray> names{"plain.kpt",
                                      "Gr\xc3\xbc\xc3\x9f"
                                      "e.kpt",
                                      "caf\xe9",               // Latin-1
                                      "\x80lead",              // lone continuation byte
                                      "over\xc0\xaflong",      // overlong "/"
                                      "sur\xed\xa0\x80rogate", // encoded surrogate
                                      "big\xf4\x90\x80\x80",   // above U+10FFFF
                                      "cut\xe2\x82",           // sequence cut off at the end
                                      "emoji\xf0\x9f\x98\x80", // four-byte character
                                      "repl\xef\xbf\xbd",      // U+FFFD itself is valid
                                      "\xff\xfe\xfd"};
        for (const QByteArray &raw : names) {
            const QString decoded = DecodeFileName(raw);
            QCOMPARE(EncodeFileName(decoded), raw);
            if (QString::fromUtf8(raw).toUtf8() == raw)
                QCOMPARE(decoded, QFile::decodeName(raw));
            else
                QVERIFY(decoded != QFile::decodeName(raw));
        }
        // An escaped byte right after a real four-byte character stays a byte.
        QCOMPARE(EncodeFileName(QString::fromUtf8("\xf0\x9f\x98\x80") + QChar(0xDCE9)),
                 QByteArray("\xf0\x9f\x98\x80\xe9"));
    }

    void walksBreadthFirstInNameOrderAndOpensOnlyDocuments()
    {
        // Documents by their last three letters in any case; folders starting with "."
        // skipped, files starting with "." read; a folder named like a part searched, not
        // opened; names with blanks and non-ASCII names used exactly as listed.
        for (const char *name : {"sub1/deep/y.kpt",
                                 "sub2/z.kpt",
                                 "b.kpt",
                                 "sub1/x.kpt",
                                 "sub1/Deep2/w.kdw",
                                 "a.kam",
                                 "A.kdw",
                                 "p.KPT",
                                 "q.Kam",
                                 "r.kDw",
                                 "s.kpn",
                                 "drawingkdw",
                                 "t.kpt.bak",
                                 "u.KP",
                                 "x.kpt/inner.kpt",
                                 ".git/a.kpt",
                                 ".hidden/deeper/b.kpt",
                                 ".c.kpt",
                                 "visible/c.kpt",
                                 " lead/a.kpt",
                                 "trail /b.kpt",
                                 " space.kpt",
                                 "end .kpt ",
                                 "Ordner ä/Grüße.kpt"})
            doc(QString::fromUtf8(name));
        env->writeFile(u"tree/notes.txt"_s, "not a document");
        WriteScrivoReservation(at(u"visible/c.kpt"_s), u"alice"_s,
                               QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9)), 4);
        Search search(*server);
        search.walk(root);

        QCOMPARE(search.listed(),
                 (QStringList{at(u" space.kpt"_s), at(u".c.kpt"_s), at(u"A.kdw"_s), at(u"a.kam"_s),
                              at(u"b.kpt"_s), at(u"drawingkdw"_s), at(u"p.KPT"_s), at(u"q.Kam"_s),
                              at(u"r.kDw"_s), at(u" lead/a.kpt"_s), at(u"Ordner ä/Grüße.kpt"_s),
                              at(u"sub1/x.kpt"_s), at(u"sub2/z.kpt"_s), at(u"trail /b.kpt"_s),
                              at(u"visible/c.kpt"_s), at(u"x.kpt/inner.kpt"_s),
                              at(u"sub1/Deep2/w.kdw"_s), at(u"sub1/deep/y.kpt"_s)}));
        QCOMPARE(opened, search.listed());
        QCOMPARE(search.progress,
                 (QStringList{root, at(u" lead"_s), at(u"Ordner ä"_s), at(u"sub1"_s), at(u"sub2"_s),
                              at(u"trail "_s), at(u"visible"_s), at(u"x.kpt"_s),
                              at(u"sub1/Deep2"_s), at(u"sub1/deep"_s)}));
        QVERIFY(search.dirs.isEmpty());
        QCOMPARE(search.files.Item(3)->CheckedOutBy(), Available);
        QCOMPARE(search.files.Item(3)->BrowserName(), u"A.kdw"_s);
        QCOMPARE(search.files.Item(10)->FilePath(), at(u" lead"_s));
        QCOMPARE(search.files.Item(11)->FileName(), u"Grüße.kpt"_s);
        QCOMPARE(search.files.Item(15)->CheckedOutBy(), u"alice"_s);
        QCOMPARE(search.context.FailedDocuments, 0);
        QVERIFY(!QFile::exists(logPath()));
    }

    void startFolderIsUsedAsGiven()
    {
        doc(u"one.kpt"_s);
        doc(u"trail /two.kpt"_s);
        Search search(*server);
        search.walk(root + u'/');
        QCOMPARE(opened, (QStringList{at(u"one.kpt"_s), at(u"trail /two.kpt"_s)}));
        QCOMPARE(search.files.Item(1)->FilePath(), root);
        QCOMPARE(search.progress, (QStringList{root + u'/', at(u"trail "_s)}));

        // A start folder ending in a blank is walked as it is: only the folder the folder
        // browser returned is trimmed, by the search command, and of blanks only.
        Search fromTrailing(*server);
        fromTrailing.walk(at(u"trail "_s));
        QCOMPARE(fromTrailing.listed(), QStringList{at(u"trail /two.kpt"_s)});
        QCOMPARE(TrimBlanks(u"  "_s + root + u"  "_s), root);
        QCOMPARE(TrimBlanks(u"\tx "_s), u"\tx"_s);

        // The root folder: its sub-folders are queued with a single separator.
        Search rootSearch(*server);
        SearchFolder(rootSearch.context, u"/"_s);
        QVERIFY(rootSearch.dirs.contains(u"/tmp"_s) || rootSearch.dirs.contains(u"/usr"_s));
        for (const QString &folder : std::as_const(rootSearch.dirs))
            QVERIFY2(folder.startsWith(u'/') && !folder.startsWith(u"//"), qPrintable(folder));
    }

    void badEntriesAreLoggedOrPassedOverAndNoFolderIsSearchedTwice()
    {
        // A broken link named like a part cannot be opened (two log lines), a damaged
        // reservation cannot be read (one line), a dangling link of another name is passed
        // over; links up the tree and a second link to a folder lead only to folders already
        // searched; names that are not UTF-8 reach their files (else they would be logged).
        MakeLink(at(u"gone.kpt"_s), at(u"broken.kpt"_s));
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        doc(u"good.kpt"_s);
        MakeLink(at(u"nowhere"_s), at(u"dangling"_s));
        doc(u"a/p.kpt"_s);
        doc(u"other/q.kpt"_s);
        QDir().mkpath(at(u"a/b"_s));
        MakeLink(root, at(u"a/loop"_s));
        MakeLink(u".."_s, at(u"a/b/up"_s));
        MakeLink(u"other"_s, at(u"link2"_s));
        const QByteArray cafe = QFile::encodeName(root) + "/caf\xe9";
        const QByteArray top = QFile::encodeName(root) + "/d\xe9.kdw";
        const RawPaths raw({cafe}, {cafe + "/inner.kpt", top});
        QVERIFY(!QFileInfo::exists(env->stateHome() + u"/korvex-brevant"_s));

        Search search(*server);
        search.walk(root);
        const QStringList found{DecodeFileName(top), at(u"good.kpt"_s), at(u"a/p.kpt"_s),
                                DecodeFileName(cafe + "/inner.kpt"), at(u"link2/q.kpt"_s)};
        QCOMPARE(search.listed(), found);
        QCOMPARE(opened, (QStringList{at(u"broken.kpt"_s), at(u"damaged.kpt"_s)} + found));
        QCOMPARE(search.progress,
                 (QStringList{root, at(u"a"_s), DecodeFileName(cafe), at(u"link2"_s),
                              at(u"other"_s), at(u"a/b"_s), at(u"a/loop"_s), at(u"a/b/up"_s)}));
        QVERIFY(search.dirs.isEmpty());
        const QByteArray broken = logLine(QFile::encodeName(at(u"broken.kpt"_s)));
        const QByteArray damaged = logLine(QFile::encodeName(at(u"damaged.kpt"_s)));
        QCOMPARE(search.context.Log.Path(), logPath());
        QCOMPARE(ReadBytes(logPath()), broken + broken + damaged);
        QCOMPARE(search.context.FailedDocuments, 2);
        QCOMPARE(search.context.Log.WriteError(), QString());

        // The next search appends and counts afresh.
        Search again(*server);
        again.walk(root);
        QCOMPARE(ReadBytes(logPath()), broken + broken + damaged + broken + broken + damaged);
        QCOMPARE(again.context.FailedDocuments, 2);
    }

    void errorLogLivesInTheStateFolderAndItsFailureDoesNotStopTheSearch()
    {
        const QByteArray oldHome = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&oldHome] { qputenv("HOME", oldHome); });
        const QString home = env->path(u"home"_s);
        qputenv("HOME", QFile::encodeName(home));
        const QString fallback = home + u"/.local/state/korvex-brevant/Error.log"_s;
        QCOMPARE(ErrorLog::DefaultPath(), logPath());
        qputenv("XDG_STATE_HOME", "relative/state");
        QCOMPARE(ErrorLog::DefaultPath(), fallback);
        qunsetenv("XDG_STATE_HOME");
        QCOMPARE(ErrorLog::DefaultPath(), fallback);
        ErrorLog log;
        log.Append(u"/p/a.kpt"_s);
        log.Flush();
        QCOMPARE(ReadBytes(fallback), logLine("/p/a.kpt"));

        // A state folder that is a file: the failure is counted and the file left alone.
        WriteDamagedScrivoReservation(doc(u"damaged.kpt"_s));
        doc(u"good.kpt"_s);
        const QString notAFolder = env->writeFile(u"state-file"_s, "a file, not a folder");
        qputenv("XDG_STATE_HOME", QFile::encodeName(notAFolder));
        Search search(*server);
        search.walk(root);
        QCOMPARE(search.listed(), QStringList{at(u"good.kpt"_s)});
        QCOMPARE(search.context.FailedDocuments, 1);
        QCOMPARE(search.context.Log.LinesLost(), 1);
        QCOMPARE(search.context.Log.LinesWritten(), 0);
        QVERIFY(search.context.Log.WriteError().startsWith(notAFolder));
        QCOMPARE(ReadBytes(notAFolder), QByteArray("a file, not a folder"));
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
        QCOMPARE(opened, QStringList{at(u"1.kpt"_s)});
        // The sub-folders listed before the stop were queued and then taken off unsearched.
        QCOMPARE(search.progress, (QStringList{root, at(u"2sub"_s), at(u"3sub"_s)}));
        QVERIFY(search.dirs.isEmpty());
    }

    void folderNotSearchedLeavesTheWorkListAlone()
    {
        // A stop already set on entry, a file, a missing folder: nothing listed, opened or
        // logged, no events run, the queue as it was; a walk from there ends at once.
        const QString file = doc(u"a.kpt"_s);
        doc(u"sub/b.kpt"_s);
        for (const auto &[start, stop] :
             {std::pair{root, true}, std::pair{file, false}, std::pair{at(u"missing"_s), false}}) {
            Search search(*server);
            search.stop = stop;
            int eventRuns = 0;
            search.context.ProcessEvents = [&eventRuns] { ++eventRuns; };
            search.dirs = QStringList{u"/queued"_s};
            SearchFolder(search.context, start);
            QCOMPARE(search.dirs, QStringList{u"/queued"_s});
            QCOMPARE(eventRuns, 0);

            search.dirs.clear();
            search.walk(start);
            QCOMPARE(search.progress, QStringList{start});
            QVERIFY(search.dirs.isEmpty());
            QCOMPARE(search.files.Count(), 0);
        }
        QVERIFY(opened.isEmpty());
        QVERIFY(!QFile::exists(logPath()));
    }
};

QTEST_GUILESS_MAIN(TestSearch)

#include "tst_search.moc"
