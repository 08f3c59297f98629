// The scrivo tool: manages the Scrivo home folder and reservations from a shell.

#include "tool/ListCommand.h"
#include "tool/ToolOutput.h"

#include "model/DateText.h"
#include "model/clsFile.h"
#include "server/ServerError.h"
#include "server/scrivo/ScrivoHome.h"
#include "server/scrivo/ScrivoSample.h"
#include "server/scrivo/ScrivoServer.h"
#include "system/FileNames.h"
#include "system/FileWrite.h"
#include "system/TimeZone.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <functional>

namespace {

const char UsageText[] =
    "Usage: scrivo COMMAND [ARGUMENTS]\n"
    "Manages the Scrivo document server: its home folder (server.ini, Default.kpj) and the\n"
    "reservations of documents.\n"
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
    "                                the version\n"
    "  reserve [--user NAME] DOC...  reserve documents for NAME (default: the default user);\n"
    "                                works only while a Shared project is active\n"
    "  release [--user NAME] DOC...  release documents that NAME holds; same rule\n"
    "  list [OPTIONS] FOLDER...      every document below the folders, found as the window's\n"
    "                                search finds them, one a line, fields separated by a tab:\n"
    "                                the path, \"available\" or the holder, the time (ISO 8601),\n"
    "                                the version and the display name (tab, line break and\n"
    "                                backslash inside a field as \\t, \\n, \\r, \\\\)\n"
    "      --user NAME               only the documents NAME holds\n"
    "      --mine                    only the documents the default user holds\n"
    "      --reserved                only the documents someone holds\n"
    "      --json                    one JSON array of objects instead (path, holder, time,\n"
    "                                version, displayName; time and version null when free)\n"
    "      --report FILE             write the window's report of the documents instead: a\n"
    "                                spreadsheet for FILE ending in .xlsx or .xls, else text\n"
    "                                Documents that cannot be read go to the error log and make\n"
    "                                the exit status 1.\n"
    "  sample DIR                    write a small Shared sample project into DIR (missing or\n"
    "                                empty), register it, make it active and reserve some of\n"
    "                                its documents for \"anna\" and \"ben\"\n"
    "  help                          show this text\n"
    "\n"
    "The home folder is $KORVEX_SCRIVO_HOME, else $XDG_CONFIG_HOME/korvex-scrivo, else\n"
    "~/.config/korvex-scrivo. Exit status: 0 on success, 1 on failure (one line on standard\n"
    "error for each failure), 2 on a usage error.\n";

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
    return shown + u'\t' + Escaped(state.By) + u'\t' + IsoDateText(state.Time) + u'\t' +
           QString::number(state.Version);
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

// The documents of a command: its arguments, less "--user NAME" where the command takes it.
// Any other argument that starts with "--" is an unknown option, unless it follows "--".
struct DocumentArguments
{
    QStringList documents;
    QString user;
    QString usageError;
};

DocumentArguments ParseDocumentArguments(const QString &command, const QStringList &arguments,
                                         bool takesUser)
{
    DocumentArguments parsed;
    bool options = true;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && takesUser && argument == QLatin1String("--user")) {
            if (i + 1 >= arguments.size()) {
                parsed.usageError = QStringLiteral("%1: --user needs a name").arg(command);
                return parsed;
            }
            parsed.user = arguments.at(++i);
        } else if (options && argument.startsWith(QLatin1String("--"))) {
            parsed.usageError = QStringLiteral("%1: unknown option %2").arg(command, argument);
            return parsed;
        } else {
            parsed.documents.append(argument);
        }
    }
    if (parsed.documents.isEmpty())
        parsed.usageError = QStringLiteral("%1: no document given").arg(command);
    return parsed;
}

int ChangeReservations(ScrivoServer &server, const QStringList &arguments, bool reserve)
{
    const QString command = reserve ? QStringLiteral("reserve") : QStringLiteral("release");
    const DocumentArguments parsed = ParseDocumentArguments(command, arguments, true);
    if (!parsed.usageError.isEmpty())
        return UsageError(parsed.usageError);
    if (!parsed.user.isNull())
        server.SetUserName(parsed.user);
    return ForEachDocument(parsed.documents, [&](const QString &path) {
        const ServerDocumentPtr document = server.OpenDocument(path);
        if (reserve)
            document->Reserve();
        else
            document->ReleaseReservation();
    });
}

int Run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return UsageError(QStringLiteral("no command given"));
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("help") || command == QLatin1String("--help")) {
        PrintBytes(UsageText);
        return ExitSuccess;
    }

    // Each command and the number of arguments it takes (-1: one or more).
    struct Shape
    {
        const char *name;
        int minimum;
        int maximum;
    };
    static const Shape shapes[] = {
        {"projects", 0, 0}, {"register", 1, 1}, {"unregister", 1, 1}, {"activate", 1, 1},
        {"user", 0, 1},     {"status", 1, -1},  {"reserve", 1, -1},   {"release", 1, -1},
        {"sample", 1, 1},   {"list", 1, -1},
    };
    const Shape *shape = nullptr;
    for (const Shape &candidate : shapes)
        if (command == QLatin1String(candidate.name))
            shape = &candidate;
    if (!shape)
        return UsageError(QStringLiteral("unknown command %1").arg(command));
    if (rest.size() < shape->minimum || (shape->maximum >= 0 && rest.size() > shape->maximum))
        return UsageError(QStringLiteral("%1: wrong number of arguments").arg(command));

    ScrivoServer server;
    if (command == QLatin1String("projects"))
        return ListProjects(server);
    if (command == QLatin1String("register")) {
        server.RegisterProject(rest.first());
        return ExitSuccess;
    }
    if (command == QLatin1String("unregister")) {
        server.UnregisterProject(rest.first());
        return ExitSuccess;
    }
    if (command == QLatin1String("activate")) {
        server.ProjectHandler().SetActiveProject(rest.first());
        return ExitSuccess;
    }
    if (command == QLatin1String("user")) {
        if (rest.isEmpty())
            Print(server.DefaultUserName());
        else
            server.SetDefaultUserName(rest.first());
        return ExitSuccess;
    }
    if (command == QLatin1String("status")) {
        const DocumentArguments parsed = ParseDocumentArguments(command, rest, false);
        if (!parsed.usageError.isEmpty())
            return UsageError(parsed.usageError);
        return ForEachDocument(parsed.documents,
                               [&](const QString &path) { Print(StatusLine(server, path)); });
    }
    if (command == QLatin1String("list"))
        return ListCommand(server, rest);
    if (command == QLatin1String("reserve") || command == QLatin1String("release"))
        return ChangeReservations(server, rest, command == QLatin1String("reserve"));
    Print(WriteSampleProject(rest.first(), server));
    return ExitSuccess;
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone();
    TellFileSizeLimitAsFailure();
    QCoreApplication app(argc, argv);
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
