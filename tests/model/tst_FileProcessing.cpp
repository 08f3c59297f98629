#include "model/DateText.h"
#include "model/FileProcessing.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoServer.h"

#include "ScrivoDocuments.h"
#include "TestEnvironment.h"

#include <QLocale>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// Wraps a real document to record which members are read, in order, and optionally to fail
// one member or to report another full name.
class RecordingDocument : public ServerDocument
{
public:
    RecordingDocument(ServerDocumentPtr document, QStringList &callLog)
        : inner(std::move(document)), calls(callLog)
    {
    }

    QString failOn;
    QString reportedFullFileName;

    bool IsReserved() override
    {
        note(u"IsReserved");
        return inner->IsReserved();
    }
    void Reserve() override
    {
        note(u"Reserve");
        inner->Reserve();
    }
    void ReleaseReservation() override
    {
        note(u"ReleaseReservation");
        inner->ReleaseReservation();
    }
    QString ReservedBy() override
    {
        note(u"ReservedBy");
        return inner->ReservedBy();
    }
    QDateTime ReservedTime() override
    {
        note(u"ReservedTime");
        return inner->ReservedTime();
    }
    int ReservedVersion() override
    {
        note(u"ReservedVersion");
        return inner->ReservedVersion();
    }
    QString DisplayName() override
    {
        note(u"DisplayName");
        return inner->DisplayName();
    }
    QString FullFileName() override
    {
        note(u"FullFileName");
        return reportedFullFileName.isEmpty() ? inner->FullFileName() : reportedFullFileName;
    }
    QList<ServerDocumentPtr> ReferencedDocuments() override
    {
        note(u"ReferencedDocuments");
        return inner->ReferencedDocuments();
    }

private:
    void note(QStringView member)
    {
        calls.append(member.toString());
        if (member == failOn)
            throw ServerError(ServerErrors::InvalidArgument, u"failing on cue: "_s + member);
    }

    ServerDocumentPtr inner;
    QStringList &calls;
};

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

} // namespace

