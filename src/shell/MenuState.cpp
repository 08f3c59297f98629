#include "shell/MenuState.h"

#include <QObject>
#include <QVariant>

namespace {

// While a command runs or a search lists documents, what would change the list, its records
// or the project waits; Stop is there only for the search.
enum class WhileBusy { Held, Free, OnlyWhileSearching };

struct Entry
{
    const char *name;
    bool empty;  // nothing listed since start-up or New
    bool listed; // a search's list
    bool opened; // an opened document's list
    WhileBusy busy;
    bool needsRows = false;
};

using enum WhileBusy;
constexpr Entry Table[] = {
    {"mnuNew", true, true, true, Held},
    {"mnuOpen", true, true, false, Held},
    {"mnuReserveForUser", true, true, true, Held},
    {"mnuReserveSelectedFiles", true, true, true, Held},
    {"mnuUnreserveSelectedFiles", true, true, true, Held},
    {"mnuSave", false, true, true, Held},
    {"mnuSaveAs", false, true, true, Held},
    {"mnuExit", true, true, true, Free},
    {"mnuDocumentsSearch", true, true, true, Held},
    {"mnuCopy", true, true, true, Free},
    {"mnuSelectAll", true, true, true, Free},
    {"mnuDeleteItems", true, true, true, Held},
    {"mnuStopDocumentsSearch", false, false, false, OnlyWhileSearching},
    {"mnuRefresh", true, true, true, Held},
    {"mnuAutoRefresh", true, true, true, Free},
    {"mnuGridlinesOn", true, true, true, Free},
    {"mnuGridlinesOff", true, true, true, Free},
    {"mnuInfo", true, true, true, Free},
    {"pupmnuDeleteItems", true, true, true, Held, true},
    {"pupmnuSelectAll", true, true, true, Free},
    {"pupmnuReserve", true, true, true, Held},
    {"pupmnuUnreserve", true, true, true, Held},
    {"pupmnuRefresh", true, true, true, Held},
    {"pupmnuCopyPaths", true, true, true, Free},
    {"pupmnuOpenFolder", true, true, true, Free},
    // The project stays while a list is shown.
    {"Combo1", true, false, false, Held},
};

bool Enabled(const Entry &entry, ListStage stage, CommandGuard::Activity activity, bool hasRows)
{
    using Activity = CommandGuard::Activity;
    if (entry.busy == OnlyWhileSearching)
        return activity == Activity::Searching;
    if (entry.busy == Held && activity != Activity::Idle)
        return false;
    if (entry.needsRows && !hasRows)
        return false;
    switch (stage) {
    case ListStage::Empty:
        return entry.empty;
    case ListStage::Listed:
        return entry.listed;
    case ListStage::Opened:
        return entry.opened;
    }
    return false;
}

} // namespace

MenuState::MenuState(const QObject &window)
{
    for (const Entry &entry : Table)
        entries.append(window.findChild<QObject *>(QLatin1String(entry.name)));
}

void MenuState::Apply(ListStage stage, CommandGuard::Activity activity, bool hasRows) const
{
    // Actions and widgets both carry the "enabled" property.
    for (qsizetype i = 0; i < entries.size(); ++i)
        if (entries.at(i))
            entries.at(i)->setProperty("enabled", Enabled(Table[i], stage, activity, hasRows));
}
