#include "Localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QString>
#include <QTranslator>

namespace orvanta {

std::string localizedString(const char* english)
{
    return QCoreApplication::translate("Orvanta", english).toStdString();
}

bool installTranslations(const std::string& folder)
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale::system(), QStringLiteral("orvanta"), QStringLiteral("_"),
                          QString::fromStdString(folder))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace orvanta
