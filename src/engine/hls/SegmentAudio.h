#pragma once

// What a recording takes from one HLS segment: its audio as frames a file can hold (MP3
// frames as sent; AAC as ADTS frames, as sent where the container keeps ADTS, with headers
// made from the decoder configuration where it keeps raw frames, as fragmented MP4 does),
// the songs its timed ID3 tags name with their place in it, and its start on the
// station's clock.
//
// Thread: any.

#include "AudioFormat.h"
#include "Value.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanta::hls {

struct TitleInSegment
{
    double seconds = 0; // from the segment's first audio
    std::string title;
};

struct SegmentAudio
{
    AudioFormat format = AudioFormat::AAC;
    Bytes frames;
    std::vector<TitleInSegment> titles;
    std::optional<double> startSeconds; // the first audio's time on the station's clock
};

/// The segment's audio (for fragmented MP4, the initialisation section followed by the
/// segment); nothing, with error saying why, for a segment without recordable audio.
std::optional<SegmentAudio> audioOfSegment(const Bytes& segment, std::string& error);

/// A 7-byte ADTS header for a raw AAC frame of payloadLength bytes, from the MPEG-4
/// AudioSpecificConfig; nothing when the configuration is none ADTS can express.
std::optional<Bytes> adtsHeaderFor(const Bytes& audioSpecificConfig, std::size_t payloadLength);

} // namespace orvanta::hls
