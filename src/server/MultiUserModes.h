#pragma once

#include <QString>

// The multi-user modes a project can be in, as the server reports them, and their names.
namespace MultiUserModes {
constexpr int SingleUser = 36353;
constexpr int Shared = 36354;
constexpr int SemiIsolated = 36355;
constexpr int SemiIsolatedNoCheckout = 36356;
constexpr int Depona = 36357;
} // namespace MultiUserModes

// The name of a multi-user mode number, "" for an unknown number.
QString MultiUserModeName(int mode);

// The mode number for a name of the "MultiUser" key; SingleUser for "" or an unknown name.
int MultiUserModeFromName(const QString &name);
