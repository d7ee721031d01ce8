// HLS playlists as stations write them: master playlists and their variant choice, media
// playlists with every tag a recorder uses, and the segments of successive reloads handed
// out once each.

#include "HlsPlaylist.h"
#include "SegmentSequencer.h"
#include "TimedId3.h"

#include <gtest/gtest.h>

using namespace orvanta::hls;

namespace {

MediaPlaylist media(const std::string& text)
{
    std::string error;
    auto playlist = parsePlaylist(text, "https://radio.example/live/audio.m3u8", error);
    EXPECT_TRUE(playlist) << error;
    return playlist ? std::get<MediaPlaylist>(*playlist) : MediaPlaylist{};
}

/// A live window of count segments of 6 s from sequence first.
MediaPlaylist window(std::int64_t first, int count)
{
    std::string text =
        "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    for (int i = 0; i < count; ++i)
        text += "#EXTINF:6.0,\nseg" + std::to_string(first + i) + ".ts\n";
    return media(text);
}

} // namespace

TEST(HlsPlaylistTest, AMasterPlaylistsVariantIsChosenByBandwidthAndNeverAVideoOne)
{
    const std::string text = "\xEF\xBB\xBF#EXTM3U\r\n"
                             "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.5\"\r\n"
                             "low/index.m3u8\r\n"
                             "#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS=\"avc1.4d401f\"\r\n"
                             "video/index.m3u8\r\n"
                             "#EXT-X-STREAM-INF:BANDWIDTH=140000,AVERAGE-BANDWIDTH=128000,"
                             "CODECS=\"mp4a.40.2,mp3\",AUDIO=\"aud\"\r\n"
                             "https://cdn.example/high.m3u8\r\n";
    std::string error;
    const auto parsed = parsePlaylist(text, "https://radio.example/live/master.m3u8", error);
    ASSERT_TRUE(parsed) << error;
    const auto& master = std::get<MasterPlaylist>(*parsed);
    ASSERT_EQ(master.variants.size(), 3u);
    EXPECT_EQ(master.variants[0].uri, "https://radio.example/live/low/index.m3u8");
    EXPECT_EQ(master.variants[2].codecs, "mp4a.40.2,mp3") << "a quoted list keeps its commas";
    EXPECT_EQ(master.variants[2].audioGroup, "aud");

    EXPECT_EQ(chooseVariant(master, std::nullopt, error)->uri, "https://cdn.example/high.m3u8")
        << "the highest bandwidth with audio, not the video";
    EXPECT_EQ(chooseVariant(master, 70000, error)->uri,
              "https://radio.example/live/low/index.m3u8");
    EXPECT_EQ(chooseVariant(master, 120000, error)->uri, "https://cdn.example/high.m3u8")
        << "by the average bandwidth where given";

    MasterPlaylist videoOnly;
    videoOnly.variants = {master.variants[1]};
    EXPECT_FALSE(chooseVariant(videoOnly, std::nullopt, error));
    EXPECT_EQ(error, "The station's variants hold video only, no audio");
    EXPECT_FALSE(parsePlaylist("<html>Not found</html>", "https://x/", error));
    EXPECT_EQ(error, "The address does not answer with an HLS playlist");
    EXPECT_FALSE(parsePlaylist("#EXTM3U\n#EXTINF:6,\na.ts\n", "https://x/", error))
        << "a media playlist without its target duration";
}

