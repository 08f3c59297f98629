#include "platform/QtPrompts.h"
#include "platform/TerminationSignals.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/frmMain.h"
#include "system/FileWrite.h"
#include "system/TimeZone.h"
#include "system/Translation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <optional>

namespace {

// The window takes no arguments: --help and --version are answered without one, anything
// else is refused. The exit status when the program is to end here.
std::optional<int> AnswerCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows and changes who has the documents of a shared CAD project "
                       "checked out.\nThe window takes no arguments."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    parser.addOptions({help, version});
    const bool parsed = parser.parse(arguments);
    if (parsed && parser.isSet(help)) {
        // The parser names the program only once an application object is made.
        const QString text = parser.helpText();
        std::printf("Usage: korvex-brevant [options]\n%s",
                    qPrintable(text.mid(text.indexOf(u'\n') + 1)));
        return 0;
    }
    if (parsed && parser.isSet(version)) {
        std::printf("korvex-brevant %s\n", BREVANT_VERSION);
        return 0;
    }
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString problem =
            parsed ? QStringLiteral("unexpected argument %1").arg(parser.positionalArguments()[0])
                   : parser.errorText();
        std::fprintf(stderr, "korvex-brevant: %s\nRun \"korvex-brevant --help\" for the options.\n",
                     qPrintable(problem));
        return 2;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    PinLocalTimeZone();
    TellFileSizeLimitAsFailure();
    if (const std::optional<int> status = AnswerCommandLine(argc, argv))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex-brevant"));
    QApplication::setDesktopFileName(QStringLiteral("korvex-brevant"));
    LoadTranslations();

    QtPrompts prompts;
    frmMain window(prompts, [] { return std::make_shared<ScrivoServer>(); });
    prompts.SetParentWidget(&window);
    if (!window.Load())
        return 1;
    // A request to end the program closes the window as the end of the desktop session does.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::Requested, &window, &frmMain::EndSession,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
