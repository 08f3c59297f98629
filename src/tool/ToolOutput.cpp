#include "tool/ToolOutput.h"

#include "system/FileNames.h"

#include <cstdio>

void Print(const QString &line)
{
    std::fputs(EncodeFileName(line + u'\n').constData(), stdout);
}

void PrintError(const QString &message)
{
    std::fputs(EncodeFileName(QStringLiteral("scrivo: ") + message + u'\n').constData(), stderr);
}

int UsageError(const QString &message)
{
    PrintError(message);
    std::fputs("Run \"scrivo help\" for the commands.\n", stderr);
    return ExitUsage;
}
