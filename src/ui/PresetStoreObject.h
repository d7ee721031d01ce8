#pragma once

// The preset store as the pane plug-ins see it: a child of the application named
// "PresetsController" with the properties "selectedPreset" (the working copy as a
// QVariantMap), "dirty" and "textEncodings". The plug-ins link nothing of Orvanta, so
// this object is all they know of it.
//
// Thread: main thread only.

#include <QObject>
#include <QVariantList>
#include <QVariantMap>

#include "Value.h"

#include <optional>

namespace orvanta {
class PresetsController;
} // namespace orvanta

namespace orvanta::ui {

/// A preset value as a pane reads it (numbers, booleans, strings, string lists).
QVariant variantFromValue(const Value& value);
/// What a pane wrote, as a preset value; nothing for a type no preset holds.
std::optional<Value> valueFromVariant(const QVariant& variant);

class PresetStoreObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap selectedPreset READ selectedPreset WRITE setSelectedPreset)
    Q_PROPERTY(bool dirty READ dirty WRITE setDirty NOTIFY dirtyChanged)
    Q_PROPERTY(QVariantList textEncodings READ textEncodings CONSTANT)
public:
    static constexpr const char* kObjectName = "PresetsController";

    /// Becomes a child of the application, where the panes look for it.
    explicit PresetStoreObject(PresetsController& presets);
    ~PresetStoreObject() override;

    QVariantMap selectedPreset() const;
    /// Writes every key of preset into the working copy; marks nothing dirty.
    void setSelectedPreset(const QVariantMap& preset);
    bool dirty() const;
    void setDirty(bool dirty);
    /// {name, number} of every text encoding the recordings can decode, in menu order.
    QVariantList textEncodings() const;

signals:
    void dirtyChanged(bool dirty);

private:
    PresetsController& m_presets;
};

} // namespace orvanta::ui
