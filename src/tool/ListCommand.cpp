#include "tool/ListCommand.h"
#include "system/Translation.h"

#include "tool/ToolOutput.h"

#include "model/DateText.h"
#include "reports/SpreadsheetReport.h"
#include "reports/TextReport.h"
#include "search/SearchFolder.h"
#include "server/RequestWidth.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/DirectoryListing.h"
#include "system/FileError.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

struct ListFilter
{
    QString user;                    // null: any holder or none (--user or --holder)
    std::optional<qint64> olderThan; // seconds a reservation has been held at least
    bool mine = false;
    bool reserved = false;
    bool json = false;
    QString report; // null: print
    QStringList folders;
};

const QString UserOption = QStringLiteral("user");
const QString OlderThanOption = QStringLiteral("older-than");
const QString MineOption = QStringLiteral("mine");
const QString ReservedOption = QStringLiteral("reserved");
const QString JsonOption = QStringLiteral("json");
const QString ReportOption = QStringLiteral("report");

// "14d" or "36h" in seconds; nullopt for anything else (a usage error). At most seven digits,
// so the cut-off stays a time Qt can hold.
std::optional<qint64> DurationSeconds(const QString &text)
{
    static const QRegularExpression duration(QStringLiteral("^([0-9]{1,7})([dh])$"));
    const QRegularExpressionMatch match = duration.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong() * (match.captured(2) == u"d" ? 86400 : 3600);
}

ListFilter FilterOf(const QCommandLineParser &parser)
{
    ListFilter options;
    if (parser.isSet(UserOption))
        options.user = parser.value(UserOption);
    if (parser.isSet(OlderThanOption))
        options.olderThan = DurationSeconds(parser.value(OlderThanOption));
    options.mine = parser.isSet(MineOption);
    options.reserved = parser.isSet(ReservedOption);
    options.json = parser.isSet(JsonOption);
    if (parser.isSet(ReportOption))
        options.report = parser.value(ReportOption);
    options.folders = parser.positionalArguments();
    return options;
}

// One document as the walk read it: its record (the window's texts) and its reservation.
struct ListedDocument
{
    QString path;
    ReservationState state;
    bool damaged = false; // the reservation record is damaged
    int record = 0;       // 1-based position in the walk's records
};

// "Listing: n folders, m documents" on a terminal's standard error, once the walk has
// taken a second, at most five times a second, and cleared at the end.
class Progress
{
public:
    Progress() : shown(::isatty(STDERR_FILENO) == 1) { clock.start(); }
    ~Progress()
    {
        if (printed)
            std::fputs("\r\033[K", stderr);
    }
    void Folder()
    {
        ++folders;
        Tick();
    }
    void Document()
    {
        ++documents;
        Tick();
    }

private:
    void Tick()
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

    bool shown;
    bool printed = false;
    int folders = 0;
    int documents = 0;
    QElapsedTimer clock;
    QElapsedTimer last;
};

// Whether the reservation passes every filter given. A reservation held too long has a holder
// and a time: one being written, a damaged record and a time still to come never count.
bool Wanted(const ListFilter &options, const ReservationState &state, const QString &me,
            const QDateTime &heldSince)
{
    const bool anyHolder =
        options.reserved || options.mine || !options.user.isNull() || options.olderThan;
    if (anyHolder && !state.Reserved)
        return false;
    if (!options.user.isNull() && state.By != options.user)
        return false;
    if (options.olderThan &&
        (state.HolderUnknown || !state.Time.isValid() || state.Time > heldSince))
        return false;
    return !options.mine || state.By == me;
}

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

void PrintLines(const QList<ListedDocument> &listed, const clsFiles &records)
{
    for (const ListedDocument &document : listed) {
        const ReservationState &state = document.state;
        const QString holder = HolderText(document);
        const QString time = HasKnownHolder(state) ? IsoDateText(state.Time) : QString();
        const QString version = HasKnownHolder(state) ? QString::number(state.Version) : QString();
        QStringList fields{Escaped(document.path), Escaped(holder), time, version,
                           Escaped(records.Item(document.record)->BrowserName())};
        // A comment, where the holder gave one, is one more field.
        if (!state.Comment.isEmpty())
            fields.append(Escaped(state.Comment));
        Print(fields.join(u'\t'));
    }
}

