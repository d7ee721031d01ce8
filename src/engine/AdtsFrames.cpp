#include "AdtsFrames.h"

#include <array>

namespace orvanta {

namespace {

constexpr std::array<int, 13> kSampleRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                              22050, 16000, 12000, 11025, 8000,  7350};

constexpr int kFramesInRun = 3;

/// The bits that every frame of one stream repeats: ID, layer, protection, profile, rate,
/// private bit, channels, originality and home.
bool sameFixedHeader(const std::uint8_t* a, const std::uint8_t* b)
{
    return a[1] == b[1] && a[2] == b[2] && (a[3] & 0xF0) == (b[3] & 0xF0);
}

} // namespace

std::optional<AdtsHeader> AdtsFrames::decodeHeader(const std::uint8_t* bytes)
{
    // Sync word 0xFFF and layer 00 (MPEG audio frames never have layer 00).
    if (bytes[0] != 0xFF || (bytes[1] & 0xF6) != 0xF0)
        return std::nullopt;
    AdtsHeader header;
    header.mpegVersion = (bytes[1] & 0x08) != 0 ? 2 : 4;
    header.headerLength = (bytes[1] & 0x01) != 0 ? 7 : 9;
    header.profile = bytes[2] >> 6;
    const int rateIndex = (bytes[2] >> 2) & 0x0F;
    if (rateIndex >= static_cast<int>(kSampleRates.size()))
        return std::nullopt;
    header.sampleRate = kSampleRates[static_cast<std::size_t>(rateIndex)];
    header.channelConfig = ((bytes[2] & 0x01) << 2) | (bytes[3] >> 6);
    header.frameLength = (static_cast<std::size_t>(bytes[3] & 0x03) << 11) |
                         (static_cast<std::size_t>(bytes[4]) << 3) |
                         (static_cast<std::size_t>(bytes[5]) >> 5);
    header.rawDataBlocks = (bytes[6] & 0x03) + 1;
    // A frame holds its header and at least one byte of audio.
    if (header.frameLength <= header.headerLength)
        return std::nullopt;
    return header;
}

int AdtsFrames::channelCount(const AdtsHeader& header)
{
    if (header.channelConfig == 0)
        return 2;
    return header.channelConfig == 7 ? 8 : header.channelConfig;
}

FrameRange AdtsFrames::findFirstRun(const std::uint8_t* bytes, std::size_t length,
                                    std::size_t* resumeOffset)
{
    auto undecided = [&](std::size_t position) {
        if (resumeOffset != nullptr)
            *resumeOffset = position;
        return FrameRange{FrameRange::kNotFound, 0};
    };
    if (bytes == nullptr)
        return undecided(0);
    for (std::size_t start = 0; start < length; ++start) {
        if (length - start < kHeaderLength)
            return undecided(start);
        const auto first = decodeHeader(bytes + start);
        if (!first)
            continue;
        std::size_t position = start;
        std::size_t frameLength = first->frameLength;
        bool run = true;
        for (int frame = 1; frame < kFramesInRun; ++frame) {
            position += frameLength;
            if (position > length || length - position < kHeaderLength)
                return undecided(start); // the run may still come with more bytes
            const auto next = decodeHeader(bytes + position);
            if (!next || !sameFixedHeader(bytes + start, bytes + position)) {
                run = false;
                break;
            }
            frameLength = next->frameLength;
        }
        if (run) {
            if (resumeOffset != nullptr)
                *resumeOffset = start;
            return FrameRange{static_cast<std::int64_t>(start),
                              static_cast<std::int64_t>(first->frameLength)};
        }
    }
    return undecided(length);
}

} // namespace orvanta
