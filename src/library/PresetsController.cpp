#include "PresetsController.h"

#include "Localization.h"
#include "Log.h"
#include "MyPresetsDataSource.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include <QString>

namespace orvanta {

using presetkeys::kStandardPresetID;
using presetkeys::PRESET_KEY_NAME;

PresetsController& PresetsController::sharedInstance()
{
    static PresetsController instance;
    return instance;
}

PresetsController::PresetsController()
{
    // The built-in preset is there before any file is read, and stays if none can be.
    _presets.set(kStandardPresetID, MyPresetsDataSource::makeStandardPreset());
    selectStandardPreset();
}

void PresetsController::setDataSource(std::shared_ptr<PresetsDataSource> dataSource)
{
    _dataSource = std::move(dataSource);
    if (_dataSource) {
        Dictionary loaded;
        _dataSource->loadPresets(*this, loaded);
        if (!loaded.contains(kStandardPresetID))
            loaded.set(kStandardPresetID, _dataSource->standardPreset());
        _presets = loaded;
    }
    selectStandardPreset();
}

void PresetsController::setDelegate(PresetsControllerDelegate* delegate)
{
    _delegate = delegate;
}

Dictionary PresetsController::presetForID(const std::string& identifier) const
{
    if (const Value* preset = _presets.find(identifier))
        return preset->deepCopy().toDictionary();
    return Dictionary();
}

Dictionary PresetsController::standardPreset() const
{
    return presetForID(std::string(kStandardPresetID));
}

bool PresetsController::presetIDExists(const std::string& identifier) const
{
    return _presets.contains(identifier);
}

bool PresetsController::presetNameExists(const std::string& name) const
{
    return idForPresetName(name).has_value();
}

std::optional<std::string> PresetsController::presetNameForID(const std::string& identifier) const
{
    if (const Value* preset = _presets.find(identifier))
        return preset->toDictionary().get(PRESET_KEY_NAME).toString();
    return std::nullopt;
}

std::optional<std::string> PresetsController::idForPresetName(const std::string& name) const
{
    for (const auto& [identifier, preset] : _presets) {
        const Value stored = preset.toDictionary().get(PRESET_KEY_NAME);
        if (stored.isString() && stored.toString() == name)
            return identifier;
    }
    return std::nullopt;
}

std::string PresetsController::addPreset(const Dictionary& preset, const std::string& name)
{
    const std::string identifier = unusedUID();
    setPreset(preset, identifier, name);
    // Unlike a save from the window, this leaves the working copy's dirty state alone.
    if (_dataSource)
        _dataSource->savePresets(*this, _presets);
    return identifier;
}

std::vector<std::string> PresetsController::sortedPresetIDs() const
{
    std::vector<std::pair<QString, std::string>> named;
    for (const auto& [identifier, preset] : _presets)
        named.emplace_back(
            QString::fromStdString(preset.toDictionary().get(PRESET_KEY_NAME).toString()),
            identifier);
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        const int order = QString::compare(a.first, b.first, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.second < b.second;
    });
    std::vector<std::string> identifiers;
    for (auto& entry : named)
        identifiers.push_back(std::move(entry.second));
    return identifiers;
}

std::vector<PresetMenuEntry> PresetsController::getPresetsMenu() const
{
    std::vector<PresetMenuEntry> entries;
    if (const auto name = presetNameForID(std::string(kStandardPresetID))) {
        entries.push_back({*name, std::string(kStandardPresetID), false});
        entries.push_back({"", "", true});
    }
    for (const auto& identifier : sortedPresetIDs())
        if (identifier != kStandardPresetID)
            entries.push_back({*presetNameForID(identifier), identifier, false});
    return entries;
}

PresetsPopUp PresetsController::presetsPopUp() const
{
    PresetsPopUp popUp{getPresetsMenu(), 0};
    for (std::size_t i = 0; i < popUp.entries.size(); ++i)
        if (!popUp.entries[i].separator && popUp.entries[i].identifier == _selectedPresetID)
            popUp.selectedIndex = i;
    return popUp;
}

std::string PresetsController::createUID()
{
    static std::atomic<unsigned> counter{0};
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f.%u", Date::now().secondsSince1970,
                  counter.fetch_add(1));
    return buffer;
}

std::string PresetsController::unusedUID() const
{
    // A clock set back could repeat an identifier; never let a new preset replace one.
    std::string identifier = createUID();
    while (_presets.contains(identifier))
        identifier = createUID();
    return identifier;
}

Dictionary PresetsController::completedPreset(const Dictionary& preset,
                                              const std::string& name) const
{
    Dictionary completed = standardPreset();
    if (completed.empty())
        completed = MyPresetsDataSource::makeStandardPreset();
    for (const auto& [key, value] : preset)
        if (!value.isNull()) // the file cannot hold the null marker
            completed.set(key, value);
    completed.set(PRESET_KEY_NAME, name);
    return Value(completed).deepCopy().toDictionary();
}

void PresetsController::setPreset(const Dictionary& preset, const std::string& identifier,
                                  const std::string& name)
{
    _presets.set(identifier, completedPreset(preset, name));
}

