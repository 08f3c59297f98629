#pragma once

#include <QString>

class FileListView;
class QMainWindow;

// The user's layout of the window, kept between sessions in the user's configuration folder
// ($XDG_CONFIG_HOME/korvex-brevant/window.conf, default ~/.config): the window's place and
// size, the column widths, whether grid lines are drawn, the days of "Held longer than" and
// whether searches use the metadata cache.
// Nothing of it is shared with other users or kept in the server's files.
QString WindowSettingsPath();

// Puts the remembered layout on the window and list; a missing or unreadable file leaves
// them as they are. Returns the remembered grid-line choice (on when none).
bool RecallWindowLayout(QMainWindow &window, FileListView &list);
void RememberWindowLayout(const QMainWindow &window, const FileListView &list);

// A hundred years: more days than any reservation has been held.
constexpr int MostHeldDays = 36500;

// The number of days last given for "Held longer than" (ListFilter::DefaultHeldDays when none
// is remembered).
int RecallHeldDays();
void RememberHeldDays(int days);

// Whether searches on shares use the metadata cache (on when nothing is remembered).
bool RecallMetadataCache();
void RememberMetadataCache(bool used);
