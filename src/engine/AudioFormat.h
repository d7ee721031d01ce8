#pragma once

// The audio formats a station may send and what differs between them for a recording: how
// the format is recognised (the response's content type, or the first bytes when that is
// missing or wrong), where whole frames start, where the quietest point lies, and the
// file name extension.
//
// Thread-safe: no shared state.

#include "MyMP3Util.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

enum class AudioFormat { MP3, AAC, Ogg };

/// The format a content type names ("audio/mpeg", "audio/aacp", "application/ogg", with
/// or without parameters); nothing for other types.
std::optional<AudioFormat> formatForContentType(std::string_view contentType);

/// The format the audio bytes hold: an intact Ogg page, or the earliest run of MPEG or ADTS
/// frames; claimed (the content type's format) wins when its own frames are found. Nothing
/// when no format's frames are found.
std::optional<AudioFormat> sniffFormat(const std::uint8_t* bytes, std::size_t length,
                                       std::optional<AudioFormat> claimed);

/// "MP3", "AAC", "Ogg": for messages.
std::string_view formatName(AudioFormat format);
/// The content type a player is told: "audio/mpeg", "audio/aac", "application/ogg".
std::string_view contentTypeOf(AudioFormat format);
/// Recorded files' name extension: ".mp3", ".aac", ".ogg" (the client names Opus files
/// ".opus", as only the stream's headers tell Vorbis from Opus).
std::string_view fileExtension(AudioFormat format);

/// The first place where the format's audio may start: a run of frames, or an Ogg page.
FrameRange findFirstFrameRun(AudioFormat format, const std::uint8_t* bytes, std::size_t length,
                             std::size_t* resumeOffset = nullptr);

/// The byte offset of the middle of the buffer's quietest stretch, on a frame boundary for
/// AAC; -1 when it cannot be told (and always for Ogg, which is cut at its own boundaries).
std::int64_t findQuietGap(AudioFormat format, const std::uint8_t* buffer,
                          std::size_t length) noexcept;

/// What the first frame of a run says of the stream, where the format's frames say it.
struct FrameFacts
{
    std::optional<std::int64_t> bitrateKbps;
    std::optional<bool> stereo;
};
FrameFacts factsOfFrameAt(AudioFormat format, const std::uint8_t* frame, std::size_t length);

} // namespace orvanta
