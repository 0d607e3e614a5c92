#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace app {

std::unique_ptr<QTranslator> installQtTranslations()
{
    auto translator = std::make_unique<QTranslator>();
    // QLocale() follows LANGUAGE, LC_ALL, LC_MESSAGES and LANG; "qtbase_ja.qm", say.
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

} // namespace app
