// The scrivo tool: manages the Scrivo home folder and reservations from a shell.

#include "system/Translation.h"
#include "tool/CommandLine.h"
#include "tool/ListCommand.h"
#include "tool/ToolOutput.h"
#include "tool/WhereUsedCommand.h"

#include "model/DateText.h"
#include "model/clsFile.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoSample.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"
#include "system/TimeZone.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

const char UsageText[] = QT_TRANSLATE_NOOP(
    "Brevant",
    "Usage: scrivo [-h|--help] [-V|--version] COMMAND [ARGUMENTS]\n"
    "Manages the Scrivo document server: its home folder (server.ini, Default.kpj) and the\n"
    "reservations of documents. Options take their value as \"--user NAME\" or\n"
    "\"--user=NAME\"; \"--\" ends the options.\n"
    "\n"
    "Commands:\n"
    "  projects                      list the registered project files, one a line: \"* PATH\"\n"
    "                                for the active project, \"  PATH\" (two blanks) otherwise\n"
    "  register FILE                 add a project file to the list\n"
    "  unregister FILE               remove a project file from the list\n"
    "  activate FILE                 make FILE the active project (\"\" makes Default.kpj active)\n"
    "  user [NAME]                   show or set the default user name\n"
    "  status DOC...                 one line a document, fields separated by a tab: the path,\n"
    "                                then \"available\", or the holder, the time (ISO 8601) and\n"
    "                                the version, and the comment where there is one\n"
    "  reserve [--user NAME] [-m TEXT] DOC...\n"
    "                                reserve documents for NAME (default: the default user),\n"
    "                                with the comment TEXT (-m, --comment: why, until when);\n"
    "                                works only while a Shared project is active\n"
    "  release [--user NAME] DOC...  release documents that NAME holds; same rule\n"
    "  list [OPTIONS] FOLDER...      every document below the folders, found as the window's\n"
    "                                search finds them, one a line, fields separated by a tab:\n"
    "                                the path, \"available\" or the holder, the time (ISO 8601),\n"
    "                                the version, the display name and the comment where\n"
    "                                there is one (tab, line break and backslash inside a\n"
    "                                field as \\t, \\n, \\r, \\\\)\n"
    "      --user NAME               only the documents NAME holds (also --holder NAME)\n"
    "      --older-than DURATION     only the documents held for DURATION or longer: days or\n"
    "                                hours, such as 14d or 36h\n"
    "      --mine                    only the documents the default user holds\n"
    "      --reserved                only the documents someone holds\n"
    "      --json                    one JSON array of objects instead (path, holder, time,\n"
    "                                version, displayName; time and version null when free;\n"
    "                                comment where there is one)\n"
    "      --report FILE             write the window's report of the documents instead: a\n"
    "                                spreadsheet for FILE ending in .xlsx or .xls, else text\n"
    "                                Documents that cannot be read and folders that cannot be\n"
    "                                listed go to the error log and make the exit status 1.\n"
    "      --no-cache                open and read every document; by default a document\n"
    "                                on a network share that has not changed since a walk\n"
    "                                read it is taken from the metadata cache (its\n"
    "                                reservation is always looked up)\n"
    "  where-used [OPTIONS] DOC...   every document below a folder whose references reach\n"
    "                                one of the DOCs, at any level, each once, printed as\n"
    "                                list prints it, then the comment (always a field, maybe\n"
    "                                empty) and one field for each DOC it uses\n"
    "      --in DIR                  the folder (default: the active project's workspace)\n"
    "      --json, --report FILE     as for list; JSON objects have a \"uses\" array\n"
    "      --no-cache                as for list\n"
    "  sample DIR                    write a small Shared sample project into DIR (missing or\n"
    "                                empty), register it, make it active and reserve some of\n"
    "                                its documents for \"anna\" and \"ben\"\n"
    "  help                          show this text (also -h, --help)\n"
    "  version                       show the version (also -V, --version)\n"
    "\n"
    "The home folder is $KORVEX_SCRIVO_HOME, else $XDG_CONFIG_HOME/korvex-scrivo, else\n"
    "~/.config/korvex-scrivo. Exit status: 0 on success, 1 on failure (one line on standard\n"
    "error for each failure), 2 on a usage error.\n");

int ListProjects(ScrivoServer &server)
{
    const QString active = server.ProjectHandler().ActiveProject();
    for (const QString &project : server.ProjectHandler().GetProjects())
        Print((project == active ? QStringLiteral("* ") : QStringLiteral("  ")) + project);
    return ExitSuccess;
}

QString StatusLine(ScrivoServer &server, const QString &path)
{
    const ServerDocumentPtr document = server.OpenDocument(path);
    const ReservationState state = document->Reservation();
    // The fields escaped as scrivo list escapes them, so a name cannot split the line.
    const QString shown = Escaped(document->FullFileName());
    if (!state.Reserved)
        return shown + QStringLiteral("\tavailable");
    if (state.HolderUnknown)
        return shown + u'\t' + BeingReserved;
    const QString line = shown + u'\t' + Escaped(state.By) + u'\t' + IsoDateText(state.Time) +
                         u'\t' + QString::number(state.Version);
    // A comment, where the holder gave one, is one more field.
    return state.Comment.isEmpty() ? line : line + u'\t' + Escaped(state.Comment);
}

// Runs action on every document; a failure is reported and the rest still run.
int ForEachDocument(const QStringList &documents,
                    const std::function<void(const QString &)> &action)
{
    int status = ExitSuccess;
    for (const QString &document : documents) {
        try {
            action(AbsolutePathOf(document));
        } catch (const ServerError &error) {
            PrintError(error.description);
            status = ExitFailure;
        }
    }
    return status;
}

