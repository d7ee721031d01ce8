#pragma once

// Audio for the demo station and the recording tests: tones with silent gaps between them,
// and their encoding by LAME (MP3) or ffmpeg (AAC, Ogg Vorbis, Ogg Opus).

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::test {

using ByteVector = std::vector<std::uint8_t>;

/// Signed 16-bit little-endian PCM: a tone for each entry of toneSeconds, separated by
/// gapSeconds of digital silence. 44.1 kHz, mono.
ByteVector pcmSongs(const std::vector<double>& toneSeconds, double gapSeconds);

/// Encodes PCM (as above) with LAME at 128 kbit/s, constant bitrate, no info frame, working
/// in folder; returns the MP3 bytes. Throws std::runtime_error when LAME is missing or fails.
ByteVector encodeWithLameIn(const ByteVector& pcm, const std::string& folder);

/// Encodes PCM (as above) with ffmpeg, working in folder: codecArguments name the codec and
/// container ("-c:a aac -b:a 128k -f adts"), metadata the tags ("-metadata title=..."). Throws
/// std::runtime_error when ffmpeg is missing or fails.
ByteVector encodeWithFfmpegIn(const ByteVector& pcm, const std::string& folder,
                              const std::string& codecArguments, const std::string& metadata = {});

} // namespace orvanta::test
