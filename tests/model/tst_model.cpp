#include "model/DateText.h"
#include "server/FileProcessing.h"
#include "server/scrivo/ScrivoServer.h"

#include "ScrivoDocuments.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QLocale>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

clsFilePtr record(const QString &fileName, const QString &filePath = u"/p"_s)
{
    auto file = std::make_shared<clsFile>();
    file->SetFileName(fileName);
    file->SetFilePath(filePath);
    return file;
}

QList<clsFile *> contents(const clsFiles &files)
{
    QList<clsFile *> list;
    for (int i = 1; i <= files.Count(); ++i)
        list.append(files.Item(i).get());
    return list;
}

QStringList fileNames(const clsFiles &files)
{
    QStringList names;
    for (int i = 1; i <= files.Count(); ++i)
        names.append(files.Item(i)->FilePath() + u'/' + files.Item(i)->FileName());
    return names;
}

QString shortDate(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

// Runs the call and returns the DocumentReadError it threw, or one naming no document.
template <typename Call> DocumentReadError ReadErrorOf(Call call)
{
    try {
        call();
    } catch (const DocumentReadError &error) {
        return error;
    }
    return DocumentReadError(ServerError(0, u"no error was thrown"_s), u"<none>"_s);
}

// Wraps a real document to record which members are read, in order, and optionally to fail
// one member or to report another full name.
class RecordingDocument : public ServerDocument
{
public:
    explicit RecordingDocument(ServerDocumentPtr document) : inner(std::move(document)) {}

    QStringList calls;
    QString failOn;
    QString reportedFullFileName;

    bool IsReserved() override { return pass(u"IsReserved"_s, &ServerDocument::IsReserved); }
    void Reserve() override { pass(u"Reserve"_s, &ServerDocument::Reserve); }
    void ReleaseReservation() override
    {
        pass(u"ReleaseReservation"_s, &ServerDocument::ReleaseReservation);
    }
    QString ReservedBy() override { return pass(u"ReservedBy"_s, &ServerDocument::ReservedBy); }
    QDateTime ReservedTime() override
    {
        return pass(u"ReservedTime"_s, &ServerDocument::ReservedTime);
    }
    int ReservedVersion() override
    {
        return pass(u"ReservedVersion"_s, &ServerDocument::ReservedVersion);
    }
    QString DisplayName() override { return pass(u"DisplayName"_s, &ServerDocument::DisplayName); }
    QString FullFileName() override
    {
        const QString name = pass(u"FullFileName"_s, &ServerDocument::FullFileName);
        return reportedFullFileName.isEmpty() ? name : reportedFullFileName;
    }
    QList<ServerDocumentPtr> ReferencedDocuments() override
    {
        return pass(u"ReferencedDocuments"_s, &ServerDocument::ReferencedDocuments);
    }

private:
    template <typename R> R pass(const QString &member, R (ServerDocument::*read)())
    {
        calls.append(member);
        if (member == failOn)
            throw ServerError(ServerErrors::InvalidArgument, u"failing on cue: "_s + member);
        return (inner.get()->*read)();
    }

    ServerDocumentPtr inner;
};

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScrivoServer> server;

    QString document(const QString &relative, const QString &displayName = u"Doc"_s,
                     int version = 1, const QStringList &references = {})
    {
        return WriteScrivoDocument(env->path(u"project/"_s + relative), displayName, version,
                                   references);
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

    void searchFindsFirstExactCaseSensitiveName()
    {
        clsFiles files;
        QCOMPARE(files.Search(QString()), -1);
        QCOMPARE(files.Search(u"a.kpt"_s), -1);
        for (const QString &name : {u"a.kpt"_s, u"same.kpt"_s, u"B.kpt"_s, u"same.kpt"_s})
            files.Add(record(name));
        for (const QString &other : {u"A.kpt"_s, u"b.kpt"_s, u" B.kpt"_s})
            QCOMPARE(files.Search(other), -1);
        QCOMPARE(files.Search(u"a.kpt"_s), 1);
        QCOMPARE(files.Search(u"B.kpt"_s), 3);
        QCOMPARE(files.Search(u"same.kpt"_s), 2);
        files.Remove(2);
        QCOMPARE(files.Search(u"same.kpt"_s), 3);
    }

    void removeMovesLaterRecordsUpAndBadPositionChangesNothing()
    {
        clsFiles empty;
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, empty.Item(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, empty.Remove(1));
        QCOMPARE(empty.Count(), 0);

        clsFiles files;
        for (int i = 1; i <= 5; ++i)
            files.Add(record(u"f%1.kpt"_s.arg(i)));
        const QList<clsFile *> before = contents(files);
        for (int bad : {0, -1, 6, 100}) {
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Item(bad));
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Remove(bad));
            QCOMPARE(contents(files), before);
        }
        files.Remove(1);
        QCOMPARE(files.Count(), 4);
        QCOMPARE(contents(files), before.mid(1));
        files.Remove(4);
        QCOMPARE(contents(files), before.mid(1, 3));
    }

    void recordsAreHeldByReference()
    {
        clsFiles files;
        const clsFilePtr kept = record(u"x.kpt"_s);
        files.Add(record(u"w.kpt"_s));
        files.Add(kept);
        files.Add(kept); // the same record twice counts twice
        QCOMPARE(files.Count(), 3);
        files.Item(2)->SetCheckedOutBy(u"bob"_s);
        QCOMPARE(kept->CheckedOutBy(), u"bob"_s);
        QCOMPARE(files.Item(3)->CheckedOutBy(), u"bob"_s);
        QCOMPARE(files.Item(1)->CheckedOutBy(), QString());
        files.Remove(2);
        QCOMPARE(files.Count(), 2);
        QCOMPARE(files.Item(2), kept);
        QCOMPARE(files.Search(u"x.kpt"_s), 2);
        // A removed record keeps what it holds.
        files.Remove(2);
        QCOMPARE(kept->CheckedOutBy(), u"bob"_s);
        QCOMPARE(kept->FileName(), u"x.kpt"_s);
    }

    void clearFilesEmptiesAndIgnoresReleasedCollection()
    {
        ClearFiles(nullptr);
        const clsFilesPtr files = std::make_shared<clsFiles>();
        for (int i = 1; i <= 4; ++i)
            files->Add(record(u"f%1.kpt"_s.arg(i)));
        ClearFiles(files);
        QCOMPARE(files->Count(), 0);

        files->Add(record(u"a.kpt"_s));
        files->Add(record(u"b.kpt"_s));
        files->Clear();
        QCOMPARE(files->Count(), 0);
        QCOMPARE(files->Search(u"a.kpt"_s), -1);
    }

    void removeRecordsRemovesExactlyThoseRecords()
    {
        clsFiles files;
        const clsFilePtr first = record(u"same.kpt"_s, u"/one"_s);
        const clsFilePtr second = record(u"same.kpt"_s, u"/two"_s);
        const clsFilePtr other = record(u"other.kpt"_s);
        const clsFilePtr twice = record(u"twice.kpt"_s);
        const clsFilePtr stranger = record(u"same.kpt"_s, u"/three"_s);
        for (const clsFilePtr &file : {first, twice, second, other, twice})
            files.Add(file);
        QCOMPARE(files.IndexOf(second.get()), 3);
        QCOMPARE(files.IndexOf(stranger.get()), -1);

        files.RemoveRecords({second.get(), twice.get(), stranger.get()});
        QCOMPARE(contents(files), (QList<clsFile *>{first.get(), other.get()}));
        QCOMPARE(files.IndexOf(second.get()), -1);
        QCOMPARE(files.IndexOf(other.get()), 2);
        files.RemoveRecords({});
        QCOMPARE(files.Count(), 2);
    }

    void generalDateTextIsLocalShortDateAnd24HourTime()
    {
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", "IST-5:30"); // five and a half hours ahead of UTC, no tz database needed
        ::tzset();
        const QDate day(2026, 3, 4);
        // 18:30 UTC is midnight of the next day here: the date alone.
        QCOMPARE(GeneralDateText(QDateTime(QDate(2026, 3, 3), QTime(18, 30), Qt::UTC)),
                 shortDate(day));
        QCOMPARE(GeneralDateText(QDateTime(QDate(2026, 3, 3), QTime(13, 2, 3), Qt::UTC)),
                 shortDate(QDate(2026, 3, 3)) + u" 18:32:03"_s);
        QCOMPARE(GeneralDateText(QDateTime(day, QTime(0, 0, 1))), shortDate(day) + u" 00:00:01"_s);
        QCOMPARE(GeneralDateText(QDateTime(day, QTime(23, 59, 59))),
                 shortDate(day) + u" 23:59:59"_s);
        QCOMPARE(GeneralDateText(QDateTime(day, QTime(0, 0))), shortDate(day));
        QCOMPARE(GeneralDateText(QDateTime()), QString());
        if (oldZone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", oldZone);
        ::tzset();
    }

    void freeDocumentReadsAvailableAndNeverTheReservation()
    {
        RecordingDocument doc(server->OpenDocument(document(u"parts/bracket.kpt"_s, u"Bracket"_s)));
        clsFiles files;
        ReadReservation(files, doc);
        QCOMPARE(doc.calls, (QStringList{u"IsReserved"_s, u"DisplayName"_s, u"FullFileName"_s,
                                         u"FullFileName"_s}));
        QCOMPARE(files.Count(), 1);
        const clsFilePtr record = files.Item(1);
        QCOMPARE(record->CheckedOutBy(), Available);
        QCOMPARE(record->CheckedOutTime(), Available);
        QCOMPARE(record->CheckedOutVersion(), Available);
        QCOMPARE(record->BrowserName(), u"Bracket"_s);
        QCOMPARE(record->FileName(), u"bracket.kpt"_s);
        QCOMPARE(record->FilePath(), env->path(u"project/parts"_s));

        // A document in the root folder keeps the separator as its folder.
        RecordingDocument root(server->OpenDocument(document(u"axle.kpt"_s)));
        root.reportedFullFileName = u"/axle.kpt"_s;
        ReadReservation(files, root);
        QCOMPARE(files.Item(2)->FilePath(), u"/"_s);
        QCOMPARE(files.Item(2)->FileName(), u"axle.kpt"_s);
    }

    void reservedDocumentReadsHolderTimeAndVersion()
    {
        const QString path = document(u"bracket.kpt"_s, u"Bracket"_s, 12);
        const QDateTime reserved(QDate(2026, 3, 4), QTime(13, 45, 7));
        WriteScrivoReservation(path, u"alice"_s, reserved, 12);
        RecordingDocument doc(server->OpenDocument(path));
        clsFiles files;
        ReadReservation(files, doc);
        QCOMPARE(doc.calls, (QStringList{u"IsReserved"_s, u"ReservedBy"_s, u"ReservedTime"_s,
                                         u"ReservedVersion"_s, u"DisplayName"_s, u"FullFileName"_s,
                                         u"FullFileName"_s}));
        QCOMPARE(files.Item(1)->CheckedOutBy(), u"alice"_s);
        QCOMPARE(files.Item(1)->CheckedOutTime(), shortDate(reserved.date()) + u" 13:45:07"_s);
        QCOMPARE(files.Item(1)->CheckedOutVersion(), u"12"_s);
        QCOMPARE(files.Item(1)->BrowserName(), u"Bracket"_s);

        // A reservation the server itself made reads the same way.
        server->ProjectHandler().SetActiveProject(
            env->writeFile(u"project/shared.kpj"_s, "[Project Defaults]\nMultiUser=Shared\n"));
        server->SetUserName(u"carol"_s);
        const ServerDocumentPtr gear = server->OpenDocument(document(u"gear.kam"_s, u"Gear"_s, 7));
        gear->Reserve();
        ReadReservation(files, *gear);
        QCOMPARE(files.Item(2)->CheckedOutBy(), u"carol"_s);
        QCOMPARE(files.Item(2)->CheckedOutVersion(), u"7"_s);
        QCOMPARE(files.Item(2)->CheckedOutTime(), GeneralDateText(gear->ReservedTime()));
        QVERIFY(!files.Item(2)->CheckedOutTime().isEmpty());
    }

    void failingReadLeavesFilesUnchanged_data()
    {
        QTest::addColumn<QString>("member");
        for (const char *member : {"IsReserved", "ReservedBy", "ReservedTime", "ReservedVersion",
                                   "DisplayName", "FullFileName"})
            QTest::newRow(member) << QString::fromLatin1(member);
    }

    void failingReadLeavesFilesUnchanged()
    {
        QFETCH(QString, member);
        const QString path = document(u"held.kpt"_s);
        WriteScrivoReservation(path, u"alice"_s, QDateTime(QDate(2026, 1, 2), QTime(9, 0)), 2);
        RecordingDocument doc(server->OpenDocument(path));
        doc.failOn = member;
        clsFiles files;
        const clsFilePtr earlier = std::make_shared<clsFile>();
        files.Add(earlier);
        QVERIFY_THROWS_EXCEPTION(ServerError, ReadReservation(files, doc));
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Item(1), earlier);
    }

    void assemblyIsFollowedByItsReferencesSkippingMissingOnes()
    {
        document(u"asm/p1.kpt"_s, u"P1"_s, 1, {u"../shared/s.kpt"_s});
        document(u"shared/s.kpt"_s, u"S"_s);
        document(u"asm/sub/p2.kdw"_s, u"P2"_s);
        const QString top = document(u"asm/top.kam"_s, u"Top"_s, 1,
                                     {u"p1.kpt"_s, u"missing.kpt"_s, u"sub/p2.kdw"_s});

        // What the server itself enumerates: the missing reference gives a null entry.
        QStringList expected{top};
        int nullEntries = 0;
        for (const ServerDocumentPtr &ref : server->OpenDocument(top)->ReferencedDocuments()) {
            if (ref)
                expected.append(ref->FullFileName());
            else
                ++nullEntries;
        }
        QCOMPARE(nullEntries, 1);
        QCOMPARE(expected.size(), 4);

        clsFiles files;
        ReadDocumentWithReferences(files, *server, top);
        QCOMPARE(fileNames(files), expected);
        QCOMPARE(files.Item(1)->BrowserName(), u"Top"_s);
        // Every document once: the server's list is read, not walked again.
        QStringList sorted = fileNames(files);
        sorted.sort();
        QCOMPARE(sorted, (QStringList{env->path(u"project/asm/p1.kpt"_s),
                                      env->path(u"project/asm/sub/p2.kdw"_s),
                                      env->path(u"project/asm/top.kam"_s),
                                      env->path(u"project/shared/s.kpt"_s)}));
        ReadDocumentWithReferences(files, *server, top);
        QCOMPARE(fileNames(files), expected + expected);
    }

    void failedReadKeepsRecordsBeforeItAndNamesTheDocument()
    {
        // A document that cannot be opened (missing, a folder) adds no record.
        QDir().mkpath(env->path(u"project/folder.kam"_s));
        clsFiles files;
        const clsFilePtr earlier = std::make_shared<clsFile>();
        files.Add(earlier);
        for (const QString &relative : {u"nothing-here.kam"_s, u"folder.kam"_s}) {
            const QString path = env->path(u"project/"_s + relative);
            const DocumentReadError error =
                ReadErrorOf([&] { ReadDocumentWithReferences(files, *server, path); });
            QCOMPARE(error.document, path);
            QCOMPARE(files.Count(), 1);
            QCOMPARE(files.Item(1), earlier);
        }

        // A reference that fails keeps the records read before it; the error names it.
        for (const char *name : {"r1.kpt", "r2.kpt", "r3.kpt", "r4.kpt"})
            document(QString::fromLatin1(name));
        WriteDamagedScrivoReservation(env->path(u"project/r3.kpt"_s));
        const QString top = document(u"top.kam"_s, u"Top"_s, 1,
                                     {u"r1.kpt"_s, u"r2.kpt"_s, u"r3.kpt"_s, u"r4.kpt"_s});
        files.Clear();
        const DocumentReadError error =
            ReadErrorOf([&] { ReadDocumentWithReferences(files, *server, top); });
        QCOMPARE(error.document, env->path(u"project/r3.kpt"_s));
        QCOMPARE(fileNames(files), (QStringList{top, env->path(u"project/r1.kpt"_s),
                                                env->path(u"project/r2.kpt"_s)}));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
