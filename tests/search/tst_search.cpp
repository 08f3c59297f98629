// The folder walker on real trees with the real server, and the search command through the
// window.

#include "Hostile.h"
#include "ShellFixture.h"
#include "TestFiles.h"

#include "model/FileListModel.h"
#include "projects/FileFunctions.h"
#include "search/MetadataCache.h"
#include "search/SearchFolder.h"
#include "search/WhereUsed.h"
#include "shell/FileListView.h"
#include "system/PathAt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One walk from start, made as the object is: the records, the work list, the stop flag and
// the folders it told about. With stopAfter, the stop is set as the walk tells of a folder
// whose path ends so, as the stop command sets it while pending events run.
struct Walk
{
    Walk(DocumentServer &server, const QString &start, int width = 1, const QString &stopAfter = {},
         MetadataCache *cache = nullptr)
        : context(server, files, dirs, stop)
    {
        context.Width = width;
        context.Cache = cache;
        WalkFolderTree(context, start, [&](const QString &folder) {
            progress.append(folder);
            stop = stop || (!stopAfter.isEmpty() && folder.endsWith(stopAfter));
        });
    }

    clsFiles files;
    QStringList dirs;
    bool stop = false;
    SearchContext context;
    QStringList progress;

    QStringList Listed() const
    {
        QStringList names;
        for (int i = 1; i <= files.Count(); ++i)
            names.append(JoinPath(files.Item(i)->FilePath(), files.Item(i)->FileName()));
        return names;
    }
};

// What the metadata cache must see between two searches of a tree kept still in between
// (Rewritten: with its size and times kept).
enum class Change { None, Rewritten, TouchedBack, Swapped, ReplacedByLink, FolderMoved };

// The cache file's faults: each makes the cache start empty.
enum class CacheFault { CutAtALineEnd, OtherVersion, Garbage, OtherOwner, Fifo };

QByteArray LogLine(const QString &fullName)
{
    return "File has created Error: " + QFile::encodeName(fullName) + "\r\n";
}

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(CacheFault)

class TestSearch : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShellFixture> f;
    QString root;

    QString At(const QString &relative) const { return root + u'/' + relative; }
    // The paths below root, relative to it.
    QStringList Below(QStringList all) { return all.replaceInStrings(root + u'/', QString()); }
    QString Doc(const QString &relative)
    {
        return WriteScrivoDocument(At(relative), relative.section(u'/', -1));
    }
    QString LogPath() const { return f->env.stateHome() + u"/korvex-brevant/Error.log"_s; }

