#include "studio/language.h"

#include <QLibraryInfo>

namespace romscriber::studio {

bool LoadTranslations(const QLocale& locale, QTranslator& studio, QTranslator& qt) {
  if (locale.language() != QLocale::English) return false;
  if (!studio.load(QStringLiteral(":/i18n/romscriber-studio_en.qm"))) return false;
  // Qt's own buttons (Save, Cancel...) in English too; Qt ships them.
  (void)qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  return true;
}

}  // namespace romscriber::studio
