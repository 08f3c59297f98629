#include "model/clsFiles.h"

#include <QTest>

namespace {

clsFilePtr record(const QString &fileName, const QString &filePath = QStringLiteral("/p"))
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

} // namespace

class TestClsFiles : public QObject
{
    Q_OBJECT

private slots:
    void searchOnEmptyCollectionFindsNothing()
    {
        clsFiles files;
        QCOMPARE(files.Search(QString()), -1);
        QCOMPARE(files.Search(QStringLiteral("a.kpt")), -1);
    }

    void searchComparesExactlyAndCaseSensitively()
    {
        clsFiles files;
        files.Add(record(QStringLiteral("a.kpt")));
        files.Add(record(QStringLiteral("B.kpt")));
        QCOMPARE(files.Search(QStringLiteral("A.kpt")), -1);
        QCOMPARE(files.Search(QStringLiteral("b.kpt")), -1);
        QCOMPARE(files.Search(QStringLiteral(" B.kpt")), -1);
        QCOMPARE(files.Search(QStringLiteral("B.kpt")), 2);
        QCOMPARE(files.Search(QStringLiteral("a.kpt")), 1);
    }

    void searchForDuplicateNameGivesLowerPosition()
    {
        clsFiles files;
        const QStringList names = {QStringLiteral("a.kpt"), QStringLiteral("same.kpt"),
                                   QStringLiteral("c.kpt"), QStringLiteral("d.kpt"),
                                   QStringLiteral("same.kpt")};
        for (int i = 0; i < names.size(); ++i)
            files.Add(record(names.at(i), QStringLiteral("/folder%1").arg(i)));
        QCOMPARE(files.Search(QStringLiteral("same.kpt")), 2);
        files.Remove(2);
        QCOMPARE(files.Search(QStringLiteral("same.kpt")), 4);
    }

    void removeMovesLaterRecordsUp()
    {
        clsFiles files;
        for (int i = 1; i <= 5; ++i)
            files.Add(record(QStringLiteral("f%1.kpt").arg(i)));
        const QList<clsFile *> before = contents(files);
        files.Remove(1);
        QCOMPARE(files.Count(), 4);
        QCOMPARE(contents(files), before.mid(1));
        files.Remove(4);
        QCOMPARE(contents(files), before.mid(1, 3));
    }

    void badPositionThrowsAndLeavesListAsItWas()
    {
        clsFiles empty;
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, empty.Item(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, empty.Remove(1));
        QCOMPARE(empty.Count(), 0);

        clsFiles files;
        for (int i = 1; i <= 3; ++i)
            files.Add(record(QStringLiteral("f%1.kpt").arg(i)));
        const QList<clsFile *> before = contents(files);
        for (int bad : {0, -1, 4, 100}) {
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Item(bad));
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Remove(bad));
            QCOMPARE(contents(files), before);
        }
    }

    void sameRecordAddedTwiceCountsTwice()
    {
        clsFiles files;
        const clsFilePtr shared = record(QStringLiteral("twice.kpt"));
        files.Add(shared);
        files.Add(shared);
        QCOMPARE(files.Count(), 2);
        files.Remove(1);
        QCOMPARE(files.Count(), 1);
        QCOMPARE(files.Item(1), shared);
        QCOMPARE(files.Search(QStringLiteral("twice.kpt")), 1);
    }

    void changeThroughItemIsSeenEverywhere()
    {
        clsFiles files;
        const clsFilePtr kept = record(QStringLiteral("x.kpt"));
        files.Add(record(QStringLiteral("w.kpt")));
        files.Add(kept);
        files.Item(2)->SetCheckedOutBy(QStringLiteral("bob"));
        QCOMPARE(files.Item(2)->CheckedOutBy(), QStringLiteral("bob"));
        QCOMPARE(kept->CheckedOutBy(), QStringLiteral("bob"));
        QCOMPARE(files.Item(1)->CheckedOutBy(), QString());
        // A removed record keeps what it holds.
        files.Remove(2);
        QCOMPARE(kept->CheckedOutBy(), QStringLiteral("bob"));
        QCOMPARE(kept->FileName(), QStringLiteral("x.kpt"));
    }

    void clearFilesEmptiesAndIgnoresReleasedCollection()
    {
        ClearFiles(nullptr);

        const clsFilesPtr files = std::make_shared<clsFiles>();
        for (int i = 1; i <= 4; ++i)
            files->Add(record(QStringLiteral("f%1.kpt").arg(i)));
        ClearFiles(files);
        QCOMPARE(files->Count(), 0);

        files->Add(record(QStringLiteral("a.kpt")));
        files->Add(record(QStringLiteral("b.kpt")));
        files->Clear();
        QCOMPARE(files->Count(), 0);
        QCOMPARE(files->Search(QStringLiteral("a.kpt")), -1);
    }

    void removeRecordsRemovesExactlyThoseRecords()
    {
        clsFiles files;
        const clsFilePtr first = record(QStringLiteral("same.kpt"), QStringLiteral("/one"));
        const clsFilePtr second = record(QStringLiteral("same.kpt"), QStringLiteral("/two"));
        const clsFilePtr other = record(QStringLiteral("other.kpt"));
        const clsFilePtr twice = record(QStringLiteral("twice.kpt"));
        const clsFilePtr stranger = record(QStringLiteral("same.kpt"), QStringLiteral("/three"));
        files.Add(first);
        files.Add(twice);
        files.Add(second);
        files.Add(other);
        files.Add(twice);

        QCOMPARE(files.IndexOf(second.get()), 3);
        QCOMPARE(files.IndexOf(stranger.get()), -1);

        files.RemoveRecords({second.get(), twice.get(), stranger.get()});
        QCOMPARE(contents(files), (QList<clsFile *>{first.get(), other.get()}));
        QCOMPARE(files.IndexOf(second.get()), -1);
        QCOMPARE(files.IndexOf(other.get()), 2);

        files.RemoveRecords({});
        QCOMPARE(files.Count(), 2);
    }
};

int runClsFilesTests(int argc, char **argv)
{
    TestClsFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clsFiles.moc"
