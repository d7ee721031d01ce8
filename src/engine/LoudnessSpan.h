#pragma once

// A stretch of MP3 or AAC audio decoded for the split search: where each frame starts in the
// bytes, which sample it begins with, and the loudness of every hundredth of a second. The
// search reads the loudness; the cut is then put back on a frame boundary.
//
// Thread-safe: no shared state.

#include "AudioFormat.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvanta {

struct LoudnessSpan
{
    static constexpr double kWindowSeconds = 0.01;

    std::vector<std::size_t> frameOffsets;      // byte offset of each frame in the stretch
    std::vector<std::size_t> frameFirstWindows; // the loudness window each frame begins in
    std::vector<float> levelsDb;                // per window, dB below full scale (≤ 0)

    /// The window the byte offset lies in (the frame holding it), clamped to the stretch.
    std::size_t windowAtByte(std::size_t offset) const;
    /// The byte offset of the frame boundary nearest to the start of the window.
    std::size_t frameStartNearWindow(std::size_t window) const;
};

/// Decodes a stretch that may begin anywhere (it is searched for its first frame run).
/// Nothing when it holds no frames of the format, does not decode, or is Ogg.
std::optional<LoudnessSpan> decodeLoudness(AudioFormat format, const std::uint8_t* bytes,
                                           std::size_t length) noexcept;

/// Bytes per second of the frames at the start of bytes (from their headers and lengths),
/// or 0 when they cannot tell.
double bytesPerSecondOfFrames(AudioFormat format, const std::uint8_t* bytes, std::size_t length);

} // namespace orvanta
