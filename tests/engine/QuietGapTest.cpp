#include "QuietGap.h"

#include "Mp3Fixtures.h"
#include "MyMP3Util.h"
#include "TempDir.h"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

constexpr double kBytesPerSecond = 16000.0; // 128 kbit/s
constexpr double kEncoderDelaySeconds = 1105.0 / 44100.0;
constexpr std::int64_t kFrameBytes = 418;

// Runs LAME over 16-bit little-endian PCM at 44.1 kHz with extra options.
test::ByteVector lame(const test::ByteVector& pcm, const std::string& options,
                      const test::TempDir& dir)
{
    test::writeFile(dir.file("in.raw"), std::string(pcm.begin(), pcm.end()));
    std::string output;
    EXPECT_EQ(test::runCommand("lame --silent -t -r -s 44.1 --bitwidth 16 --signed "
                               "--little-endian " +
                                   options + " '" + dir.file("in.raw") + "' '" +
                                   dir.file("out.mp3") + "'",
                               &output),
              0)
        << output;
    const std::string mp3 = test::readFile(dir.file("out.mp3"));
    return test::ByteVector(mp3.begin(), mp3.end());
}

// 128 kbit/s plain stereo with the tone on the right channel only: the level of a window is
// that of its louder channel, so the silence must still be found.
test::ByteVector encodeRightOnly(const test::ByteVector& mono, const test::TempDir& dir)
{
    test::ByteVector stereo;
    for (std::size_t i = 0; i + 1 < mono.size(); i += 2)
        stereo.insert(stereo.end(), {0, 0, mono[i], mono[i + 1]});
    return lame(stereo, "-m s --cbr -b 128", dir);
}

// count whole frames from the first frame run that the search will find, so that every one
// of them is decoded.
test::ByteVector framesFromFirstRun(const test::ByteVector& mp3, std::size_t count)
{
    const FrameRange run = MyMP3Util::findFirstHeaderInBuffer(mp3.data(), mp3.size());
    EXPECT_TRUE(run.found());
    const auto start = static_cast<std::size_t>(run.location);
    std::size_t end = start;
    for (std::size_t i = 0; i < count; ++i) {
        mp3frameheader_t header;
        EXPECT_TRUE(MyMP3Util::decodeFrameHeader(header, mp3.data() + end));
        end += header.frameLength;
    }
    test::ByteVector frames(mp3.begin() + static_cast<std::ptrdiff_t>(start),
                            mp3.begin() + static_cast<std::ptrdiff_t>(end));
    EXPECT_EQ(MyMP3Util::findFirstHeaderInBuffer(frames.data(), frames.size()).location, 0);
    return frames;
}

} // namespace