TEST(HlsPlaylistTest, AMediaPlaylistKeepsSequencesRangesKeysMapsDiscontinuitiesAndDates)
{
    const MediaPlaylist playlist = media(
        "#EXTM3U\n"
        "#EXT-X-VERSION:7\n"
        "#EXT-X-TARGETDURATION:6\n"
        "#EXT-X-MEDIA-SEQUENCE:1041\n"
        "#EXT-X-DISCONTINUITY-SEQUENCE:3\n"
        "#EXT-X-MAP:URI=\"init.mp4\",BYTERANGE=\"720@0\"\n"
        "#EXT-X-PROGRAM-DATE-TIME:2026-12-11T10:00:00.000Z\n"
        "#EXT-X-DATERANGE:ID=\"song-7\",CLASS=\"com.example.song\","
        "START-DATE=\"2026-12-11T10:00:04.500Z\",DURATION=181.5,X-TITLE=\"Artist - Song, Live\"\n"
        "#EXTINF:6.006,first\n"
        "#EXT-X-BYTERANGE:5000@720\n"
        "media.mp4\n"
        "#EXTINF:5.994,\n"
        "#EXT-X-BYTERANGE:4000\n"
        "media.mp4\n"
        "#EXT-X-DISCONTINUITY\n"
        "#EXT-X-KEY:METHOD=AES-128,URI=\"../keys/k1.bin\",IV=0x0000000000000000000000000000002A\n"
        "#EXTINF:6,\n"
        "/other/seg.aac\n"
        "#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k2\"\n"
        "#EXTINF:6,\n"
        "http://mirror.example/seg.ts\n"
        "#EXT-X-ENDLIST\n");
    EXPECT_DOUBLE_EQ(playlist.targetDuration, 6);
    EXPECT_TRUE(playlist.endList);
    ASSERT_EQ(playlist.segments.size(), 4u);
    const Segment& first = playlist.segments[0];
    EXPECT_EQ(first.sequence, 1041);
    EXPECT_DOUBLE_EQ(first.duration, 6.006);
    EXPECT_EQ(first.title, "first");
    EXPECT_EQ(first.uri, "https://radio.example/live/media.mp4");
    ASSERT_TRUE(first.range && first.init && first.init->range);
    EXPECT_EQ(first.range->offset, 720u);
    EXPECT_EQ(first.init->uri, "https://radio.example/live/init.mp4");
    EXPECT_EQ(first.init->range->length, 720u);
    EXPECT_EQ(playlist.segments[1].range->offset, 5720u) << "a range without offset follows";
    EXPECT_EQ(first.discontinuitySequence, 3);
    EXPECT_FALSE(playlist.segments[1].discontinuity);
    EXPECT_TRUE(playlist.segments[2].discontinuity);
    EXPECT_EQ(playlist.segments[2].discontinuitySequence, 4);
    EXPECT_EQ(first.key.method, Key::Method::None);
    const Key& key = playlist.segments[2].key;
    EXPECT_EQ(key.method, Key::Method::Aes128);
    EXPECT_EQ(key.uri, "https://radio.example/keys/k1.bin");
    ASSERT_TRUE(key.iv);
    EXPECT_EQ((*key.iv)[15], 0x2A);
    EXPECT_EQ((*key.iv)[0], 0);
    EXPECT_EQ(playlist.segments[2].uri, "https://radio.example/other/seg.aac");
    EXPECT_EQ(playlist.segments[3].key.method, Key::Method::Other);
    EXPECT_EQ(playlist.segments[3].key.methodName, "SAMPLE-AES");
    EXPECT_EQ(playlist.segments[3].uri, "http://mirror.example/seg.ts");
    ASSERT_TRUE(first.programDateTime && playlist.segments[1].programDateTime);
    EXPECT_NEAR(*playlist.segments[1].programDateTime - *first.programDateTime, 6.006, 1e-6)
        << "a segment without its own date follows the one before";
    ASSERT_EQ(playlist.dateRanges.size(), 1u);
    EXPECT_EQ(playlist.dateRanges[0].id, "song-7");
    EXPECT_NEAR(playlist.dateRanges[0].start - *first.programDateTime, 4.5, 1e-6);
    EXPECT_EQ(playlist.dateRanges[0].attributes.at("X-TITLE"), "Artist - Song, Live");
    EXPECT_DOUBLE_EQ(playlist.dateRanges[0].duration.value_or(0), 181.5);
}

