#include "MyMP3Util.h"

#include <cstring>

#include "Mp3Fixtures.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"

#include <gtest/gtest.h>

using namespace orvanta;

TEST(MyMP3UtilTest, DecodesHeadersOfEveryVersionAndLayer)
{
    struct Case
    {
        std::uint8_t bytes[4];
        std::uint32_t version, mpeg25, layer, bitrate, sampleRate, frameLength, mono;
    };
    const Case cases[] = {
        // MPEG-1 Layer III 128 kbit/s 44.1 kHz, with and without padding
        {{0xFF, 0xFB, 0x90, 0x44}, 1, 0, 3, 128000, 44100, 417, 0},
        {{0xFF, 0xFB, 0x92, 0xC4}, 1, 0, 3, 128000, 44100, 418, 1},
        // MPEG-1 Layer III 320 kbit/s 32 kHz: the longest layer III frame
        {{0xFF, 0xFB, 0xE8, 0x00}, 1, 0, 3, 320000, 32000, 1440, 0},
        // MPEG-1 Layer II 192 kbit/s 48 kHz
        {{0xFF, 0xFD, 0xA4, 0x00}, 1, 0, 2, 192000, 48000, 576, 0},
        // MPEG-1 Layer I 448 kbit/s 32 kHz with padding: (12*448000/32000 + 1) * 4
        {{0xFF, 0xFF, 0xEA, 0x00}, 1, 0, 1, 448000, 32000, 676, 0},
        // MPEG-2 Layer III 64 kbit/s 22.05 kHz
        {{0xFF, 0xF3, 0x80, 0xC0}, 2, 0, 3, 64000, 22050, 208, 1},
        // MPEG-2 Layer II 160 kbit/s 16 kHz: 144 * 160000 / 16000
        {{0xFF, 0xF5, 0xE8, 0x00}, 2, 0, 2, 160000, 16000, 1440, 0},
        // MPEG-2 Layer I 256 kbit/s 24 kHz
        {{0xFF, 0xF7, 0xE4, 0x00}, 2, 0, 1, 256000, 24000, 512, 0},
        // MPEG-2.5 Layer III 8 kbit/s 8 kHz: 72 * 8000 / 8000
        {{0xFF, 0xE3, 0x18, 0x00}, 2, 1, 3, 8000, 8000, 72, 0},
        // MPEG-2.5 Layer II 32 kbit/s 11.025 kHz: 72 * 32000 / 11025
        {{0xFF, 0xE5, 0x40, 0x00}, 2, 1, 2, 32000, 11025, 208, 0},
    };
    for (const auto& c : cases) {
        mp3frameheader_t h;
        ASSERT_TRUE(MyMP3Util::decodeFrameHeader(h, c.bytes)) << std::hex << int(c.bytes[1]);
        EXPECT_EQ(h.version, c.version);
        EXPECT_EQ(h.mpeg25, c.mpeg25);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.bitrate, c.bitrate);
        EXPECT_EQ(h.sampleRate, c.sampleRate);
        EXPECT_EQ(h.frameLength, c.frameLength) << std::hex << int(c.bytes[1]) << int(c.bytes[2]);
        EXPECT_EQ(h.mono, c.mono);
    }
}

TEST(MyMP3UtilTest, RejectsInvalidHeadersAndClearsTheRecord)
{
    const std::uint8_t invalid[][4] = {
        {0xFE, 0xFB, 0x90, 0x44}, // no sync byte
        {0xFF, 0xDB, 0x90, 0x44}, // sync bits incomplete
        {0xFF, 0xEB, 0x90, 0x44}, // reserved version
        {0xFF, 0xF9, 0x90, 0x44}, // reserved layer
        {0xFF, 0xFB, 0xF0, 0x44}, // bitrate index 15
        {0xFF, 0xFB, 0x9C, 0x44}, // sample-rate index 3
        {0xFF, 0xFB, 0x00, 0x44}, // free format: no length to go by
    };
    for (const auto& bytes : invalid) {
        mp3frameheader_t h;
        std::memset(&h, 0xAB, sizeof h);
        EXPECT_FALSE(MyMP3Util::decodeFrameHeader(h, bytes));
        EXPECT_EQ(h.frameLength, 0u);
        EXPECT_EQ(h.bitrate, 0u);
    }
    const std::uint8_t mpeg2[4] = {0xFF, 0xF3, 0x80, 0xC0};
    EXPECT_FALSE(MyMP3Util::isMPEG1Layer3(mpeg2));
    EXPECT_TRUE(MyMP3Util::isMPEG1Layer3(test::kFrameHeader));
}

