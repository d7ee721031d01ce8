#pragma once

// The tagging pane: sequence and track numbers, the album of titles without one, and the
// genre written into the tags.

#include "PaneSupport.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace panes {

class TaggingPresetPane : public PaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "tagging.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    void mainViewDidLoad() override;

    QCheckBox* addFileSequenceNumberCheckbox = nullptr;
    QCheckBox* addTrackNumberCheckbox = nullptr;
    QCheckBox* noAlbumUseStreamNameCheckbox = nullptr;
    QButtonGroup* genreMatrix = nullptr;
    QLineEdit* customGenreTextField = nullptr;

protected:
    QWidget* buildView() override;
};

} // namespace panes
