#pragma once

#include <QCommandLineParser>

// A command of the scrivo tool as its command line gave it: QCommandLineParser takes an
// option's value as "--user NAME" or "--user=NAME" alike, and "--" ends the options.
struct ParsedCommand
{
    QCommandLineParser parser;
};
