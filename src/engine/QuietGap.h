#pragma once

// The search for the quietest stretch of MPEG-1 Layer III audio, where a track split sounds
// least abrupt. The audio is decoded and cut into short windows (bitrate ÷ 160 sample frames
// for mono, ÷ 320 for stereo: 18 ms of 128 kbit/s mono at 44.1 kHz); their smoothed loudness
// decides.
//
// Thread-safe: no shared state.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta {

/// The byte offset in the buffer of the middle of its longest quiet stretch, or -1 when the
/// buffer has no MPEG-1 Layer III frame run, decodes to nothing, holds 10 windows or fewer,
/// or memory runs out.
std::int64_t findQuietGap(const std::uint8_t* buffer, std::size_t length) noexcept;

/// The same for AAC in ADTS frames, decoded with libavcodec in windows of 10 ms: the offset
/// of the frame that holds the middle of the longest quiet stretch, or -1.
std::int64_t findAacQuietGap(const std::uint8_t* buffer, std::size_t length) noexcept;

/// The level of each complete window of window sample frames of interleaved 16-bit PCM: the
/// root mean square of the loudest channel, truncated. A last incomplete window is dropped.
std::vector<std::int64_t> windowLevels(const std::vector<std::int16_t>& samples, int channels,
                                       std::size_t window);

/// The index in the smoothed series (levels.size() − 2 entries, each the mean of three
/// neighbours) of the middle of the longest run below the quiet threshold, or -1 with 10
/// levels or fewer. When no level lies below the threshold (a flat series) the answer is 0.
std::int64_t quietRunMiddle(std::vector<std::int64_t> levels);

} // namespace orvanta