class TestFileProcessing : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<ScrivoServer> server;

    QString document(const QString &relative, const QString &displayName = QStringLiteral("Doc"),
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
        const QString path = document(u"parts/bracket.kpt"_s, u"Bracket"_s);
        QStringList calls;
        RecordingDocument doc(server->OpenDocument(path), calls);
        clsFiles files;
        ReadReservation(files, doc);

        QCOMPARE(calls, (QStringList{u"IsReserved"_s, u"DisplayName"_s, u"FullFileName"_s,
                                     u"FullFileName"_s}));
        QCOMPARE(files.Count(), 1);
        const clsFilePtr record = files.Item(1);
        QCOMPARE(record->CheckedOutBy(), Available);
        QCOMPARE(record->CheckedOutTime(), Available);
        QCOMPARE(record->CheckedOutVersion(), Available);
        QCOMPARE(record->BrowserName(), u"Bracket"_s);
        QCOMPARE(record->FileName(), u"bracket.kpt"_s);
        QCOMPARE(record->FilePath(), env->path(u"project/parts"_s));
    }

    void reservedDocumentReadsHolderTimeAndVersion()
    {
        const QString path = document(u"bracket.kpt"_s, u"Bracket"_s, 12);
        const QDateTime reserved(QDate(2026, 3, 4), QTime(13, 45, 7));
        WriteScrivoReservation(path, u"alice"_s, reserved, 12);
        QStringList calls;
        RecordingDocument doc(server->OpenDocument(path), calls);
        clsFiles files;
        ReadReservation(files, doc);

        QCOMPARE(calls, (QStringList{u"IsReserved"_s, u"ReservedBy"_s, u"ReservedTime"_s,
                                     u"ReservedVersion"_s, u"DisplayName"_s, u"FullFileName"_s,
                                     u"FullFileName"_s}));
        const clsFilePtr record = files.Item(1);
        QCOMPARE(record->CheckedOutBy(), u"alice"_s);
        QCOMPARE(record->CheckedOutTime(), shortDate(reserved.date()) + u" 13:45:07"_s);
        QCOMPARE(record->CheckedOutVersion(), u"12"_s);
        QCOMPARE(record->BrowserName(), u"Bracket"_s);
    }

    void reservationAtMidnightShowsDateAlone()
    {
        const QString path = document(u"plate.kpt"_s);
        const QDateTime midnight(QDate(2026, 11, 30), QTime(0, 0));
        WriteScrivoReservation(path, u"bob"_s, midnight, 3);
        clsFiles files;
        ReadReservation(files, *server->OpenDocument(path));
        QCOMPARE(files.Item(1)->CheckedOutTime(), GeneralDateText(midnight));
        QCOMPARE(files.Item(1)->CheckedOutTime(), shortDate(midnight.date()));
    }

    void reservationMadeThroughServerIsRead()
    {
        const QString project =
            env->writeFile(u"project/shared.kpj"_s, "[Project Defaults]\nMultiUser=Shared\n");
        server->ProjectHandler().SetActiveProject(project);
        server->SetUserName(u"carol"_s);
        const QString path = document(u"gear.kam"_s, u"Gear"_s, 7);
        const ServerDocumentPtr doc = server->OpenDocument(path);
        doc->Reserve();

        clsFiles files;
        ReadReservation(files, *doc);
        const clsFilePtr record = files.Item(1);
        QCOMPARE(record->CheckedOutBy(), u"carol"_s);
        QCOMPARE(record->CheckedOutVersion(), u"7"_s);
        QCOMPARE(record->CheckedOutTime(), GeneralDateText(doc->ReservedTime()));
        QVERIFY(!record->CheckedOutTime().isEmpty());
    }

    void documentInRootFolderKeepsTheSeparator()
    {
        const QString path = document(u"axle.kpt"_s);
        QStringList calls;
        RecordingDocument doc(server->OpenDocument(path), calls);
        doc.reportedFullFileName = u"/axle.kpt"_s;
        clsFiles files;
        ReadReservation(files, doc);
        QCOMPARE(files.Item(1)->FilePath(), u"/"_s);
        QCOMPARE(files.Item(1)->FileName(), u"axle.kpt"_s);
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
        QStringList calls;
        RecordingDocument doc(server->OpenDocument(path), calls);
        doc.failOn = member;
        clsFiles files;
        const clsFilePtr earlier = std::make_shared<clsFile>();
        files.Add(earlier);
        QVERIFY_THROWS_EXCEPTION(ServerError, ReadReservation(files, doc));
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Item(1), earlier);
    }

    void damagedReservationRecordAddsNoRecord()
    {
        const QString path = document(u"damaged.kpt"_s);
        WriteDamagedScrivoReservation(path);
        clsFiles files;
        QVERIFY_THROWS_EXCEPTION(ServerError, ReadReservation(files, *server->OpenDocument(path)));
        QCOMPARE(files.Count(), 0);
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

    void documentThatCannotBeOpenedAddsNoRecord_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing file") << u"nothing-here.kam"_s;
        QTest::newRow("folder") << u"folder.kam"_s;
    }

    void documentThatCannotBeOpenedAddsNoRecord()
    {
        QFETCH(QString, relative);
        QDir().mkpath(env->path(u"project/folder.kam"_s));
        clsFiles files;
        const clsFilePtr earlier = std::make_shared<clsFile>();
        files.Add(earlier);
        const QString path = env->path(u"project/"_s + relative);
        try {
            ReadDocumentWithReferences(files, *server, path);
            QFAIL("the document was read");
        } catch (const DocumentReadError &error) {
            QCOMPARE(error.document, path);
        }
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Item(1), earlier);
    }

    void failingReferenceKeepsTheRecordsBeforeIt()
    {
        for (const char *name : {"r1.kpt", "r2.kpt", "r3.kpt", "r4.kpt"})
            document(QString::fromLatin1(name));
        WriteDamagedScrivoReservation(env->path(u"project/r3.kpt"_s));
        const QString top = document(u"top.kam"_s, u"Top"_s, 1,
                                     {u"r1.kpt"_s, u"r2.kpt"_s, u"r3.kpt"_s, u"r4.kpt"_s});
        clsFiles files;
        try {
            ReadDocumentWithReferences(files, *server, top);
            QFAIL("the damaged reference was read");
        } catch (const DocumentReadError &error) {
            // The error names the reference that failed, not the document that was opened.
            QCOMPARE(error.document, env->path(u"project/r3.kpt"_s));
        }
        QCOMPARE(fileNames(files), (QStringList{top, env->path(u"project/r1.kpt"_s),
                                                env->path(u"project/r2.kpt"_s)}));
    }
};

int runFileProcessingTests(int argc, char **argv)
{
    TestFileProcessing test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FileProcessing.moc"
