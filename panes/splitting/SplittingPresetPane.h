#pragma once

// The splitting pane: whether titles split the recording, the split adjustment and its
// direction, the manual rule (by size, by time, none) with its limits, and the rate of an
// HLS station's variant to record.

#include "PaneSupport.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace panes {

class SplittingPresetPane : public PaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "splitting.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    void mainViewDidLoad() override;

    QCheckBox* dontAutoSplitCheckbox = nullptr;
    QLineEdit* splitAdjustmentTextField = nullptr;
    QComboBox* splitEarlierOrLaterPopUp = nullptr;
    QLineEdit* splitSearchTextField = nullptr;
    QButtonGroup* manualSplitStyleMatrix = nullptr;
    QLineEdit* manualSplitSizeTextField = nullptr;
    QLineEdit* manualSplitTimeTextField = nullptr;
    QLineEdit* hlsVariantTextField = nullptr;

protected:
    QWidget* buildView() override;

private:
    void adjustmentEdited();
    void searchEdited();
    double searchSeconds();
    /// A limit of at least 1; anything else shows the stored value again.
    void limitEdited(QLineEdit* field, const char* key);
    void refillLimits();
    void variantEdited();
};

} // namespace panes
