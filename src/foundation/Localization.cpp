#include "Localization.h"

#include "Resources.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QTranslator>

std::string Orvanta::tr(const char* english)
{
    return orvanta::localizedString(english);
}

std::string Orvanta::tr(const char* english, std::initializer_list<std::string> arguments)
{
    QString text = QCoreApplication::translate("Orvanta", english);
    // One pass, so an argument holding "%2" is never itself replaced.
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'%' && i + 1 < text.size() && text.at(i + 1).isDigit() &&
            text.at(i + 1) != u'0') {
            const auto index = static_cast<std::size_t>(text.at(i + 1).digitValue() - 1);
            if (index < arguments.size()) {
                result += QString::fromStdString(*(arguments.begin() + index));
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result.toStdString();
}

namespace orvanta {

std::string localizedString(const char* english)
{
    return QCoreApplication::translate("Orvanta", english).toStdString();
}

std::string localizedNumber(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals).toStdString();
}

std::string localizedDateTime(double secondsSince1970, const char* pattern)
{
    const auto when = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(secondsSince1970 * 1000));
    return QLocale().toString(when, QString::fromLatin1(pattern)).toStdString();
}

std::string translationsFolder()
{
    const std::string installed = resourcesFolder() + "/translations";
    if (QFileInfo(QString::fromStdString(installed)).isDir())
        return installed;
    // A developer's program run from its build folder: the translations built there.
    const std::string build = developerBuildFolder();
    return build.empty() ? installed : build + "/translations";
}

bool installTranslations()
{
    auto* own = new QTranslator(QCoreApplication::instance());
    if (!own->load(QLocale::system(), QStringLiteral("orvanta"), QStringLiteral("_"),
                   QString::fromStdString(translationsFolder()))) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);
    // Qt's own texts (the standard buttons, file dialogues), where the system has them.
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return true;
}

} // namespace orvanta
