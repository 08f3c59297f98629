#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

TestEnvironment::TestEnvironment()
    : oldScrivoHome(qgetenv("KORVEX_SCRIVO_HOME")), oldStateHome(qgetenv("XDG_STATE_HOME"))
{
    QDir().mkpath(scrivoHome());
    QDir().mkpath(stateHome());
    qputenv("KORVEX_SCRIVO_HOME", QFile::encodeName(scrivoHome()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(stateHome()));
}

static void restoreVariable(const char *name, const QByteArray &old)
{
    if (old.isNull())
        qunsetenv(name);
    else
        qputenv(name, old);
}

TestEnvironment::~TestEnvironment()
{
    restoreVariable("KORVEX_SCRIVO_HOME", oldScrivoHome);
    restoreVariable("XDG_STATE_HOME", oldStateHome);
}

QString TestEnvironment::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write test file %s", qPrintable(full));
    file.write(content);
    return full;
}
