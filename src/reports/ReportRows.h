#pragma once

#include <QList>
#include <QString>
#include <array>

class FileListModel;
class clsFile;

// The six texts of one list row, in the list's column order: "Checked Out By", "Checked Out
// Time", "File Name", "File Path", "Browser Name", "Checked Out Version".
using ReportRow = std::array<QString, 6>;

inline constexpr int ReportColumnCount = 6;

// The report row of one record.
ReportRow ReportRowOf(const clsFile &record);

// The rows of the list in their display order (after any sorting), selected or not.
QList<ReportRow> ReportRowsOf(const FileListModel &list);
