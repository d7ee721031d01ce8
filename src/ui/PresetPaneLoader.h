#pragma once

// Finds the preset panes: every entry of a folder, in listing order, is tried as a Qt
// plug-in of the pane interface. Whatever is no such plug-in (a broken library, a library
// that is no Qt plug-in, a pane of another interface version) is skipped without a word;
// a later plug-in with the name of an earlier one replaces it.
//
// Thread: main thread only.

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class QObject;
class QPluginLoader;

namespace orvanta {
class PresetPane;
}

namespace orvanta::ui {

class PresetPaneLoader
{
public:
    /// The panes of an installed program (beside it, in lib/.../orvanta/panes), else those
    /// of the build tree.
    static QString defaultFolder();

    PresetPaneLoader();
    ~PresetPaneLoader();
    PresetPaneLoader(const PresetPaneLoader&) = delete;
    PresetPaneLoader& operator=(const PresetPaneLoader&) = delete;

    void loadFolder(const QString& folder);

    /// The names of the panes found, sorted case-insensitively.
    QStringList names() const;
    /// The pane of that name, or nullptr.
    PresetPane* pane(const QString& name) const;
    /// The plug-in object of the pane (its QObject side), or nullptr.
    QObject* paneObject(const QString& name) const;

private:
    struct Loaded
    {
        std::unique_ptr<QPluginLoader> loader;
        QObject* object = nullptr;
        PresetPane* pane = nullptr;
    };
    std::map<QString, Loaded> m_panes;
};

} // namespace orvanta::ui
