#pragma once

// The playlist pane: whether finished files go to a playlist of the music player, how the
// playlist is named, and whether the files are marked as a compilation.

#include "PaneSupport.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace panes {

class PlaylistPresetPane : public PaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "playlist.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    void mainViewDidLoad() override;

    QCheckBox* addToPlaylistCheckbox = nullptr;
    QCheckBox* appendScheduleDetailsCheckbox = nullptr;
    QLineEdit* customPlaylistNameTextField = nullptr;
    QButtonGroup* playlistNameStyleMatrix = nullptr;
    QCheckBox* compilationCheckbox = nullptr;

protected:
    QWidget* buildView() override;
};

} // namespace panes
