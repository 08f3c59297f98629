#include "platform/QtPrompts.h"
#include "platform/TerminationSignals.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/frmMain.h"
#include "system/TimeZone.h"
#include "system/FileWrite.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PinLocalTimeZone();
    TellFileSizeLimitAsFailure();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex-brevant"));
    QApplication::setDesktopFileName(QStringLiteral("korvex-brevant"));

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
