#pragma once

// What a station keeps of where its cuts lie from its title changes: the newest offsets its
// splits found and the user's corrections, for its next cuts to centre on.

#include <cstddef>

namespace orvanta {

class Node;

inline constexpr std::size_t kKeptSplitOffsets = 12;

/// Adds one to the station's list (NP_SPLIT_OFFSETS), dropping the oldest beyond the kept.
void rememberSplitOffset(Node& node, double seconds);

} // namespace orvanta
