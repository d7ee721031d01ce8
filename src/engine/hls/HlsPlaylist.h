#pragma once

// The playlists of HTTP Live Streaming (RFC 8216): a master playlist naming the variants of a
// station, and the media playlist of one variant, the sliding list of its segments. Parsed
// from text into plain values, every address made absolute against the playlist's own.
//
// What a recorder needs is kept: variants with their bandwidth and codecs, segments with
// their sequence numbers, durations, byte ranges, keys, initialisation sections,
// discontinuities and program dates, and the date ranges a station may name its songs with.
// Tags this recorder has no use for are passed over, as the protocol asks of clients.
//
// Thread: any (plain functions and values).

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvanta::hls {

struct Variant
{
    std::string uri;
    std::int64_t bandwidth = 0;        // bits per second, the peak
    std::int64_t averageBandwidth = 0; // 0 when not given
    std::string codecs;                // as given, e.g. "mp4a.40.2" or "avc1.4d401f,mp4a.40.2"
    std::string audioGroup;            // the AUDIO attribute: a group of EXT-X-MEDIA renditions

    /// Whether the codecs name audio, or name nothing (then the segments tell).
    bool mayHaveAudio() const;
};

struct AudioRendition
{
    std::string groupId;
    std::string name;
    std::string uri; // empty: the audio is in the variant's own segments
    bool isDefault = false;
};

struct MasterPlaylist
{
    std::vector<Variant> variants;
    std::vector<AudioRendition> audio;
};

struct ByteRange
{
    std::uint64_t length = 0;
    std::uint64_t offset = 0;
};

struct Key
{
    enum class Method { None, Aes128, Other };
    Method method = Method::None;
    std::string methodName; // as given, for a message about one not handled
    std::string uri;
    std::optional<std::array<std::uint8_t, 16>> iv; // none: the segment's sequence number
};

struct InitSection
{
    std::string uri;
    std::optional<ByteRange> range;
    Key key; // the key in force where the section is named
};

struct Segment
{
    std::int64_t sequence = 0;
    double duration = 0;
    std::string title; // EXTINF's, rarely used
    std::string uri;
    std::optional<ByteRange> range;
    bool discontinuity = false; // a discontinuity comes before this segment
    std::int64_t discontinuitySequence = 0;
    Key key;
    std::optional<InitSection> init;       // EXT-X-MAP: fragmented MP4
    std::optional<double> programDateTime; // epoch seconds of its first sample
};

struct DateRange
{
    std::string id;
    std::string className;
    double start = 0; // epoch seconds
    std::optional<double> duration;
    std::map<std::string, std::string> attributes; // the X- attributes, unquoted
};

struct MediaPlaylist
{
    double targetDuration = 0;
    std::int64_t mediaSequence = 0;
    bool endList = false;
    std::vector<Segment> segments;
    std::vector<DateRange> dateRanges;
};

using Playlist = std::variant<MasterPlaylist, MediaPlaylist>;

/// A playlist from its text; base is its own address. Nothing, with error saying why, for
/// text that is no playlist (no #EXTM3U) or a media playlist without a target duration.
std::optional<Playlist> parsePlaylist(std::string_view text, const std::string& base,
                                      std::string& error);

/// Whether text is an HLS playlist rather than a plain M3U list of addresses.
bool isHlsPlaylistText(std::string_view text);
/// Whether url names an HLS playlist by its name (a path ending in ".m3u8").
bool isHlsAddress(const std::string& url);

/// The variant to record: the one with the highest bandwidth, or with nearBitsPerSecond
/// the one nearest that rate; variants whose codecs name no audio are never chosen.
/// Nothing, with error saying why, when no variant has audio.
std::optional<Variant> chooseVariant(const MasterPlaylist& master,
                                     std::optional<std::int64_t> nearBitsPerSecond,
                                     std::string& error);

/// The attributes of a tag's attribute list (KEY=VALUE,KEY="quoted, value"), quotes removed.
std::map<std::string, std::string> parseAttributes(std::string_view list);

/// The address reference resolved against base.
std::string resolveUri(const std::string& base, const std::string& reference);

} // namespace orvanta::hls
