// MainController: what follows from a change in the preset store.

#include "MainController.h"

#include "MyOLVController.h"
#include "NodePropertyKeys.h"

namespace orvanta {

void MainController::deletedPresetID(PresetsController&, const std::string& identifier)
{
    bool changed = false;
    for (Node* stream : m_parts.olvController.getAllStreams()) {
        const std::optional<Value> presetID = stream->propertyForKey(np::NP_PRESET_ID);
        if (presetID && presetID->isString() && presetID->toString() == identifier) {
            stream->setProperty(Value(std::string(presetkeys::kStandardPresetID)),
                                np::NP_PRESET_ID);
            changed = true;
        }
    }
    if (changed)
        m_parts.olvController.libraryDidChange();
    m_parts.frontEnd.updateDetailDrawerView();
}

void MainController::renamedPresetID(PresetsController&, const std::string&)
{
    m_parts.frontEnd.updateDetailDrawerView();
}

void MainController::savedAsPresetID(PresetsController&, const std::string&)
{
    m_parts.frontEnd.updateDetailDrawerView();
}

} // namespace orvanta