TEST(QuietGapTest, WindowLevelsAreTheRootMeanSquareOfTheLouderChannel)
{
    struct Case
    {
        const char* name;
        std::vector<std::int16_t> samples;
        int channels;
        std::size_t window;
        std::vector<std::int64_t> levels;
    };
    const std::vector<std::int16_t> loudest(2 * 800, -32768); // one stereo window
    const Case cases[] = {
        {"constant", {100, -100, 100, -100}, 1, 2, {100, 100}},
        {"truncated, not rounded", {3, 4}, 1, 2, {3}},             // sqrt(12.5)
        {"perfect square stays", {30, 40, 0, 50}, 1, 2, {35, 35}}, // sqrt(1250), sqrt(1250)
        {"incomplete last window dropped", {7, 7, 7, 9, 9}, 1, 3, {7}},
        {"too short for one window", {1, 2}, 1, 3, {}},
        {"louder channel wins", {10, 300, -10, -300, 10, 300, 500, 1}, 2, 2, {300, 353}},
        {"sums exceed 32 bits", loudest, 2, 800, {32768}},
        {"no window size", {1, 2, 3}, 1, 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowLevels(c.samples, c.channels, c.window), c.levels) << c.name;
}

TEST(QuietGapTest, LongestQuietRunFollowsTheSmoothingThresholdAndTieRules)
{
    // Smoothing makes entry i the mean of entries i to i + 2 of the input; the quiet threshold
    // is 20 % of the way from the quietest to the loudest smoothed entry (18 for 0 and 90-94).
    // The expected answers are indices into the smoothed series.
    using L = std::vector<std::int64_t>;
    const L H3(3, 90), H4(4, 90), Z3(3, 0), Z4(4, 0);
    auto join = [](std::initializer_list<L> parts) {
        L all;
        for (const L& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct Case
    {
        const char* name;
        L levels;
        std::int64_t middle;
    };
    const Case cases[] = {
        {"ten levels are too few", join({H3, Z4, H3}), -1},
        {"eleven are enough", join({H3, Z4, H4}), 3},
        // Smoothed: 90 60 30 0 0 30 60 90 90 60 30 0 0 30 60 90 90.
        {"of two equal runs the earlier wins", join({H3, Z4, H4, Z4, H4}), 3},
        {"a longer later run wins", join({H3, Z3, H4, L(6, 0), H4}), 11},
        // Smoothed: ... 0 6 12 18 12 6 0 ...: a level equal to 18 does not end the run.
        {"a level at the threshold keeps a run open", join({H3, Z4, L(3, 18), Z4, H4, L(9, 0), H3}),
         7},
        // With a loudest level of 94 the threshold is 18.8, truncated to 18; the stretch of
        // 18s before the zeros must not count, or that run would win.
        {"a level at the threshold opens no run",
         join({L(3, 94), L(6, 18), L(5, 0), L(4, 94), L(8, 0), L(3, 94)}), 20},
        {"a run open at the end counts", join({H3, Z4, H4, L(8, 0)}), 13},
        {"nothing below a flat threshold", L(12, 50), 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quietRunMiddle(c.levels), c.middle) << c.name;
}

TEST(QuietGapTest, GapLiesInTheSilenceOfRealAudio)
{
    test::TempDir dir;
    // 3 s of tone, 1 s of digital silence, 3 s of tone.
    const test::ByteVector pcm = test::pcmSongs({3.0, 3.0}, 1.0);
    const test::ByteVector mono = test::encodeWithLame(pcm, dir);
    const test::ByteVector stereo = encodeRightOnly(pcm, dir);
    // Where the silence lies in the MP3 bytes: LAME delays the audio by its encoder delay.
    const double silenceStart = (3.0 + kEncoderDelaySeconds) * kBytesPerSecond;
    const double silenceEnd = (4.0 + kEncoderDelaySeconds) * kBytesPerSecond;

    struct Case
    {
        const char* name;
        const test::ByteVector& mp3;
        double fromSecond; // the buffer, as a cut from the stream
        double seconds;
    };
    const Case cases[] = {
        {"mono, silence in the middle", mono, 2.25, 2.5},
        {"mono, silence early", mono, 2.8, 2.5},
        {"stereo, silence in the middle", stereo, 2.25, 2.5},
        {"stereo, silence late", stereo, 1.6, 2.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Cuts off a piece of a frame, as a buffer taken from a live stream would.
        const auto from = static_cast<std::int64_t>(c.fromSecond * kBytesPerSecond) + 123;
        const auto length = static_cast<std::size_t>(c.seconds * kBytesPerSecond);
        ASSERT_LE(static_cast<std::size_t>(from) + length, c.mp3.size());
        const std::int64_t gap = findQuietGap(c.mp3.data() + from, length);
        ASSERT_GE(gap, 0);
        ASSERT_LT(gap, static_cast<std::int64_t>(length));
        const std::int64_t inStream = from + gap;
        EXPECT_GE(inStream, silenceStart - 3 * kFrameBytes);
        EXPECT_LE(inStream, silenceEnd + 3 * kFrameBytes);
        // The middle of the run is the middle of the silence, within a few windows.
        EXPECT_NEAR(static_cast<double>(inStream), (silenceStart + silenceEnd) / 2,
                    2 * kFrameBytes);
    }
}

TEST(QuietGapTest, UnsuitableBuffersHaveNoGap)
{
    test::TempDir dir;
    const test::ByteVector pcm = test::pcmSongs({1.0, 1.0}, 1.0);
    const test::ByteVector mp3 = test::encodeWithLame(pcm, dir);
    // The same audio as MPEG-2 Layer III (22.05 kHz): it decodes, but is not MPEG-1.
    const test::ByteVector mpeg2 = lame(pcm, "-m m --resample 22.05 --cbr -b 64", dir);
    mp3frameheader_t header;
    ASSERT_TRUE(MyMP3Util::decodeFrameHeader(header, mpeg2.data()));
    ASSERT_EQ(header.version, 2u);
    ASSERT_EQ(header.layer, 3u);
    // Frames whose headers say MPEG-1 Layer II.
    test::ByteVector layer2 = test::syntheticFrames(100);
    for (std::size_t at = 0; at < layer2.size(); at += test::kFrameLength)
        layer2[at + 1] = 0xFD;
    const test::ByteVector zeros(30000, 0);

    struct Case
    {
        const char* name;
        test::ByteVector bytes;
        bool found;
    };
    const Case cases[] = {
        {"no frame header", zeros, false},
        {"MPEG-1 Layer II", layer2, false},
        {"MPEG-2 Layer III", mpeg2, false},
        // 1152 sample frames each, windows of 800: 7 frames give 10 windows, 8 give 11.
        {"seven frames", framesFromFirstRun(mp3, 7), false},
        {"eight frames", framesFromFirstRun(mp3, 8), true},
        {"the whole", mp3, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findQuietGap(c.bytes.data(), c.bytes.size()) >= 0, c.found) << c.name;
    EXPECT_EQ(findQuietGap(nullptr, 1000), -1);
    EXPECT_EQ(findQuietGap(mp3.data(), 0), -1);
}
