#pragma once

// Audio for the recording tests: synthetic MPEG frames whose bytes are known, and real
// audio encoded at test time by LAME (MP3) and ffmpeg (AAC, Ogg Vorbis, Ogg Opus).

#include "DemoAudio.h"
#include "TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::test {

/// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo, no padding: 417-byte frames.
inline constexpr std::uint8_t kFrameHeader[4] = {0xFF, 0xFB, 0x90, 0x44};
inline constexpr std::size_t kFrameLength = 417;

/// count frames with that header; the payload counts up from seed and never holds 0xFF,
/// so no false header appears inside a frame.
ByteVector syntheticFrames(std::size_t count, std::uint8_t seed = 0);

/// Encodes PCM (as above) with LAME at 128 kbit/s, constant bitrate, no info frame; returns
/// the MP3 bytes. Fails the current test when LAME is missing or fails.
ByteVector encodeWithLame(const ByteVector& pcm, const TempDir& dir);

/// Encodes PCM (as above) with ffmpeg; codecArguments name the codec and container (for
/// example "-c:a aac -b:a 128k -f adts"), metadata its tags ("-metadata title=…"). Fails
/// the current test when ffmpeg is missing or fails.
ByteVector encodeWithFfmpeg(const ByteVector& pcm, const TempDir& dir,
                            const std::string& codecArguments, const std::string& metadata = {});

/// One link of a chained Ogg stream ("vorbis" or "opus"): a tone of its own with its own
/// comments, encoded by ffmpeg.
ByteVector oggLink(const std::string& codec, const std::string& artist, const std::string& title,
                   double seconds = 2.0);

/// Runs mpg123 over the file in test mode; returns its exit status, output in output.
int decodeWithMpg123(const std::string& path, std::string* output);

} // namespace orvanta::test
