#pragma once

// What the station library asks of the preset store when it tidies old stations' presets.
// The preset store implements it; tests fake it.
//
// Thread: main.

#include "Value.h"

#include <string>

namespace orvanta {

class PresetCatalog
{
public:
    virtual ~PresetCatalog() = default;

    virtual bool presetIDExists(const std::string& identifier) const = 0;
    virtual bool presetNameExists(const std::string& name) const = 0;
    /// Adds a preset under a new identifier and returns that identifier.
    virtual std::string addPreset(const Dictionary& preset, const std::string& name) = 0;
    /// The built-in standard preset, a fresh dictionary each call.
    virtual Dictionary standardPreset() const = 0;
};

} // namespace orvanta
