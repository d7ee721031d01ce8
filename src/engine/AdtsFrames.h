#pragma once

// AAC audio in ADTS framing: frame headers and the search for the first run of three
// consecutive frames, where a recording file's audio may start (as for MPEG frames).
//
// Thread-safe: no shared state.

#include "MyMP3Util.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace orvanta {

struct AdtsHeader
{
    int mpegVersion = 4;          // 2 or 4 (the ID bit)
    int profile = 0;              // audio object type − 1: 0 Main, 1 LC, 2 SSR, 3 LTP
    int sampleRate = 0;           // Hz
    int channelConfig = 0;        // 0: given inside the stream, else the channel count (7: 7.1)
    std::size_t headerLength = 7; // 9 with a CRC
    std::size_t frameLength = 0;  // the whole frame with its header
    int rawDataBlocks = 1;        // AAC blocks of 1024 samples in the frame
};

class AdtsFrames
{
public:
    static constexpr std::size_t kHeaderLength = 7;

    /// The header at bytes (at least kHeaderLength of them), or nothing when they are no
    /// valid ADTS header.
    static std::optional<AdtsHeader> decodeHeader(const std::uint8_t* bytes);

    /// The first frame that starts a run of three ADTS frames with the same fixed header,
    /// each following the one before by its length. resumeOffset (optional) receives the
    /// offset from which a later search over the same bytes plus more must start again.
    static FrameRange findFirstRun(const std::uint8_t* bytes, std::size_t length,
                                   std::size_t* resumeOffset = nullptr);

    /// Channels a header stands for; stereo when the stream defines them itself.
    static int channelCount(const AdtsHeader& header);
};

} // namespace orvanta
