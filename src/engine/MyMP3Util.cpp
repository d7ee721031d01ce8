#include "MyMP3Util.h"

#include "NotificationCenter.h"
#include "NotificationNames.h"

#include <algorithm>
#include <cstring>

namespace orvanta {

namespace {

// Kilobits per second by [MPEG-1 or MPEG-2/2.5][layer - 1][bitrate index].
constexpr std::uint16_t kBitrates[2][3][16] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    },
};

constexpr std::uint32_t kSampleRates[3] = {44100, 48000, 32000};

bool looksLikeHeader(const std::uint8_t* p)
{
    return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0;
}

} // namespace

bool MyMP3Util::decodeFrameHeader(mp3frameheader_t& h, const std::uint8_t* b)
{
    std::memset(&h, 0, sizeof h);
    if (!looksLikeHeader(b))
        return false;
    switch ((b[1] >> 3) & 3) {
    case 3:
        h.version = 1;
        break;
    case 2:
        h.version = 2;
        break;
    case 0:
        h.version = 2;
        h.mpeg25 = 1;
        break;
    default:
        std::memset(&h, 0, sizeof h);
        return false;
    }
    h.layer = 4 - ((b[1] >> 1) & 3);
    h.bitrateIndex = b[2] >> 4;
    h.sampleRateIndex = (b[2] >> 2) & 3;
    if (h.layer == 4 || h.bitrateIndex == 15 || h.sampleRateIndex == 3) {
        std::memset(&h, 0, sizeof h);
        return false;
    }
    h.freeFormat = h.bitrateIndex == 0;
    h.padding = (b[2] >> 1) & 1;
    h.channelMode = b[3] >> 6;
    h.mono = h.channelMode == 3;
    h.bitrate = kBitrates[h.version - 1][h.layer - 1][h.bitrateIndex] * 1000u;
    h.sampleRate = kSampleRates[h.sampleRateIndex];
    if (h.version == 2)
        h.sampleRate /= 2;
    if (h.mpeg25)
        h.sampleRate /= 2;
    if (h.layer == 1)
        h.frameLength = (12 * h.bitrate / h.sampleRate + h.padding) * 4;
    else if ((h.layer == 3 && h.version == 2) || h.mpeg25)
        h.frameLength = 72 * h.bitrate / h.sampleRate + h.padding;
    else
        h.frameLength = 144 * h.bitrate / h.sampleRate + h.padding;
    if (h.frameLength == 0) {
        std::memset(&h, 0, sizeof h);
        return false;
    }
    return true;
}

bool MyMP3Util::isMPEG1Layer3(const std::uint8_t* bytes)
{
    mp3frameheader_t h;
    return decodeFrameHeader(h, bytes) && h.version == 1 && h.layer == 3;
}

FrameRange MyMP3Util::findFirstHeaderInBuffer(const std::uint8_t* bytes, std::size_t length)
{
    return findFirstHeaderInBuffer(bytes, length, 0);
}

FrameRange MyMP3Util::findFirstHeaderInBuffer(const std::uint8_t* bytes, std::size_t length,
                                              std::int32_t tag, NotificationCenter* center,
                                              std::size_t* resumeOffset)
{
    const auto size = static_cast<std::int64_t>(length);
    mp3frameheader_t h, second, third;
    std::int64_t offset = 0;
    // A header needs 4 bytes; the loop never decodes past the end of the buffer.
    for (; offset + 4 <= size; ++offset) {
        const std::uint8_t* p = bytes + offset;
        if (!looksLikeHeader(p) || !decodeFrameHeader(h, p))
            continue;
        const std::int64_t frame = h.frameLength;
        if (offset + 2 * frame > size - 4)
            break; // needs more data before this candidate can be judged
        if (!decodeFrameHeader(second, p + frame))
            continue;
        // The third frame follows the second, whose own length may differ by its padding
        // byte; looking 2 × the first length ahead would miss every padded second frame.
        const std::int64_t thirdAt = offset + frame + second.frameLength;
        if (thirdAt > size - 4)
            break;
        if (!decodeFrameHeader(third, bytes + thirdAt))
            continue;
        if (resumeOffset)
            *resumeOffset = static_cast<std::size_t>(offset);
        if (tag != 0) {
            NotificationCenter& target = center ? *center : NotificationCenter::defaultCenter();
            if (!h.freeFormat)
                target.post(OVStreamBitrateNotification, tag,
                            static_cast<std::int64_t>(h.bitrate / 1000));
            target.post(OVStreamStereoNotification, tag, h.mono == 0);
        }
        return FrameRange{offset, frame};
    }
    if (resumeOffset)
        *resumeOffset = static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(offset, size)));
    return FrameRange{FrameRange::kNotFound, 0};
}

} // namespace orvanta
