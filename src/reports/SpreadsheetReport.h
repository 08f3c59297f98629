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

// Column widths (in the spreadsheet's character units) fitted to the longest text of each
// column, header included; never narrower than the default width.
std::array<double, 6> SpreadsheetColumnWidths(const QList<ReportRow> &rows);

// Writes the workbook: one sheet "Brevant Summary", the header row, one row per report row,
// all cells text, the automatic filter on the header row, fitted column widths. It is
// written under a temporary name beside path and renamed over it once complete, whatever
// the extension of path. Throws ReportError; the old file is then untouched.
void WriteSpreadsheetReportFile(const QString &path, const QList<ReportRow> &rows);
