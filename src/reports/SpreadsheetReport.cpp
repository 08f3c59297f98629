#include "reports/SpreadsheetReport.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Reports", text);
}

// Padding added to the longest text so it does not touch the cell border; the header also
// carries the filter's drop-down button.
constexpr double CellPadding = 2.0;
constexpr double HeaderPadding = 4.0;
constexpr double MaximumColumnWidth = 255.0;

bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// "_x" + four hex digits + "_" starting at i.
bool IsEscapePatternAt(const QString &text, qsizetype i)
{
    if (i + 6 >= text.size() || text.at(i) != u'_' || text.at(i + 1) != u'x' ||
        text.at(i + 6) != u'_')
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k) {
        if (!IsHexDigit(text.at(k)))
            return false;
    }
    return true;
}

bool NeedsCharacterEscape(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF;
}

QString EscapedCharacter(char16_t c)
{
    return u"_x" + QString::number(c, 16).toUpper().rightJustified(4, u'0') + u'_';
}

// East Asian wide and full-width characters take about two character cells.
bool IsWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// The text's width in character cells: combining marks add nothing, wide characters two.
double DisplayWidth(const QString &text)
{
    double width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (c < 0x300) {
            width += 1;
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing)
            continue;
        width += IsWide(c) ? 2 : 1;
    }
    return width;
}

void Check(lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw ReportError(QString::fromUtf8(lxw_strerror(error)));
}

// Owns a workbook until workbook_close takes it over; a workbook given up on the way is
// freed without writing anything.
class WorkbookHandle
{
public:
    explicit WorkbookHandle(lxw_workbook *created) : workbook(created) {}
    ~WorkbookHandle()
    {
        if (workbook)
            lxw_workbook_free(workbook);
    }
    WorkbookHandle(const WorkbookHandle &) = delete;
    WorkbookHandle &operator=(const WorkbookHandle &) = delete;

    lxw_workbook *get() const { return workbook; }
    lxw_error Close() { return workbook_close(std::exchange(workbook, nullptr)); }

private:
    lxw_workbook *workbook;
};

void WriteString(lxw_worksheet *sheet, lxw_row_t row, lxw_col_t column, const QString &text)
{
    const QByteArray utf8 = EscapeSpreadsheetText(text).toUtf8();
    Check(worksheet_write_string(sheet, row, column, utf8.constData(), nullptr));
}

void WriteWorkbook(const QString &fileName, const QList<ReportRow> &rows)
{
    // The header row and one row per list row must fit the sheet.
    if (rows.size() + 1 > LXW_ROW_MAX)
        throw ReportError(tr("The list has more rows than a worksheet can hold."));

    const QByteArray name = QFile::encodeName(fileName);
    // Constant-memory mode streams each row out as it is finished; widths must therefore
    // be set before the first row is written.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    WorkbookHandle workbook(workbook_new_opt(name.constData(), &options));
    if (!workbook.get())
        throw ReportError(tr("The workbook could not be created."));
    const QByteArray sheetName = SpreadsheetSheetName.toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(workbook.get(), sheetName.constData());
    if (!sheet)
        throw ReportError(tr("The worksheet could not be created."));

    const std::array<double, 6> widths = SpreadsheetColumnWidths(rows);
    for (lxw_col_t column = 0; column < ReportColumnCount; ++column)
        Check(worksheet_set_column(sheet, column, column, widths[column], nullptr));

    const ReportRow &headers = SpreadsheetHeaders();
    for (lxw_col_t column = 0; column < ReportColumnCount; ++column)
        WriteString(sheet, 0, column, headers[column]);
    lxw_row_t row = 1;
    for (const ReportRow &texts : rows) {
        for (lxw_col_t column = 0; column < ReportColumnCount; ++column)
            WriteString(sheet, row, column, texts[column]);
        ++row;
    }
    Check(worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(rows.size()),
                               ReportColumnCount - 1));
    Check(workbook.Close());
}

// The new file gets the old one's permissions, or those of a newly created file.
void SetReportPermissions(const QString &fileName, const QString &target)
{
    const QByteArray name = QFile::encodeName(fileName);
    struct stat old;
    mode_t mode;
    if (::stat(QFile::encodeName(target).constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::chmod(name.constData(), mode) != 0)
        throw ReportError(qt_error_string(errno));
}

// A new empty file with a unique name beside a target, removed again unless kept.
// (QTemporaryFile may create an unnamed file whose name cannot be known when it does not
// fit, so the name is made here.)
class TemporaryName
{
public:
    explicit TemporaryName(const QString &target)
    {
        QByteArray pattern = QFile::encodeName(target) + ".XXXXXX";
        const int descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0)
            throw ReportError(qt_error_string(errno));
        ::close(descriptor);
        name = QFile::decodeName(pattern);
        encoded = pattern;
    }
    ~TemporaryName()
    {
        if (!encoded.isEmpty())
            ::unlink(encoded.constData());
    }
    TemporaryName(const TemporaryName &) = delete;
    TemporaryName &operator=(const TemporaryName &) = delete;

    QString Name() const { return name; }
    void Keep() { encoded.clear(); }

private:
    QString name;
    QByteArray encoded;
};

} // namespace

const ReportRow &SpreadsheetHeaders()
{
    static const ReportRow headers{
        QStringLiteral("Checked Out By"), QStringLiteral("Checked Out Time"),
        QStringLiteral("File Name"),      QStringLiteral("File Path"),
        QStringLiteral("Browser Name"),   QStringLiteral("Checked Out Version")};
    return headers;
}

QString EscapeSpreadsheetText(const QString &text)
{
    const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == u'_' || NeedsCharacterEscape(c.unicode());
    });
    if (plain)
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (IsEscapePatternAt(text, i))
            escaped += u"_x005F";
        if (NeedsCharacterEscape(c))
            escaped += EscapedCharacter(c);
        else
            escaped += QChar(c);
    }
    return escaped;
}

std::array<double, 6> SpreadsheetColumnWidths(const QList<ReportRow> &rows)
{
    std::array<double, 6> widths{};
    const ReportRow &headers = SpreadsheetHeaders();
    for (size_t column = 0; column < widths.size(); ++column)
        widths[column] = DisplayWidth(headers[column]) + HeaderPadding;
    for (const ReportRow &row : rows) {
        for (size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], DisplayWidth(row[column]) + CellPadding);
    }
    for (double &width : widths)
        width = std::clamp(width, LXW_DEF_COL_WIDTH, MaximumColumnWidth);
    return widths;
}

void WriteSpreadsheetReportFile(const QString &path, const QList<ReportRow> &rows)
{
    const QString target = ReportTarget(path);

    // The library writes by file name: reserve a unique name beside the target, let the
    // library fill it, then rename it over the target in one step.
    TemporaryName temporary(target);
    WriteWorkbook(temporary.Name(), rows);
    SetReportPermissions(temporary.Name(), target);
    if (std::rename(QFile::encodeName(temporary.Name()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        throw ReportError(qt_error_string(errno));
    temporary.Keep();
}
