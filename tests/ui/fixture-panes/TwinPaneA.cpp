#include "FixturePane.h"

class TwinPaneA : public FixturePaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "twin.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    TwinPaneA() : FixturePaneBase("twinA") {}
};

#include "TwinPaneA.moc"
