#include "FixturePane.h"

class TwinPaneB : public FixturePaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "twin.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    TwinPaneB() : FixturePaneBase("twinB") {}
};

#include "TwinPaneB.moc"
