#pragma once

// The store of recording-style presets and the logic of the presets window (the widgets
// come later and drive these operations). Every preset is a dictionary holding every key
// of the standard preset; the built-in preset "Standard" lives only in memory.
//
// Ownership: the controller owns its presets and the working copy of the selected preset;
// it shares ownership of its data source and holds the delegate by a plain pointer (the
// delegate must outlive it or be reset to nullptr). Containers cross the interface as deep
// copies, except the working copy, which the preset panes edit in place.
//
// Thread: main thread only. Recording threads get presets copied into their properties.

#include "PresetCatalog.h"
#include "Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

namespace presetkeys {
inline constexpr std::string_view PRESET_KEY_NAME = "PRESET_KEY_NAME";
inline constexpr std::string_view NP_REWINDSECS = "NP_REWINDSECS";
inline constexpr std::string_view SPLIT_EARLIER_OR_LATER = "SPLIT_EARLIER_OR_LATER";
inline constexpr std::string_view NP_SPLIT_SEARCH_SECONDS = "NP_SPLIT_SEARCH_SECONDS";
inline constexpr std::string_view NP_HLS_VARIANT_KBPS = "NP_HLS_VARIANT_KBPS";
inline constexpr std::string_view NP_ALWAYSMANUAL = "NP_ALWAYSMANUAL";
inline constexpr std::string_view NP_MANUALSPLITTYPE = "NP_MANUALSPLITTYPE";
inline constexpr std::string_view NP_SPLITSIZEMB = "NP_SPLITSIZEMB";
inline constexpr std::string_view NP_SPLITTIMEMINS = "NP_SPLITTIMEMINS";
inline constexpr std::string_view NP_LANGUAGE_ENCODING = "NP_LANGUAGE_ENCODING";
inline constexpr std::string_view NP_STREAMTITLE_PATTERN = "NP_STREAMTITLE_PATTERN";
inline constexpr std::string_view NP_STREAMTITLE_SEPARATOR = "NP_STREAMTITLE_SEPARATOR";
inline constexpr std::string_view NP_STREAMTITLE_CLEAN = "NP_STREAMTITLE_CLEAN";
inline constexpr std::string_view NP_STREAMTITLE_CLEAN_LIST = "NP_STREAMTITLE_CLEAN_LIST";
inline constexpr std::string_view NP_STREAMTITLE_IGNORE = "NP_STREAMTITLE_IGNORE";
inline constexpr std::string_view NP_STREAMTITLE_IGNORE_LIST = "NP_STREAMTITLE_IGNORE_LIST";
inline constexpr std::string_view NP_NUMBER_RECORDINGS = "NP_NUMBER_RECORDINGS";
inline constexpr std::string_view NUMBER_RECORDINGS_TRACK = "NUMBER_RECORDINGS_TRACK";
inline constexpr std::string_view NP_STREAM_IF_NO_ALBUM = "NP_STREAM_IF_NO_ALBUM";
inline constexpr std::string_view NP_GENRE_TYPE = "NP_GENRE_TYPE";
inline constexpr std::string_view NP_GENRE_CUSTOM = "NP_GENRE_CUSTOM";
inline constexpr std::string_view NP_ADD_TO_PLAYLIST = "NP_ADD_TO_PLAYLIST";
inline constexpr std::string_view NP_PLAYLIST_NAME_TYPE = "NP_PLAYLIST_NAME_TYPE";
inline constexpr std::string_view NP_PLAYLIST_NAME_CUSTOM = "NP_PLAYLIST_NAME_CUSTOM";
inline constexpr std::string_view NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS =
    "NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS";
inline constexpr std::string_view NP_COMPILATION_FLAG = "NP_COMPILATION_FLAG";

/// The identifier of the built-in preset.
inline constexpr std::string_view kStandardPresetID = "Standard";
} // namespace presetkeys

class PresetsController;

/// Loads and stores the presets for the controller, which shares its ownership.
/// Thread: main thread only.
class PresetsDataSource
{
public:
    virtual ~PresetsDataSource() = default;

    /// Fills presets with every stored preset (completed) and "Standard".
    virtual void loadPresets(PresetsController& controller, Dictionary& presets) = 0;
    /// Stores presets without "Standard"; false when nothing was written.
    virtual bool savePresets(PresetsController& controller, const Dictionary& presets) = 0;
    /// A fresh standard preset.
    virtual Dictionary standardPreset() const = 0;
};

/// Told about changes the rest of the program must follow (the application core). Not
/// owned by the controller. Thread: called on the main thread, after the file is written.
class PresetsControllerDelegate
{
public:
    virtual ~PresetsControllerDelegate() = default;

    /// Streams that used identifier must fall back to "Standard".
    virtual void deletedPresetID(PresetsController& controller, const std::string& identifier) = 0;
    virtual void renamedPresetID(PresetsController& controller, const std::string& identifier) = 0;
    virtual void savedAsPresetID(PresetsController& controller, const std::string& identifier) = 0;
};

/// One item of a presets menu; a separator has an empty title and identifier.
struct PresetMenuEntry
{
    std::string title;
    std::string identifier;
    bool separator = false;

    bool operator==(const PresetMenuEntry&) const = default;
};

/// The presets pop-up of the window: its items and the index of the selected one.
struct PresetsPopUp
{
    std::vector<PresetMenuEntry> entries;
    std::size_t selectedIndex = 0;
};