TEST(HlsPlaylistTest, ReloadsHandOutEachSegmentOnceInOrderFromTheLiveEdge)
{
    SegmentSequencer sequencer;
    // Joining: at least three target durations from the end of the window.
    auto update = sequencer.update(window(100, 6));
    ASSERT_EQ(update.fresh.size(), 3u);
    EXPECT_EQ(update.fresh.front().sequence, 103);
    EXPECT_DOUBLE_EQ(sequencer.reloadDelaySeconds(), 6);

    update = sequencer.update(window(101, 6));
    ASSERT_EQ(update.fresh.size(), 1u);
    EXPECT_EQ(update.fresh[0].sequence, 106);
    update = sequencer.update(window(101, 6));
    EXPECT_TRUE(update.fresh.empty());
    EXPECT_DOUBLE_EQ(sequencer.reloadDelaySeconds(), 3) << "half after a reload without change";

    // Fallen behind: the window slid past two segments not yet handed out.
    update = sequencer.update(window(109, 3));
    EXPECT_EQ(update.missed, 2);
    ASSERT_EQ(update.fresh.size(), 3u);
    EXPECT_EQ(update.fresh[0].sequence, 109);

    for (int reload = 0; reload < 5; ++reload)
        sequencer.update(window(109, 3));
    EXPECT_FALSE(sequencer.stalled());
    sequencer.update(window(109, 3));
    EXPECT_TRUE(sequencer.stalled()) << "nothing new for three target durations";
    EXPECT_FALSE(sequencer.update(window(110, 3)).fresh.empty());
    EXPECT_FALSE(sequencer.stalled());

    SegmentSequencer ended;
    MediaPlaylist finished = window(7, 4);
    finished.endList = true;
    EXPECT_EQ(ended.update(finished).fresh.size(), 4u) << "a finished playlist from its start";
    EXPECT_TRUE(ended.finished());
}

namespace {

/// An ID3v2.4 tag of the given frames (each its identifier and body).
std::vector<std::uint8_t> id3v24(const std::vector<std::pair<std::string, std::string>>& frames)
{
    std::string body;
    auto synchsafe = [](std::size_t n) {
        return std::string{static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
                           static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
    };
    for (const auto& [id, content] : frames)
        body += id + synchsafe(content.size()) + std::string(2, '\0') + content;
    const std::string tag = std::string("ID3\x04\x00\x00", 6) + synchsafe(body.size()) + body;
    return {tag.begin(), tag.end()};
}

} // namespace

TEST(HlsPlaylistTest, TimedId3NamesTheSongAndTellsThePackedSegmentsTimestamp)
{
    using namespace std::string_literals;
    // TXXX "StreamTitle" in UTF-8, a UTF-16 TIT2 with its mark, TPE1 in Latin-1, the stamp.
    const auto tag = id3v24({{"TIT2", "\x01\xFF\xFE"s + "S\0o\0n\0g\0\0\0"s},
                             {"TPE1", "\x00"s + "Bj\xF6rk"s},
                             {"TXXX", "\x03StreamTitle\0Bj\xC3\xB6rk - Song"s},
                             {"PRIV", "com.apple.streaming.transportStreamTimestamp\0"s +
                                          "\x00\x00\x00\x01\x00\x00\x00\x00"s}});
    const auto parsed = parseTimedId3(tag.data(), tag.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->title, "Song");
    EXPECT_EQ(parsed->artist, "Bj\xC3\xB6rk");
    EXPECT_EQ(parsed->songTitle(), "Bj\xC3\xB6rk - Song") << "the stream title first";
    ASSERT_TRUE(parsed->transportTimestamp);
    EXPECT_EQ(*parsed->transportTimestamp, std::uint64_t{1} << 32);
    EXPECT_NEAR(parsed->transportSeconds(), 4294967296.0 / 90000.0, 1e-9);
    EXPECT_EQ(id3TagLength(tag.data(), tag.size()), tag.size());

    const auto plain = id3v24({{"TIT2", "\x03"s + "Artist - Title"s}});
    EXPECT_EQ(parseTimedId3(plain.data(), plain.size())->songTitle(), "Artist - Title");
    // A frame claiming more than the tag holds ends the reading with what came before.
    auto damaged = id3v24({{"TPE1", "\x03"
                                    "A"s},
                           {"TIT2", "\x03"
                                    "B"s}});
    damaged[damaged.size() - 5] = 0x7F;
    const auto kept = parseTimedId3(damaged.data(), damaged.size());
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->artist, "A");
    EXPECT_EQ(kept->title, "");
    const std::vector<std::uint8_t> none{0xFF, 0xF1, 0x50, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(parseTimedId3(none.data(), none.size()));
    EXPECT_EQ(id3TagLength(none.data(), none.size()), 0u);
}
