#include "tool/ListCommand.h"
#include "system/Translation.h"

#include "tool/ListedDocuments.h"
#include "tool/ToolOutput.h"

#include "search/SearchFolder.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoServer.h"

#include <QRegularExpression>
#include <optional>

namespace {

struct ListFilter
{
    QString user;                    // null: any holder or none (--user or --holder)
    std::optional<qint64> olderThan; // seconds a reservation has been held at least
    bool mine = false;
    bool reserved = false;
    bool json = false;
    bool noCache = false;
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
    options.noCache = parser.isSet(NoCacheOption);
    if (parser.isSet(ReportOption))
        options.report = parser.value(ReportOption);
    options.folders = parser.positionalArguments();
    return options;
}

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
            QCommandLineOption(ReportOption, QString(), QStringLiteral("FILE")),
            QCommandLineOption(NoCacheOption)};
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
    WalkProgress progress;
    context.ProcessEvents = nullptr;
    const QString me = server.UserName();
    QList<ListedDocument> listed;
    context.DocumentRead = [&](const QString &fullName, const DocumentReading &reading) {
        progress.Document();
        if (Wanted(options, reading.State, me, heldSince))
            listed.append({fullName, reading.State, !reading.Damage.isEmpty(),
                           records.Item(records.Count())});
    };
    int status = ExitSuccess;
    for (const QString &folder : options.folders) {
        const QString start = AbsolutePathOf(folder);
        if (!CanBeListed(start)) {
            status = ExitFailure;
            continue;
        }
        WalkForTool(context, start, options.noCache, [&] {
            WalkFolderTree(context, start, [&](const QString &) { progress.Folder(); });
        });
    }
    return FinishListing(listed, options.report, options.json, context, status);
}
