#pragma once

// Dictionary helpers used wherever flags are kept in property-list dictionaries.
// Deep copies are Value::deepCopy().
//
// Thread: as the dictionary itself (see Value.h).

#include "Value.h"

#include <string_view>

namespace orvanta {

/// The value's truth when it is a number (boolean, integer or real); false when the key
/// is missing or holds anything else ("YES" as a string is false).
bool boolForKey(const Dictionary& dictionary, std::string_view key);

/// Stores the flag as a boolean number under key.
void setBool(Dictionary& dictionary, bool value, std::string_view key);

} // namespace orvanta
