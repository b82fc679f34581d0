#include "studio/language.h"

#include <QLibraryInfo>

namespace romscriber::studio {

bool LoadTranslations(const QLocale& locale, QTranslator& studio, QTranslator& qt) {
  const bool english = locale.language() == QLocale::English &&
                       studio.load(QStringLiteral(":/i18n/romscriber-studio_en.qm"));
  const QLocale shown = english ? locale : QLocale(QLocale::Spanish, QLocale::Spain);
  (void)qt.load(shown, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  return english;
}

}  // namespace romscriber::studio
