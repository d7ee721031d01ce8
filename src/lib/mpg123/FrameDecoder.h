#pragma once

// Decodes MPEG audio one frame at a time, so that a caller can tell which frame each sample
// came from: the split search maps the quietest moment back to a frame boundary with it.
//
// Move-only (owns its handle). Thread: one thread at a time.

#include "Handle.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta::mpg123 {

class FrameDecoder
{
public:
    /// With coarse set the output is mono at a quarter of the stream's rate (where the
    /// library allows it): enough to measure loudness, and several times cheaper.
    explicit FrameDecoder(bool coarse);

    explicit operator bool() const { return m_ready; }

    /// Feeds one frame (or any bytes) and appends what the decoder hands out to samples
    /// (signed 16-bit, channels interleaved). The decoder may hold a frame back until the
    /// next one comes. False when the decoder gave up or its format changed.
    bool feed(const std::uint8_t* data, std::size_t length, std::vector<std::int16_t>& samples);

    /// Of the output so far; 0 before the first decoded frame.
    int channels() const { return m_channels; }
    long rate() const { return m_rate; }

private:
    Handle m_handle;
    bool m_ready = false;
    int m_channels = 0;
    long m_rate = 0;
};

} // namespace orvanta::mpg123
