#include "system/StateFolder.h"

#include "system/FileNames.h"

#include <QDir>

QString StateFolder()
{
    // A relative XDG_STATE_HOME is to be ignored, as the base directory rules say.
    QString stateHome = DecodeFileName(qgetenv("XDG_STATE_HOME"));
    if (stateHome.isEmpty() || !QDir::isAbsolutePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/korvex-brevant");
}
