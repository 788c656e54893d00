#include "app/QtTurkishTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtTurkishTexts(QCoreApplication& app) {
    auto* texts = new QTranslator(&app);
    if (!texts->load(QStringLiteral("qtbase_tr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(texts)) {
        delete texts;
        return false;
    }
    return true;
}
