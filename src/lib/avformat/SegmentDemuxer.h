#pragma once

// One HLS segment, held whole in memory, taken apart by libavformat: an MPEG transport
// stream, packed audio (ADTS or MP3 with an ID3 tag in front) or fragmented MP4 (with its
// initialisation section in front). What comes out is the audio stream's packets as the
// container holds them and the timed ID3 tags beside them, each with its presentation time.
//
// Nothing is decoded. Thread: any; each call owns its libavformat handles.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvanta::avformat {

struct Packet
{
    std::vector<std::uint8_t> data;
    std::optional<double> seconds; // presentation time on the container's clock
};

struct SegmentContents
{
    enum class Codec { Aac, Mp3, Other };
    Codec codec = Codec::Other;
    std::string codecName;                         // libavcodec's, for a message
    std::string containerName;                     // libavformat's: "mpegts", "aac", "mov,mp4,…"
    std::vector<std::uint8_t> audioSpecificConfig; // AAC in MP4: its decoder configuration
    int sampleRate = 0;
    int channels = 0;
    std::vector<Packet> audio;
    std::vector<Packet> timedId3; // whole ID3v2 tags
    bool hasVideo = false;
};

/// The segment's audio and timed metadata; nothing, with error saying why, when libavformat
/// cannot read it or it holds no audio stream.
std::optional<SegmentContents> demuxSegment(const std::uint8_t* data, std::size_t size,
                                            std::string& error);

} // namespace orvanta::avformat
