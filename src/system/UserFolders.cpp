#include "system/UserFolders.h"

#include "system/FileNames.h"

#include <QDir>

QString UserFolder(const char *variable, const QString &fallbackInHome)
{
    const QString folder = DecodeFileName(qgetenv(variable));
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return QDir::homePath() + u'/' + fallbackInHome;
    return folder;
}

QString StateFolder()
{
    return UserFolder("XDG_STATE_HOME", QStringLiteral(".local/state")) +
           QStringLiteral("/korvex-brevant");
}
