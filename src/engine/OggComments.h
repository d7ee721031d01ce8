#pragma once

// The header packets of the Ogg audio codecs a station sends (Vorbis, Opus): which codec a
// logical stream holds, and its comment packet read, changed and written again, so that
// each recorded file carries its tags without its audio being touched.
//
// Thread-safe: no shared state.

#include "Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvanta {

enum class OggCodec { Vorbis, Opus };

struct OggStreamInfo
{
    OggCodec codec = OggCodec::Vorbis;
    int channels = 0;
    int sampleRate = 0;     // Hz (Opus: of the original input, 0 when not given)
    int nominalBitrate = 0; // bits per second, 0 when not given
};

struct VorbisComments
{
    std::string vendor;
    std::vector<std::pair<std::string, std::string>> fields; // name (as sent), value
    Bytes trailing; // what follows the comments (Opus may keep data there)

    /// The first value of a field, its name compared without case.
    std::optional<std::string> value(std::string_view name) const;
    /// Replaces every field of that name with one.
    void set(std::string_view name, std::string value);
};

class OggComments
{
public:
    /// The codec and format of a logical stream from its first packet, or nothing for a
    /// codec not recorded here.
    static std::optional<OggStreamInfo> identify(const Bytes& firstPacket);
    /// How many header packets the codec's stream starts with (the comment packet second).
    static std::size_t headerPacketCount(OggCodec codec);

    static std::optional<VorbisComments> parse(OggCodec codec, const Bytes& packet);
    static Bytes build(OggCodec codec, const VorbisComments& comments);

    /// The comments with a file's tags (ID3 frame identifiers as the naming code gives
    /// them) put in: artist, title, album, genre, track number and comment.
    static VorbisComments withTags(VorbisComments comments, const Dictionary& id3Tags);
};

} // namespace orvanta
