#pragma once

// Read access to the application preferences, for code below the preferences store (the
// recording engine reads settings on its own threads).
//
// Thread-safe: implementations must allow reads from any thread.

#include "Value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

class PreferencesReader
{
public:
    virtual ~PreferencesReader() = default;

    /// The user's value, or the initial value when the user has none; null when unknown.
    virtual Value getPrefsForKey(std::string_view key) const = 0;

    /// Typed reads with the usual conversions (numbers to each other; strings of digits to
    /// integers); a key that holds another type gives false / 0 / "".
    bool boolForKey(std::string_view key) const;
    std::int64_t integerForKey(std::string_view key) const;
    std::string stringForKey(std::string_view key) const;
};

} // namespace orvanta
