#pragma once

// What every preset pane does the same way: find the preset store, read the working copy,
// write a key and mark the store dirty, and build its widgets only when first shown.
// Header-only, so that a pane links Qt and nothing else.

#include "PresetPane.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QWidget>

#include <initializer_list>
#include <utility>

namespace panes {

/// The preset store, found by its name among the application's objects; nullptr without.
inline QObject* presetStore()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app ? app->findChild<QObject*>(QStringLiteral("PresetsController"),
                                          Qt::FindDirectChildrenOnly)
               : nullptr;
}

// Values of the wrong type read as the control's default: 0, off, empty.
inline bool isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}
inline qlonglong integerOf(const QVariant& value)
{
    return isNumber(value) ? value.toLongLong() : 0;
}
inline double realOf(const QVariant& value)
{
    return isNumber(value) ? value.toDouble() : 0.0;
}
inline bool boolOf(const QVariant& value)
{
    return isNumber(value) && value.toDouble() != 0.0;
}
inline QString stringOf(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString ? value.toString() : QString();
}
inline QStringList stringListOf(const QVariant& value)
{
    const int type = value.metaType().id();
    return type == QMetaType::QStringList || type == QMetaType::QVariantList ? value.toStringList()
                                                                             : QStringList();
}

class PaneBase : public QObject, public orvanta::PresetPane
{
public:
    QWidget* loadMainView() override
    {
        if (!m_view)
            m_view = buildView();
        if (m_view)
            mainViewDidLoad();
        return m_view;
    }
    void willSelect() override {}
    QWidget* mainView() const override { return m_view; }
    void didSelect() override {}

    ~PaneBase() override { delete m_view; }

protected:
    /// The pane's widgets, built once.
    virtual QWidget* buildView() = 0;

    /// The working copy of the selected preset.
    QVariantMap getPreset() const
    {
        QObject* store = presetStore();
        return store ? store->property("selectedPreset").toMap() : QVariantMap();
    }
    QVariant valueForKey(const char* key) const { return getPreset().value(QLatin1String(key)); }

    /// Stores value in the working copy and marks the store dirty.
    void setObject(const QVariant& value, const char* key)
    {
        writeQuietly(value, key);
        if (QObject* store = presetStore())
            store->setProperty("dirty", true);
    }
    /// Stores value in the working copy without marking it changed.
    void writeQuietly(const QVariant& value, const char* key)
    {
        QObject* store = presetStore();
        if (!store)
            return;
        QVariantMap preset;
        preset.insert(QLatin1String(key), value);
        store->setProperty("selectedPreset", preset);
    }

    static void nameControls(std::initializer_list<std::pair<QObject*, const char*>> controls)
    {
        for (const auto& [control, name] : controls)
            control->setObjectName(QLatin1String(name));
    }

    QPointer<QWidget> m_view;
};

} // namespace panes
