#pragma once

// The interface of a recording-style preset pane: a plug-in that edits some keys of the
// working copy of the selected preset. A pane links Qt Widgets and nothing of Orvanta; it
// finds the preset store as the application's child object named "PresetsController" and
// uses only two of its properties: "selectedPreset" (the working copy, a QVariantMap; setting
// it writes the keys the map holds into the working copy without marking it changed) and
// "dirty" (set to true after every edit). The store also offers "textEncodings", the list of {name,
// number} maps of the text encodings Orvanta can decode, for the pane that chooses one.
//
// The store calls, each time it shows a pane: loadMainView(), willSelect(), mainView(),
// didSelect(). loadMainView() builds the pane's widgets the first time only, then refills
// them from the working copy through mainViewDidLoad().
//
// The pane's name is the "name" of the plug-in's metadata. A plug-in whose interface
// identifier differs from kPresetPaneIID (another version of this header) is never loaded.
//
// Thread: main thread only.

#include <QtPlugin>

class QWidget;

namespace orvanta {

class PresetPane
{
public:
    virtual ~PresetPane() = default;

    /// Builds the view on the first call, then fills it (mainViewDidLoad); the view, owned
    /// by the pane until the store puts it into its window, or nullptr when there is none.
    virtual QWidget* loadMainView() = 0;
    /// Fills every control from the working copy and sets the enabled states.
    virtual void mainViewDidLoad() = 0;
    virtual void willSelect() = 0;
    virtual QWidget* mainView() const = 0;
    virtual void didSelect() = 0;
};

} // namespace orvanta

#define ORVANTA_PRESET_PANE_IID "org.orvanta.Orvanta.PresetPane/1"
inline constexpr const char* kPresetPaneIID = ORVANTA_PRESET_PANE_IID;

Q_DECLARE_INTERFACE(orvanta::PresetPane, ORVANTA_PRESET_PANE_IID)
