#include "OggComments.h"

#include <algorithm>
#include <cstring>

namespace orvanta {

namespace {

constexpr std::string_view kVorbisIdentification("\x01vorbis", 7);
constexpr std::string_view kVorbisComment("\x03vorbis", 7);
constexpr std::string_view kOpusHead = "OpusHead";
constexpr std::string_view kOpusTags = "OpusTags";

bool startsWith(const Bytes& packet, std::string_view prefix)
{
    return packet.size() >= prefix.size() &&
           std::memcmp(packet.data(), prefix.data(), prefix.size()) == 0;
}

std::uint32_t little32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void appendLittle32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

/// Reads length-prefixed strings from a packet without ever reading past it.
class Reader
{
public:
    Reader(const Bytes& packet, std::size_t offset) : m_packet(packet), m_offset(offset) {}
    std::optional<std::uint32_t> number()
    {
        if (m_packet.size() - m_offset < 4)
            return std::nullopt;
        const std::uint32_t value = little32(m_packet.data() + m_offset);
        m_offset += 4;
        return value;
    }
    std::optional<std::string> text()
    {
        const auto length = number();
        if (!length || m_packet.size() - m_offset < *length)
            return std::nullopt;
        std::string value(reinterpret_cast<const char*>(m_packet.data() + m_offset), *length);
        m_offset += *length;
        return value;
    }
    std::size_t offset() const { return m_offset; }

private:
    const Bytes& m_packet;
    std::size_t m_offset;
};

} // namespace

std::optional<std::string> VorbisComments::value(std::string_view name) const
{
    for (const auto& [field, text] : fields)
        if (sameNameIgnoringCase(field, name))
            return text;
    return std::nullopt;
}

void VorbisComments::set(std::string_view name, std::string text)
{
    fields.erase(std::remove_if(fields.begin(), fields.end(),
                                [&](const auto& f) { return sameNameIgnoringCase(f.first, name); }),
                 fields.end());
    fields.emplace_back(std::string(name), std::move(text));
}

std::optional<OggStreamInfo> OggComments::identify(const Bytes& packet)
{
    OggStreamInfo info;
    if (startsWith(packet, kVorbisIdentification) && packet.size() >= 30) {
        info.codec = OggCodec::Vorbis;
        info.channels = packet[11];
        info.sampleRate = static_cast<int>(std::min<std::uint32_t>(little32(&packet[12]), 1 << 30));
        const auto nominal = static_cast<std::int32_t>(little32(&packet[20]));
        info.nominalBitrate = nominal > 0 ? nominal : 0;
        return info.channels > 0 ? std::optional(info) : std::nullopt;
    }
    if (startsWith(packet, kOpusHead) && packet.size() >= 19) {
        info.codec = OggCodec::Opus;
        info.channels = packet[9];
        info.sampleRate = static_cast<int>(std::min<std::uint32_t>(little32(&packet[12]), 1 << 30));
        return info.channels > 0 ? std::optional(info) : std::nullopt;
    }
    return std::nullopt;
}

std::size_t OggComments::headerPacketCount(OggCodec codec)
{
    return codec == OggCodec::Vorbis ? 3 : 2;
}

std::optional<VorbisComments> OggComments::parse(OggCodec codec, const Bytes& packet)
{
    const std::string_view magic = codec == OggCodec::Vorbis ? kVorbisComment : kOpusTags;
    if (!startsWith(packet, magic))
        return std::nullopt;
    Reader reader(packet, magic.size());
    VorbisComments comments;
    auto vendor = reader.text();
    const auto count = reader.number();
    if (!vendor || !count)
        return std::nullopt;
    comments.vendor = std::move(*vendor);
    // Each field takes at least its four length bytes: the count cannot outrun the packet.
    if (*count > (packet.size() - reader.offset()) / 4)
        return std::nullopt;
    for (std::uint32_t i = 0; i < *count; ++i) {
        auto field = reader.text();
        if (!field)
            return std::nullopt;
        const std::size_t equals = field->find('=');
        if (equals == std::string::npos)
            comments.fields.emplace_back(std::move(*field), std::string());
        else
            comments.fields.emplace_back(field->substr(0, equals), field->substr(equals + 1));
    }
    // Vorbis ends with a framing bit; Opus may keep binary data after the comments.
    comments.trailing.assign(packet.begin() + static_cast<std::ptrdiff_t>(reader.offset()),
                             packet.end());
    if (codec == OggCodec::Vorbis)
        comments.trailing = Bytes{1};
    return comments;
}

Bytes OggComments::build(OggCodec codec, const VorbisComments& comments)
{
    const std::string_view magic = codec == OggCodec::Vorbis ? kVorbisComment : kOpusTags;
    Bytes out(magic.begin(), magic.end());
    auto appendText = [&out](std::string_view text) {
        appendLittle32(out, static_cast<std::uint32_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    };
    appendText(comments.vendor);
    appendLittle32(out, static_cast<std::uint32_t>(comments.fields.size()));
    for (const auto& [name, value] : comments.fields)
        appendText(name + "=" + value);
    if (codec == OggCodec::Vorbis)
        out.push_back(1); // the framing bit
    else
        out.insert(out.end(), comments.trailing.begin(), comments.trailing.end());
    return out;
}

VorbisComments OggComments::withTags(VorbisComments comments, const Dictionary& id3Tags)
{
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"TPE1", "ARTIST"}, {"TIT2", "TITLE"},       {"TALB", "ALBUM"},
        {"TCON", "GENRE"},  {"TRCK", "TRACKNUMBER"}, {"COMM", "COMMENT"},
    };
    for (const auto& [frame, field] : kNames) {
        const Value* value = id3Tags.find(frame);
        if (value == nullptr)
            continue;
        std::string text = value->toString();
        // Track 0 means unnumbered.
        if (text.empty() || (frame == "TRCK" && text == "0"))
            continue;
        comments.set(field, std::move(text));
    }
    return comments;
}

} // namespace orvanta
