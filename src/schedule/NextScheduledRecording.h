#pragma once

// When the next scheduled recording begins: asked by the quit question and the sleep
// handler. A window already in progress contributes its next start, not now.
//
// Thread: the thread that owns the station tree.

#include "Node.h"
#include "Value.h"

#include <optional>
#include <vector>

namespace orvanta {

/// The start instant of one active entry that is next at or after now's day (its START for
/// a once entry; calendar days for the recurring ones), or nothing for an unknown
/// FREQUENCY. May lie at or before now.
std::optional<Date> nextStartCandidate(const Dictionary& entry, Date now);

/// The earliest candidate of every active entry of streams that is strictly later than now.
std::optional<Date> computeDateOfNextScheduledRecording(const std::vector<Node*>& streams,
                                                        Date now);

} // namespace orvanta
