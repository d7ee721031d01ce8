#pragma once

// Decoding of MPEG audio held in memory to 16-bit PCM.
//
// Thread-safe: every call uses a decoder handle of its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvanta::mpg123 {

/// Signed 16-bit samples in native byte order, channels interleaved.
struct Pcm
{
    std::vector<std::int16_t> samples;
    int channels = 0;
    long rate = 0; // Hz
};

/// Decodes MPEG audio held in memory (starting anywhere; the decoder syncs) to signed 16-bit
/// PCM with the stream's own channel count and rate. Decoding stops at the first change of
/// channel count or rate, since one Pcm cannot hold both. Nothing when the decoder cannot be
/// created or nothing decodes. Quiet: never prints.
std::optional<Pcm> decodeToPcm(const std::uint8_t* data, std::size_t length);

} // namespace orvanta::mpg123
