#include "tool/ListedDocuments.h"
#include "system/Translation.h"

#include "tool/ToolOutput.h"

#include "model/DateText.h"
#include "reports/SpreadsheetReport.h"
#include "reports/TextReport.h"
#include "server/RequestWidth.h"
#include "server/scrivo/ScrivoHome.h"
#include "system/DirectoryListing.h"
#include "system/FileError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

namespace {

// The holder as the tool shows it: "available", the holder, "(being reserved)" or "damaged
// record".
QString HolderText(const ListedDocument &document)
{
    const ReservationState &state = document.state;
    if (document.damaged)
        return DamagedRecord;
    if (!state.Reserved)
        return Available;
    return state.HolderUnknown ? BeingReserved : state.By;
}

// Whether the reservation has a holder with a time and a version.
bool HasKnownHolder(const ReservationState &state)
{
    return state.Reserved && !state.HolderUnknown;
}

} // namespace

void PrintListedLines(const QList<ListedDocument> &listed)
{
    for (const ListedDocument &document : listed) {
        const ReservationState &state = document.state;
        const QString holder = HolderText(document);
        const QString time = HasKnownHolder(state) ? IsoDateText(state.Time) : QString();
        const QString version = HasKnownHolder(state) ? QString::number(state.Version) : QString();
        QStringList fields{Escaped(document.path), Escaped(holder), time, version,
                           Escaped(document.record->BrowserName())};
        // A comment, where the holder gave one, is one more field; before the uses it is
        // always there, so that the uses start at a known field.
        if (!state.Comment.isEmpty() || !document.uses.isEmpty())
            fields.append(Escaped(state.Comment));
        for (const QString &used : document.uses)
            fields.append(Escaped(used));
        Print(fields.join(u'\t'));
    }
}

void PrintListedJson(const QList<ListedDocument> &listed)
{
    QJsonArray array;
    for (const ListedDocument &document : listed) {
        const ReservationState &state = document.state;
        QJsonObject object{{QStringLiteral("path"), document.path},
                           {QStringLiteral("holder"), HolderText(document)},
                           {QStringLiteral("time"), HasKnownHolder(state)
                                                        ? QJsonValue(IsoDateText(state.Time))
                                                        : QJsonValue()},
                           {QStringLiteral("version"),
                            HasKnownHolder(state) ? QJsonValue(state.Version) : QJsonValue()},
                           {QStringLiteral("displayName"), document.record->BrowserName()}};
        if (!state.Comment.isEmpty())
            object.insert(QStringLiteral("comment"), state.Comment);
        if (!document.uses.isEmpty())
            object.insert(QStringLiteral("uses"), QJsonArray::fromStringList(document.uses));
        array.append(object);
    }
    PrintBytes(QJsonDocument(array).toJson(QJsonDocument::Compact).append('\n'));
}

int WriteListedReport(const QString &file, const QList<ListedDocument> &listed)
{
    QList<ReportRow> rows;
    rows.reserve(listed.size());
    for (const ListedDocument &document : listed)
        rows.append(ReportRowOf(*document.record));
    const QString path = AbsolutePathOf(file);
    try {
        if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive) ||
            path.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive)) {
            if (const int cut = WriteSpreadsheetReportFile(path, rows); cut > 0)
                PrintError(CutCellsText(cut));
        } else {
            WriteTextReportFile(path, rows);
        }
    } catch (const FileError &error) {
        PrintError(Brevant::tr("The report could not be saved: ") +
                   QString::fromUtf8(error.what()));
        return ExitFailure;
    }
    return ExitSuccess;
}

bool CanBeListed(const QString &folder)
{
    const DirectoryListing listing = DirectoryListing::Read(folder);
    if (!listing.IsOpen())
        PrintError(Brevant::tr("%1 cannot be listed: %2").arg(folder, listing.ErrorText()));
    return listing.IsOpen();
}

int FinishListing(const QList<ListedDocument> &listed, const QString &report, bool json,
                  const SearchContext &walk, int status)
{
    if (!report.isNull())
        status = qMax(status, WriteListedReport(report, listed));
    else if (json)
        PrintListedJson(listed);
    else
        PrintListedLines(listed);
    status = FinishOutput(status);
    if (walk.FailedDocuments > 0 || walk.FailedFolders > 0) {
        PrintError(walk.Log.FailuresText(walk.FailedDocuments, walk.FailedFolders));
        status = ExitFailure;
    }
    return status;
}

WalkProgress::WalkProgress() : shown(::isatty(STDERR_FILENO) == 1)
{
    clock.start();
}

WalkProgress::~WalkProgress()
{
    if (printed)
        std::fputs("\r\033[K", stderr);
}

void WalkProgress::Folder()
{
    ++folders;
    Tick();
}

void WalkProgress::Document()
{
    ++documents;
    Tick();
}

void WalkProgress::Tick()
{
    if (!shown || clock.elapsed() < 1000 || (printed && last.elapsed() < 200))
        return;
    const QString text =
        Brevant::tr("listing... %1 folders, %2 documents").arg(folders).arg(documents);
    std::fprintf(stderr, "\rscrivo: %s", text.toUtf8().constData());
    std::fflush(stderr);
    printed = true;
    last.start();
}

void WalkForTool(SearchContext &context, const QString &start, bool noCache,
                 const std::function<void()> &walk)
{
    context.Width = RequestWidthFor(context.Server, start);
    WalkThroughCache(context, start, !noCache, walk);
}
