#pragma once

#include "reports/ReportRows.h"

// A field of a tab-separated line: a tab, line break or backslash inside it is written "\t",
// "\n", "\r", "\\", so no text can split a line or a field.
QString Escaped(const QString &text);
// The text an escaped field stands for.
QString Unescaped(const QString &field);

// The rows as the copied lines of the list: the report's six texts of a row, escaped and
// joined by tabs, each line ended by "\n".
QString TabSeparatedLines(const QList<ReportRow> &rows);
