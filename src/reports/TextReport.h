#pragma once

#include "reports/ReportRows.h"

#include <QByteArray>

// The text report: no header, one line per row, the six texts joined by "|" (texts holding
// "|" are written unchanged), every line ended by CR LF. Texts are UTF-8, except that a file
// or folder name that is not valid UTF-8 keeps the bytes it has on disk. No rows give no
// bytes.
QByteArray TextReportContent(const QList<ReportRow> &rows);

// Writes the text report to path; the old file is replaced only by a complete report.
// Throws FileError; the old file is then untouched.
void WriteTextReportFile(const QString &path, const QList<ReportRow> &rows);