TEST(MyMP3UtilTest, FindsTheFirstRunOfThreeFramesAfterGarbage)
{
    test::ByteVector buffer = {0x00, 0xFF, 0xFB, 0x90, 0x44, 0x12}; // a lone false header
    const test::ByteVector frames = test::syntheticFrames(4);
    buffer.insert(buffer.end(), frames.begin(), frames.end());
    const FrameRange run = MyMP3Util::findFirstHeaderInBuffer(buffer.data(), buffer.size());
    EXPECT_EQ(run.location, 6);
    EXPECT_EQ(run.length, 417);
}

TEST(MyMP3UtilTest, NeedsTwoFramesAndAHeaderBeyondTheCandidate)
{
    const test::ByteVector frames = test::syntheticFrames(3);
    // Exactly two frames and the third header: found.
    EXPECT_TRUE(MyMP3Util::findFirstHeaderInBuffer(frames.data(), 2 * 417 + 4).found());
    // One byte short: not found, and the search says to resume at the candidate.
    std::size_t resume = 99;
    EXPECT_FALSE(MyMP3Util::findFirstHeaderInBuffer(frames.data(), 2 * 417 + 3, 0, nullptr, &resume)
                     .found());
    EXPECT_EQ(resume, 0u);
    for (std::size_t length = 0; length < 8; ++length)
        EXPECT_FALSE(MyMP3Util::findFirstHeaderInBuffer(frames.data(), length).found());
    EXPECT_EQ(FrameRange::kNotFound, 0x7FFFFFFF);
}

TEST(MyMP3UtilTest, GarbageIsNeverSearchedTwice)
{
    test::ByteVector garbage(5000, 0x55);
    std::size_t resume = 0;
    EXPECT_FALSE(
        MyMP3Util::findFirstHeaderInBuffer(garbage.data(), garbage.size(), 0, nullptr, &resume)
            .found());
    EXPECT_EQ(resume, garbage.size() - 3) << "only the last three bytes may still start a header";
}

TEST(MyMP3UtilTest, PostsBitrateAndStereoOnlyForATag)
{
    NotificationCenter center;
    std::vector<Notification> seen;
    center.addObserver("", [&](const Notification& n) { seen.push_back(n); });
    const test::ByteVector frames = test::syntheticFrames(3);
    MyMP3Util::findFirstHeaderInBuffer(frames.data(), frames.size(), 0, &center);
    EXPECT_TRUE(seen.empty());
    MyMP3Util::findFirstHeaderInBuffer(frames.data(), frames.size(), 7, &center);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].name, OVStreamBitrateNotification);
    EXPECT_EQ(seen[0].object.toInteger(), 7);
    EXPECT_EQ(seen[0].userInfo.toInteger(), 128);
    EXPECT_EQ(seen[1].name, OVStreamStereoNotification);
    EXPECT_EQ(seen[1].userInfo, Value(true));
}

TEST(MyMP3UtilTest, PaddedFramesStillFormARun)
{
    // An unpadded 417-byte frame followed by padded 418-byte ones, as encoders write them.
    test::ByteVector buffer = test::syntheticFrames(1);
    for (int i = 0; i < 3; ++i) {
        test::ByteVector padded = test::syntheticFrames(1, 9);
        padded[2] = 0x92; // padding bit
        padded.insert(padded.begin() + 4, 0x00);
        buffer.insert(buffer.end(), padded.begin(), padded.end());
    }
    const FrameRange run = MyMP3Util::findFirstHeaderInBuffer(buffer.data(), buffer.size());
    EXPECT_EQ(run.location, 0);
    EXPECT_EQ(run.length, 417);
}
