#include "tool/ToolOutput.h"
#include "system/Translation.h"

#include "system/FileError.h"
#include "system/FileNames.h"

#include <cerrno>
#include <cstdio>

namespace {

// The first failure to write standard output: the rest of the output is lost with it.
int outputError = 0;
bool outputErrorTold = false;

} // namespace

void Print(const QString &line)
{
    PrintBytes(EncodeFileName(line + u'\n'));
}

void PrintBytes(const QByteArray &bytes)
{
    if (std::fputs(bytes.constData(), stdout) == EOF && outputError == 0)
        outputError = errno;
}

void PrintError(const QString &message)
{
    std::fputs(EncodeFileName(QStringLiteral("scrivo: ") + message + u'\n').constData(), stderr);
}

int UsageError(const QString &message)
{
    PrintError(message);
    std::fputs(Brevant::tr("Run \"scrivo help\" for the commands.\n").toUtf8().constData(), stderr);
    return ExitUsage;
}

int FinishOutput(int status)
{
    if (std::fflush(stdout) != 0 && outputError == 0)
        outputError = errno;
    if (outputError == 0)
        return status;
    // A closed pipe ends the program by its signal before this; anything else is told, once.
    if (!outputErrorTold)
        PrintError(Brevant::tr("standard output could not be written: ") +
                   SystemReason(outputError));
    outputErrorTold = true;
    return ExitFailure;
}
