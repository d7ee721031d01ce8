#include "PresetStoreObject.h"

#include "PresetsController.h"
#include "TextEncodings.h"
#include "Value.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdint>

namespace orvanta::ui {

QVariant variantFromValue(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Bool:
        return value.toBool();
    case Value::Type::Integer:
        return QVariant::fromValue<qlonglong>(value.toInteger());
    case Value::Type::Real:
        return value.toReal();
    case Value::Type::String:
        return QString::fromStdString(value.toString());
    case Value::Type::Array: {
        QStringList list;
        for (const Value& item : value.toArray())
            list.append(item.isString() ? QString::fromStdString(item.toString()) : QString());
        return list;
    }
    default:
        return {};
    }
}

std::optional<Value> valueFromVariant(const QVariant& variant)
{
    switch (variant.metaType().id()) {
    case QMetaType::Bool:
        return Value(variant.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return Value(static_cast<long long>(variant.toLongLong()));
    case QMetaType::Float:
    case QMetaType::Double:
        return Value(variant.toDouble());
    case QMetaType::QString:
        return Value(variant.toString().toStdString());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        Array list;
        for (const QVariant& item : variant.toList())
            list.append(Value(item.toString().toStdString()));
        return Value(list);
    }
    default:
        return std::nullopt;
    }
}

PresetStoreObject::PresetStoreObject(PresetsController& presets)
    : QObject(QCoreApplication::instance()), m_presets(presets)
{
    setObjectName(QString::fromLatin1(kObjectName));
}

PresetStoreObject::~PresetStoreObject() = default;

QVariantMap PresetStoreObject::selectedPreset() const
{
    QVariantMap map;
    for (const auto& [key, value] : m_presets.selectedPreset())
        map.insert(QString::fromStdString(key), variantFromValue(value));
    return map;
}

void PresetStoreObject::setSelectedPreset(const QVariantMap& preset)
{
    // The working copy is shared: writing into it is writing into the store's copy.
    Dictionary working = m_presets.selectedPreset();
    for (auto it = preset.begin(); it != preset.end(); ++it) {
        const std::string key = it.key().toStdString();
        if (std::optional<Value> value = valueFromVariant(it.value()))
            working.set(key, std::move(*value));
    }
}

bool PresetStoreObject::dirty() const
{
    return m_presets.isDirty();
}

void PresetStoreObject::setDirty(bool dirty)
{
    m_presets.setDirty(dirty);
    emit dirtyChanged(dirty);
}

QVariantList PresetStoreObject::textEncodings() const
{
    QVariantList list;
    for (const TextEncoding& encoding : supportedTextEncodings()) {
        QVariantMap item;
        item.insert(QStringLiteral("name"),
                    QCoreApplication::translate("TextEncodings", encoding.name));
        // The numbers are stored unsigned, as the presets file has them.
        item.insert(QStringLiteral("number"),
                    QVariant::fromValue<qlonglong>(static_cast<std::uint32_t>(encoding.number)));
        list.append(item);
    }
    return list;
}

} // namespace orvanta::ui
