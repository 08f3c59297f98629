#include "PromptChecks.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include "reports/ReportSaver.h"
#include "reports/SpreadsheetReport.h"
#include "system/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

using namespace Qt::StringLiterals;
using Row = QStringList;

namespace {

const QString ReportName = u"Brevant Report"_s;
const Row RowA = {u"A"_s, u"05.12.2026 10:00"_s, u"p1.kpt"_s, u"/P"_s, u"Part1"_s, u"3"_s};
const Row RowAvailable = {u"available"_s, u"available"_s, u"a.kam"_s,
                          u"/P"_s,        u"Asm"_s,       u"available"_s};
const QByteArray RowAText = "A|05.12.2026 10:00|p1.kpt|/P|Part1|3\r\n";
const QByteArray TwoRowText = RowAText + "available|available|a.kam|/P|Asm|available\r\n";

// Reads a workbook back with openpyxl, independent of the library that wrote it. Cell texts
// are decoded from the "_xHHHH_" form, which openpyxl leaves as it is.
const char *const ReaderScript = R"PY(
import json, re, sys, zipfile
import openpyxl
path = sys.argv[1]
wb = openpyxl.load_workbook(open(path, 'rb'))
ws = wb.worksheets[0]
def decode(v):
    if v is None:
        return ""
    return re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), str(v))
xml = zipfile.ZipFile(path).read('xl/worksheets/sheet1.xml').decode('utf-8')
active = re.search(r'activeCell="([A-Z]+[0-9]+)"', xml)
print(json.dumps({
    "sheets": wb.sheetnames,
    "rows": [[decode(c.value) for c in row] for row in ws.iter_rows()],
    "types": sorted({c.data_type for row in ws.iter_rows() for c in row if c.value is not None}),
    "filter": ws.auto_filter.ref,
    "widths": [ws.column_dimensions[l].width for l in "ABCDEF"],
    "active": active.group(1) if active else "A1",
}))
)PY";

