#include "SegmentAudio.h"

#include "Localization.h"
#include "SegmentDemuxer.h"
#include "TimedId3.h"

#include <algorithm>

namespace orvanta::hls {

namespace {
// ADTS frame lengths have 13 bits.
constexpr std::size_t kMaxAdtsFrame = (1u << 13) - 1;
constexpr std::size_t kAdtsHeader = 7;

bool startsWithAdts(const Bytes& frame)
{
    return frame.size() >= kAdtsHeader && frame[0] == 0xFF && (frame[1] & 0xF6) == 0xF0;
}
} // namespace

std::optional<Bytes> adtsHeaderFor(const Bytes& config, std::size_t payloadLength)
{
    if (config.size() < 2 || payloadLength + kAdtsHeader > kMaxAdtsFrame)
        return std::nullopt;
    const unsigned objectType = config[0] >> 3;
    const unsigned rateIndex = ((config[0] & 0x07u) << 1) | (config[1] >> 7);
    const unsigned channels = (config[1] >> 3) & 0x0Fu;
    // ADTS holds the profile in two bits (object types 1 to 4) and no explicit rate.
    if (objectType < 1 || objectType > 4 || rateIndex > 12 || channels > 7)
        return std::nullopt;
    const std::size_t length = payloadLength + kAdtsHeader;
    Bytes header(kAdtsHeader);
    header[0] = 0xFF;
    header[1] = 0xF1; // MPEG-4, layer 0, no CRC
    header[2] =
        static_cast<std::uint8_t>(((objectType - 1) << 6) | (rateIndex << 2) | (channels >> 2));
    header[3] = static_cast<std::uint8_t>(((channels & 0x03u) << 6) | (length >> 11));
    header[4] = static_cast<std::uint8_t>((length >> 3) & 0xFF);
    header[5] = static_cast<std::uint8_t>(((length & 0x07u) << 5) | 0x1F); // buffer fullness: VBR
    header[6] = 0xFC;
    return header;
}

std::optional<SegmentAudio> audioOfSegment(const Bytes& segment, std::string& error)
{
    const auto contents = avformat::demuxSegment(segment.data(), segment.size(), error);
    if (!contents)
        return std::nullopt;
    SegmentAudio audio;
    switch (contents->codec) {
    case avformat::SegmentContents::Codec::Aac:
        audio.format = AudioFormat::AAC;
        break;
    case avformat::SegmentContents::Codec::Mp3:
        audio.format = AudioFormat::MP3;
        break;
    case avformat::SegmentContents::Codec::Other:
        error = Orvanta::tr("The station sends %1 audio, which Orvanta does not record (only AAC "
                            "and MP3)",
                            {contents->codecName});
        return std::nullopt;
    }
    if (contents->audio.empty()) {
        error = Orvanta::tr("The segment holds no audio");
        return std::nullopt;
    }
    for (const avformat::Packet& packet : contents->audio) {
        if (audio.format == AudioFormat::AAC && !startsWithAdts(packet.data)) {
            const auto header = adtsHeaderFor(contents->audioSpecificConfig, packet.data.size());
            if (!header) {
                error = Orvanta::tr("The station's AAC cannot be written as ADTS frames");
                return std::nullopt;
            }
            audio.frames.insert(audio.frames.end(), header->begin(), header->end());
        }
        audio.frames.insert(audio.frames.end(), packet.data.begin(), packet.data.end());
    }
    audio.startSeconds = contents->audio.front().seconds;
    // Packed audio stamps its start in the tag in front, which may name the song as well.
    if (const auto leading = parseTimedId3(segment.data(), segment.size())) {
        if (leading->transportTimestamp)
            audio.startSeconds = leading->transportSeconds();
        if (!leading->songTitle().empty())
            audio.titles.push_back({0, leading->songTitle()});
    }
    const double first = contents->audio.front().seconds.value_or(0);
    for (const avformat::Packet& packet : contents->timedId3) {
        const auto tag = parseTimedId3(packet.data.data(), packet.data.size());
        if (!tag || tag->songTitle().empty())
            continue;
        audio.titles.push_back(
            {std::max(0.0, packet.seconds.value_or(first) - first), tag->songTitle()});
    }
    std::stable_sort(
        audio.titles.begin(), audio.titles.end(),
        [](const TitleInSegment& a, const TitleInSegment& b) { return a.seconds < b.seconds; });
    return audio;
}

} // namespace orvanta::hls
