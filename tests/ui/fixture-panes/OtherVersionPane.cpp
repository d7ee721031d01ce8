// A pane built against an earlier version of the interface: same name, other identifier.

#include "FixturePane.h"

class OtherVersionPane : public FixturePaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.orvanta.Orvanta.PresetPane/0" FILE "other-version.json")
public:
    OtherVersionPane() : FixturePaneBase("otherVersionMade") {}
};

#include "OtherVersionPane.moc"
