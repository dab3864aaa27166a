#include "app/ui/toolkittranslation.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zorvane {

bool loadToolkitTranslation(QTranslator &translator, const QLocale &locale)
{
    // Tries the locale's languages in order, with and without the region.
    return translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

} // namespace zorvane
