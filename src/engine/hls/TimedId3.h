#pragma once

// The ID3 tags an HLS station puts beside its audio: timed metadata in transport streams,
// the tag in front of each packed-audio segment. They name the song (TIT2 and TPE1, a
// "StreamTitle" or "title" in TXXX, or a TIT2 holding "Artist - Title" as ICY titles do) and,
// in packed audio, tell the segment's start on the transport stream's 90 kHz clock (the PRIV
// frame "com.apple.streaming.transportStreamTimestamp").
//
// Thread: any.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orvanta::hls {

struct TimedId3
{
    std::string title;       // TIT2
    std::string artist;      // TPE1
    std::string streamTitle; // TXXX "StreamTitle" (or "title"), as an ICY station sends it
    std::optional<std::uint64_t> transportTimestamp; // 33 bits of 90 kHz

    /// "Artist - Title" for the splitter and the file name: the stream title where given,
    /// else the two frames joined, else TIT2 alone (which may hold both).
    std::string songTitle() const;
    double transportSeconds() const
    {
        return transportTimestamp ? static_cast<double>(*transportTimestamp) / 90000.0 : 0;
    }
};

/// The tag at the start of data (ID3v2.3 or 2.4); nothing when there is none. A damaged
/// frame ends the reading, keeping what came before it.
std::optional<TimedId3> parseTimedId3(const std::uint8_t* data, std::size_t size);
/// The length of the ID3v2 tag at the start of data (header and footer included); 0 when
/// there is none.
std::size_t id3TagLength(const std::uint8_t* data, std::size_t size);

} // namespace orvanta::hls
