#include "server/MultiUserModes.h"

namespace {

// The multi-user modes: the name a project file's "MultiUser" key holds, and its number.
const struct
{
    const char16_t *name;
    int mode;
} ModeTable[] = {
    {u"Single User", MultiUserModes::SingleUser},
    {u"Shared", MultiUserModes::Shared},
    {u"Semi-Isolated", MultiUserModes::SemiIsolated},
    {u"Semi-Isolated no checkout", MultiUserModes::SemiIsolatedNoCheckout},
    {u"Depona", MultiUserModes::Depona},
};

} // namespace

QString MultiUserModeName(int mode)
{
    for (const auto &entry : ModeTable)
        if (entry.mode == mode)
            return QString::fromUtf16(entry.name);
    return QString();
}

int MultiUserModeFromName(const QString &name)
{
    for (const auto &entry : ModeTable)
        if (name == QStringView(entry.name))
            return entry.mode;
    return MultiUserModes::SingleUser;
}
