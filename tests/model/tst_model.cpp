// Records, the list model over them, and the texts of dates and user names.

#include "model/DateText.h"
#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "model/UserNames.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QLocale>
#include <QTest>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

clsFilePtr Record(const QString &by, const QString &fileName, const QString &version = u"1"_s)
{
    auto record = std::make_shared<clsFile>();
    record->SetCheckedOutBy(by);
    record->SetCheckedOutTime(by);
    record->SetFileName(fileName);
    record->SetFilePath(u"/p"_s);
    record->SetBrowserName(fileName.section(u'.', 0, 0));
    record->SetCheckedOutVersion(version);
    return record;
}

QStringList Names(const clsFiles &files)
{
    QStringList names;
    for (int i = 1; i <= files.Count(); ++i)
        names.append(files.Item(i)->FileName());
    return names;
}

QStringList ColumnTexts(const FileListModel &list, int column, int role = Qt::DisplayRole)
{
    QStringList texts;
    for (int row = 0; row < list.Count(); ++row)
        texts.append(list.data(list.index(row, column), role).toString());
    return texts;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void recordsAreFoundByExactNameAndRemovedByPosition()
    {
        clsFiles files;
        QCOMPARE(files.Search(u"a.kpt"_s), -1);
        const clsFilePtr first = Record(Available, u"a.kpt"_s);
        for (const clsFilePtr &record : {first, Record(u"x"_s, u"b.kam"_s),
                                         Record(u"y"_s, u"a.kpt"_s), Record(u"z"_s, u"A.kpt"_s)})
            files.Add(record);
        files.Add(first); // the same record twice counts twice
        QCOMPARE(files.Search(u"a.kpt"_s), 1);
        QCOMPARE(files.Search(u"A.kpt"_s), 4);
        QCOMPARE(files.Search(u"a.kpt "_s), -1);
        files.Remove(1);
        QCOMPARE(Names(files), (QStringList{u"b.kam"_s, u"a.kpt"_s, u"A.kpt"_s, u"a.kpt"_s}));
        for (const int bad : {0, 5, -1})
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, files.Remove(bad));
        // Exactly these records go, whatever their names.
        files.RemoveRecords({first.get(), files.Item(2).get()});
        QCOMPARE(Names(files), (QStringList{u"b.kam"_s, u"A.kpt"_s}));
    }

    void listSortsByValueStablyAndKeepsRowsInPlaceWhenTheyChange()
    {
        // Keys, boxes and header clicks are the window tests' part; here the model's order.
        clsFiles files;
        for (const clsFilePtr &record :
             {Record(u"ben"_s, u"c.kpt"_s, u"9"_s), Record(Available, u"a.kpt"_s, Available),
              Record(u"anna"_s, u"b.kpt"_s, u"10"_s), Record(u"ben"_s, u"d.kpt"_s, u"9"_s)})
            files.Add(record);
        FileListModel list;
        // Every change is told to views as Qt's model rules say, also through the filter.
        const QAbstractItemModelTester rules(
            &list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ListFilter filter(list);
        const QAbstractItemModelTester filterRules(
            &filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
        filter.SetText(u"kpt"_s);
        QItemSelectionModel selection(&list);
        list.ShowFiles(files);
        // Versions sort as numbers ("9" before "10", free last), equal values keep their order,
        // the selection follows its rows; a changed text stays in its row; removed rows'
        // records stay.
        selection.select(list.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list.sort(5, Qt::AscendingOrder);
        QCOMPARE(ColumnTexts(list, Column::FileName),
                 (QStringList{u"c.kpt"_s, u"d.kpt"_s, u"b.kpt"_s, u"a.kpt"_s}));
        QCOMPARE(selection.selectedRows().value(0).row(), 2);
        list.Record(3)->SetCheckedOutBy(u"zora"_s);
        list.RecordChanged(3);
        list.sort(0, Qt::DescendingOrder);
        QCOMPARE(ColumnTexts(list, Column::FileName),
                 (QStringList{u"a.kpt"_s, u"c.kpt"_s, u"d.kpt"_s, u"b.kpt"_s}));
        list.RemoveRows({3, 0});
        QCOMPARE(ColumnTexts(list, Column::FileName), (QStringList{u"c.kpt"_s, u"d.kpt"_s}));
        QCOMPARE(files.Count(), 4);
        QVERIFY(list.SetRefreshMarks(1, u"gone"_s, true));
        list.ShowFiles(files); // a refill is in record order, its marks gone
        QVERIFY(ColumnTexts(list, Column::FileName).first() == u"c.kpt"_s && !list.Sorted());
        QVERIFY(list.index(1, 0).data(FileListModel::OutOfDateRole).toString().isEmpty());
        list.Clear();
        QCOMPARE(filter.rowCount(), 0);
    }

    void generalDateTextIsLocalShortDateAndTime()
    {
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", "IST-5:30"); // five and a half hours ahead of UTC, no tz database needed
        ::tzset();
        const auto date = [](const QDate &day) {
            return QLocale::system().toString(day, QLocale::ShortFormat);
        };
        const QDate day(2026, 3, 4);
        // 18:30 UTC is midnight here: the date alone.
        QCOMPARE(GeneralDateText(QDateTime(QDate(2026, 3, 3), QTime(18, 30), Qt::UTC)), date(day));
        QCOMPARE(GeneralDateText(QDateTime(QDate(2026, 3, 3), QTime(13, 2, 3), Qt::UTC)),
                 date(QDate(2026, 3, 3)) + u" 18:32:03"_s);
        QCOMPARE(GeneralDateText(QDateTime(day, QTime(0, 0, 1))), date(day) + u" 00:00:01"_s);
        QCOMPARE(GeneralDateText(QDateTime()), QString());
        // A year a short date would show by its last two digits is shown whole.
        QCOMPARE(GeneralDateText(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC)),
                 u"10000-01-01T05:29:59+05:30"_s);
        oldZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", oldZone);
        ::tzset();
    }

    void userNamesShowAsWhatTheyAre()
    {
        // Rows of name, problem and the name as shown: escapes for what cannot be seen, at
        // most about 80 characters and a mark where the rest is left out.
        const QString control = u"it holds a control or format character"_s;
        const QString longShown = QString(80, u'a') + u"..."_s;
        const QString tabsShown = u"<U+0009>"_s.repeated(10) + u"..."_s;
        for (const auto &[name, problem, shown] :
             {std::tuple{u"Jörg 🙂"_s, QString(), u"Jörg 🙂"_s},
              std::tuple{QString(256, u'a'), QString(), longShown},
              std::tuple{QString(), u"it is empty"_s, QString()},
              std::tuple{QString(257, u'a'), u"it is longer than 256 characters"_s, longShown},
              std::tuple{u"a\tb"_s, control, u"a<U+0009>b"_s},
              std::tuple{QString(20, u'\t'), control, tabsShown},
              std::tuple{u"\u202Eecila"_s, control, u"<U+202E>ecila"_s},
              std::tuple{u"al\u200Dice"_s, control, u"al<U+200D>ice"_s},
              std::tuple{u"al\xDCE9ice"_s, u"it is not valid UTF-8 text"_s, u"al<U+DCE9>ice"_s}}) {
            QCOMPARE(UserNameProblem(name), problem);
            QCOMPARE(ShownUserName(name), shown);
        }
        QVERIFY(IsAvailableMarker(u"AvailablE"_s) && !IsAvailableMarker(u" available"_s));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