void PresetsController::savePresetsModel()
{
    if (_dataSource)
        _dataSource->savePresets(*this, _presets);
    else
        logMessage("PresetsController::savePresetsModel", "No data source; presets not saved");
    setDirty(false);
}

void PresetsController::selectPresetWithID(const std::string& identifier)
{
    setDirty(false);
    _selectedPresetID = presetIDExists(identifier) ? identifier : std::string(kStandardPresetID);
    _selectedPreset = presetForID(_selectedPresetID);
    _selectedPresetName = _selectedPreset.get(PRESET_KEY_NAME).toString();
}

void PresetsController::selectStandardPreset()
{
    selectPresetWithID(std::string(kStandardPresetID));
}

void PresetsController::selectPresetWithName(const std::string& name)
{
    selectPresetWithID(idForPresetName(name).value_or(std::string(kStandardPresetID)));
}

bool PresetsController::selectAPreset(const std::string& identifier)
{
    if (identifier == _selectedPresetID)
        return false;
    selectPresetWithID(identifier);
    return true;
}

Value PresetsController::objectForKey(std::string_view key) const
{
    return _selectedPreset.get(key);
}

void PresetsController::setObject(const Value& value, std::string_view key)
{
    if (value.isNull())
        _selectedPreset.remove(key);
    else
        _selectedPreset.set(key, value);
    setDirty(true);
}

Value PresetsController::valueForKey(std::string_view key) const
{
    if (key == "selectedPreset")
        return _selectedPreset;
    if (key == "dirty")
        return _dirty;
    return Value();
}

void PresetsController::setValueForKey(const Value& value, std::string_view key)
{
    if (key == "dirty")
        setDirty(value.toBool());
    else if (key == "selectedPreset" && value.isDictionary())
        _selectedPreset = value.toDictionary();
}

void PresetsController::setDirty(bool dirty)
{
    _dirty = dirty;
}

std::string PresetsController::footerText() const
{
    return _dirty ? Orvanta::tr("Saved changes take effect the next time a stream is recorded")
                  : std::string();
}

std::optional<NameSheet> PresetsController::savePreset()
{
    if (_selectedPresetID == kStandardPresetID)
        return saveAsPreset();
    setPreset(_selectedPreset, _selectedPresetID, _selectedPresetName);
    savePresetsModel();
    return std::nullopt;
}

NameSheet PresetsController::saveAsPreset()
{
    int n = 1;
    while (presetNameExists(_selectedPresetName + " " + std::to_string(n)))
        ++n;
    _busySheet = true;
    return {NameSheetAction::SaveAs, Orvanta::tr("Save Preset As:"),
            _selectedPresetName + " " + std::to_string(n)};
}

std::optional<NameSheet> PresetsController::renamePreset()
{
    if (_selectedPresetID == kStandardPresetID)
        return std::nullopt; // the built-in preset keeps its name
    _busySheet = true;
    return NameSheet{NameSheetAction::Rename, Orvanta::tr("Rename Preset To:"),
                     _selectedPresetName};
}

NameSheetOutcome PresetsController::closeNameInputPanel(const NameSheet& sheet, bool accepted,
                                                        const std::string& name)
{
    NameSheetOutcome outcome;
    if (accepted && presetNameExists(name)) {
        // The sheet is opened again after the alert, so the window stays busy.
        outcome.nameTaken = true;
        outcome.alertTitle = Orvanta::tr("The preset name \"%1\" is already taken.", {name});
        outcome.alertMessage = Orvanta::tr("Please choose a different name.");
        outcome.identifier = _selectedPresetID;
        return outcome;
    }
    if (accepted && sheet.action == NameSheetAction::SaveAs) {
        const std::string identifier = unusedUID();
        setPreset(_selectedPreset, identifier, name);
        savePresetsModel();
        if (_delegate)
            _delegate->savedAsPresetID(*this, identifier);
        selectPresetWithID(identifier);
    } else if (Value* stored = _presets.find(_selectedPresetID);
               accepted && stored && _selectedPresetID != kStandardPresetID) {
        // Renaming changes the name only: unsaved edits of the working copy stay unsaved.
        const bool dirty = _dirty;
        stored->toDictionary().set(PRESET_KEY_NAME, name);
        savePresetsModel();
        if (_delegate)
            _delegate->renamedPresetID(*this, _selectedPresetID);
        _selectedPresetName = name;
        _selectedPreset.set(PRESET_KEY_NAME, name);
        setDirty(dirty);
    }
    _busySheet = false;
    outcome.identifier = _selectedPresetID;
    return outcome;
}

bool PresetsController::deletePreset()
{
    if (_selectedPresetID == kStandardPresetID)
        return false; // the built-in preset cannot go: every stream falls back to it
    const std::string identifier = _selectedPresetID;
    _presets.remove(identifier);
    savePresetsModel();
    if (_delegate)
        _delegate->deletedPresetID(*this, identifier);
    selectStandardPreset();
    return true;
}

bool PresetsController::validateMenuItem(PresetCommand command) const
{
    const bool edits = command == PresetCommand::Save || command == PresetCommand::Rename ||
                       command == PresetCommand::Delete;
    if (_selectedPresetID == kStandardPresetID)
        return !edits;
    return _dirty || command != PresetCommand::Save;
}

} // namespace orvanta
