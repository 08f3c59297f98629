#include "shell/WindowSettings.h"

#include "model/FileListModel.h"
#include "model/ListFilter.h"
#include "shell/FileListView.h"
#include "system/UserFolders.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QSettings>

namespace {

const QString GeometryKey = QStringLiteral("window/geometry");
const QString ColumnsKey = QStringLiteral("list/columns");
const QString GridLinesKey = QStringLiteral("list/gridLines");
const QString HeldDaysKey = QStringLiteral("list/heldLongerDays");
const QString MetadataCacheKey = QStringLiteral("search/metadataCache");

} // namespace

QString WindowSettingsPath()
{
    return UserFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) +
           QStringLiteral("/korvex-brevant/window.conf");
}

bool RecallWindowLayout(QMainWindow &window, FileListView &list)
{
    const QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return true;
    window.restoreGeometry(settings.value(GeometryKey).toByteArray());
    list.header()->restoreState(settings.value(ColumnsKey).toByteArray());
    // The list sorts itself: a remembered sort indicator would claim an order it does not have.
    list.header()->setSortIndicatorShown(false);
    // Nor does a session start in a where-used list.
    list.setColumnHidden(Column::Uses, true);
    return settings.value(GridLinesKey, true).toBool();
}

void RememberWindowLayout(const QMainWindow &window, const FileListView &list)
{
    QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
    settings.setValue(GeometryKey, window.saveGeometry());
    settings.setValue(ColumnsKey, list.header()->saveState());
    settings.setValue(GridLinesKey, list.GridLines());
    settings.sync();
}

int RecallHeldDays()
{
    const QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
    bool number = false;
    const int days = settings.value(HeldDaysKey).toInt(&number);
    return number && days >= 1 && days <= MostHeldDays ? days : ListFilter::DefaultHeldDays;
}

void RememberHeldDays(int days)
{
    QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
    settings.setValue(HeldDaysKey, days);
    settings.sync();
}

bool RecallMetadataCache()
{
    return QSettings(WindowSettingsPath(), QSettings::IniFormat)
        .value(MetadataCacheKey, true)
        .toBool();
}

void RememberMetadataCache(bool used)
{
    QSettings settings(WindowSettingsPath(), QSettings::IniFormat);
    settings.setValue(MetadataCacheKey, used);
    settings.sync();
}
