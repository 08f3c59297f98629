#pragma once

#include <QCoreApplication>

// The translation context of the program's own texts. Brevant::tr("…") gives a text in the
// language of the catalogue loaded for the user's locale, or the English text itself when
// there is none (the C locale, English, or a language without a catalogue).
class Brevant
{
    Q_DECLARE_TR_FUNCTIONS(Brevant)
};

// The folder of the program's catalogues (brevant_<language>.qm).
QString TranslationsFolder();

// Loads Qt's catalogue and the program's (from folder) for the default locale, which is the
// user's (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), into the application object, which must
// exist. The C locale and English load none, so the texts stay as written. True when the
// program's catalogue was loaded.
bool LoadTranslations(const QString &folder = TranslationsFolder());
