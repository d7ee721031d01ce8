// Recording AAC and Ogg stations through the whole stream client, from the test ICY server:
// one file per title cut in the silence for AAC, one per chained stream for Ogg, every file
// read back by ffprobe, ffmpeg and mutagen; stations whose content type lies or names a
// format nobody records.

#include "AdtsFrames.h"
#include "AudioCheck.h"
#include "Easy.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "RecordingHarness.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

/// AAC songs of four seconds with a second of silence between them, and where the silences'
/// frames lie in the bytes.
struct AacSongs
{
    ByteVector audio;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> silences;
};

const AacSongs& aacSongs()
{
    static const AacSongs songs = [] {
        AacSongs s;
        TempDir dir;
        s.audio =
            encodeWithFfmpeg(pcmSongs({4.0, 4.0, 4.0}, 1.0), dir, "-c:a aac -b:a 128k -f adts");
        // The encoder puts one frame of 1024 samples before the audio.
        std::vector<std::uint64_t> frameStarts;
        for (std::size_t at = 0; at + AdtsFrames::kHeaderLength <= s.audio.size();) {
            frameStarts.push_back(at);
            at += AdtsFrames::decodeHeader(s.audio.data() + at)->frameLength;
        }
        auto offsetAt = [&](double seconds) {
            const auto frame = static_cast<std::size_t>(seconds * 44100 / 1024) + 1;
            return frameStarts[std::min(frame, frameStarts.size() - 1)];
        };
        for (double songEnd : {4.0, 9.0})
            s.silences.emplace_back(offsetAt(songEnd), offsetAt(songEnd + 1.0));
        return s;
    }();
    return songs;
}

Dictionary streamProperties(const std::string& url)
{
    return Dictionary{{"NP_URLS_TO_VISIT", Array{Value(url)}},
                      {"NP_STREAMTITLE_SEPARATOR", "-"},
                      {"NP_STREAMTITLE_PATTERN", 2},
                      {"NP_LANGUAGE_ENCODING", 4}};
}

std::string fileName(const Dictionary& report)
{
    return std::filesystem::path(report.get("location").toString()).filename().string();
}

class OtherFormatsClientTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPrefs prefs{dir.path()};
    IcyTestServer server;
};

} // namespace

TEST_F(OtherFormatsClientTest, AnAacStationGetsOneTaggedFilePerTitleCutInTheSilence)
{
    const AacSongs& songs = aacSongs();
    // Each title change comes in the music a little after its silence, where a cut without
    // the quiet-gap search (in the middle of the bytes around the change) would go wrong;
    // the silence lies within the interval before it, where the search looks.
    IcyMount mount;
    auto blockAfter = [](std::uint64_t offset, std::uint64_t metaint) {
        return (offset / metaint + 1) * metaint;
    };
    for (std::uint64_t metaint : {8000u, 7000u, 9000u, 6000u, 10000u, 5000u, 11000u}) {
        bool fits = true;
        for (const auto& [from, to] : songs.silences) {
            const std::uint64_t after = blockAfter(to, metaint) - to;
            fits = fits && after >= 1500 && after + (to - from) + 500 < metaint;
        }
        if (fits) {
            mount.metaint = static_cast<int>(metaint);
            break;
        }
    }
    ASSERT_NE(mount.metaint, 0) << "no interval puts the changes after the silences";
    const auto metaint = static_cast<std::uint64_t>(mount.metaint);
    mount.audio = songs.audio;
    mount.contentType = "audio/aacp";
    mount.titles = {{0, "Artist A - Song One"},
                    {blockAfter(songs.silences[0].second, metaint), "Artist B - Song Two"},
                    {blockAfter(songs.silences[1].second, metaint), "Artist C - Song Three"}};
    server.addMount("/aac", mount);
    Recording recording(prefs, streamProperties(server.url("/aac")));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(20s));
    EXPECT_TRUE(recording.alerts().empty());

    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(fileName(files[0]), "Artist A - Song One.aac");
    EXPECT_EQ(fileName(files[2]), "Artist C - Song Three.aac");
    ByteVector recorded;
    std::vector<std::uint64_t> splits;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = files[i].get("location").toString();
        AudioCheck check = checkAudio(path);
        EXPECT_EQ(check.codec, "aac") << path;
        EXPECT_EQ(check.errors, "") << path;
        EXPECT_NEAR(check.container, check.decoded, check.frame) << path;
        EXPECT_EQ(check.tags["TIT2"], i == 0 ? "Song One" : i == 1 ? "Song Two" : "Song Three");
        EXPECT_EQ(check.tags["TPE1"], i == 0 ? "Artist A" : i == 1 ? "Artist B" : "Artist C");
        const ByteVector audio = audioOfFile(path);
        recorded.insert(recorded.end(), audio.begin(), audio.end());
        splits.push_back(recorded.size());
    }
    // Every frame once, in order; each cut on a frame inside the silence.
    EXPECT_EQ(recorded, songs.audio);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_GE(splits[i], songs.silences[i].first) << "split " << i;
        EXPECT_LE(splits[i], songs.silences[i].second) << "split " << i;
        EXPECT_TRUE(AdtsFrames::decodeHeader(songs.audio.data() + splits[i])) << "split " << i;
    }
}

