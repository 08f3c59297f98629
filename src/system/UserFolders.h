#pragma once

#include <QString>

// The folder a base-directory variable names ("XDG_STATE_HOME", "XDG_CONFIG_HOME"), else
// the fallback below the home folder (".local/state", ".config"). An empty or relative value
// is ignored, as the base directory rules say. The folder may not exist yet.
QString UserFolder(const char *variable, const QString &fallbackInHome);

// The program's folder for what it keeps about its own work on this computer (the error log,
// the journal of a running check-out): $XDG_STATE_HOME/korvex-brevant, default
// ~/.local/state/korvex-brevant.
QString StateFolder();
