#pragma once

// Where to cut between two songs, chosen from the loudness of a stretch around the title
// change: every quiet run is a candidate, scored by how deep and how long its quietest part
// is and by how near it lies to where the cut is expected. A fade-out that ends in a short
// silence beats a quiet passage inside a song, because its silence is far deeper; between
// similar runs the nearer one wins.
//
// Thread-safe: no shared state.

#include <cstddef>
#include <vector>

namespace orvanta {

struct GapChoice
{
    std::size_t cutWindow = 0; // where to cut: the middle of the gap, or the expected point
    bool found = false;        // a quiet run deep enough to count as a gap
    bool clear = false;        // a gap no other run comes close to: fit to learn from
    std::size_t gapStart = 0;  // the gap's quietest part, windows [gapStart, gapEnd)
    std::size_t gapEnd = 0;
    float depthDb = 0; // how far its quietest part lies below the music around it
};

/// levelsDb: the loudness of consecutive windows (dB below full scale); expected: the window
/// where the cut is expected; radius: in windows, how far from it a gap still counts as near.
/// Without a gap the cut goes at the expected window.
GapChoice chooseGap(const std::vector<float>& levelsDb, std::size_t expected, std::size_t radius);

} // namespace orvanta
