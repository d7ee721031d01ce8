#include "LoudnessSpan.h"

#include "AacDecoder.h"
#include "AdtsFrames.h"
#include "FrameDecoder.h"
#include "MyMP3Util.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace orvanta {

namespace {

constexpr float kSilenceFloorDb = -100.0f;
// Samples per frame of MPEG audio by layer, for MPEG-1; MPEG-2 and 2.5 Layer III halve it.
constexpr int kSamplesPerFrame[4] = {0, 384, 1152, 1152};
constexpr int kAacSamplesPerBlock = 1024;
// Frames at the start of a stretch that may decode to nothing but silence.
constexpr std::size_t kWarmUpFrames = 2;

/// One frame of the stretch: where it starts and how long it is; nothing at the end or
/// where no frame of the format starts.
struct Frame
{
    std::size_t length = 0;
    double seconds = 0; // its duration
};

std::optional<Frame> frameAt(AudioFormat format, const std::uint8_t* bytes, std::size_t left)
{
    if (format == AudioFormat::MP3) {
        mp3frameheader_t header;
        if (left < 4 || !MyMP3Util::decodeFrameHeader(header, bytes) || header.frameLength == 0 ||
            header.frameLength > left || header.sampleRate == 0)
            return std::nullopt;
        int samples = kSamplesPerFrame[header.layer & 3];
        if (header.layer == 3 && header.version != 1)
            samples /= 2;
        return Frame{header.frameLength, static_cast<double>(samples) / header.sampleRate};
    }
    if (left < AdtsFrames::kHeaderLength)
        return std::nullopt;
    const auto header = AdtsFrames::decodeHeader(bytes);
    if (!header || header->frameLength > left || header->sampleRate == 0)
        return std::nullopt;
    return Frame{header->frameLength, static_cast<double>(kAacSamplesPerBlock) *
                                          header->rawDataBlocks / header->sampleRate};
}

/// The frames of the stretch, from its first run on; past damage the next run is looked for.
std::vector<std::size_t> frameOffsetsOf(AudioFormat format, const std::uint8_t* bytes,
                                        std::size_t length)
{
    std::vector<std::size_t> offsets;
    std::size_t position = 0;
    while (position < length) {
        if (const auto frame = frameAt(format, bytes + position, length - position)) {
            offsets.push_back(position);
            position += frame->length;
            continue;
        }
        const FrameRange run =
            findFirstFrameRun(format, bytes + position + 1, length - position - 1);
        if (!run.found())
            break;
        position += 1 + static_cast<std::size_t>(run.location);
    }
    return offsets;
}

float levelOf(const std::int16_t* samples, std::size_t count)
{
    if (count == 0)
        return kSilenceFloorDb;
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    const double meanSquare = sum / static_cast<double>(count) / (32768.0 * 32768.0);
    if (meanSquare <= 1e-10)
        return kSilenceFloorDb;
    return static_cast<float>(10.0 * std::log10(meanSquare));
}

/// The loudness of each hundredth of a second, measured as the decoder hands samples out,
/// so that no more than a frame's samples are ever held.
class LevelMeter
{
public:
    /// Samples decoded so far (interleaved), for telling where each frame began.
    std::size_t samplesSeen() const { return m_seen; }

    /// The samples appended to pending since the last call; rate and channels as decoded.
    void take(std::vector<std::int16_t>& pending, long rate, int channels,
              std::vector<float>& levels)
    {
        m_seen += pending.size() - m_taken;
        m_taken = pending.size();
        if (rate < 100 || channels < 1)
            return;
        m_window = static_cast<std::size_t>(rate / 100) * static_cast<std::size_t>(channels);
        std::size_t at = 0;
        for (; pending.size() - at >= m_window; at += m_window)
            levels.push_back(levelOf(pending.data() + at, m_window));
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
        m_taken = pending.size();
    }

    std::size_t window() const { return m_window; }

private:
    std::size_t m_seen = 0;
    std::size_t m_taken = 0;
    std::size_t m_window = 0;
};

/// Feeds every frame to decode (which appends to pending) and records where in the output
/// each one began; false when nothing decoded.
template <typename Decode>
bool decodeFrames(const std::uint8_t* bytes, const std::vector<std::size_t>& offsets,
                  std::size_t length, std::vector<std::size_t>& firstSample, Decode&& decode)
{
    firstSample.reserve(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : length;
        firstSample.push_back(decode.samplesSeen());
        if (!decode(bytes + offsets[i], end - offsets[i]))
            break; // what decoded before the damage still counts
    }
    return decode.samplesSeen() > 0;
}

long rateOf(const mpg123::FrameDecoder& decoder)
{
    return decoder.rate();
}

long rateOf(const avcodec::AacDecoder& decoder)
{
    return decoder.sampleRate();
}

/// One decoder and its meter, called once per frame.
template <typename Decoder, typename Feed> struct MeteredDecoder
{
    Decoder& decoder;
    Feed feed;
    std::vector<float>& levels;
    LevelMeter meter;
    std::vector<std::int16_t> pending;

    std::size_t samplesSeen() const { return meter.samplesSeen(); }
    bool operator()(const std::uint8_t* frame, std::size_t size)
    {
        const bool ok = feed(decoder, frame, size, pending);
        meter.take(pending, rateOf(decoder), decoder.channels(), levels);
        return ok;
    }
};

} // namespace

