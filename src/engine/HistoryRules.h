#pragma once

// The completed-title rule of a station's recording history: a title counts as recorded
// when an entry has exactly that STREAMTITLE and a dateCompleted. Entries of deleted,
// skipped or incomplete files never count.
//
// Thread: any; the caller passes its own snapshot of the list.

#include "Value.h"

#include <string>

namespace orvanta {

bool historyContainsCompletedTitle(const Array& history, const std::string& streamTitle);

} // namespace orvanta
