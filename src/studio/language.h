// The studio's language: its texts are written in Spanish; an English
// locale gets the English translation (and Qt's own texts in English), any
// other locale the Spanish texts.
#pragma once

#include <QLocale>
#include <QTranslator>

namespace romscriber::studio {

// Loads into `studio` and `qt` the translations `locale` asks for; false
// when it asks for Spanish (no translation is needed).
bool LoadTranslations(const QLocale& locale, QTranslator& studio, QTranslator& qt);

}  // namespace romscriber::studio
