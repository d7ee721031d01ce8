#include "Decoder.h"

#include "Mp3Fixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

using orvanta::mpg123::decodeToPcm;
using orvanta::mpg123::Pcm;
namespace test = orvanta::test;

namespace {

constexpr long kRate = 44100;
constexpr std::size_t kFrameSamples = 1152; // per channel in every MPEG-1 Layer III frame
constexpr std::size_t kEncoderDelay = 1105; // LAME's silence before the first input sample

// The mono PCM as the right channel of a stereo pair whose left channel is silent, encoded
// as plain (not joint) stereo.
test::ByteVector encodeRightOnly(const test::ByteVector& mono, const test::TempDir& dir)
{
    test::ByteVector stereo;
    for (std::size_t i = 0; i + 1 < mono.size(); i += 2)
        stereo.insert(stereo.end(), {0, 0, mono[i], mono[i + 1]});
    test::writeFile(dir.file("stereo.raw"), std::string(stereo.begin(), stereo.end()));
    std::string output;
    EXPECT_EQ(test::runCommand("lame --silent -t -r -s 44.1 --bitwidth 16 --signed "
                               "--little-endian -m s --cbr -b 128 '" +
                                   dir.file("stereo.raw") + "' '" + dir.file("stereo.mp3") + "'",
                               &output),
              0)
        << output;
    const std::string mp3 = test::readFile(dir.file("stereo.mp3"));
    return test::ByteVector(mp3.begin(), mp3.end());
}

test::ByteVector encode(const test::ByteVector& mono, int channels, const test::TempDir& dir)
{
    return channels == 1 ? test::encodeWithLame(mono, dir) : encodeRightOnly(mono, dir);
}

std::optional<Pcm> decode(const test::ByteVector& mp3, std::size_t from = 0)
{
    return decodeToPcm(mp3.data() + from, mp3.size() - from);
}

// Root mean square of one channel over [fromSecond, toSecond) of the input, allowing for the
// encoder delay.
double level(const Pcm& pcm, int channel, double fromSecond, double toSecond)
{
    const auto frame = [](double second) {
        return static_cast<std::size_t>(second * kRate) + kEncoderDelay;
    };
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t f = frame(fromSecond); f < frame(toSecond); ++f, ++count) {
        const double s = pcm.samples.at(f * static_cast<std::size_t>(pcm.channels) +
                                        static_cast<std::size_t>(channel));
        sum += s * s;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

} // namespace

TEST(Mpg123Test, LameAudioDecodesToItsLengthChannelsAndLevels)
{
    test::TempDir dir;
    // One second of tone, one of silence, one of tone: the tone's amplitude is 12000.
    const test::ByteVector pcm = test::pcmSongs({1.0, 1.0}, 1.0);
    const std::size_t inputFrames = pcm.size() / 2;
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const test::ByteVector mp3 = encode(pcm, channels, dir);
        const auto decoded = decode(mp3);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->channels, channels);
        EXPECT_EQ(decoded->rate, kRate);
        // Whole frames: the input behind the encoder delay, padded up to the next frame.
        ASSERT_EQ(decoded->samples.size() % (kFrameSamples * channels), 0u);
        const std::size_t frames = decoded->samples.size() / channels;
        EXPECT_GE(frames, inputFrames + kEncoderDelay);
        EXPECT_LE(frames, inputFrames + kEncoderDelay + 2 * kFrameSamples);

        const int toneChannel = channels - 1; // the stereo tone is on the right
        EXPECT_GT(level(*decoded, toneChannel, 0.2, 0.8), 7000.0); // 12000 / sqrt(2) encoded
        EXPECT_LT(level(*decoded, toneChannel, 1.2, 1.8), 30.0);
        EXPECT_GT(level(*decoded, toneChannel, 2.2, 2.8), 7000.0);
        if (channels == 2) {
            EXPECT_LT(level(*decoded, 0, 0.2, 0.8), 30.0) << "channels must not be swapped";
        }
    }
}

TEST(Mpg123Test, DecodingStartsAnywhereInTheStream)
{
    test::TempDir dir;
    const test::ByteVector mp3 = test::encodeWithLame(test::pcmSongs({2.0}, 0), dir);
    const auto whole = decode(mp3);
    ASSERT_TRUE(whole);
    test::ByteVector junkFirst(5000 + mp3.size(), 0x55);
    std::mt19937 random(3);
    for (std::size_t i = 0; i < 5000; ++i)
        junkFirst[i] = static_cast<std::uint8_t>(random());
    std::copy(mp3.begin(), mp3.end(), junkFirst.begin() + 5000);
    // A stretch of the middle overwritten: longer than libmpg123's default resync limit.
    test::ByteVector damaged = mp3;
    for (std::size_t i = 10000; i < 13000; ++i)
        damaged[i] = static_cast<std::uint8_t>(random());

    struct Case
    {
        const char* name;
        test::ByteVector bytes;
        std::size_t from;
        std::size_t lostFrames; // at most: those cut or damaged, and one lacking its reservoir
    };
    const Case cases[] = {
        {"inside the first header", mp3, 2, 2},
        {"in the middle of a frame", mp3, 10 * 418 + 200, 12},
        {"after foreign bytes", junkFirst, 0, 1},
        {"across a damaged stretch", damaged, 3000, 8 + 9 + 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoded = decode(c.bytes, c.from);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->channels, 1);
        EXPECT_GE(decoded->samples.size(), whole->samples.size() - c.lostFrames * kFrameSamples);
        EXPECT_LE(decoded->samples.size(), whole->samples.size());
    }
}

TEST(Mpg123Test, NothingDecodesFromNothingOrGarbage)
{
    std::mt19937 random(7);
    test::ByteVector noise(64 * 1024);
    for (auto& byte : noise)
        byte = static_cast<std::uint8_t>(random());
    const test::ByteVector zeros(10000, 0);
    const test::ByteVector syncs(10000, 0xFF);
    const test::ByteVector oneHeader(test::kFrameHeader, test::kFrameHeader + 4);

    EXPECT_FALSE(decodeToPcm(nullptr, 100));
    EXPECT_FALSE(decodeToPcm(zeros.data(), 0));
    for (const test::ByteVector* bytes : {&std::as_const(noise), &zeros, &syncs, &oneHeader})
        EXPECT_FALSE(decodeToPcm(bytes->data(), bytes->size())) << bytes->size() << " bytes";

    // Valid headers around meaningless payload: whatever comes out must be well formed.
    const test::ByteVector frames = test::syntheticFrames(40);
    if (const auto decoded = decodeToPcm(frames.data(), frames.size())) {
        EXPECT_EQ(decoded->channels, 2);
        EXPECT_LE(decoded->samples.size(), 40 * kFrameSamples * 2);
        EXPECT_EQ(decoded->samples.size() % 2, 0u);
    }
}

TEST(Mpg123Test, ConcurrentDecodesDoNotInterfere)
{
    test::TempDir dir;
    const test::ByteVector mp3 = test::encodeWithLame(test::pcmSongs({1.0, 1.0}, 0.5), dir);
    const auto expected = decode(mp3);
    ASSERT_TRUE(expected);
    constexpr int kThreads = 4;
    std::vector<std::optional<Pcm>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] { results[t] = decode(mp3); });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results) {
        ASSERT_TRUE(result);
        EXPECT_EQ(result->samples, expected->samples);
    }
}
