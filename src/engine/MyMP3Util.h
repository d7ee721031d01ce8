#pragma once

// MPEG audio frame headers (MPEG-1, 2 and 2.5, layers I to III) and the search for the
// first run of three consecutive valid frames, where a recording file's audio may start.
//
// Thread-safe: no shared state; notifications go to the centre given.

#include <cstddef>
#include <cstdint>

namespace orvanta {

class NotificationCenter;

struct mp3frameheader_t
{
    std::uint32_t version;    // 1 = MPEG-1, 2 = MPEG-2 or MPEG-2.5
    std::uint32_t mpeg25;     // MPEG-2.5
    std::uint32_t layer;      // 1 to 3
    std::uint32_t freeFormat; // bitrate index 0
    std::uint32_t bitrateIndex;
    std::uint32_t sampleRateIndex;
    std::uint32_t bitrate;    // bits per second
    std::uint32_t sampleRate; // Hz
    std::uint32_t padding;
    std::uint32_t channelMode; // 0 to 3
    std::uint32_t mono;        // channel mode 3
    std::uint32_t frameLength; // bytes
};

/// Where a run of frames starts and how long its first frame is.
struct FrameRange
{
    std::int64_t location;
    std::int64_t length;

    bool found() const { return location != kNotFound; }
    static constexpr std::int64_t kNotFound = 0x7FFFFFFF;
};

class MyMP3Util
{
public:
    /// Decodes the 4 bytes at bytes; false (and a cleared header) when they are no valid
    /// frame header.
    static bool decodeFrameHeader(mp3frameheader_t& header, const std::uint8_t* bytes);

    static bool isMPEG1Layer3(const std::uint8_t* bytes);

    static FrameRange findFirstHeaderInBuffer(const std::uint8_t* bytes, std::size_t length);

    /// The first frame that starts a run of three valid frames, each following the one
    /// before by that frame's length. With a tag other than 0 the
    /// stream's bitrate and stereo flag are posted for that tag when a run is found.
    /// resumeOffset (optional) receives the offset from which a later search over the same
    /// bytes plus more must start again: everything before it can never start a run.
    static FrameRange findFirstHeaderInBuffer(const std::uint8_t* bytes, std::size_t length,
                                              std::int32_t tag,
                                              NotificationCenter* center = nullptr,
                                              std::size_t* resumeOffset = nullptr);
};

} // namespace orvanta
