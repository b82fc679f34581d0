// The studio's language: its texts are written in Spanish; an English
// locale gets the English translation, any other locale the Spanish texts.
// Qt's own texts (the Close and Cancel of its dialogs) follow in the same
// language when Qt's translations are installed.
#pragma once

#include <QLocale>
#include <QTranslator>

namespace romscriber::studio {

// Loads into `studio` the studio's translation for `locale` and into `qt`
// Qt's own texts in the language chosen. True when the studio shows
// English; `qt` may stay empty (Qt's translations not installed).
bool LoadTranslations(const QLocale& locale, QTranslator& studio, QTranslator& qt);

}  // namespace romscriber::studio
