#pragma once

// True when a process named "korvex" (the full CAD application) of this account is running;
// other accounts' are not this user's. Any failure of the test counts as not running.
bool IsKorvexRunning();
