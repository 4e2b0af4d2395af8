#include "foundation/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

// The catalogue of Qt's widgets, dialogs and print support.
const char* const kCatalogue = "qtbase_ru";

std::unique_ptr<QTranslator>& Installed()
{
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

bool InstallQtTranslations()
{
    if (Installed())
        return true;
    if (!QCoreApplication::instance())
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(kCatalogue), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get()))
        return false;
    Installed() = std::move(translator);
    return true;
}

void RemoveQtTranslations()
{
    if (!Installed())
        return;
    QCoreApplication::removeTranslator(Installed().get());
    Installed().reset();
}
