#include "reports/SpreadsheetReport.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileIO.h"
#include "system/FileWrite.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

namespace {

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
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!IsHexDigit(text.at(k)))
            return false;
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

// The library's failures name the report; a file it cannot write is a memory file here, so
// the operating system's reason for a full disk comes from the write of the report itself.
void Check(const QString &path, lxw_error error)
{
    if (error != LXW_NO_ERROR)
        throw FileError(path, QString::fromUtf8(lxw_strerror(error)));
}

// Owns a workbook until workbook_close takes it over; a workbook given up on the way is
// freed without writing anything.
using WorkbookHandle = std::unique_ptr<lxw_workbook, decltype(&lxw_workbook_free)>;

// A file in memory that the library can write by name.
class MemoryFile
{
public:
    explicit MemoryFile(const QString &path) : fd(::memfd_create("brevant-report", MFD_CLOEXEC))
    {
        if (fd < 0)
            throw FileError(path, SystemReason(errno));
    }
    ~MemoryFile() { ::close(fd); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    QByteArray Name() const { return "/proc/self/fd/" + QByteArray::number(fd); }

    QByteArray Content(const QString &path) const
    {
        QByteArray bytes;
        const off_t size = ::lseek(fd, 0, SEEK_END);
        if (size < 0 || ::lseek(fd, 0, SEEK_SET) != 0 || !ReadAtMost(fd, size, bytes))
            throw FileError(path, SystemReason(errno));
        return bytes;
    }

private:
    int fd;
};

// The C locale for this thread while the object lives. libxlsxwriter writes the workbook's
// numbers (column widths, page margins) with printf, which follows LC_NUMERIC: under a locale
// with a decimal comma the XML would hold "18,71", which no spreadsheet application reads.
class CLocaleOnThisThread
{
public:
    CLocaleOnThisThread()
        : c(::newlocale(LC_ALL_MASK, "C", locale_t(nullptr))),
          previous(c ? ::uselocale(c) : locale_t(nullptr))
    {
    }
    ~CLocaleOnThisThread()
    {
        if (c) {
            ::uselocale(previous);
            ::freelocale(c);
        }
    }
    CLocaleOnThisThread(const CLocaleOnThisThread &) = delete;
    CLocaleOnThisThread &operator=(const CLocaleOnThisThread &) = delete;

private:
    locale_t c;
    locale_t previous;
};

int WriteCells(const QString &path, lxw_worksheet *sheet, lxw_row_t row, const ReportRow &texts,
               int columns)
{
    int cut = 0;
    for (lxw_col_t column = 0; column < columns; ++column) {
        bool wasCut = false;
        const QByteArray utf8 = SpreadsheetCellText(texts[column], &wasCut).toUtf8();
        Check(path, worksheet_write_string(sheet, row, column, utf8.constData(), nullptr));
        cut += wasCut ? 1 : 0;
    }
    return cut;
}

} // namespace

const ReportRow &SpreadsheetHeaders()
{
    static const ReportRow headers{
        QStringLiteral("Checked Out By"), QStringLiteral("Checked Out Time"),
        QStringLiteral("File Name"),      QStringLiteral("File Path"),
        QStringLiteral("Browser Name"),   QStringLiteral("Checked Out Version"),
        QStringLiteral("Comment"),        QStringLiteral("Uses")};
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

int SpreadsheetColumnCount(const QList<ReportRow> &rows)
{
    const auto any = [&rows](int column) {
        return std::any_of(rows.cbegin(), rows.cend(),
                           [column](const ReportRow &row) { return !row[column].isEmpty(); });
    };
    if (any(Column::Uses))
        return Column::Count;
    return any(Column::Comment) ? Column::Comment + 1 : ReportColumnCount;
}

std::array<double, Column::Count> SpreadsheetColumnWidths(const QList<ReportRow> &rows)
{
    std::array<double, Column::Count> widths{};
    const ReportRow &headers = SpreadsheetHeaders();
    for (size_t column = 0; column < widths.size(); ++column)
        widths[column] = DisplayWidth(headers[column]) + HeaderPadding;
    for (const ReportRow &row : rows)
        for (size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], DisplayWidth(row[column]) + CellPadding);
    for (double &width : widths)
        width = std::clamp(width, LXW_DEF_COL_WIDTH, MaximumColumnWidth);
    return widths;
}

QString SpreadsheetCellText(const QString &text, bool *cut)
{
    *cut = false;
    const QString escaped = EscapeSpreadsheetText(text);
    // The limit counts characters; the escapes and surrogate pairs are not split.
    qsizetype characters = 0;
    for (qsizetype i = 0; i < escaped.size();) {
        qsizetype length = 1;
        if (IsEscapePatternAt(escaped, i))
            length = 7;
        else if (escaped.at(i).isHighSurrogate() && i + 1 < escaped.size())
            length = 2;
        const qsizetype counted = length == 2 ? 1 : length;
        if (characters + counted > SpreadsheetCellLimit) {
            *cut = true;
            return escaped.left(i);
        }
        characters += counted;
        i += length;
    }
    return escaped;
}

QByteArray SpreadsheetReportContent(const QString &path, const QList<ReportRow> &rows,
                                    int *cutCells)
{
    *cutCells = 0;
    const CLocaleOnThisThread numbersAsWorkbooksWantThem;
    // The header row and one row per list row must fit the sheet.
    if (rows.size() + 1 > LXW_ROW_MAX)
        throw FileError(path, Brevant::tr("the list has more rows than a worksheet can hold"));

    const MemoryFile memory(path);
    // Constant-memory mode streams each row out as it is finished; widths must therefore
    // be set before the first row is written.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    WorkbookHandle workbook(workbook_new_opt(memory.Name().constData(), &options),
                            lxw_workbook_free);
    if (!workbook.get())
        throw FileError(path, Brevant::tr("the workbook could not be created"));
    const QByteArray sheetName = SpreadsheetSheetName.toUtf8();
    lxw_worksheet *sheet = workbook_add_worksheet(workbook.get(), sheetName.constData());
    if (!sheet)
        throw FileError(path, Brevant::tr("the worksheet could not be created"));

    const int columns = SpreadsheetColumnCount(rows);
    const auto widths = SpreadsheetColumnWidths(rows);
    for (lxw_col_t column = 0; column < columns; ++column)
        Check(path, worksheet_set_column(sheet, column, column, widths[column], nullptr));

    WriteCells(path, sheet, 0, SpreadsheetHeaders(), columns);
    lxw_row_t row = 1;
    for (const ReportRow &texts : rows)
        *cutCells += WriteCells(path, sheet, row++, texts, columns);
    Check(path, worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(rows.size()),
                                     lxw_col_t(columns - 1)));
    Check(path, workbook_close(workbook.release()));
    return memory.Content(path);
}

int WriteSpreadsheetReportFile(const QString &path, const QList<ReportRow> &rows)
{
    int cutCells = 0;
    ReplaceFile(path, SpreadsheetReportContent(path, rows, &cutCells));
    return cutCells;
}

QString CutCellsText(int cutCells)
{
    return Brevant::tr("The report was saved, but %1 cell(s) held more than %2 characters, "
                       "the most a spreadsheet cell can hold, and were cut to that length.")
        .arg(cutCells)
        .arg(SpreadsheetCellLimit);
}
