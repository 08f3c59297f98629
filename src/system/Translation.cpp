#include "system/Translation.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// Loads one catalogue for the user's languages into the application; false when none of
// them has one.
bool InstallCatalogue(const QString &name, const QString &folder)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(), name, QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace

QString TranslationsFolder()
{
    // Installed beside share/, and built the same way below the build folder.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/korvex-brevant/translations"));
}

bool LoadTranslations(const QString &folder)
{
    // Qt's own texts (the buttons and the file and folder dialogs) come from the catalogues
    // Qt installs; the program's texts from its own.
    InstallCatalogue(QStringLiteral("qtbase"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return InstallCatalogue(QStringLiteral("brevant"), folder);
}