TEST_F(OtherFormatsClientTest, ContentTypesThatLieOrNameAnUnrecordedFormat)
{
    // AAC sent as MP3 is recorded as the AAC it is.
    IcyMount lying;
    lying.audio = aacSongs().audio;
    lying.contentType = "audio/mpeg";
    lying.sendContentLength = true;
    server.addMount("/lying", lying);
    {
        Recording recording(prefs, streamProperties(server.url("/lying")));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(20s));
        const auto files = recording.completedFiles();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(std::filesystem::path(fileName(files[0])).extension(), ".aac");
        EXPECT_EQ(audioOfFile(files[0].get("location").toString()), aacSongs().audio);
        AudioCheck check = checkAudio(files[0].get("location").toString());
        EXPECT_EQ(check.errors, "");
        EXPECT_NEAR(check.decoded, 14.0, 0.1);
    }
    // A format nobody here records is said by its content type; nothing is written.
    IcyMount flac;
    std::mt19937 random(3);
    for (int i = 0; i < 64 * 1024; ++i)
        flac.audio.push_back(static_cast<std::uint8_t>(random()));
    flac.contentType = "audio/flac";
    server.addMount("/flac", flac);
    TempDir other;
    TestPrefs otherPrefs(other.path());
    Recording recording(otherPrefs, streamProperties(server.url("/flac")));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(20s));
    EXPECT_TRUE(recording.completedFiles().empty());
    ASSERT_EQ(recording.alerts().size(), 1u);
    EXPECT_NE(recording.alerts()[0].find("audio/flac"), std::string::npos) << recording.alerts()[0];
    EXPECT_FALSE(std::filesystem::exists(other.path() + "/incomplete") &&
                 !std::filesystem::is_empty(other.path() + "/incomplete"));
}

TEST_F(OtherFormatsClientTest, AChainedOggStationGetsAFilePerStreamNamedFromItsComments)
{
    for (const std::string codec : {"vorbis", "opus"}) {
        ByteVector chain;
        for (const auto& [artist, title] : std::vector<std::pair<std::string, std::string>>{
                 {"Artist A", "Song One"}, {"Artist B", "Song Two"}, {"Artist C", "Song Three"}}) {
            const ByteVector link = oggLink(codec, artist, title);
            chain.insert(chain.end(), link.begin(), link.end());
        }
        IcyMount mount;
        mount.audio = chain;
        mount.contentType = "application/ogg";
        mount.style = IcyMount::Style::Icecast;
        mount.sendChunk = 1000;
        server.addMount("/" + codec, mount);
        TempDir target;
        TestPrefs p(target.path());
        Dictionary properties = streamProperties(server.url("/" + codec));
        properties.set("NP_GENRE_TYPE", 2);
        properties.set("NP_GENRE_CUSTOM", "Chained");
        properties.set("NUMBER_RECORDINGS_TRACK", true);
        Recording recording(p, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(20s)) << codec;
        EXPECT_TRUE(recording.alerts().empty()) << codec;
        const auto files = recording.completedFiles();
        ASSERT_EQ(files.size(), 3u) << codec;
        const std::string extension = codec == "opus" ? ".opus" : ".ogg";
        EXPECT_EQ(fileName(files[0]), "Artist A - Song One" + extension);
        EXPECT_EQ(fileName(files[1]), "Artist B - Song Two" + extension);
        EXPECT_EQ(files[1].get("STREAMTITLE").toString(), "Artist B - Song Two");
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string path = files[i].get("location").toString();
            AudioCheck check = checkAudio(path);
            EXPECT_EQ(check.codec, codec) << path;
            EXPECT_EQ(check.errors, "") << path;
            EXPECT_NEAR(check.decoded, 2.0, check.frame) << path;
            EXPECT_NEAR(check.container, check.decoded, check.frame) << path;
            EXPECT_EQ(check.tags["ARTIST"], i == 0 ? "Artist A" : i == 1 ? "Artist B" : "Artist C");
            EXPECT_EQ(check.tags["GENRE"], "Chained");
            EXPECT_EQ(check.tags["TRACKNUMBER"], std::to_string(i + 1));
        }
    }
}

TEST_F(OtherFormatsClientTest, IcyTitlesInAnOggStreamCutItBetweenPages)
{
    const ByteVector link = oggLink("vorbis", "Link Artist", "Link Title", 12.0);
    IcyMount mount;
    mount.audio = link;
    mount.contentType = "audio/ogg";
    mount.metaint = 2000;
    // The second title well after the stream's headers (a few kilobytes) and before the last
    // buffer's worth of the body, whose titles a connection that ends no longer acts on.
    const std::uint64_t second = link.size() / 3;
    ASSERT_GT(second, 6000u);
    ASSERT_GT(link.size() - second, 3u * 2000 + 8162);
    mount.titles = {{0, "Icy Artist - First"}, {second, "Icy Artist - Second"}};
    server.addMount("/icy-ogg", mount);
    Recording recording(prefs, streamProperties(server.url("/icy-ogg")));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(20s));
    EXPECT_TRUE(recording.alerts().empty());
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(fileName(files[0]), "Icy Artist - First.ogg");
    EXPECT_EQ(fileName(files[1]), "Icy Artist - Second.ogg");
    double decoded = 0;
    for (const auto& file : files) {
        const std::string path = file.get("location").toString();
        AudioCheck check = checkAudio(path);
        EXPECT_EQ(check.errors, "") << path;
        EXPECT_GT(check.decoded, 1.0) << path;
        EXPECT_EQ(check.tags["ARTIST"], "Icy Artist") << path;
        decoded += check.decoded;
    }
    EXPECT_NEAR(decoded, 12.0, 0.1) << "every page once";
}
