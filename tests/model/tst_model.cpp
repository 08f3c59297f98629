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

clsFilePtr Record(const QString &name, const QString &by = Available, const QString &version = {})
{
    auto record = std::make_shared<clsFile>();
    record->SetFileName(name);
    record->SetCheckedOutBy(by);
    record->SetCheckedOutVersion(version);
    return record;
}

// The file names the list shows, top to bottom.
QStringList Names(const FileListModel &list)
{
    QStringList names;
    for (int row = 0; row < list.Count(); ++row)
        names.append(list.index(row, Column::FileName).data().toString());
    return names;
}

} // namespace

class TestModel : public QObject
{
    Q_OBJECT

private slots:
    void listSortsByValueStablyAndKeepsRowsInPlaceWhenTheyChange()
    {
        // Keys, boxes and header clicks are the window tests' part; here the model's order.
        clsFiles files;
        for (const clsFilePtr &record :
             {Record(u"c.kpt"_s, u"ben"_s, u"9"_s), Record(u"a.kpt"_s, Available, Available),
              Record(u"b.kpt"_s, u"anna"_s, u"10"_s), Record(u"d.kpt"_s, u"ben"_s, u"9"_s)})
            files.Add(record);
        FileListModel list;
        // Every change is told to views as Qt's model rules say, also through the filter.
        ListFilter filter(list);
        constexpr auto failTest = QAbstractItemModelTester::FailureReportingMode::QtTest;
        const QAbstractItemModelTester rules(&list, failTest), filterRules(&filter, failTest);
        filter.SetText(u"kpt"_s);
        QItemSelectionModel selection(&list);
        list.ShowFiles(files);
        // Versions sort as numbers ("9" before "10", free last), equal values keep their order,
        // the selection follows its rows; a changed text stays in its row; removed rows'
        // records stay.
        selection.select(list.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list.sort(5, Qt::AscendingOrder);
        QCOMPARE(Names(list), (QStringList{u"c.kpt"_s, u"d.kpt"_s, u"b.kpt"_s, u"a.kpt"_s}));
        QCOMPARE(selection.selectedRows().value(0).row(), 3); // a.kpt
        list.Record(3)->SetCheckedOutBy(u"zora"_s);
        list.RecordChanged(3);
        list.sort(0, Qt::DescendingOrder);
        QCOMPARE(Names(list), (QStringList{u"a.kpt"_s, u"c.kpt"_s, u"d.kpt"_s, u"b.kpt"_s}));
        list.RemoveRows({3, 0});
        QCOMPARE(Names(list), (QStringList{u"c.kpt"_s, u"d.kpt"_s}));
        QCOMPARE(files.Count(), 4);
        QVERIFY(list.SetRefreshMarks(1, u"gone"_s, true));
        list.ShowFiles(files); // a refill is in record order, its marks gone
        QVERIFY(Names(list).first() == u"c.kpt"_s && !list.Sorted());
        QVERIFY(list.index(1, 0).data(FileListModel::OutOfDateRole).toString().isEmpty());
        list.Clear();
        QCOMPARE(filter.rowCount(), 0);
    }

    void generalDateTextIsLocalShortDateAndTime()
    {
        const QByteArray oldZone = qgetenv("TZ");
        qputenv("TZ", "IST-5:30"); // five and a half hours ahead of UTC, no tz database needed
        ::tzset();
        const QString day = QLocale::system().toString(QDate(2026, 3, 4), QLocale::ShortFormat);
        // 18:30 UTC is midnight here: the date alone.
        QCOMPARE(GeneralDateText(QDateTime(QDate(2026, 3, 3), QTime(18, 30), Qt::UTC)), day);
        QCOMPARE(GeneralDateText(QDateTime({2026, 3, 4}, {0, 0, 1})), day + u" 00:00:01"_s);
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
        for (const auto &[name, problem, shown] :
             {std::tuple{u"Jörg 🙂"_s, QString(), u"Jörg 🙂"_s},
              std::tuple{QString(256, u'a'), QString(), longShown},
              std::tuple{QString(), u"it is empty"_s, QString()},
              std::tuple{QString(257, u'a'), u"it is longer than 256 characters"_s, longShown},
              std::tuple{QString(20, u'\t'), control, QString(u"<U+0009>"_s.repeated(10) + u"...")},
              std::tuple{u"\u202Eecila"_s, control, u"<U+202E>ecila"_s},
              std::tuple{u"al\xDCE9ice"_s, u"it is not valid UTF-8 text"_s, u"al<U+DCE9>ice"_s}})
            QCOMPARE((QStringList{UserNameProblem(name), ShownUserName(name)}),
                     (QStringList{problem, shown}));
        QVERIFY(IsAvailableMarker(u"AvailablE"_s) && !IsAvailableMarker(u" available"_s));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
