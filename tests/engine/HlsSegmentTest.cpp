// The audio a recording takes from HLS segments as ffmpeg makes them: ADTS frames as sent,
// ADTS headers made for fragmented MP4's raw frames exactly as an ADTS writer makes them,
// and the start and song that a packed-audio segment's tag tells.

#include "SegmentAudio.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::hls;
using namespace orvanta::test;

namespace {

Bytes bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string ffmpeg(const std::string& arguments)
{
    std::string output;
    EXPECT_EQ(runCommand("ffmpeg -v error -y " + arguments, &output), 0) << arguments << output;
    return output;
}

} // namespace

TEST(HlsSegmentTest, EachSegmentKindGivesTheStationsAacFramesAndFragmentedMp4ItsOwnAsAdts)
{
    TempDir dir;
    const std::string adts = dir.file("tone.aac");
    ffmpeg("-f lavfi -i sine=frequency=440:duration=3 -ar 44100 -ac 2 -c:a aac -b:a 96k -f adts '" +
           adts + "'");
    const Bytes sent = bytesOf(readFile(adts));
    std::string error;

    ffmpeg("-i '" + adts + "' -c:a copy -f mpegts '" + dir.file("a.ts") + "'");
    const auto ts = audioOfSegment(bytesOf(readFile(dir.file("a.ts"))), error);
    ASSERT_TRUE(ts) << error;
    EXPECT_EQ(ts->format, AudioFormat::AAC);
    EXPECT_EQ(ts->frames, sent);
    EXPECT_TRUE(ts->startSeconds);

    ffmpeg("-i '" + adts + "' -c:a copy -bsf:a aac_adtstoasc -f mp4 '" + dir.file("a.m4a") + "'");
    ffmpeg("-i '" + dir.file("a.m4a") +
           "' -c:a copy -f mp4 -movflags frag_keyframe+empty_moov+default_base_moof '" +
           dir.file("a.mp4") + "'");
    const auto mp4 = audioOfSegment(bytesOf(readFile(dir.file("a.mp4"))), error);
    ASSERT_TRUE(mp4) << error;
    EXPECT_EQ(mp4->frames, sent) << "headers made as the ADTS writer made them";

    // Packed audio: the tag in front stamps the start (10 s on the 90 kHz clock) and names
    // the song.
    using namespace std::string_literals;
    const std::string priv =
        "com.apple.streaming.transportStreamTimestamp\0"s + "\x00\x00\x00\x00\x00\x0D\xBB\xA0"s;
    const std::string title = "\x03"
                              "Artist - Song"s;
    auto frame = [](const std::string& id, const std::string& body) {
        return id + "\x00\x00\x00"s + static_cast<char>(body.size()) + "\x00\x00"s + body;
    };
    const std::string frames = frame("PRIV", priv) + frame("TIT2", title);
    const std::string tag =
        "ID3\x04\x00\x00\x00\x00\x00"s + static_cast<char>(frames.size()) + frames;
    const auto packed = audioOfSegment(bytesOf(tag + readFile(adts)), error);
    ASSERT_TRUE(packed) << error;
    EXPECT_EQ(packed->frames, sent);
    ASSERT_TRUE(packed->startSeconds);
    EXPECT_DOUBLE_EQ(*packed->startSeconds, 10.0);
    ASSERT_EQ(packed->titles.size(), 1u);
    EXPECT_EQ(packed->titles[0].title, "Artist - Song");

    ffmpeg("-f lavfi -i sine=duration=1 -c:a mp2 -f mpegts '" + dir.file("mp2.ts") + "'");
    EXPECT_FALSE(audioOfSegment(bytesOf(readFile(dir.file("mp2.ts"))), error));
    EXPECT_EQ(error,
              "The station sends mp2 audio, which Orvanta does not record (only AAC and MP3)");

    const Bytes config{0x12, 0x10}; // AAC LC, 44.1 kHz, stereo
    const auto header = adtsHeaderFor(config, 100);
    ASSERT_TRUE(header);
    EXPECT_EQ(*header, (Bytes{0xFF, 0xF1, 0x50, 0x80, 0x0D, 0x7F, 0xFC}));
    EXPECT_FALSE(adtsHeaderFor(Bytes{0x2B, 0x92}, 100)) << "object type 5 (HE) has no ADTS profile";
}
