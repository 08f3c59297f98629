#include "platform/QtPrompts.h"
#include "server/scrivo/ScrivoServer.h"
#include "shell/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex-brevant"));
    QApplication::setDesktopFileName(QStringLiteral("korvex-brevant"));

    QtPrompts prompts;
    frmMain window(prompts, [] { return std::make_shared<ScrivoServer>(); });
    prompts.SetParentWidget(&window);
    if (!window.Load())
        return 1;
    window.show();
    return QApplication::exec();
}
