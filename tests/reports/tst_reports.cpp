// Saving the list as a report: the save dialog and the overwrite question, the text report
// byte for byte, the workbook read back by an independent reader, and a replaced report.

#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include "reports/ReportSaver.h"
#include "reports/SpreadsheetReport.h"
#include "system/FileNames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <clocale>

namespace {

const ReportRow RowA{u"A"_s, u"05.12.2026 10:00"_s, u"p1.kpt"_s, u"C:\\P"_s, u"Part1"_s, u"3"_s};
const ReportRow RowFree{Available, Available, u"a.kam"_s, u"/P"_s, u"Asm"_s, Available};
const QByteArray TwoRowText = "A|05.12.2026 10:00|p1.kpt|C:\\P|Part1|3\r\n"
                              "available|available|a.kam|/P|Asm|available\r\n";

// The workbook read back with openpyxl; cell texts decoded from the "_xHHHH_" form.
const char *const ReaderScript = R"PY(
import json, re, sys, openpyxl
ws = openpyxl.load_workbook(open(sys.argv[1], 'rb')).worksheets[0]
dec = lambda v: "" if v is None else re.sub(r'_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m.group(1), 16)), str(v))
print(json.dumps({"sheet": ws.title, "rows": [[dec(c.value) for c in r] for r in ws.iter_rows()],
    "types": "".join(sorted({c.data_type for r in ws.iter_rows() for c in r if c.value is not None})),
    "filter": ws.auto_filter.ref, "widths": [ws.column_dimensions[l].width for l in "ABCDEFG"]}))
)PY";

QJsonObject ReadWorkbook(const QString &path)
{
    QProcess python;
    python.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(ReaderScript), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        qWarning("workbook reader failed: %s", python.readAllStandardError().constData());
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// The rows as the reader prints them: their first columns.
QJsonArray Json(const QList<ReportRow> &rows, int columns = ReportColumnCount)
{
    QJsonArray array;
    for (const ReportRow &row : rows)
        array.append(QJsonArray::fromStringList(QStringList(row.begin(), row.begin() + columns)));
    return array;
}

// The list a report is saved from, and its report file.
struct Session
{
    explicit Session(QList<ReportRow> listed = {}) : rows(std::move(listed)) {}
    // Saves as the window does: the file written becomes the list's report file.
    bool Save(bool saveAs)
    {
        const QString written = saver.SaveReport(u"Brevant Report"_s, saveAs, reportPath);
        reportPath = written.isEmpty() ? reportPath : written;
        return !written.isEmpty();
    }

    QList<ReportRow> rows;
    QString reportPath;
    ScriptedPrompts prompts;
    ReportSaver saver{prompts, [this] { return rows; }};
};

} // namespace

Q_DECLARE_METATYPE(PromptAnswer)

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    // A plain Save, which asks nothing, is the last slot's part.
    void saveAsAsksForTheNameAndBeforeReplacingAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        // To the overwrite question; OK: no file is there, so there is no question.
        QTest::addColumn<PromptAnswer>("answer");
        // (A cancelled dialog is the window tests' part: the save question's Yes, cancelled.)
        QTest::newRow("text filter, .xls name") << u"R.xls"_s << 2 << PromptAnswer::OK;
        QTest::newRow("existing, No") << u"R.xls"_s << 2 << PromptAnswer::No;
        QTest::newRow("existing, Yes, sheet filter") << u"R.txt"_s << 1 << PromptAnswer::Yes;
    }

    void saveAsAsksForTheNameAndBeforeReplacingAFile()
    {
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(PromptAnswer, answer);
        QTemporaryDir out;
        Session session({RowA, RowFree});
        const QString path = out.filePath(name);
        session.reportPath = u"/elsewhere/earlier.txt"_s;
        session.prompts.SaveFile(path, filter);
        QStringList asked; // after the dialog
        if (answer != PromptAnswer::OK) {
            WriteWhole(path, "old\r\n");
            session.prompts.Message(answer);
            asked << MessageShown(u"Do you want to override excisting file ?"_s, PromptIcon::None,
                                  PromptButtons::YesNoCancel);
        }
        const bool saved = session.Save(true);
        const FileDialogRequest &request = session.prompts.records.first().request;
        QCOMPARE((QStringList{request.filter, QString::number(request.selectedFilter),
                              request.initialFolder, request.fileName}),
                 (QStringList{u"Excel 2002 Format (*.xls)|*.xls|Brevant Report (*.txt)|*.txt"_s,
                              u"1"_s, QDir::homePath(), u"Brevant Report"_s}));
        QCOMPARE(session.prompts.Shown(1), asked);
        QCOMPARE(saved, asked.isEmpty() || answer == PromptAnswer::Yes);
        QCOMPARE(session.reportPath, saved ? path : u"/elsewhere/earlier.txt"_s);
        QCOMPARE(FolderEntries(out.path()), QStringList{name});
        if (saved && filter == ReportSaver::TextFormat)
            QCOMPARE(ReadBytes(path), TwoRowText);
        else if (saved)
            QCOMPARE(ReadWorkbook(path)[u"rows"].toArray(),
                     Json({SpreadsheetHeaders(), RowA, RowFree}));
    }

    void workbookReadsBackAsListedWithOverlongCellsCut()
    {
        // Where numbers are written with a decimal comma: the workbook's are not. (Under the C
        // locale the same code runs, with no comma to keep out.)
        const QByteArray before = ::setlocale(LC_ALL, nullptr);
        QVERIFY2(::setlocale(LC_ALL, "de_DE.UTF-8"), "missing locale (the test set-up makes it)");
        const auto restore = qScopeGuard([&] { ::setlocale(LC_ALL, before.constData()); });
        TestEnvironment env;
        const QString longPath = u"/projects/"_s + QString(70, u'p');
        // A cell above 32767 characters is cut to them; the escape of a control character
        // counts as the seven characters it is stored as, and is never split.
        const QList<ReportRow> rows = {{u"ctl\x01char"_s + QChar(u'\0') + u"nul"_s, u"cr\rlf\n"_s,
                                        u"b.kpt"_s, longPath, u"_x0049_"_s, u"3"_s},
                                       {u" lead"_s, u"tab\there"_s, u"c.kdw"_s, QString(),
                                        u"Bauteil ä 日本 😀 e\u0301 ＡＢ 한 _x00G1_ _x00"_s, u"10"_s,
                                        // each character at an end of a range of wide ones
                                        u"\u1100\u115F\uAC00\uD7A3\uFE30\uFE4F\uFFE0\uFFE6"_s},
                                       {QString(40000, u'x'), u"t"_s, u"a.kpt"_s, u"/P"_s,
                                        QString(32767, u'y'), QString(32764, u'z') + u"\x01"_s}};
        Session session(rows);
        const QString path = env.path(u"summary.xls"_s);
        session.prompts.SaveFile(path, ReportSaver::SpreadsheetFormat).Message();
        QVERIFY(session.Save(true));
        QCOMPARE(
            session.prompts.Shown().last(),
            MessageShown(u"The report was saved, but 2 cell(s) held more than 32767 characters, "
                         "the most a spreadsheet cell can hold, and were cut to that length."_s));
        const QJsonObject book = ReadWorkbook(path);
        const ReportRow cut{QString(32767, u'x'), u"t"_s, u"a.kpt"_s, u"/P"_s, QString(32767, u'y'),
                            QString(32764, u'z')};
        // A comment makes a seventh column.
        QCOMPARE(book[u"rows"].toArray(), Json({SpreadsheetHeaders(), rows[0], rows[1], cut}, 7));
        // Text cells only, a filter over the rows.
        QCOMPARE((QStringList{book[u"sheet"].toString(), book[u"types"].toString(),
                              book[u"filter"].toString()}),
                 (QStringList{u"Brevant Summary"_s, u"s"_s, u"A1:G4"_s}));
        // The long path and the eight wide characters fit, with two characters to spare (the
        // file stores about 0.71 more).
        const QJsonArray widths = book[u"widths"].toArray();
        QCOMPARE((QList<int>{qRound(widths.at(3).toDouble() - 0.71),
                             qRound(widths.at(6).toDouble() - 0.71)}),
                 (QList<int>{int(longPath.size()) + 2, 16 + 2}));
        QVERIFY(Session().saver.WriteSpreadsheetReport(path));
        QCOMPARE(ReadWorkbook(path)[u"rows"].toArray(), Json({SpreadsheetHeaders()}));
        // What the rows of a where-used list use comes after the comment, empty or not.
        ReportRow used = RowA;
        used[Column::Uses] = u"p.kpt, q.kpt"_s;
        QVERIFY(Session({used}).saver.WriteSpreadsheetReport(path));
        QCOMPARE(ReadWorkbook(path)[u"rows"].toArray(), Json({SpreadsheetHeaders(), used}, 8));
    }

    void replacedReportKeepsPermissionsLinksAndTheBytesOfNames()
    {
        TestEnvironment env;
        // A name that is not UTF-8 comes from the listing coded; the text report has its bytes.
        ReportRow raw = RowFree;
        raw[2] = DecodeFileName("\xff\xfe.kam");
        Session session({RowA, raw});
        const QString path = env.writeFile(u"out/report"_s, "old");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions permissions = QFile::permissions(path);
        const QString link = env.path(u"link.txt"_s);
        QVERIFY(QFile::link(path, link));
        for (const int filter : {1, 2}) {
            // A Save As cancelled in the dialog keeps the filter chosen there; a plain Save
            // then writes the report file in that format without a question.
            session.prompts.SaveFile(QString(), filter);
            QVERIFY(!session.Save(true));
            session.reportPath = link;
            QVERIFY(session.Save(false));
            QVERIFY(QFileInfo(link).isSymLink());
            QCOMPARE(QFile::permissions(path), permissions);
            QCOMPARE(FolderEntries(env.path(u"out"_s)), QStringList{u"report"_s});
        }
        QCOMPARE(ReadBytes(path), QByteArray(TwoRowText).replace("a.kam", "\xff\xfe.kam"));
        // A folder by the report's name is no file to replace: the save fails without asking.
        QVERIFY(QDir().mkpath(env.path(u"out/folder.txt"_s)));
        session.prompts.SaveFile(env.path(u"out/folder.txt"_s), 2).Message();
        QVERIFY(!session.Save(true));
        QVERIFY(session.prompts.Shown().last().contains(u"could not be saved"_s));
    }
};

QTEST_GUILESS_MAIN(TestReports)
#include "tst_reports.moc"
