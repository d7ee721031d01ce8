#include "PresetPaneLoader.h"

#include "PresetPane.h"
#include "Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>

#include <algorithm>

namespace orvanta::ui {

QString PresetPaneLoader::defaultFolder()
{
    // ORVANTA_INSTALLED_PANES is relative to the installed programs' folder.
    const QDir installed(QCoreApplication::applicationDirPath() +
                         QStringLiteral("/" ORVANTA_INSTALLED_PANES));
    if (installed.exists())
        return installed.canonicalPath();
    const std::string build = developerBuildFolder();
    return build.empty() ? installed.path() : QString::fromStdString(build + "/panes");
}

PresetPaneLoader::PresetPaneLoader() = default;

// The libraries stay loaded: the pane objects live until the program ends (a later
// window finds them again), and the widgets they made are deleted by the window that shows
// them while their code is still there.
PresetPaneLoader::~PresetPaneLoader() = default;

void PresetPaneLoader::loadFolder(const QString& folder)
{
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        auto loader = std::make_unique<QPluginLoader>(dir.absoluteFilePath(entry));
        // Read without loading the library: a pane of another interface version is never
        // loaded, let alone called.
        const QJsonObject metaData = loader->metaData();
        if (metaData.value(QStringLiteral("IID")).toString() != QLatin1String(kPresetPaneIID))
            continue;
        const QString name = metaData.value(QStringLiteral("MetaData"))
                                 .toObject()
                                 .value(QStringLiteral("name"))
                                 .toString();
        if (name.isEmpty())
            continue;
        QObject* object = loader->instance();
        auto* pane = qobject_cast<PresetPane*>(object);
        if (!pane) {
            loader->unload();
            continue;
        }
        // An earlier namesake's loader goes; its library stays loaded (see the destructor).
        m_panes[name] = Loaded{std::move(loader), object, pane};
    }
}

QStringList PresetPaneLoader::names() const
{
    QStringList names;
    for (const auto& [name, loaded] : m_panes)
        names.append(name);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

PresetPane* PresetPaneLoader::pane(const QString& name) const
{
    const auto found = m_panes.find(name);
    return found == m_panes.end() ? nullptr : found->second.pane;
}

QObject* PresetPaneLoader::paneObject(const QString& name) const
{
    const auto found = m_panes.find(name);
    return found == m_panes.end() ? nullptr : found->second.object;
}

} // namespace orvanta::ui