std::size_t LoudnessSpan::windowAtByte(std::size_t offset) const
{
    if (frameOffsets.empty())
        return 0;
    const auto after = std::upper_bound(frameOffsets.begin(), frameOffsets.end(), offset);
    const std::size_t frame = after == frameOffsets.begin()
                                  ? 0
                                  : static_cast<std::size_t>(after - frameOffsets.begin()) - 1;
    return std::min(frameFirstWindows[frame], levelsDb.empty() ? 0 : levelsDb.size() - 1);
}

std::size_t LoudnessSpan::frameStartNearWindow(std::size_t window) const
{
    if (frameOffsets.empty())
        return 0;
    const auto after = std::lower_bound(frameFirstWindows.begin(), frameFirstWindows.end(), window);
    if (after == frameFirstWindows.end())
        return frameOffsets.back();
    const auto index = static_cast<std::size_t>(after - frameFirstWindows.begin());
    if (index > 0 && window - frameFirstWindows[index - 1] < *after - window)
        return frameOffsets[index - 1];
    return frameOffsets[index];
}

std::optional<LoudnessSpan> decodeLoudness(AudioFormat format, const std::uint8_t* bytes,
                                           std::size_t length) noexcept
{
    if (bytes == nullptr || format == AudioFormat::Ogg)
        return std::nullopt;
    try {
        const FrameRange first = findFirstFrameRun(format, bytes, length);
        if (!first.found())
            return std::nullopt;
        const auto start = static_cast<std::size_t>(first.location);
        std::vector<std::size_t> offsets = frameOffsetsOf(format, bytes + start, length - start);
        if (offsets.empty())
            return std::nullopt;

        LoudnessSpan span;
        std::vector<std::size_t> firstSample;
        std::size_t window = 0;
        bool decoded = false;
        if (format == AudioFormat::MP3) {
            mpg123::FrameDecoder decoder(true);
            if (!decoder)
                return std::nullopt;
            auto feed = [](mpg123::FrameDecoder& d, const std::uint8_t* frame, std::size_t size,
                           std::vector<std::int16_t>& out) { return d.feed(frame, size, out); };
            MeteredDecoder<mpg123::FrameDecoder, decltype(feed)> metered{
                decoder, feed, span.levelsDb, {}, {}};
            decoded = decodeFrames(bytes + start, offsets, length - start, firstSample, metered);
            window = metered.meter.window();
        } else {
            avcodec::AacDecoder decoder;
            if (!decoder)
                return std::nullopt;
            auto feed = [](avcodec::AacDecoder& d, const std::uint8_t* frame, std::size_t size,
                           std::vector<std::int16_t>& out) {
                return d.decodeFrame(frame, size, out);
            };
            MeteredDecoder<avcodec::AacDecoder, decltype(feed)> metered{
                decoder, feed, span.levelsDb, {}, {}};
            decoded = decodeFrames(bytes + start, offsets, length - start, firstSample, metered);
            window = metered.meter.window();
        }
        if (!decoded || window == 0 || span.levelsDb.empty())
            return std::nullopt;
        offsets.resize(firstSample.size());
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            span.frameOffsets.push_back(start + offsets[i]);
            span.frameFirstWindows.push_back(firstSample[i] / window);
        }
        // A decoder that joins a stream mid-way lacks the bits its first frames borrow from
        // earlier ones, and hands out silence for them: no gap, however quiet it looks.
        const std::size_t warmUp =
            std::min(span.levelsDb.size(), span.frameFirstWindows.size() > kWarmUpFrames
                                               ? span.frameFirstWindows[kWarmUpFrames]
                                               : span.levelsDb.size());
        std::fill(span.levelsDb.begin(),
                  span.levelsDb.begin() + static_cast<std::ptrdiff_t>(warmUp), 0.0f);
        return span;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

double bytesPerSecondOfFrames(AudioFormat format, const std::uint8_t* bytes, std::size_t length)
{
    if (bytes == nullptr || format == AudioFormat::Ogg)
        return 0;
    const FrameRange first = findFirstFrameRun(format, bytes, length);
    if (!first.found())
        return 0;
    std::size_t position = static_cast<std::size_t>(first.location);
    std::size_t frameBytes = 0;
    double seconds = 0;
    // A few dozen frames average out the padding of MP3 and the varying lengths of AAC.
    for (int i = 0; i < 64; ++i) {
        const auto frame = frameAt(format, bytes + position, length - position);
        if (!frame)
            break;
        frameBytes += frame->length;
        seconds += frame->seconds;
        position += frame->length;
    }
    return seconds > 0 ? static_cast<double>(frameBytes) / seconds : 0;
}

} // namespace orvanta
