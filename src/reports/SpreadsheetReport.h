#pragma once

#include "reports/ReportRows.h"

#include <array>

inline const QString SpreadsheetSheetName = QStringLiteral("Brevant Summary");

// The header texts of the report sheet's first row.
const ReportRow &SpreadsheetHeaders();

// A cell text as the workbook must hold it: a literal "_xHHHH_" in the text gets its
// underscore escaped ("_x005F_xHHHH_"), since a spreadsheet application decodes the pattern;
// characters XML cannot carry (control characters other than tab and line feed, U+FFFE,
// U+FFFF) become "_xHHHH_", which it decodes back to the character.
QString EscapeSpreadsheetText(const QString &text);

// The most characters a cell can hold.
inline constexpr int SpreadsheetCellLimit = 32767;

// A cell text as written: escaped, and cut where the escaped text would exceed the cell
// limit (never inside an escape or a character); *cut tells whether it was cut.
QString SpreadsheetCellText(const QString &text, bool *cut);

// The sheet's columns: the text report's six, the comment where any row has one, and both
// the comment and the uses where any row of a where-used list has uses.
int SpreadsheetColumnCount(const QList<ReportRow> &rows);

// Column widths (in the spreadsheet's character units) fitted to the longest text of each
// column, header included; never narrower than the default width.
std::array<double, Column::Count> SpreadsheetColumnWidths(const QList<ReportRow> &rows);

// The workbook: one sheet "Brevant Summary", the header row, one row per report row (its
// sheet columns), all cells text, the automatic filter on the header row, fitted column
// widths. *cutCells counts the cells that were cut to the cell limit. Throws FileError
// naming path.
QByteArray SpreadsheetReportContent(const QString &path, const QList<ReportRow> &rows,
                                    int *cutCells);

// What a save says when cells were cut to the cell limit.
QString CutCellsText(int cutCells);

// Writes the workbook to path, whatever its extension; the old file is replaced only by a
// complete report. Returns the number of cells cut. Throws FileError; the old file is then
// untouched.
int WriteSpreadsheetReportFile(const QString &path, const QList<ReportRow> &rows);
