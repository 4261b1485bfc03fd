#include "app/qt/toolkittranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

TToolkitTranslation::TToolkitTranslation() = default;

TToolkitTranslation::~TToolkitTranslation()
{
    if (Installed)
        QCoreApplication::removeTranslator(Dutch.get());
}

bool TToolkitTranslation::Apply(std::uint8_t langIndex)
{
    if (langIndex != 1) {
        // Removing it sends every widget a language change: the dialog takes its English back.
        if (Installed)
            QCoreApplication::removeTranslator(Dutch.get());
        Installed = false;
        return true;
    }
    if (Installed)
        return true;
    if (!Dutch) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(QStringLiteral("qtbase_nl"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return false;
        Dutch = std::move(translator);
    }
    Installed = QCoreApplication::installTranslator(Dutch.get());
    return Installed;
}