private slots:
    void init()
    {
        f = std::make_unique<ShellFixture>();
        root = f->env.path(u"tree"_s);
        QDir().mkpath(root);
    }

    void cleanup()
    {
        QVERIFY(f->prompts.Done());
        // A tree nested past PATH_MAX is more than QTemporaryDir can remove.
        QCOMPARE(QProcess::execute(u"rm"_s, {u"-rf"_s, f->env.path(u"tree"_s)}), 0);
        f.reset();
    }

    void walkIsBreadthFirstLogsBadEntriesAndSearchesNoFolderTwice_data()
    {
        // One document at a time, and many in flight (as on a network share): the same walk.
        QTest::addColumn<int>("width");
        QTest::addRow("one at a time") << 1;
        QTest::addRow("16 in flight") << 16;
    }

    void walkIsBreadthFirstLogsBadEntriesAndSearchesNoFolderTwice()
    {
        QFETCH(int, width);
        // Documents by their last three letters in any case; folders starting with "." are
        // skipped, files starting with "." read; names with blanks used exactly as listed.
        for (const char *name :
             {"sub1/deep/y.kpt", "sub2/z.kpt", "b.kpt", "sub1/x.kpt", "a.kam", "p.KPT", "r.kDw",
              "s.kpn", "drawingkdw", "kdw", "t.kpt.bak", "x.kpt/inner.kpt", ".git/a.kpt", ".c.kpt",
              " lead/a.kpt", "trail /b.kpt", "Ordner ä/Grüße.kpt"})
            Doc(QString::fromUtf8(name));
        int opened = 0; // only documents are opened
        f->observed->onCall = [&opened](const QString &) { ++opened; };
        const Walk walk(*f->observed, root + u'/', width);
        QCOMPARE(Below(walk.Listed()),
                 (QStringList{u".c.kpt"_s, u"a.kam"_s, u"b.kpt"_s, u"drawingkdw"_s, u"kdw"_s,
                              u"p.KPT"_s, u"r.kDw"_s, u" lead/a.kpt"_s, u"Ordner ä/Grüße.kpt"_s,
                              u"sub1/x.kpt"_s, u"sub2/z.kpt"_s, u"trail /b.kpt"_s,
                              u"x.kpt/inner.kpt"_s, u"sub1/deep/y.kpt"_s}));
        QCOMPARE(opened, 14);
        QVERIFY(walk.dirs.isEmpty() && !QFile::exists(LogPath()));

        // A broken link named like a part cannot be opened (two log lines), a damaged record
        // cannot be read (one); links up the tree and a second link to a folder lead only to
        // folders already searched; names that are not UTF-8 reach their files.
        root = At(u"bad"_s);
        WriteDamagedScrivoReservation(Doc(u"damaged.kpt"_s));
        MakeLink(At(u"gone.kpt"_s), At(u"broken.kpt"_s));
        Doc(u"a/p.kpt"_s);
        Doc(u"other/q.kpt"_s);
        QDir().mkpath(At(u"a/b"_s));
        MakeLink(root, At(u"a/loop"_s));
        MakeLink(u".."_s, At(u"a/b/up"_s));
        MakeLink(u"other"_s, At(u"link2"_s));
        const QByteArray cafe = QFile::encodeName(root) + "/caf\xe9";
        QVERIFY(MakeFolder(cafe, 0755) == 0 &&
                ::close(OpenPath(cafe + "/inner.kpt", O_CREAT | O_WRONLY, 0644)) == 0);
        const Walk bad(*f->observed, root, width);
        // The damaged record's document is listed as such, and logged.
        QCOMPARE(Below(bad.Listed()),
                 (QStringList{u"damaged.kpt"_s, u"a/p.kpt"_s, DecodeFileName("caf\xe9/inner.kpt"),
                              u"link2/q.kpt"_s}));
        QCOMPARE(bad.files.Item(1)->CheckedOutBy(), DamagedRecord);
        QCOMPARE((QList<int>{int(bad.progress.size()), bad.context.FailedDocuments}),
                 (QList<int>{8, 2}));
        const QByteArray broken = LogLine(At(u"broken.kpt"_s));
        QCOMPARE(ReadBytes(LogPath()), broken + broken + LogLine(At(u"damaged.kpt"_s)));

        // A stop ends the walk; the folders queued before it are taken off unsearched.
        for (const char *name : {"s/1.kpt", "s/2sub/a.kpt", "s/3sub/b.kpt", "s/4.kpt"})
            Doc(QString::fromLatin1(name));
        const Walk stopped(*f->observed, At(u"s"_s), width, u"2sub"_s);
        QCOMPARE(Below(stopped.Listed() + stopped.progress),
                 (QStringList{u"s/1.kpt"_s, u"s/4.kpt"_s, u"s"_s, u"s/2sub"_s, u"s/3sub"_s}));
    }

    void deepTreesAreWalkedWholeAndTheLogStaysBoundedAndTrue()
    {
        // A chain of folders nested past PATH_MAX, a document on every level: all are found,
        // reservations and all.
        QString folder = root;
        QStringList expected;
        for (int level = 0; level < 24; ++level) {
            folder += u'/' + QString(200, QChar(u'a' + level));
            expected.append(folder + u"/d.kpt"_s);
            QCOMPARE(MakeFolder(QFile::encodeName(folder), 0755), 0);
            const int fd = OpenPath(QFile::encodeName(expected.last()), O_CREAT | O_WRONLY, 0644);
            QVERIFY(fd >= 0 && ::close(fd) == 0);
        }
        f->Activate(f->Project(u"S"_s, u"Shared"_s));
        f->server->SetUserName(u"anna"_s);
        f->server->OpenDocument(expected.last())->Reserve();
        const Walk walk(*f->observed, root);
        QCOMPARE(walk.Listed(), expected);
        QCOMPARE(walk.files.Item(24)->CheckedOutBy(), u"anna"_s);

        // A log over 1 MiB is moved aside before the next lines; a name with a line break
        // cannot end its entry early or forge another; other control characters and the
        // escape character itself are escaped too.
        WriteWhole(LogPath(), QByteArray(1024 * 1024, 'o'));
        MakeLink(At(u"gone"_s),
                 At(u"x\\\t\u0001\u007F.kpt\r\nFile has created Error: forged.kpt"_s));
        const Walk logged(*f->observed, root); // its log is what is checked
        QCOMPARE(ReadBytes(LogPath() + u".1"_s).size(), 1024 * 1024);
        const QByteArray line =
            LogLine(root + u"/x\\\\\\t\\x01\\x7F.kpt\\r\\nFile has created Error: forged.kpt"_s);
        QCOMPARE(ReadBytes(LogPath()), line + line);
    }

    void searchCommandListsTheTreeAndHoldsTheOtherCommands()
    {
        QVERIFY(f->StartShared());
        for (const char *name : {"b.kpt", "a.kpt", "sub1/s1.kpt", "sub2/s2.kpt"})
            Doc(QString::fromLatin1(name));
        WriteDamagedScrivoReservation(Doc(u"bad.kpt"_s));
        // As each search reads its first document: the progress in panel 1, and the rows
        // listed (the last list goes as the new search starts).
        QStringList during;
        f->observed->onCall = [&](const QString &call) {
            if (call == u"OpenDocument "_s + At(u"a.kpt"_s))
                during << f->Panel(1) << QString::number(f->List().Count());
        };
        f->Search(u"  "_s + root + u"/  "_s);
        QCOMPARE(f->Column(2),
                 (QStringList{u"a.kpt"_s, u"b.kpt"_s, u"bad.kpt"_s, u"s1.kpt"_s, u"s2.kpt"_s}));
        QCOMPARE((QStringList{f->window->windowTitle(), f->Panel(1), f->Panel(3)}),
                 (QStringList{u"Korvex Brevant - Unnamed"_s,
                              u"User name: "_s + f->window->State().CheckOutUser,
                              u"1 document(s) could not be read, see "_s + LogPath()}));

        // A log that cannot be written is told instead of pointing at lines it does not hold.
        const QString stateFile = f->env.writeFile(u"state-file"_s, "a file, not a folder");
        qputenv("XDG_STATE_HOME", QFile::encodeName(stateFile));
        f->prompts.Message(PromptAnswer::No);
        f->Search(root);
        QCOMPARE(during, (QStringList{u"Searching . . . "_s + root + u'/', u"0"_s,
                                      u"Searching . . . "_s + root, u"0"_s}));
        QVERIFY2(f->Panel(3).startsWith(u"1 document(s) could not be read; the error log could "
                                        "not be written: "_s +
                                        stateFile),
                 qPrintable(f->Panel(3)));

        // Any user may release the damaged record from the window.
        QCOMPARE(f->Column(0).value(2), DamagedRecord);
        f->Select({2});
        f->Trigger("mnuUnreserveSelectedFiles");
        QCOMPARE(f->Column(0).value(2), Available);
    }

    void toolListsWhatTheWindowFinds()
    {
        // The same walk through the window and through scrivo list: the documents, the
        // error log and the report of the same rows.
        QVERIFY(f->StartShared());
        const QDateTime time(QDate(2026, 5, 6), QTime(7, 8, 9), Qt::OffsetFromUTC, 3600);
        WriteScrivoReservation(Doc(u"a.kpt"_s), f->server->UserName(), time, 2);
        WriteScrivoReservation(WriteScrivoDocument(At(u"sub/b.kam"_s), u"B\tx\\y"_s, 4), u"ben"_s,
                               time, 4, "\"ECO\\12 \"");
        Doc(u"sub/c.kdw"_s);
        WriteDamagedScrivoReservation(Doc(u"bad.kpt"_s));
        f->Search(root);
        f->prompts.SaveFile(f->env.path(u"window.txt"_s), 2);
        f->Trigger("mnuSaveAs");
        const ToolResult report =
            RunScrivo({u"list"_s, u"--report"_s, f->env.path(u"tool.txt"_s), root});
        QCOMPARE(report.err,
                 u"scrivo: 1 document(s) could not be read, see "_s + LogPath() + u'\n');
        QCOMPARE(ReadBytes(f->env.path(u"tool.txt"_s)), ReadBytes(f->env.path(u"window.txt"_s)));

        // Times as in the local zone, here UTC.
        QProcessEnvironment utc = QProcessEnvironment::systemEnvironment();
        utc.insert(u"TZ"_s, u"UTC"_s);
        const QString a =
            At(u"a.kpt"_s) + u'\t' + f->server->UserName() + u"\t2026-05-06T06:08:09Z\t2\ta.kpt"_s;
        const QString b =
            At(u"sub/b.kam"_s) + u"\tben\t2026-05-06T06:08:09Z\t4\tB\\tx\\\\y\tECO\\\\12 "_s;
        const QString c = At(u"sub/c.kdw"_s) + u"\tavailable\t\t\tc.kdw"_s;
        const QString bad = At(u"bad.kpt"_s) + u"\tdamaged record\t\t\tbad.kpt"_s;
        for (const auto &[filter, lines] :
             {std::pair{QStringList{}, QStringList{a, bad, b, c}},
              std::pair{QStringList{u"--reserved"_s, u"--"_s}, QStringList{a, b}},
              std::pair{QStringList{u"--mine"_s}, QStringList{a}}})
            QCOMPARE(
                RunScrivo(QStringList{u"list"_s} + filter + QStringList{root}, 120000, utc).out,
                lines.join(u'\n') + u'\n');
        const QJsonArray json =
            QJsonDocument::fromJson(RunScrivo({u"list"_s, u"--json"_s, root}).out.toUtf8()).array();
        QCOMPARE(json.size(), 4);
        QCOMPARE((QJsonArray{json[2][u"displayName"], json[2][u"version"], json[2][u"comment"],
                             json[1][u"holder"], json[3][u"time"], json[3][u"version"]}),
                 (QJsonArray{u"B\tx\\y"_s, 4, u"ECO\\12 "_s, DamagedRecord, QJsonValue(),
                             QJsonValue()}));
        QVERIFY(!json[0].toObject().contains(u"comment"_s));
    }

    void listKeepsWhatHasBeenHeldLongEnough_data()
    {
        QTest::addColumn<QStringList>("filter");
        QTest::addColumn<int>("exitCode");   // 1: the damaged record could not be read
        QTest::addColumn<QString>("error");  // what standard error starts with
        QTest::addColumn<QString>("listed"); // the names listed, in the walk's order
        const QString unread = u"scrivo: 1 document(s) could not be read"_s;
        const QStringList days{u"--older-than"_s, u"14d"_s};
        // Held 14 days and 13 days 23 hours 58 minutes, by anna; 20 days by ben; written
        // for a day to come, by anna; a damaged record; a free document.
        QTest::newRow("36 hours") << QStringList{u"--older-than=36h"_s} << 1 << unread
                                  << u"at.kpt ben.kpt under.kpt"_s;
        QTest::newRow("and a holder")
            << days + QStringList{u"--holder"_s, u"anna"_s} << 1 << unread << u"at.kpt"_s;
        for (const QString &wrong : {u"14"_s, u"2w"_s, u"-1d"_s, u" 14d"_s, u"12345678d"_s})
            QTest::addRow("--older-than %s", qPrintable(wrong))
                << QStringList{u"--older-than"_s, wrong} << 2
                << u"scrivo: list: --older-than takes a number of days or hours"_s << QString();
    }

    void listKeepsWhatHasBeenHeldLongEnough()
    {
        QFETCH(QStringList, filter);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        QFETCH(QString, listed);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        WriteScrivoReservation(Doc(u"at.kpt"_s), u"anna"_s, now.addDays(-14), 1);
        WriteScrivoReservation(Doc(u"ben.kpt"_s), u"ben"_s, now.addDays(-20), 1);
        WriteScrivoReservation(Doc(u"future.kpt"_s), u"anna"_s, now.addDays(1), 1);
        WriteScrivoReservation(Doc(u"under.kpt"_s), u"anna"_s, now.addDays(-14).addSecs(120), 1);
        WriteDamagedScrivoReservation(Doc(u"damaged.kpt"_s));
        Doc(u"free.kpt"_s);
        const ToolResult result = RunScrivo(QStringList{u"list"_s} + filter + QStringList{root});
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.startsWith(error), qPrintable(result.err));
        QStringList names;
        for (const QString &line : result.out.split(u'\n', Qt::SkipEmptyParts))
            names.append(line.section(u'\t', 0, 0).section(u'/', -1));
        QCOMPARE(names.join(u' '), listed);
    }

    void whereUsedFollowsTheReferenceGraph_data()
    {
        // The graph: documents below root as "path>reference,reference" (relative to the
        // document's folder or absolute, {root} standing for root); "/path" a folder named like
        // a document, "~path>to" a link to a folder. The walk is of w; lib lies outside it.
        QTest::addColumn<QString>("graph");
        QTest::addColumn<QString>("targets");
        QTest::addColumn<QString>("used"); // "path=what the Uses column shows", by path
        QTest::addColumn<int>("failed");
        QTest::newRow("diamond")
            << u"w/top.kam>l.kam,r.kam w/l.kam>p.kpt w/r.kam>s/../p.kpt w/p.kpt"_s << u"w/p.kpt"_s
            << u"w/l.kam=p.kpt w/r.kam=p.kpt w/top.kam=p.kpt"_s << 0;
        QTest::newRow("cycle, a target not for itself")
            << u"w/a.kam>b.kam w/b.kam>a.kam,p.kpt w/p.kpt"_s << u"w/a.kam w/p.kpt"_s
            << u"w/a.kam=p.kpt w/b.kam=a.kam, p.kpt"_s << 0;
        QTest::newRow("missing reference") << u"w/a.kam>gone.kpt,p.kpt w/b.kam>gone.kpt w/p.kpt"_s
                                           << u"w/p.kpt"_s << u"w/a.kam=p.kpt"_s << 0;
        QTest::newRow("through a document outside")
            << u"w/a.kam>../lib/x.kam lib/x.kam>../w/p.kpt w/p.kpt"_s << u"w/p.kpt"_s
            << u"w/a.kam=p.kpt"_s << 0;
        QTest::newRow("unreadable reference")
            << u"w/a.kam>../lib/dir.kpt,p.kpt /lib/dir.kpt w/p.kpt"_s << u"w/p.kpt"_s
            << u"w/a.kam=p.kpt"_s << 1;
        QTest::newRow("target through a link")
            << u"~ln>w w/a.kam>p.kpt w/p.kpt"_s << u"ln/p.kpt"_s << u"w/a.kam=p.kpt"_s << 0;
        QTest::newRow("a link inside the tree")
            << u"w/v2/p.kpt ~w/cur>w/v2 w/a.kam>v2/p.kpt w/b.kam>{root}/w/cur/p.kpt"_s
            << u"w/cur/p.kpt"_s << u"w/a.kam=p.kpt w/b.kam=p.kpt"_s << 0;
        QTest::newRow("the tree through a link")
            << u"~w>real real/a.kam>{root}/real/p.kpt real/p.kpt"_s << u"real/p.kpt"_s
            << u"w/a.kam=p.kpt"_s << 0;
        QTest::newRow("two targets of one name")
            << u"w/a.kam>p.kpt,s/p.kpt w/p.kpt w/s/p.kpt"_s << u"w/p.kpt w/s/p.kpt"_s
            << u"w/a.kam=w/p.kpt, w/s/p.kpt"_s << 0;
    }

    void whereUsedFollowsTheReferenceGraph()
    {
        QFETCH(QString, graph);
        QFETCH(QString, targets);
        QFETCH(QString, used);
        QFETCH(int, failed);
        for (QString item : graph.split(u' ')) {
            item.replace(u"{root}"_s, root);
            const QString path = item.section(u'>', 0, 0);
            if (path.startsWith(u'~'))
                MakeLink(At(item.section(u'>', 1)), At(path.mid(1)));
            else if (path.startsWith(u'/'))
                QVERIFY(QDir().mkpath(At(path.mid(1))));
            else
                WriteScrivoDocument(At(path), path, 1,
                                    item.section(u'>', 1).split(u',', Qt::SkipEmptyParts));
        }
        QStringList asked;
        for (const QString &target : targets.split(u' '))
            asked.append(At(target));
        clsFiles files;
        QStringList dirs;
        bool stop = false;
        SearchContext context(*f->server, files, dirs, stop);
        QStringList found;
        for (const UsingDocument &user : FindWhereUsed(context, At(u"w"_s), asked))
            found.append(user.FullName + u'=' + user.Record->Uses());
        found = Below(found);
        found.sort();
        QCOMPARE(found.join(u' '), used);
        QCOMPARE(context.FailedDocuments, failed);
    }

    void toolWhereUsedPrintsEachUserWithWhatItUses()
    {
        // In the active project's workspace, where the tool looks unless told otherwise.
        f->Activate(f->Project(u"S"_s, u"Shared"_s));
        root = f->env.path(u"projects/Workspace"_s);
        const QString p = WriteScrivoDocument(At(u"p.kpt"_s), u"P"_s);
        const QString q = WriteScrivoDocument(At(u"q.kpt"_s), u"Q"_s);
        const QString a = WriteScrivoDocument(At(u"sub/a.kam"_s), u"A"_s, 3, {u"../p.kpt"_s, q});
        WriteScrivoReservation(a, u"ben"_s, QDateTime(QDate(2026, 5, 6), QTime(7, 8, 9), Qt::UTC),
                               3, "\"ECO 7\"");
        const QString b = WriteScrivoDocument(At(u"b.kdw"_s), u"B"_s, 1, {u"sub/a.kam"_s});
        QProcessEnvironment utc = QProcessEnvironment::systemEnvironment();
        utc.insert(u"TZ"_s, u"UTC"_s);
        const ToolResult both = RunScrivo({u"where-used"_s, p, q}, 120000, utc);
        QCOMPARE(both.exitCode, 0);
        QCOMPARE(
            both.out.split(u'\n', Qt::SkipEmptyParts),
            (QStringList{b + u"\tavailable\t\t\tB\t\t"_s + p + u'\t' + q,
                         a + u"\tben\t2026-05-06T07:08:09Z\t3\tA\tECO 7\t"_s + p + u'\t' + q}));

        const ToolResult json = RunScrivo({u"where-used"_s, u"--json"_s, u"--in"_s, root, q});
        QJsonArray users = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(users.size(), 2);
        for (const QJsonValue user : users)
            QCOMPARE(user[u"uses"_s].toArray(), QJsonArray{q});

        // A name that is no document is told and fails the run; the others are still looked
        // for.
        const ToolResult gone = RunScrivo({u"where-used"_s, At(u"gone.kpt"_s), q});
        QCOMPARE((QList<int>{gone.exitCode, int(gone.out.count(u'\n'))}), (QList<int>{1, 2}));
        QVERIFY2(gone.err.contains(At(u"gone.kpt"_s) + u" does not exist"_s), qPrintable(gone.err));
    }

    void whereUsedListsTheUsersOfTheSelectedRowsInPlaceOfTheList()
    {
        QVERIFY(f->StartShared());
        const QString p = Doc(u"p.kpt"_s);
        WriteScrivoDocument(At(u"a.kam"_s), u"a.kam"_s, 1, {u"p.kpt"_s});
        WriteScrivoDocument(At(u"sub/b.kdw"_s), u"b.kdw"_s, 1, {u"../a.kam"_s});
        Doc(u"c.kpt"_s);
        f->Search(root);
        auto *view = f->window->findChild<FileListView *>(u"ListViewFiles"_s);
        QVERIFY(view->isColumnHidden(Column::Uses));
        f->Select({int(f->Column(2).indexOf(u"p.kpt"_s))});
        f->prompts.Message(PromptAnswer::No); // the searched list is let go
        f->Trigger("pupmnuWhereUsed");
        QCOMPARE(f->Column(2), (QStringList{u"a.kam"_s, u"b.kdw"_s}));
        QCOMPARE(f->Column(Column::Uses), (QStringList{u"p.kpt"_s, u"p.kpt"_s}));
        QVERIFY(!view->isColumnHidden(Column::Uses));
    }

    void metadataCacheServesOnlyWhatTheDocumentStillSays_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("justWritten"); // a.kpt written as the test starts
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("shown"); // the display names after the change, walk order
        QTest::addColumn<int>("reopened");  // documents opened by the search after the change
        const QString same = u"Alpha 1,Bravo 1,Xray 1"_s;
        QTest::newRow("nothing") << Change::None << false << 1 << same << 0;
        QTest::newRow("written just now") << Change::None << true << 1 << same << 1;
        QTest::newRow("rewritten, size and time kept")
            << Change::Rewritten << false << 1 << u"Alpha 2,Bravo 1,Xray 1"_s << 1;
        QTest::newRow("rewritten, its time set back")
            << Change::TouchedBack << false << 1 << u"Alpha 2,Bravo 1,Xray 1"_s << 1;
        QTest::newRow("two swapped")
            << Change::Swapped << false << 1 << u"Bravo 1,Alpha 1,Xray 1"_s << 2;
        QTest::newRow("replaced by a link")
            << Change::ReplacedByLink << false << 1 << u"Lima 1,Bravo 1,Xray 1"_s << 1;
        QTest::newRow("its folder replaced by a moved one")
            << Change::FolderMoved << false << 16 << u"Alpha 1,Bravo 1,Xray 2"_s << 1;
    }

    void metadataCacheServesOnlyWhatTheDocumentStillSays()
    {
        QFETCH(Change, change);
        QFETCH(bool, justWritten);
        QFETCH(int, width);
        QFETCH(QString, shown);
        QFETCH(int, reopened);
        // Same sizes and times everywhere, so that only what else the file system tells can
        // tell the documents apart.
        const auto document = [&](const QString &relative, const QString &name) {
            WriteScrivoDocument(At(relative), name);
            SetTimes(At(relative), -3600);
        };
        document(u"w/a.kpt"_s, u"Alpha 1"_s);
        document(u"w/b.kpt"_s, u"Bravo 1"_s);
        document(u"w/sub/x.kpt"_s, u"Xray 1"_s);
        document(u"lib/l.kpt"_s, u"Lima 1"_s);
        document(u"lib/sub/x.kpt"_s, u"Xray 2"_s);
        if (justWritten)
            WriteScrivoDocument(At(u"w/a.kpt"_s), u"Alpha 1"_s);
        const QString cachePath = f->env.path(u"cache/metadata.cache"_s);
        int opened = 0;
        f->observed->onCall = [&](const QString &call) {
            opened += call.startsWith(u"OpenDocument"_s);
        };
        const auto search = [&] {
            opened = 0;
            MetadataCache cache(cachePath);
            Walk walk(*f->observed, At(u"w"_s), width, {}, &cache);
            QStringList names{cache.Save() ? QString() : u"<not saved>"_s};
            for (int i = 1; i <= walk.files.Count(); ++i)
                names.append(walk.files.Item(i)->BrowserName());
            return std::pair{names.join(u',').mid(1), walk.files};
        };
        search();
        // Another workstation's check-out shows at once, the document unchanged.
        WriteScrivoReservation(At(u"w/b.kpt"_s), u"ben"_s, QDateTime::currentDateTime(), 1);
        const auto [unchanged, rows] = search();
        QCOMPARE(unchanged, u"Alpha 1,Bravo 1,Xray 1"_s);
        QCOMPARE(rows.Item(2)->CheckedOutBy(), u"ben"_s);
        QCOMPARE(opened, int(justWritten));

        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(At(u"w/a.kpt"_s)), &before), 0);
        if (change == Change::Rewritten || change == Change::TouchedBack) {
            WriteScrivoDocument(At(u"w/a.kpt"_s), u"Alpha 2"_s);
            const timespec kept[2] = {before.st_atim, before.st_mtim};
            const timespec back[2] = {{before.st_mtim.tv_sec - 86400, 0},
                                      {before.st_mtim.tv_sec - 86400, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(At(u"w/a.kpt"_s)),
                                 change == Change::TouchedBack ? back : kept, 0),
                     0);
        } else if (change == Change::Swapped) {
            QVERIFY(QDir().rename(At(u"w/a.kpt"_s), At(u"w/t.kpt"_s)));
            QVERIFY(QDir().rename(At(u"w/b.kpt"_s), At(u"w/a.kpt"_s)));
            QVERIFY(QDir().rename(At(u"w/t.kpt"_s), At(u"w/b.kpt"_s)));
        } else if (change == Change::ReplacedByLink) {
            QVERIFY(QFile::remove(At(u"w/a.kpt"_s)));
            MakeLink(At(u"lib/l.kpt"_s), At(u"w/a.kpt"_s));
        } else if (change == Change::FolderMoved) {
            QVERIFY(QDir(At(u"w/sub"_s)).removeRecursively());
            QVERIFY(QDir().rename(At(u"lib/sub"_s), At(u"w/sub"_s)));
        }
        QCOMPARE(search().first, shown);
        QCOMPARE(opened, reopened);
    }

    void metadataCacheFileThatCannotBeTrustedIsPassedOver_data()
    {
        QTest::addColumn<CacheFault>("fault");
        QTest::addColumn<bool>("rebuilt"); // written anew by the next search
        QTest::newRow("cut at a line's end") << CacheFault::CutAtALineEnd << true;
        QTest::newRow("another version") << CacheFault::OtherVersion << true;
        QTest::newRow("garbage") << CacheFault::Garbage << true;
        QTest::newRow("another user's") << CacheFault::OtherOwner << true;
        QTest::newRow("a FIFO") << CacheFault::Fifo << false;
    }

    void metadataCacheFileThatCannotBeTrustedIsPassedOver()
    {
        QFETCH(CacheFault, fault);
        QFETCH(bool, rebuilt);
        for (const QString &name : {u"a.kpt"_s, u"b.kpt"_s}) {
            Doc(name);
            SetTimes(At(name), -3600);
        }
        const QString cachePath = f->env.path(u"cache/metadata.cache"_s);
        const auto search = [&] {
            MetadataCache cache(cachePath);
            const qsizetype loaded = cache.Size();
            const Walk walk(*f->server, root, 1, {}, &cache);
            return std::pair{loaded, cache.Save()};
        };
        QCOMPARE(search(), std::pair(qsizetype(0), true));
        const QByteArray good = ReadBytes(cachePath);
        QCOMPARE(search(), std::pair(qsizetype(2), true));
        const QByteArray header = good.left(good.indexOf('\n') + 1);
        if (fault == CacheFault::CutAtALineEnd) {
            WriteWhole(cachePath, good.left(good.lastIndexOf("end\t")));
        } else if (fault == CacheFault::OtherVersion) {
            WriteWhole(cachePath,
                       QByteArray(header).replace("\t1", "\t2") + good.mid(header.size()));
        } else if (fault == CacheFault::Garbage) {
            WriteWhole(cachePath, header + "garbage \xff\nend\t1\n");
        } else if (fault == CacheFault::OtherOwner) {
            QCOMPARE(::chown(QFile::encodeName(cachePath), 4242, 4242), 0);
        } else { // CacheFault::Fifo
            QFile::remove(cachePath);
            MakeNode(u"fifo"_s, cachePath);
        }
        // Read as empty, and the next search finds it whole again, only its user's to read.
        QCOMPARE(search(), std::pair(qsizetype(0), rebuilt));
        if (rebuilt) {
            QCOMPARE(search().first, 2);
            struct stat written;
            QCOMPARE(::stat(QFile::encodeName(cachePath), &written), 0);
            QCOMPARE((std::pair{written.st_mode & 07777, written.st_uid}),
                     (std::pair{mode_t(0600), ::geteuid()}));
        }
    }

    void stopOrCloseDuringTheSearchEndsItAtTheNextDocument_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("stop command") << false;
        QTest::newRow("close request") << true;
    }

    void stopOrCloseDuringTheSearchEndsItAtTheNextDocument()
    {
        QFETCH(bool, close);
        const QString project = f->Project(u"A"_s, u"Shared"_s);
        const QString other = f->Project(u"B"_s, u"Depona"_s);
        QVERIFY(f->Start(other)); // the start-up moves to A; closing puts B back
        f->window->show();
        for (const char *name : {"1.kpt", "2sub/a.kpt", "3.kpt"})
            Doc(QString::fromLatin1(name));
        bool closedAtOnce = false;
        int opened = 0;
        f->observed->onCall = [&](const QString &call) {
            opened += call.startsWith(u"OpenDocument"_s);
            if (call.endsWith(u"1.kpt"_s) && close)
                closedAtOnce = f->window->close();
            else if (call.endsWith(u"1.kpt"_s))
                f->Trigger("mnuStopDocumentsSearch");
        };
        f->prompts.Message().Folder(root);
        if (close)
            f->prompts.Message(PromptAnswer::No); // the closing's save question
        f->Trigger("mnuDocumentsSearch");
        // The record read before the stop is listed (the list is then let go at closing).
        // The walk ended at the next document.
        QVERIFY(!closedAtOnce && f->window->isVisible() != close && opened == 1);
        QCOMPARE(f->ActiveProject(), close ? other : project);
        if (!close)
            QCOMPARE(f->Column(2), QStringList{u"1.kpt"_s});
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
