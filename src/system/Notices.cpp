#include "system/Notices.h"

#include "system/FileNames.h"

#include <QCoreApplication>
#include <cstdio>

void Notice(const QString &text)
{
    const QString program = QCoreApplication::applicationName();
    const QString line =
        (program.isEmpty() ? QString() : program + QStringLiteral(": ")) + text + u'\n';
    std::fputs(EncodeFileName(line).constData(), stderr);
}