void PrintJson(const QList<ListedDocument> &listed, const clsFiles &records)
{
    QJsonArray array;
    for (const ListedDocument &document : listed) {
        const ReservationState &state = document.state;
        QJsonObject object{
            {QStringLiteral("path"), document.path},
            {QStringLiteral("holder"), HolderText(document)},
            {QStringLiteral("time"),
             HasKnownHolder(state) ? QJsonValue(IsoDateText(state.Time)) : QJsonValue()},
            {QStringLiteral("version"),
             HasKnownHolder(state) ? QJsonValue(state.Version) : QJsonValue()},
            {QStringLiteral("displayName"), records.Item(document.record)->BrowserName()}};
        if (!state.Comment.isEmpty())
            object.insert(QStringLiteral("comment"), state.Comment);
        array.append(object);
    }
    PrintBytes(QJsonDocument(array).toJson(QJsonDocument::Compact).append('\n'));
}

// The window's report of the listed documents; the spreadsheet for .xlsx or .xls.
int WriteReport(const QString &file, const QList<ListedDocument> &listed, const clsFiles &records)
{
    QList<ReportRow> rows;
    rows.reserve(listed.size());
    for (const ListedDocument &document : listed)
        rows.append(ReportRowOf(*records.Item(document.record)));
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

} // namespace

QList<QCommandLineOption> ListOptions()
{
    // --holder is another name of --user.
    return {QCommandLineOption({UserOption, QStringLiteral("holder")}, QString(),
                               QStringLiteral("NAME")),
            QCommandLineOption(OlderThanOption, QString(), QStringLiteral("DURATION")),
            QCommandLineOption(MineOption),
            QCommandLineOption(ReservedOption),
            QCommandLineOption(JsonOption),
            QCommandLineOption(ReportOption, QString(), QStringLiteral("FILE"))};
}

int ListCommand(ScrivoServer &server, const ParsedCommand &command)
{
    const ListFilter options = FilterOf(command.parser);
    if (options.json && !options.report.isNull())
        return UsageError(Brevant::tr("list: --json and --report exclude each other"));
    if (command.parser.isSet(OlderThanOption) && !options.olderThan)
        return UsageError(Brevant::tr("list: --older-than takes a number of days or hours, "
                                      "such as 14d or 36h, not %1")
                              .arg(command.parser.value(OlderThanOption)));
    // One cut-off for the whole walk, so a long walk does not move it.
    const QDateTime heldSince =
        QDateTime::currentDateTimeUtc().addSecs(-options.olderThan.value_or(0));

    clsFiles records;
    QStringList work;
    bool stop = false;
    SearchContext context(server, records, work, stop);
    Progress progress;
    context.ProcessEvents = nullptr;
    const QString me = server.UserName();
    QList<ListedDocument> listed;
    context.DocumentRead = [&](const QString &fullName, const DocumentReading &reading) {
        progress.Document();
        if (Wanted(options, reading.State, me, heldSince))
            listed.append({fullName, reading.State, !reading.Damage.isEmpty(), records.Count()});
    };
    int status = ExitSuccess;
    for (const QString &folder : options.folders) {
        const QString start = AbsolutePathOf(folder);
        const DirectoryListing top = DirectoryListing::Read(start);
        if (!top.IsOpen()) {
            PrintError(Brevant::tr("%1 cannot be listed: %2").arg(start, top.ErrorText()));
            status = ExitFailure;
            continue;
        }
        context.Width = RequestWidthFor(server, start);
        WalkFolderTree(context, start, [&](const QString &) { progress.Folder(); });
    }

    if (!options.report.isNull())
        status = qMax(status, WriteReport(options.report, listed, records));
    else if (options.json)
        PrintJson(listed, records);
    else
        PrintLines(listed, records);
    status = FinishOutput(status);

    if (context.FailedDocuments > 0 || context.FailedFolders > 0) {
        PrintError(context.Log.FailuresText(context.FailedDocuments, context.FailedFolders));
        status = ExitFailure;
    }
    return status;
}
