#pragma once

#include "model/FileListModel.h"

#include <QList>
#include <QString>
#include <array>

// The texts of one list row, in the list's column order (Column).
using ReportRow = std::array<QString, Column::Count>;

// The fields of the text report and of copied rows: the six before the comment and the uses,
// which their readers know.
inline constexpr int ReportColumnCount = Column::Comment;

// The report row of one record.
ReportRow ReportRowOf(const clsFile &record);

// The report rows of the given rows of the list (0-based, display order), in the order given.
QList<ReportRow> ReportRowsOf(const FileListModel &list, const QList<int> &rows);
