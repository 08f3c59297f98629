#include "shell/MenuState.h"

#include <QObject>
#include <QVariant>

namespace {

// While a command runs or a search lists documents, what would change the list, its records
// or the project waits; Stop is there only for the search.
enum class WhileBusy { Held, Free, OnlyWhileSearching };

// The lists in which an entry is available, one bit per stage: nothing listed since start-up
// or New, a search's list, an opened document's list.
constexpr unsigned StageBit(ListStage stage)
{
    return 1u << unsigned(stage);
}
constexpr unsigned InNoList = 0;
constexpr unsigned InEmpty = StageBit(ListStage::Empty);
constexpr unsigned InListed = StageBit(ListStage::Listed);
constexpr unsigned InOpened = StageBit(ListStage::Opened);
constexpr unsigned InAnyList = InEmpty | InListed | InOpened;

struct Entry
{
    const char *name;
    unsigned stages;
    WhileBusy busy;
    bool needsRows = false;
};

using enum WhileBusy;
constexpr Entry Table[] = {
    {.name = "mnuNew", .stages = InAnyList, .busy = Held},
    {.name = "mnuOpen", .stages = InEmpty | InListed, .busy = Held},
    {.name = "mnuReserveForUser", .stages = InAnyList, .busy = Held},
    {.name = "mnuReserveSelectedFiles", .stages = InAnyList, .busy = Held},
    {.name = "mnuReserveWithComment", .stages = InAnyList, .busy = Held},
    {.name = "mnuUnreserveSelectedFiles", .stages = InAnyList, .busy = Held},
    {.name = "mnuSave", .stages = InListed | InOpened, .busy = Held},
    {.name = "mnuSaveAs", .stages = InListed | InOpened, .busy = Held},
    {.name = "mnuExit", .stages = InAnyList, .busy = Free},
    {.name = "mnuDocumentsSearch", .stages = InAnyList, .busy = Held},
    {.name = "mnuCopy", .stages = InAnyList, .busy = Free},
    {.name = "mnuSelectAll", .stages = InAnyList, .busy = Free},
    {.name = "mnuDeleteItems", .stages = InAnyList, .busy = Held},
    {.name = "mnuWhereUsed", .stages = InListed | InOpened, .busy = Held, .needsRows = true},
    {.name = "mnuStopDocumentsSearch", .stages = InNoList, .busy = OnlyWhileSearching},
    {.name = "mnuRefresh", .stages = InAnyList, .busy = Held},
    {.name = "mnuAutoRefresh", .stages = InAnyList, .busy = Free},
    // Read as each search starts: a change during one is for the next.
    {.name = "mnuMetadataCache", .stages = InAnyList, .busy = Free},
    {.name = "mnuGridlinesOn", .stages = InAnyList, .busy = Free},
    {.name = "mnuGridlinesOff", .stages = InAnyList, .busy = Free},
    {.name = "mnuInfo", .stages = InAnyList, .busy = Free},
    {.name = "pupmnuDeleteItems", .stages = InAnyList, .busy = Held, .needsRows = true},
    {.name = "pupmnuSelectAll", .stages = InAnyList, .busy = Free},
    {.name = "pupmnuReserve", .stages = InAnyList, .busy = Held},
    {.name = "pupmnuReserveWithComment", .stages = InAnyList, .busy = Held},
    {.name = "pupmnuUnreserve", .stages = InAnyList, .busy = Held},
    {.name = "pupmnuWhereUsed", .stages = InListed | InOpened, .busy = Held, .needsRows = true},
    {.name = "pupmnuRefresh", .stages = InAnyList, .busy = Held},
    {.name = "pupmnuCopyPaths", .stages = InAnyList, .busy = Free},
    {.name = "pupmnuOpenFolder", .stages = InAnyList, .busy = Free},
    // The project stays while a list is shown.
    {.name = "Combo1", .stages = InEmpty, .busy = Held},
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
    return (entry.stages & StageBit(stage)) != 0;
}

} // namespace

MenuState::MenuState(const QObject &window)
{
    for (const Entry &entry : Table) {
        QObject *found = window.findChild<QObject *>(QLatin1String(entry.name));
        // A name of the table the window lacks is a fault of the program, never of its input.
        if (!found)
            qFatal("The window has no entry named %s", entry.name);
        entries.append(found);
    }
}

void MenuState::Apply(ListStage stage, CommandGuard::Activity activity, bool hasRows) const
{
    // Actions and widgets both carry the "enabled" property.
    for (qsizetype i = 0; i < entries.size(); ++i)
        entries.at(i)->setProperty("enabled", Enabled(Table[i], stage, activity, hasRows));
}
