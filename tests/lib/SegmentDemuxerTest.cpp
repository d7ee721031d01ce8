// HLS segments as ffmpeg makes them, taken apart by libavformat: the audio comes out as the
// container holds it, byte for byte where the container keeps ADTS or MP3 frames.

#include "SegmentDemuxer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace orvanta::avformat;
using namespace orvanta::test;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> joined(const std::vector<Packet>& packets)
{
    std::vector<std::uint8_t> all;
    for (const Packet& packet : packets)
        all.insert(all.end(), packet.data.begin(), packet.data.end());
    return all;
}

/// Four seconds of a tone in a file of the given ffmpeg encoding.
std::string tone(const TempDir& dir, const std::string& name, const std::string& encoding)
{
    const std::string path = dir.file(name);
    const int status = runCommand("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=4 "
                                  "-ar 44100 -ac 2 " +
                                  encoding + " '" + path + "'");
    EXPECT_EQ(status, 0) << encoding;
    return path;
}

std::string remuxed(const TempDir& dir, const std::string& from, const std::string& name,
                    const std::string& format)
{
    const std::string path = dir.file(name);
    EXPECT_EQ(
        runCommand("ffmpeg -v error -y -i '" + from + "' -c:a copy " + format + " '" + path + "'"),
        0)
        << format;
    return path;
}

std::optional<SegmentContents> demux(const std::string& path, std::string& error)
{
    const std::string bytes = readFile(path);
    return demuxSegment(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), error);
}

} // namespace

TEST(SegmentDemuxerTest, TransportStreamsPackedAudioAndFragmentedMp4GiveTheirAudioFrames)
{
    TempDir dir;
    const std::string adts = tone(dir, "tone.aac", "-c:a aac -b:a 128k -f adts");
    const auto sent = bytesOf(readFile(adts));
    std::string error;

    const auto ts = demux(remuxed(dir, adts, "aac.ts", "-f mpegts"), error);
    ASSERT_TRUE(ts) << error;
    EXPECT_EQ(ts->codec, SegmentContents::Codec::Aac);
    EXPECT_EQ(ts->containerName, "mpegts");
    EXPECT_EQ(joined(ts->audio), sent) << "the ADTS frames as they were muxed";
    ASSERT_TRUE(ts->audio.front().seconds && ts->audio.back().seconds);
    EXPECT_NEAR(*ts->audio.back().seconds - *ts->audio.front().seconds, 4.0, 0.1);

    // Packed audio: ADTS frames behind an ID3 tag (a station's timestamp).
    const std::string tag = std::string("ID3\x04\x00\x00\x00\x00\x00\x0A", 10) +
                            std::string("TIT2\x00\x00\x00\x00\x00\x00", 10);
    writeFile(dir.file("packed.aac"), tag + readFile(adts));
    const auto packed = demux(dir.file("packed.aac"), error);
    ASSERT_TRUE(packed) << error;
    EXPECT_EQ(packed->codec, SegmentContents::Codec::Aac);
    EXPECT_EQ(joined(packed->audio), sent);

    // Fragmented MP4 keeps raw AAC: its frames are the ADTS payloads, with their config
    // in the initialisation section (made from a plain MP4, which has it before the frames).
    const std::string m4a = remuxed(dir, adts, "aac.m4a", "-bsf:a aac_adtstoasc -f mp4");
    const auto mp4 = demux(
        remuxed(dir, m4a, "aac.mp4", "-f mp4 -movflags frag_keyframe+empty_moov+default_base_moof"),
        error);
    ASSERT_TRUE(mp4) << error;
    EXPECT_EQ(mp4->codec, SegmentContents::Codec::Aac);
    EXPECT_FALSE(mp4->audioSpecificConfig.empty());
    EXPECT_EQ(mp4->sampleRate, 44100);
    EXPECT_EQ(mp4->channels, 2);
    ASSERT_EQ(ts->audio.size(), mp4->audio.size());
    for (std::size_t i = 0; i < mp4->audio.size(); ++i) {
        const auto& frame = ts->audio[i].data;
        const std::size_t header = (frame[1] & 0x01) ? 7 : 9;
        ASSERT_TRUE(std::equal(frame.begin() + static_cast<long>(header), frame.end(),
                               mp4->audio[i].data.begin(), mp4->audio[i].data.end()))
            << "frame " << i;
    }

    const std::string mp3 = tone(dir, "tone.mp3", "-c:a libmp3lame -b:a 128k -write_xing 0");
    const auto mp3ts = demux(remuxed(dir, mp3, "mp3.ts", "-f mpegts"), error);
    ASSERT_TRUE(mp3ts) << error;
    EXPECT_EQ(mp3ts->codec, SegmentContents::Codec::Mp3);
    const auto mp3Sent = bytesOf(readFile(mp3));
    const auto mp3Out = joined(mp3ts->audio);
    ASSERT_LE(mp3Out.size(), mp3Sent.size());
    EXPECT_TRUE(
        std::equal(mp3Out.begin(), mp3Out.end(), mp3Sent.end() - static_cast<long>(mp3Out.size())))
        << "the MP3 frames as sent (an ID3 tag in front of the file is no frame)";
}

TEST(SegmentDemuxerTest, VideoOnlyAndDamagedSegmentsAreRefusedWithAReason)
{
    TempDir dir;
    ASSERT_EQ(runCommand("ffmpeg -v error -y -f lavfi -i testsrc=duration=1:size=64x64:rate=10 "
                         "-c:v mpeg2video -f mpegts '" +
                         dir.file("video.ts") + "'"),
              0);
    std::string error;
    EXPECT_FALSE(demux(dir.file("video.ts"), error));
    EXPECT_EQ(error, "The segment holds video only, no audio");

    const std::vector<std::uint8_t> garbage(5000, 0x42);
    EXPECT_FALSE(demuxSegment(garbage.data(), garbage.size(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(demuxSegment(garbage.data(), 0, error));
}
