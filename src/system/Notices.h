#pragma once

#include <QString>

// A note for whoever runs the program that is no failure (a share's limit the programs work
// around), on standard error as "<program>: <text>".
void Notice(const QString &text);
