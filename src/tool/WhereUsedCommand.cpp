#include "tool/WhereUsedCommand.h"
#include "system/Translation.h"

#include "tool/ListedDocuments.h"
#include "tool/ToolOutput.h"

#include "search/WhereUsed.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoServer.h"

namespace {

const QString InOption = QStringLiteral("in");
const QString JsonOption = QStringLiteral("json");
const QString ReportOption = QStringLiteral("report");

// The documents asked about, each opened once so that a name the server cannot open is told
// now; status becomes a failure for each of those.
QStringList TargetsOf(ScrivoServer &server, const QStringList &documents, int &status)
{
    QStringList targets;
    for (const QString &document : documents) {
        const QString path = AbsolutePathOf(document);
        try {
            server.OpenDocument(path);
            targets.append(path);
        } catch (const ServerError &error) {
            PrintError(error.description);
            status = ExitFailure;
        }
    }
    return targets;
}

} // namespace

QList<QCommandLineOption> WhereUsedOptions()
{
    return {QCommandLineOption(InOption, QString(), QStringLiteral("DIR")),
            QCommandLineOption(JsonOption),
            QCommandLineOption(ReportOption, QString(), QStringLiteral("FILE")),
            QCommandLineOption(NoCacheOption)};
}

int WhereUsedCommand(ScrivoServer &server, const ParsedCommand &command)
{
    const QCommandLineParser &parser = command.parser;
    const bool json = parser.isSet(JsonOption);
    if (json && parser.isSet(ReportOption))
        return UsageError(Brevant::tr("where-used: --json and --report exclude each other"));
    const QString folder =
        parser.isSet(InOption) ? parser.value(InOption) : server.ProjectHandler().WorkspacePath();
    if (folder.isEmpty())
        return UsageError(Brevant::tr("where-used: the active project names no workspace; "
                                      "give the folder with --in DIR"));
    const QString start = AbsolutePathOf(folder);
    const bool walkable = CanBeListed(start);
    int status = walkable ? ExitSuccess : ExitFailure;
    const QStringList targets = TargetsOf(server, parser.positionalArguments(), status);

    clsFiles records;
    QStringList work;
    bool stop = false;
    SearchContext context(server, records, work, stop);
    context.ProcessEvents = nullptr;
    WalkProgress progress;
    context.DocumentRead = [&](const QString &, const DocumentReading &) { progress.Document(); };
    // Even when nothing can be looked for, the output is what it would be for no user (an
    // empty report, "[]"), as scrivo list gives it for a folder it cannot list.
    QList<UsingDocument> users;
    if (walkable && !targets.isEmpty())
        WalkForTool(context, start, parser.isSet(NoCacheOption), [&] {
            users =
                FindWhereUsed(context, start, targets, [&](const QString &) { progress.Folder(); });
        });

    QList<ListedDocument> listed;
    for (const UsingDocument &user : users)
        listed.append({user.FullName, user.Reading.State, !user.Reading.Damage.isEmpty(),
                       user.Record, user.Uses});
    return FinishListing(listed,
                         parser.isSet(ReportOption) ? parser.value(ReportOption) : QString(), json,
                         context, status);
}
