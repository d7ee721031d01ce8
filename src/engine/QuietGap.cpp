#include "QuietGap.h"

#include "AacDecoder.h"
#include "AdtsFrames.h"
#include "Decoder.h"
#include "MyMP3Util.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace orvanta {

namespace {

// Fewer windows than this say too little about the loudness to pick a stretch.
constexpr std::size_t kMinimumLevels = 11;
// The quiet threshold lies this far from the quietest towards the loudest window.
constexpr double kThresholdFraction = 0.2;
// AAC windows: a hundredth of a second.
constexpr int kAacWindowsPerSecond = 100;
// The level array grows in steps of this many entries.
constexpr std::size_t kLevelGrowth = 1000;

// floor(sqrt(value)) without rounding surprises near perfect squares.
std::int64_t integerSquareRoot(std::int64_t value)
{
    auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(value)));
    while (root > 0 && root * root > value)
        --root;
    while ((root + 1) * (root + 1) <= value)
        ++root;
    return root;
}

} // namespace

std::vector<std::int64_t> windowLevels(const std::vector<std::int16_t>& samples, int channels,
                                       std::size_t window)
{
    std::vector<std::int64_t> levels;
    if (channels < 1 || window == 0)
        return levels;
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t windows = samples.size() / width / window;
    for (std::size_t w = 0; w < windows; ++w) {
        if (levels.size() == levels.capacity())
            levels.reserve(levels.size() + kLevelGrowth);
        // A full window of -32768 in every sample overflows 32 bits by far.
        std::int64_t loudest = 0;
        for (std::size_t channel = 0; channel < width; ++channel) {
            std::int64_t sum = 0;
            const std::int16_t* p = samples.data() + w * window * width + channel;
            for (std::size_t i = 0; i < window; ++i, p += width)
                sum += static_cast<std::int64_t>(*p) * *p;
            loudest = std::max(loudest, sum);
        }
        // floor(sqrt(floor(x))) equals floor(sqrt(x)), so integer division loses nothing.
        levels.push_back(integerSquareRoot(loudest / static_cast<std::int64_t>(window)));
    }
    return levels;
}

std::int64_t quietRunMiddle(std::vector<std::int64_t> levels)
{
    if (levels.size() < kMinimumLevels)
        return -1;
    // In place and ascending: each sum still sees its two later neighbours unsmoothed.
    for (std::size_t i = 0; i + 2 < levels.size(); ++i)
        levels[i] = (levels[i] + levels[i + 1] + levels[i + 2]) / 3;
    const auto count = static_cast<std::int64_t>(levels.size()) - 2;
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.begin() + count);
    const auto threshold =
        static_cast<std::int64_t>(*lowest + (*highest - *lowest) * kThresholdFraction);

    // A level equal to the threshold neither opens nor closes a run.
    std::int64_t bestStart = 0;
    std::int64_t bestEnd = 0;
    bool haveBest = false;
    std::int64_t start = 0;
    bool open = false;
    auto close = [&](std::int64_t end) {
        // Strictly longer only, so that of equally long runs the earlier one wins.
        if (!haveBest || end - start > bestEnd - bestStart + 1) {
            bestStart = start;
            bestEnd = end - 1;
            haveBest = true;
        }
        open = false;
    };
    for (std::int64_t i = 0; i < count; ++i) {
        if (!open && levels[i] < threshold) {
            open = true;
            start = i;
        } else if (open && levels[i] > threshold) {
            close(i);
        }
    }
    if (open)
        close(count);
    return (bestStart + bestEnd) / 2;
}

std::int64_t findQuietGap(const std::uint8_t* buffer, std::size_t length) noexcept
{
    if (buffer == nullptr)
        return -1;
    const FrameRange first = MyMP3Util::findFirstHeaderInBuffer(buffer, length);
    if (!first.found())
        return -1;
    const std::uint8_t* audio = buffer + first.location;
    if (!MyMP3Util::isMPEG1Layer3(audio))
        return -1;
    mp3frameheader_t header;
    MyMP3Util::decodeFrameHeader(header, audio);
    const int channels = header.mono ? 1 : 2;
    // floor(bitrate × 0.1 ÷ 16) sample frames (÷ 32 for stereo), in integers so that no
    // rounding of 0.1 can move the floor.
    const std::size_t window = header.bitrate / (header.mono ? 160u : 320u);
    if (window == 0)
        return -1; // free format: no bitrate to size the windows by

    try {
        const auto pcm =
            mpg123::decodeToPcm(audio, length - static_cast<std::size_t>(first.location));
        // The window size assumes the header's channel count; a stream that decodes to another
        // one changed its format inside the buffer.
        if (!pcm || pcm->channels != channels)
            return -1;
        const std::vector<std::int64_t> levels = windowLevels(pcm->samples, channels, window);
        const std::int64_t middle = quietRunMiddle(levels);
        if (middle < 0)
            return -1;
        const auto smoothedCount = static_cast<std::int64_t>(levels.size()) - 2;
        return middle * static_cast<std::int64_t>(length) / smoothedCount;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

std::int64_t findAacQuietGap(const std::uint8_t* buffer, std::size_t length) noexcept
{
    if (buffer == nullptr)
        return -1;
    const FrameRange first = AdtsFrames::findFirstRun(buffer, length);
    if (!first.found())
        return -1;
    try {
        avcodec::AacDecoder decoder;
        if (!decoder)
            return -1;
        // Each frame's offset and the sample frames decoded before it, to map the quietest
        // window back to the frame that holds it.
        std::vector<std::pair<std::size_t, std::size_t>> frameStarts;
        std::vector<std::int16_t> samples;
        std::size_t position = static_cast<std::size_t>(first.location);
        while (length - position >= AdtsFrames::kHeaderLength) {
            const auto header = AdtsFrames::decodeHeader(buffer + position);
            if (!header || header->frameLength > length - position)
                break;
            const std::size_t before =
                decoder.channels() > 0
                    ? samples.size() / static_cast<std::size_t>(decoder.channels())
                    : 0;
            if (!decoder.decodeFrame(buffer + position, header->frameLength, samples))
                break;
            frameStarts.emplace_back(position, before);
            position += header->frameLength;
        }
        // A first frame that decoded in part and then failed leaves samples but no frame.
        if (frameStarts.empty() || decoder.channels() < 1 ||
            decoder.sampleRate() < kAacWindowsPerSecond)
            return -1;
        const auto window = static_cast<std::size_t>(decoder.sampleRate() / kAacWindowsPerSecond);
        const std::vector<std::int64_t> levels = windowLevels(samples, decoder.channels(), window);
        const std::int64_t middle = quietRunMiddle(levels);
        if (middle < 0)
            return -1;
        // Smoothed entry i is the mean of windows i to i + 2: its centre is window i + 1's.
        const std::size_t sample = static_cast<std::size_t>(middle + 1) * window + window / 2;
        std::size_t offset = frameStarts.front().first;
        for (const auto& [frameOffset, firstSample] : frameStarts) {
            if (firstSample > sample)
                break;
            offset = frameOffset;
        }
        return static_cast<std::int64_t>(offset);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

} // namespace orvanta
