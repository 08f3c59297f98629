#pragma once

#include <QList>
#include <QString>
#include <array>
#include <stdexcept>

class QTreeWidget;

// The six texts of one list row, in the list's column order: "Checked Out By", "Checked Out
// Time", "File Name", "File Path", "Browser Name", "Checked Out Version".
using ReportRow = std::array<QString, 6>;

inline constexpr int ReportColumnCount = 6;

// The rows of the list in their display order (after any sorting), selected or not.
QList<ReportRow> ReportRowsOf(const QTreeWidget &list);

// A report is first written under a temporary name beside its target, the target's name
// followed by this many characters.
inline constexpr int TemporarySuffixLength = 7; // ".XXXXXX"

// The file a report to path replaces: path itself, or the file a link at path points to (so
// the link stays a link). Throws ReportError when no report can replace it: it is a folder,
// or its name leaves no room for the temporary name beside it.
QString ReportTarget(const QString &path);

// A report that could not be written; Reason() says why, for the user.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &why) : std::runtime_error(why.toStdString()), reason(why) {}
    QString Reason() const { return reason; }

private:
    QString reason;
};