int ChangeReservations(ScrivoServer &server, const ParsedCommand &command, bool reserve)
{
    if (command.parser.isSet(QStringLiteral("user")))
        server.SetUserName(command.parser.value(QStringLiteral("user")));
    if (reserve)
        server.SetReservationComment(command.parser.value(QStringLiteral("comment")));
    return ForEachDocument(command.parser.positionalArguments(), [&](const QString &path) {
        const ServerDocumentPtr document = server.OpenDocument(path);
        if (reserve)
            document->Reserve();
        else
            document->ReleaseReservation();
    });
}

// Reads the command's own options and arguments into parsed by the command's shape; the exit
// status of a usage error when they do not fit it.
std::optional<int> ParseCommand(const QString &command, const QStringList &words,
                                ParsedCommand &parsed)
{
    // Each command, the options it takes and the number of its arguments (-1: one or more).
    struct Shape
    {
        const char *name;
        int minimum;
        int maximum;
        QList<QCommandLineOption> options;
    };
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption comment({QStringLiteral("m"), QStringLiteral("comment")}, QString(),
                                     QStringLiteral("TEXT"));
    const QList<Shape> shapes{
        {"projects", 0, 0, {}},
        {"register", 1, 1, {}},
        {"unregister", 1, 1, {}},
        {"activate", 1, 1, {}},
        {"user", 0, 1, {}},
        {"status", 1, -1, {}},
        {"reserve", 1, -1, {user, comment}},
        {"release", 1, -1, {user}},
        {"sample", 1, 1, {}},
        {"list", 1, -1, ListOptions()},
        {"where-used", 1, -1, WhereUsedOptions()},
    };
    const auto shape = std::find_if(shapes.cbegin(), shapes.cend(), [&](const Shape &candidate) {
        return command == QLatin1String(candidate.name);
    });
    if (shape == shapes.cend())
        return UsageError(Brevant::tr("unknown command %1").arg(command));
    parsed.parser.addOptions(shape->options);
    if (!parsed.parser.parse(QStringList{QStringLiteral("scrivo ") + command} + words.mid(1)))
        return UsageError(QStringLiteral("%1: %2").arg(command, parsed.parser.errorText()));
    const QStringList rest = parsed.parser.positionalArguments();
    if (rest.size() < shape->minimum || (shape->maximum >= 0 && rest.size() > shape->maximum))
        return UsageError(rest.isEmpty() && shape->minimum > 0
                              ? (command == QLatin1String("list")
                                     ? Brevant::tr("%1: no folder given")
                                     : Brevant::tr("%1: no document given"))
                                    .arg(command)
                              : Brevant::tr("%1: wrong number of arguments").arg(command));
    return std::nullopt;
}

// Runs the parsed command on Scrivo; its exit status.
int RunCommand(const QString &command, const ParsedCommand &parsed)
{
    const QStringList rest = parsed.parser.positionalArguments();
    ScrivoServer server;
    if (command == QLatin1String("projects"))
        return ListProjects(server);
    if (command == QLatin1String("status"))
        return ForEachDocument(rest, [&](const QString &path) { Print(StatusLine(server, path)); });
    if (command == QLatin1String("list"))
        return ListCommand(server, parsed);
    if (command == QLatin1String("where-used"))
        return WhereUsedCommand(server, parsed);
    if (command == QLatin1String("reserve") || command == QLatin1String("release"))
        return ChangeReservations(server, parsed, command == QLatin1String("reserve"));
    if (command == QLatin1String("register"))
        server.RegisterProject(rest.first());
    else if (command == QLatin1String("unregister"))
        server.UnregisterProject(rest.first());
    else if (command == QLatin1String("activate"))
        server.ProjectHandler().SetActiveProject(rest.first());
    else if (command == QLatin1String("user") && rest.isEmpty())
        Print(server.DefaultUserName());
    else if (command == QLatin1String("user"))
        server.SetDefaultUserName(rest.first());
    else
        Print(WriteSampleProject(rest.first(), server));
    return ExitSuccess;
}

int Run(const QStringList &arguments)
{
    // The options before the command are the tool's own; what follows it is the command's.
    QCommandLineParser tool;
    tool.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  Brevant::tr("Show the commands."));
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                     Brevant::tr("Show the version."));
    tool.addOptions({help, version});
    if (!tool.parse(QStringList{QStringLiteral("scrivo")} + arguments))
        return UsageError(tool.errorText());
    const QStringList words = tool.positionalArguments();
    const QString command = words.value(0);
    if (tool.isSet(help) || command == QLatin1String("help")) {
        PrintBytes(Brevant::tr(UsageText).toUtf8());
        return ExitSuccess;
    }
    if (tool.isSet(version) || command == QLatin1String("version")) {
        Print(QStringLiteral("scrivo ") + QStringLiteral(BREVANT_VERSION));
        return ExitSuccess;
    }
    if (command.isEmpty())
        return UsageError(Brevant::tr("no command given"));
    ParsedCommand parsed;
    if (const std::optional<int> usageError = ParseCommand(command, words, parsed))
        return *usageError;
    return RunCommand(command, parsed);
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone();
    TellFileSizeLimitAsFailure();
    QCoreApplication app(argc, argv);
    LoadTranslations();
    try {
        // Arguments are decoded like names from the directory listing, so a document whose
        // name is not valid UTF-8 is reached by the bytes given.
        QStringList arguments;
        for (int i = 1; i < argc; ++i)
            arguments.append(DecodeFileName(QByteArray(argv[i])));
        return FinishOutput(Run(arguments));
    } catch (const ServerError &error) {
        PrintError(error.description);
        return ExitFailure;
    } catch (const std::exception &error) {
        PrintError(QString::fromLocal8Bit(error.what()));
        return ExitFailure;
    }
}
