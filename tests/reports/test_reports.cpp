#include "ScriptedPrompts.h"
#include "TestEnvironment.h"

#include "reports/ReportSaver.h"
#include "reports/SpreadsheetReport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

using Row = QStringList;

namespace {

const QString ReportName = QStringLiteral("Brevant Report");

const Row RowA = {QStringLiteral("A"),      QStringLiteral("05.12.2026 10:00"),
                  QStringLiteral("p1.kpt"), QStringLiteral("/P"),
                  QStringLiteral("Part1"),  QStringLiteral("3")};
const Row RowAvailable = {QStringLiteral("available"), QStringLiteral("available"),
                          QStringLiteral("a.kam"),     QStringLiteral("/P"),
                          QStringLiteral("Asm"),       QStringLiteral("available")};
const QByteArray TwoRowText = "A|05.12.2026 10:00|p1.kpt|/P|Part1|3\r\n"
                              "available|available|a.kam|/P|Asm|available\r\n";

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
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(ReaderScript), path});
    if (!python.waitForFinished(60000)) {
        python.kill();
        python.waitForFinished(5000);
        qWarning("workbook reader did not finish");
        return {};
    }
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        qWarning("workbook reader failed: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

QList<Row> JsonRows(const QJsonValue &value)
{
    QList<Row> rows;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &row : array) {
        Row texts;
        const QJsonArray cells = row.toArray();
        for (const QJsonValue &cell : cells)
            texts.append(cell.toString());
        rows.append(texts);
    }
    return rows;
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList FolderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

Row HeaderRow()
{
    const ReportRow &headers = SpreadsheetHeaders();
    return Row(headers.begin(), headers.end());
}

// The list, the window and the prompts a report is saved from.
struct Session
{
    Session()
    {
        list.setColumnCount(ReportColumnCount);
        window.setWindowTitle(ReportSaver::UnnamedCaption());
    }
    void AddRow(const Row &texts)
    {
        auto *item = new QTreeWidgetItem(&list);
        for (int column = 0; column < texts.size(); ++column)
            item->setText(column, texts.at(column));
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
    void saveAsWritesTextReportAndNamesItInCaption();
    void textReportKeepsTextsAsListed();
    void emptyListGivesEmptyTextFile();
    void filterDecidesFormatNotExtension_data();
    void filterDecidesFormatNotExtension();
    void plainSaveRewritesCaptionFileWithoutQuestion();
    void cancelledDialogWritesNothing();
    void overwriteQuestionGuardsExistingFile_data();
    void overwriteQuestionGuardsExistingFile();
    void unwritableTargetKeepsOldReport_data();
    void unwritableTargetKeepsOldReport();
    void replacedReportKeepsPermissions_data();
    void replacedReportKeepsPermissions();
    void reportThroughLinkReplacesLinkedFile_data();
    void reportThroughLinkReplacesLinkedFile();
    void spreadsheetReadsBackAsListed();
    void emptyListSpreadsheetHasHeaderOnly();
};

void TestReports::saveAsWritesTextReportAndNamesItInCaption()
{
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    session.AddRow(RowAvailable);
    const QString path = environment.path(QStringLiteral("list.txt"));
    session.prompts.answerSaveFile(path, ReportSaver::TextFormat);

    QVERIFY(session.saver.SaveReport(ReportName, true));

    QCOMPARE(ReadBytes(path), TwoRowText);
    QCOMPARE(session.Caption(), QStringLiteral("Korvex Brevant - ") + path);
    QCOMPARE(session.prompts.records.size(), 1);
    const FileDialogRequest &request = session.prompts.records.first().request;
    QCOMPARE(request.initialFolder, QDir::homePath());
    QCOMPARE(request.fileName, ReportName);
    QCOMPARE(request.filter, QStringLiteral("Excel 2002 Format (*.xls)|*.xls|"
                                            "Brevant Report (*.txt)|*.txt"));
    QCOMPARE(request.selectedFilter, 1); // as the dialog arrived: 1 at start-up
    QCOMPARE(session.saver.SelectedFilter(), 2);
    QCOMPARE(session.prompts.pointers,
             QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
    QCOMPARE(FolderEntries(environment.root()).filter(QStringLiteral("list")),
             QStringList{QStringLiteral("list.txt")});
}

void TestReports::textReportKeepsTextsAsListed()
{
    TestEnvironment environment;
    Session session;
    session.AddRow({QStringLiteral("Jörg"), QStringLiteral("a|b"), QStringLiteral("日本.kpt"),
                    QString(), QStringLiteral(" x "), QStringLiteral("1")});
    session.AddRow(RowAvailable);
    // Sorting by file name puts "a.kam" first: the report follows the display order.
    session.list.sortItems(2, Qt::AscendingOrder);
    const QString path = environment.path(QStringLiteral("r.txt"));

    QVERIFY(session.saver.WriteTextReport(path));

    QCOMPARE(ReadBytes(path), QByteArray("available|available|a.kam|/P|Asm|available\r\n") +
                                  QStringLiteral("Jörg|a|b|日本.kpt|| x |1\r\n").toUtf8());
    QCOMPARE(session.Caption(), QStringLiteral("Korvex Brevant - ") + path);
}

void TestReports::emptyListGivesEmptyTextFile()
{
    TestEnvironment environment;
    Session session;
    const QString path = environment.path(QStringLiteral("empty.txt"));
    session.prompts.answerSaveFile(path, ReportSaver::TextFormat);

    QVERIFY(session.saver.SaveReport(ReportName, false));

    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestReports::filterDecidesFormatNotExtension_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("name");
    QTest::newRow("text filter, .xls name") << 2 << QStringLiteral("R.xls");
    QTest::newRow("spreadsheet filter, .txt name") << 1 << QStringLiteral("R.txt");
}

void TestReports::filterDecidesFormatNotExtension()
{
    QFETCH(int, filter);
    QFETCH(QString, name);
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    session.AddRow(RowAvailable);
    const QString path = environment.path(name);
    session.prompts.answerSaveFile(path, filter);

    QVERIFY(session.saver.SaveReport(ReportName, true));

    const QByteArray content = ReadBytes(path);
    if (filter == ReportSaver::TextFormat) {
        QCOMPARE(content, TwoRowText);
    } else {
        QVERIFY(content.startsWith("PK\x03\x04")); // a workbook is a zip archive
        const QJsonObject book = ReadWorkbook(path);
        QCOMPARE(JsonRows(book[u"rows"]), QList<Row>({HeaderRow(), RowA, RowAvailable}));
    }
}

void TestReports::plainSaveRewritesCaptionFileWithoutQuestion()
{
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    const QString path = environment.path(QStringLiteral("list.txt"));
    session.prompts.answerSaveFile(path, ReportSaver::TextFormat);
    QVERIFY(session.saver.SaveReport(ReportName, true));
    const QString caption = session.Caption();

    // The file now exists; a plain Save neither shows the dialog nor asks before replacing
    // it, and writes in the format the dialog last had selected.
    session.AddRow(RowAvailable);
    QVERIFY(session.saver.SaveReport(ReportName, false));

    QCOMPARE(session.prompts.records.size(), 1);
    QVERIFY(session.prompts.unexpected.isEmpty());
    QCOMPARE(ReadBytes(path), TwoRowText);
    QCOMPARE(session.Caption(), caption);
}

void TestReports::cancelledDialogWritesNothing()
{
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    const QString before = FolderEntries(environment.root()).join(u'/');
    session.prompts.answerSaveFile(QString(), ReportSaver::TextFormat);

    QVERIFY(!session.saver.SaveReport(ReportName, false));

    QCOMPARE(session.Caption(), ReportSaver::UnnamedCaption());
    QCOMPARE(FolderEntries(environment.root()).join(u'/'), before);
    QVERIFY(session.prompts.pointers.isEmpty());
    QCOMPARE(session.prompts.records.size(), 1);
}

void TestReports::overwriteQuestionGuardsExistingFile_data()
{
    QTest::addColumn<int>("answerNumber");
    QTest::addColumn<int>("filter");
    QTest::newRow("No") << static_cast<int>(PromptAnswer::No) << 2;
    QTest::newRow("Cancel") << static_cast<int>(PromptAnswer::Cancel) << 2;
    QTest::newRow("Yes, text") << static_cast<int>(PromptAnswer::Yes) << 2;
    QTest::newRow("Yes, spreadsheet") << static_cast<int>(PromptAnswer::Yes) << 1;
}

void TestReports::overwriteQuestionGuardsExistingFile()
{
    QFETCH(int, answerNumber);
    const auto answer = static_cast<PromptAnswer>(answerNumber);
    QFETCH(int, filter);
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    session.AddRow(RowAvailable);
    const QString path = environment.path(QStringLiteral("old.txt"));
    const QByteArray old = "old report\r\n";
    WriteBytes(path, old);
    const QString caption = QStringLiteral("Korvex Brevant - /elsewhere/earlier.txt");
    session.window.setWindowTitle(caption);
    session.prompts.answerSaveFile(path, filter);
    session.prompts.answerMessage(answer);

    const bool saved = session.saver.SaveReport(ReportName, true);

    QCOMPARE(session.prompts.records.size(), 2);
    const ScriptedPrompts::Record &question = session.prompts.records.at(1);
    QCOMPARE(question.text, QStringLiteral("Do you want to override excisting file ?"));
    QCOMPARE(question.title, QStringLiteral("Korvex Brevant"));
    QCOMPARE(question.icon, PromptIcon::None);
    QCOMPARE(question.buttons, PromptButtons::YesNoCancel);
    QCOMPARE(FolderEntries(environment.root()).filter(QStringLiteral("old")),
             QStringList{QStringLiteral("old.txt")});
    if (answer != PromptAnswer::Yes) {
        QVERIFY(!saved);
        QCOMPARE(ReadBytes(path), old);
        QCOMPARE(session.Caption(), caption);
        QVERIFY(session.prompts.pointers.isEmpty());
        return;
    }
    QVERIFY(saved);
    QCOMPARE(session.Caption(), QStringLiteral("Korvex Brevant - ") + path);
    if (filter == ReportSaver::TextFormat)
        QCOMPARE(ReadBytes(path), TwoRowText);
    else
        QCOMPARE(JsonRows(ReadWorkbook(path)[u"rows"]),
                 QList<Row>({HeaderRow(), RowA, RowAvailable}));
}

void TestReports::unwritableTargetKeepsOldReport_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("filter");
    for (const int filter : {1, 2}) {
        const char *format = filter == 1 ? "spreadsheet" : "text";
        QTest::addRow("parent is a file, %s", format) << QStringLiteral("parent") << filter;
        QTest::addRow("target is a folder, %s", format) << QStringLiteral("folder") << filter;
        QTest::addRow("name too long for a temporary, %s", format)
            << QStringLiteral("long") << filter;
    }
}

void TestReports::unwritableTargetKeepsOldReport()
{
    QFETCH(QString, setup);
    QFETCH(int, filter);
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    const QString folder = environment.path(QStringLiteral("reports"));
    QVERIFY(QDir().mkpath(folder));
    const QByteArray old = "previous report\r\n";
    QString path;
    bool saveAs = true;
    if (setup == u"parent") {
        WriteBytes(folder + QStringLiteral("/plain"), old);
        path = folder + QStringLiteral("/plain/report.txt");
    } else if (setup == u"folder") {
        path = folder + QStringLiteral("/report.txt");
        QVERIFY(QDir().mkpath(path));
    } else {
        // An existing report whose name leaves no room for a temporary name beside it;
        // it was saved before, so a plain Save replaces it without a question.
        path = folder + u'/' + QString(246, u'r') + QStringLiteral(".txt");
        WriteBytes(path, old);
        saveAs = false;
        session.window.setWindowTitle(QStringLiteral("Korvex Brevant - ") + path);
        session.saver.SetSelectedFilter(filter);
    }
    const QString caption = session.Caption();
    const QStringList entries = FolderEntries(folder);
    if (saveAs)
        session.prompts.answerSaveFile(path, filter);
    session.prompts.answerMessage(PromptAnswer::OK);

    QVERIFY(!session.saver.SaveReport(ReportName, saveAs));

    QVERIFY(session.prompts.scriptDone());
    const ScriptedPrompts::Record &message = session.prompts.records.last();
    QCOMPARE(message.kind, ScriptedPrompts::Kind::Message);
    const QString expectedStart = QStringLiteral("The report could not be saved:\r") + path + u'\r';
    QVERIFY2(message.text.startsWith(expectedStart), qPrintable(message.text));
    QVERIFY2(message.text.size() > expectedStart.size(), "the reason is missing");
    QCOMPARE(message.title, QStringLiteral("Korvex Brevant"));
    QCOMPARE(message.icon, PromptIcon::Information);
    QCOMPARE(message.buttons, PromptButtons::OK);
    QCOMPARE(session.Caption(), caption);
    QCOMPARE(session.prompts.pointers,
             QList<MousePointer>({MousePointer::Hourglass, MousePointer::Default}));
    // Nothing was replaced and no temporary file was left behind.
    QCOMPARE(FolderEntries(folder), entries);
    if (setup == u"parent")
        QCOMPARE(ReadBytes(folder + QStringLiteral("/plain")), old);
    else if (setup == u"folder")
        QVERIFY(QFileInfo(path).isDir());
    else
        QCOMPARE(ReadBytes(path), old);
}

void TestReports::replacedReportKeepsPermissions_data()
{
    QTest::addColumn<int>("filter");
    QTest::newRow("spreadsheet") << 1;
    QTest::newRow("text") << 2;
}

void TestReports::replacedReportKeepsPermissions()
{
    QFETCH(int, filter);
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    const QString folder = environment.path(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/report");
    WriteBytes(path, "old");
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions permissions = QFile::permissions(path);
    session.window.setWindowTitle(QStringLiteral("Korvex Brevant - ") + path);
    session.saver.SetSelectedFilter(filter);

    QVERIFY(session.saver.SaveReport(ReportName, false));

    QVERIFY(ReadBytes(path) != "old");
    QCOMPARE(QFile::permissions(path), permissions);
    QCOMPARE(FolderEntries(folder), QStringList{QStringLiteral("report")});
}

void TestReports::reportThroughLinkReplacesLinkedFile_data()
{
    replacedReportKeepsPermissions_data();
}

void TestReports::reportThroughLinkReplacesLinkedFile()
{
    QFETCH(int, filter);
    TestEnvironment environment;
    Session session;
    session.AddRow(RowA);
    session.AddRow(RowAvailable);
    const QString real = environment.path(QStringLiteral("real.txt"));
    const QString link = environment.path(QStringLiteral("link.txt"));
    WriteBytes(real, "old");
    QVERIFY(QFile::link(real, link));
    session.window.setWindowTitle(QStringLiteral("Korvex Brevant - ") + link);
    session.saver.SetSelectedFilter(filter);

    QVERIFY(session.saver.SaveReport(ReportName, false));

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(session.Caption(), QStringLiteral("Korvex Brevant - ") + link);
    if (filter == ReportSaver::TextFormat)
        QCOMPARE(ReadBytes(real), TwoRowText);
    else
        QCOMPARE(JsonRows(ReadWorkbook(real)[u"rows"]),
                 QList<Row>({HeaderRow(), RowA, RowAvailable}));
}

void TestReports::spreadsheetReadsBackAsListed()
{
    TestEnvironment environment;
    Session session;
    const QString longPath = QStringLiteral("/projects/") + QString(70, u'p');
    const QList<Row> rows = {
        {QStringLiteral("ctl\x01char") + QChar(u'\0') + QStringLiteral("nul"),
         QStringLiteral("cr\rlf\n"), QStringLiteral("b.kpt"), longPath, QStringLiteral("_x0041_"),
         QStringLiteral("3")},
        {QStringLiteral("available"), QStringLiteral("available"), QStringLiteral("d.kam"),
         QStringLiteral("/P"), QStringLiteral("_x005F_ and _xZZZZ_"), QStringLiteral("available")},
        {QStringLiteral(" lead"), QStringLiteral("tab\there"), QStringLiteral("c.kdw"), QString(),
         QStringLiteral("Bauteil ä 日本"), QStringLiteral("10")},
        {QStringLiteral("A"), QStringLiteral("05.12.2026 10:00"), QStringLiteral("a.kpt"),
         QStringLiteral("/P"), QStringLiteral("Part1"), QStringLiteral("9")},
    };
    for (const Row &row : rows)
        session.AddRow(row);
    session.list.sortItems(2, Qt::DescendingOrder);
    const QString path = environment.path(QStringLiteral("summary.xls"));
    session.prompts.answerSaveFile(path, ReportSaver::SpreadsheetFormat);

    QVERIFY(session.saver.SaveReport(ReportName, true));

    QCOMPARE(session.Caption(), QStringLiteral("Korvex Brevant - ") + path);
    const QJsonObject book = ReadWorkbook(path);
    QCOMPARE(book[u"sheets"].toArray(), QJsonArray({QStringLiteral("Brevant Summary")}));
    const QList<Row> expected = {HeaderRow(), rows[1], rows[2], rows[0], rows[3]};
    QCOMPARE(JsonRows(book[u"rows"]), expected);
    QCOMPARE(book[u"types"].toArray(), QJsonArray({QStringLiteral("s")}));
    QCOMPARE(book[u"filter"].toString(), QStringLiteral("A1:F5"));
    QCOMPARE(book[u"active"].toString(), QStringLiteral("A1"));

    const QJsonArray widths = book[u"widths"].toArray();
    QCOMPARE(widths.size(), 6);
    for (int column = 0; column < 6; ++column) {
        const double width = widths.at(column).toDouble();
        // The header, with the filter's button, fits in every column.
        QVERIFY2(width >= HeaderRow().at(column).size() + 1, qPrintable(QString::number(width)));
    }
    const double pathWidth = widths.at(3).toDouble();
    QVERIFY2(pathWidth >= longPath.size() && pathWidth <= longPath.size() + 8,
             qPrintable(QString::number(pathWidth)));
}

void TestReports::emptyListSpreadsheetHasHeaderOnly()
{
    TestEnvironment environment;
    Session session;
    const QString path = environment.path(QStringLiteral("empty.xls"));

    QVERIFY(session.saver.WriteSpreadsheetReport(path));

    const QJsonObject book = ReadWorkbook(path);
    QCOMPARE(JsonRows(book[u"rows"]), QList<Row>({HeaderRow()}));
    QCOMPARE(book[u"filter"].toString(), QStringLiteral("A1:F1"));
    QCOMPARE(FolderEntries(environment.root()).filter(QStringLiteral("empty")),
             QStringList{QStringLiteral("empty.xls")});
}

QTEST_MAIN(TestReports)
#include "test_reports.moc"
