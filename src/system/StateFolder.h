#pragma once

#include <QString>

// The program's folder for what it keeps about its own work on this computer (the error log,
// the journal of a running check-out): $XDG_STATE_HOME/korvex-brevant, default
// ~/.local/state/korvex-brevant. It may not exist yet.
QString StateFolder();
