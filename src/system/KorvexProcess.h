#pragma once

// True when a process named "korvex" (the full CAD application) is running. Any failure of
// the test counts as not running.
bool IsKorvexRunning();