QJsonObject ReadWorkbook(const QString &path)
{
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(ReaderScript), path});
    // Bounded in time; a reader that hangs is killed when the process object goes.
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        qWarning("workbook reader failed: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QList<Row> RowsOf(const QJsonObject &book)
{
    QList<Row> rows;
    for (const QJsonValue &row : book[u"rows"].toArray()) {
        rows.append(Row());
        for (const QJsonValue &cell : row.toArray())
            rows.last().append(cell.toString());
    }
    return rows;
}

Row HeaderRow()
{
    const ReportRow &headers = SpreadsheetHeaders();
    return Row(headers.begin(), headers.end());
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString CaptionFor(const QString &path)
{
    return u"Korvex Brevant - "_s + path;
}

// The list, the window and the prompts a report is saved from.
struct Session
{
    explicit Session(const QList<Row> &rows = {})
    {
        list.setColumnCount(ReportColumnCount);
        window.setWindowTitle(ReportSaver::UnnamedCaption());
        for (const Row &row : rows)
            AddRow(row);
    }
    void AddRow(const Row &texts)
    {
        auto *item = new QTreeWidgetItem(&list);
        for (int column = 0; column < texts.size(); ++column)
            item->setText(column, texts.at(column));
    }
    // As if the list had been saved to path before, with this filter selected.
    void SavedBefore(const QString &path, int filter)
    {
        window.setWindowTitle(CaptionFor(path));
        saver.SetSelectedFilter(filter);
    }
    QString Caption() const { return window.windowTitle(); }

    ScriptedPrompts prompts;
    QTreeWidget list;
    QWidget window;
    ReportSaver saver{prompts, list, window};
};

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void saveAsWritesTextAndPlainSaveRewritesWithoutQuestion()
    {
        TestEnvironment env;
        Session session({RowA});
        const QString path = env.path(u"list.txt"_s);
        session.prompts.answerSaveFile(path, ReportSaver::TextFormat);

        QVERIFY(session.saver.SaveReport(ReportName, true));
        QCOMPARE(ReadBytes(path), RowAText);
        QCOMPARE(session.Caption(), CaptionFor(path));
        QCOMPARE(session.prompts.records.size(), 1);
        const FileDialogRequest &request = session.prompts.records.first().request;
        QCOMPARE(request.initialFolder, QDir::homePath());
        QCOMPARE(request.fileName, ReportName);
        QCOMPARE(request.filter, u"Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"_s);
        QCOMPARE(request.selectedFilter, 1); // as the dialog arrived: 1 at start-up
        QCOMPARE(session.saver.SelectedFilter(), 2);
        QCOMPARE(session.prompts.pointers,
                 QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
        QCOMPARE(FolderEntries(env.root()).filter(u"list"_s), QStringList{u"list.txt"_s});

        // The file now exists; a plain Save neither shows the dialog nor asks before replacing
        // it, and writes in the format the dialog last had selected.
        session.AddRow(RowAvailable);
        QVERIFY(session.saver.SaveReport(ReportName, false));
        QCOMPARE(session.prompts.records.size(), 1);
        QVERIFY(session.prompts.unexpected.isEmpty());
        QCOMPARE(ReadBytes(path), TwoRowText);
        QCOMPARE(session.Caption(), CaptionFor(path));
    }

    void textReportFollowsDisplayOrderAndKeepsTexts()
    {
        TestEnvironment env;
        // A name that is not UTF-8 comes from the listing coded; the report has its bytes.
        const QString raw = DecodeFileName("\xff\xfet\xfe.kdw");
        Session session({{u"Jörg"_s, u"a|b"_s, u"日本.kpt"_s, QString(), u" x "_s, u"1"_s},
                         RowAvailable,
                         {u"available"_s, u"available"_s, raw, u"/P"_s, u"Raw"_s, u"available"_s}});
        // Sorting by file name puts "a.kam" first: the report follows the display order.
        session.list.sortItems(2, Qt::AscendingOrder);
        const QString path = env.path(u"r.txt"_s);
        QVERIFY(session.saver.WriteTextReport(path));
        QCOMPARE(ReadBytes(path), QByteArray("available|available|a.kam|/P|Asm|available\r\n") +
                                      u"Jörg|a|b|日本.kpt|| x |1\r\n"_s.toUtf8() +
                                      "available|available|\xff\xfet\xfe.kdw|/P|Raw|available\r\n");
        QCOMPARE(session.Caption(), CaptionFor(path));
    }

    void emptyListGivesEmptyTextAndHeaderOnlySheet()
    {
        TestEnvironment env;
        Session session;
        const QString path = env.path(u"empty.txt"_s);
        session.prompts.answerSaveFile(path, ReportSaver::TextFormat);
        QVERIFY(session.saver.SaveReport(ReportName, false));
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);

        const QString sheet = env.path(u"empty.xls"_s);
        QVERIFY(session.saver.WriteSpreadsheetReport(sheet));
        const QJsonObject book = ReadWorkbook(sheet);
        QCOMPARE(RowsOf(book), QList<Row>({HeaderRow()}));
        QCOMPARE(book[u"filter"].toString(), u"A1:F1"_s);
        QCOMPARE(FolderEntries(env.root()).filter(u"empty"_s),
                 (QStringList{u"empty.txt"_s, u"empty.xls"_s}));
    }

    void saveAsWritesFilterFormatAndAsksBeforeReplacing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<PromptAnswer>("answer");
        QTest::newRow("dialog cancelled") << QString() << 2 << false << PromptAnswer::OK;
        QTest::newRow("new, text filter, .xls") << u"R.xls"_s << 2 << false << PromptAnswer::OK;
        QTest::newRow("new, sheet filter, .txt") << u"R.txt"_s << 1 << false << PromptAnswer::OK;
        QTest::newRow("existing, No") << u"R.xls"_s << 2 << true << PromptAnswer::No;
        QTest::newRow("existing, Cancel") << u"R.xls"_s << 2 << true << PromptAnswer::Cancel;
        QTest::newRow("existing, Yes, text") << u"R.xls"_s << 2 << true << PromptAnswer::Yes;
        QTest::newRow("existing, Yes, sheet") << u"R.txt"_s << 1 << true << PromptAnswer::Yes;
    }

    void saveAsWritesFilterFormatAndAsksBeforeReplacing()
    {
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(bool, existing);
        QFETCH(PromptAnswer, answer);
        TestEnvironment env;
        Session session({RowA, RowAvailable});
        const QString folder = env.path(u"out"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString path = name.isEmpty() ? QString() : folder + u'/' + name;
        const QByteArray old = "old report\r\n";
        const QString caption = CaptionFor(u"/elsewhere/earlier.txt"_s);
        session.window.setWindowTitle(caption);
        session.prompts.answerSaveFile(path, filter);
        if (existing) {
            WriteBytes(path, old);
            session.prompts.answerMessage(answer);
        }

        const bool saved = session.saver.SaveReport(ReportName, true);
        QVERIFY(session.prompts.scriptDone());
        QCOMPARE(session.prompts.records.size(), existing ? 2 : 1);
        if (existing)
            QCOMPARE(ShownPrompt(session.prompts.records.at(1)),
                     MessagePrompt(u"Do you want to override excisting file ?"_s, PromptIcon::None,
                                   PromptButtons::YesNoCancel));
        QCOMPARE(FolderEntries(folder), name.isEmpty() ? QStringList() : QStringList{name});
        QCOMPARE(saved, !name.isEmpty() && (!existing || answer == PromptAnswer::Yes));
        QCOMPARE(session.Caption(), saved ? CaptionFor(path) : caption);
        if (!saved) {
            QVERIFY(session.prompts.pointers.isEmpty());
            if (existing)
                QCOMPARE(ReadBytes(path), old);
        } else if (filter == ReportSaver::TextFormat) {
            QCOMPARE(ReadBytes(path), TwoRowText);
        } else {
            QVERIFY(ReadBytes(path).startsWith("PK\x03\x04")); // a workbook is a zip archive
            QCOMPARE(RowsOf(ReadWorkbook(path)), QList<Row>({HeaderRow(), RowA, RowAvailable}));
        }
    }

    void unwritableTargetKeepsOldReport_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("filter");
        for (const int filter : {1, 2}) {
            const char *format = filter == 1 ? "spreadsheet" : "text";
            for (const char *setup : {"parent is a file", "target is a folder", "name too long"})
                QTest::addRow("%s, %s", setup, format) << QString::fromUtf8(setup) << filter;
        }
    }

    void unwritableTargetKeepsOldReport()
    {
        QFETCH(QString, setup);
        QFETCH(int, filter);
        TestEnvironment env;
        Session session({RowA});
        const QString folder = env.path(u"reports"_s);
        QVERIFY(QDir().mkpath(folder));
        const QByteArray old = "previous report\r\n";
        const QString plain = folder + u"/plain"_s;
        QString path = folder + u"/report.txt"_s;
        const bool saveAs = !setup.startsWith(u"name");
        if (setup.startsWith(u"parent")) {
            WriteBytes(plain, old);
            path = plain + u"/report.txt"_s;
        } else if (setup.startsWith(u"target")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            // An existing report whose name leaves no room for a temporary name beside it;
            // it was saved before, so a plain Save replaces it without a question.
            path = folder + u'/' + QString(246, u'r') + u".txt"_s;
            WriteBytes(path, old);
            session.SavedBefore(path, filter);
        }
        const QString caption = session.Caption();
        const QStringList entries = FolderEntries(folder);
        if (saveAs)
            session.prompts.answerSaveFile(path, filter);
        session.prompts.answerMessage(PromptAnswer::OK);

        QVERIFY(!session.saver.SaveReport(ReportName, saveAs));
        QVERIFY(session.prompts.scriptDone());
        const QString shown = ShownPrompt(session.prompts.records.last());
        const QString expectedStart =
            MessagePrompt(u"The report could not be saved:\r"_s + path + u'\r');
        QVERIFY2(shown.startsWith(expectedStart), qPrintable(shown));
        QVERIFY2(shown.size() > expectedStart.size(), "the reason is missing");
        QCOMPARE(session.Caption(), caption);
        QCOMPARE(session.prompts.pointers,
                 QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
        // Nothing was replaced and no temporary file was left behind.
        QCOMPARE(FolderEntries(folder), entries);
        if (setup.startsWith(u"parent"))
            QCOMPARE(ReadBytes(plain), old);
        else if (setup.startsWith(u"target"))
            QVERIFY(QFileInfo(path).isDir());
        else
            QCOMPARE(ReadBytes(path), old);
    }

    void replacedReportKeepsPermissionsAndLinks_data()
    {
        QTest::addColumn<int>("filter");
        QTest::newRow("spreadsheet") << 1;
        QTest::newRow("text") << 2;
    }

    void replacedReportKeepsPermissionsAndLinks()
    {
        QFETCH(int, filter);
        TestEnvironment env;
        Session session({RowA, RowAvailable});
        const QString folder = env.path(u"out"_s);
        const QString path = folder + u"/report"_s;
        QVERIFY(QDir().mkpath(folder));
        WriteBytes(path, "old");
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions permissions = QFile::permissions(path);
        session.SavedBefore(path, filter);
        QVERIFY(session.saver.SaveReport(ReportName, false));
        QVERIFY(ReadBytes(path) != "old");
        QCOMPARE(QFile::permissions(path), permissions);
        QCOMPARE(FolderEntries(folder), QStringList{u"report"_s});

        // Saved through a link, the linked file is replaced and the link stays.
        WriteBytes(path, "old");
        const QString link = env.path(u"link.txt"_s);
        QVERIFY(QFile::link(path, link));
        session.SavedBefore(link, filter);
        QVERIFY(session.saver.SaveReport(ReportName, false));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(session.Caption(), CaptionFor(link));
        if (filter == ReportSaver::TextFormat)
            QCOMPARE(ReadBytes(path), TwoRowText);
        else
            QCOMPARE(RowsOf(ReadWorkbook(path)), QList<Row>({HeaderRow(), RowA, RowAvailable}));
        QCOMPARE(FolderEntries(folder), QStringList{u"report"_s});
    }

    void overlongCellsAreCutAndTheSaveSaysHowMany()
    {
        TestEnvironment env;
        const QString tooLong = QString(40000, u'x');
        const QString atLimit = QString(32767, u'y');
        // The escape of a control character counts as the seven characters it is stored as,
        // and is never split.
        const QString escaped = QString(32764, u'z') + u"\x01"_s;
        Session session({{tooLong, u"t"_s, u"a.kpt"_s, u"/P"_s, atLimit, u"1"_s},
                         {u"b"_s, u"t"_s, u"b.kpt"_s, u"/P"_s, escaped, u"1"_s}});
        const QString path = env.path(u"long.xls"_s);
        session.prompts.answerSaveFile(path, ReportSaver::SpreadsheetFormat);
        session.prompts.answerMessage(PromptAnswer::OK);

        QVERIFY(session.saver.SaveReport(ReportName, true));
        QCOMPARE(ShownPrompts(session.prompts.records).last(),
                 MessagePrompt(u"The report was saved, but 2 cell(s) held more than 32767 "
                               "characters, the most a spreadsheet cell can hold, and were cut to "
                               "that length."_s));
        QCOMPARE(session.Caption(), CaptionFor(path));
        const QList<Row> rows = RowsOf(ReadWorkbook(path));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1][0], QString(32767, u'x'));
        QCOMPARE(rows[1][4], atLimit);
        QCOMPARE(rows[2][4], QString(32764, u'z'));
    }

    void spreadsheetReadsBackAsListed()
    {
        TestEnvironment env;
        const QString longPath = u"/projects/"_s + QString(70, u'p');
        const QList<Row> rows = {
            {u"ctl\x01char"_s + QChar(u'\0') + u"nul"_s, u"cr\rlf\n"_s, u"b.kpt"_s, longPath,
             u"_x0041_"_s, u"3"_s},
            {u"available"_s, u"available"_s, u"d.kam"_s, u"/P"_s, u"_x005F_ and _xZZZZ_"_s,
             u"available"_s},
            {u" lead"_s, u"tab\there"_s, u"c.kdw"_s, QString(), u"Bauteil ä 日本"_s, u"10"_s},
            {u"A"_s, u"05.12.2026 10:00"_s, u"a.kpt"_s, u"/P"_s, u"Part1"_s, u"9"_s},
        };
        Session session(rows);
        session.list.sortItems(2, Qt::DescendingOrder);
        const QString path = env.path(u"summary.xls"_s);
        session.prompts.answerSaveFile(path, ReportSaver::SpreadsheetFormat);

        QVERIFY(session.saver.SaveReport(ReportName, true));
        QCOMPARE(session.Caption(), CaptionFor(path));
        const QJsonObject book = ReadWorkbook(path);
        QCOMPARE(book[u"sheets"].toArray(), QJsonArray({u"Brevant Summary"_s}));
        QCOMPARE(RowsOf(book), QList<Row>({HeaderRow(), rows[1], rows[2], rows[0], rows[3]}));
        QCOMPARE(book[u"types"].toArray(), QJsonArray({u"s"_s}));
        QCOMPARE(book[u"filter"].toString(), u"A1:F5"_s);
        QCOMPARE(book[u"active"].toString(), u"A1"_s);
        const QJsonArray widths = book[u"widths"].toArray();
        QCOMPARE(widths.size(), 6);
        for (int column = 0; column < 6; ++column) {
            const double width = widths.at(column).toDouble();
            // The header, with the filter's button, fits in every column.
            QVERIFY2(width >= HeaderRow().at(column).size() + 1,
                     qPrintable(QString::number(width)));
        }
        const double pathWidth = widths.at(3).toDouble();
        QVERIFY2(pathWidth >= longPath.size() && pathWidth <= longPath.size() + 8,
                 qPrintable(QString::number(pathWidth)));
    }
};

QTEST_MAIN(TestReports)
#include "test_reports.moc"