/// The commands whose menu items validateMenuItem() decides on.
enum class PresetCommand { Save, SaveAs, Rename, Delete, Other };

/// What opened the name sheet, and so what its OK does.
enum class NameSheetAction { SaveAs, Rename };

/// A name sheet the window is to show: its label and the proposed name.
struct NameSheet
{
    NameSheetAction action = NameSheetAction::SaveAs;
    std::string label;
    std::string name;
};

/// How a name sheet ended.
struct NameSheetOutcome
{
    /// The name was taken and nothing was stored: show the alert below; when it is
    /// dismissed, perform the sheet's action again (a new name sheet).
    bool nameTaken = false;
    std::string alertTitle;
    std::string alertMessage;
    /// The preset now selected.
    std::string identifier;
};

class PresetsController : public PresetCatalog
{
public:
    /// The process-wide store; it holds only "Standard" until a data source is attached.
    static PresetsController& sharedInstance();

    PresetsController();
    PresetsController(const PresetsController&) = delete;
    PresetsController& operator=(const PresetsController&) = delete;

    /// Attaches the data source, loads the presets through it and selects "Standard".
    void setDataSource(std::shared_ptr<PresetsDataSource> dataSource);
    void setDelegate(PresetsControllerDelegate* delegate);

    // --- The store ---

    /// A copy of the stored preset; an empty dictionary for an unknown identifier.
    Dictionary presetForID(const std::string& identifier) const;
    /// A copy of the stored "Standard" preset.
    Dictionary standardPreset() const override;
    bool presetIDExists(const std::string& identifier) const override;
    /// Exact, case-sensitive comparison; the standard preset's name is always taken.
    bool presetNameExists(const std::string& name) const override;
    std::optional<std::string> presetNameForID(const std::string& identifier) const;
    /// Stores the preset completed from "Standard" under a new identifier, writes the file
    /// and returns the identifier. Tells the delegate nothing.
    std::string addPreset(const Dictionary& preset, const std::string& name) override;
    /// Every identifier, "Standard" included, sorted by preset name case-insensitively.
    std::vector<std::string> sortedPresetIDs() const;
    /// "Standard", a separator, then every other preset in name order.
    std::vector<PresetMenuEntry> getPresetsMenu() const;

    /// A new identifier: "<seconds since 1970>.<process-wide counter>".
    static std::string createUID();

    // --- The selected preset and its working copy ---

    void selectPresetWithID(const std::string& identifier);
    void selectStandardPreset();
    /// Selects the first preset with that exact name, "Standard" when none has it.
    void selectPresetWithName(const std::string& name);
    /// The choice of another preset in the pop-up; unsaved edits are dropped.
    /// Returns whether the selection changed.
    bool selectAPreset(const std::string& identifier);

    const std::string& selectedPresetID() const { return _selectedPresetID; }
    const std::string& selectedPresetName() const { return _selectedPresetName; }
    /// The working copy itself (shared): the preset panes edit it in place.
    Dictionary selectedPreset() const { return _selectedPreset; }

    Value objectForKey(std::string_view key) const;
    /// Sets a key of the working copy and marks it dirty; the null marker removes the key.
    void setObject(const Value& value, std::string_view key);
    Value propertyForKey(std::string_view key) const { return objectForKey(key); }
    void setProperty(const Value& value, std::string_view key) { setObject(value, key); }

    /// The two keys the preset panes use: "selectedPreset" and "dirty".
    Value valueForKey(std::string_view key) const;
    void setValueForKey(const Value& value, std::string_view key);

    bool isDirty() const { return _dirty; }
    void setDirty(bool dirty);
    /// The footer text that goes with the dirty state.
    std::string footerText() const;

    bool isBusySheet() const { return _busySheet; }

    // --- Window actions ---

    /// Stores the working copy under the selected preset and writes the file. With
    /// "Standard" selected nothing is stored and the save-as sheet is returned instead.
    std::optional<NameSheet> savePreset();
    /// The save-as sheet, proposing "<name> <n>" with the smallest free n from 1.
    NameSheet saveAsPreset();
    /// The rename sheet with the current name; nothing when "Standard" is selected.
    std::optional<NameSheet> renamePreset();
    /// The end of a name sheet: accepted is OK, otherwise cancel.
    NameSheetOutcome closeNameInputPanel(const NameSheet& sheet, bool accepted,
                                         const std::string& name);
    /// Removes the selected preset, writes the file, tells the delegate and selects
    /// "Standard". Returns false, changing nothing, when "Standard" is selected.
    bool deletePreset();

    bool validateMenuItem(PresetCommand command) const;
    /// The window's presets pop-up: "Standard", a separator, the rest in name order.
    PresetsPopUp presetsPopUp() const;

private:
    std::optional<std::string> idForPresetName(const std::string& name) const;
    Dictionary completedPreset(const Dictionary& preset, const std::string& name) const;
    void setPreset(const Dictionary& preset, const std::string& identifier,
                   const std::string& name);
    void savePresetsModel();
    std::string unusedUID() const;

    Dictionary _presets;
    PresetsControllerDelegate* _delegate = nullptr;
    std::shared_ptr<PresetsDataSource> _dataSource;
    std::string _selectedPresetID;
    std::string _selectedPresetName;
    Dictionary _selectedPreset;
    bool _dirty = false;
    bool _busySheet = false;
};

} // namespace orvanta
