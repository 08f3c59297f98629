#pragma once

#include "reports/ReportRows.h"

#include <QByteArray>

// The text report: UTF-8, no header, one line per row, the six texts joined by "|" (texts
// holding "|" are written unchanged), every line ended by CR LF. No rows give no bytes.
QByteArray TextReportContent(const QList<ReportRow> &rows);

// Writes the text report to path through a temporary file beside it, which replaces the
// old file only once it is complete. Throws ReportError; the old file is then untouched.
void WriteTextReportFile(const QString &path, const QList<ReportRow> &rows);
