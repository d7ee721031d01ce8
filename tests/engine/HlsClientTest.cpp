// HLS stations recorded through the whole client, from a test HLS station of our own
// (segments of each kind: packed audio, transport streams with timed ID3 titles, fragmented
// MP4; songs otherwise named by date ranges; a master playlist with a video variant beside
// the audio ones).

#include "AdtsFrames.h"
#include "AudioCheck.h"
#include "DemoAudio.h"
#include "Global.h"
#include "HlsStationReader.h"
#include "HlsTestStation.h"
#include "RecordingHarness.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

constexpr int kRate = 44100;
constexpr double kFrameSeconds = 1024.0 / kRate;

Dictionary stationProperties(const std::string& url)
{
    return Dictionary{{"NP_URLS_TO_VISIT", Array{Value(url)}},
                      {"NP_STREAMTITLE_SEPARATOR", "-"},
                      {"NP_STREAMTITLE_PATTERN", 2}};
}

/// Three songs of 4 s with a second of silence after each, as AAC.
const ByteVector& programme()
{
    static const ByteVector aac = [] {
        TempDir dir;
        return encodeWithFfmpegIn(pcmSongs({4.0, 4.0, 4.0}, 1.0), dir.path(),
                                  "-c:a aac -b:a 128k -f adts");
    }();
    return aac;
}

/// Where each ADTS frame of audio starts.
std::vector<std::size_t> frameStarts(const ByteVector& audio)
{
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at + 7 <= audio.size();) {
        starts.push_back(at);
        at += AdtsFrames::decodeHeader(audio.data() + at)->frameLength;
    }
    return starts;
}

const std::vector<HlsSong> kSongs = {
    {0.0, "Artist A - One"}, {5.5, "Artist B - Two"}, {9.5, "Artist C - Three"}};

class HlsClientTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPrefs prefs{dir.path()};
    IcyTestServer server;
};

/// The recorded files' audio, and the seconds at which each file after the first begins.
ByteVector recorded(const std::vector<Dictionary>& files, std::vector<double>& cuts,
                    std::vector<std::string>& names)
{
    ByteVector all;
    for (const Dictionary& file : files) {
        if (!file.contains("location"))
            continue;
        if (!all.empty())
            cuts.push_back(static_cast<double>(frameStarts(all).size()) * kFrameSeconds);
        const ByteVector audio = audioOfFile(file.get("location").toString());
        all.insert(all.end(), audio.begin(), audio.end());
        names.push_back(file.get("STREAMTITLE").toString());
    }
    return all;
}

} // namespace

class HlsSegmentKindTest : public HlsClientTest, public ::testing::WithParamInterface<SegmentKind>
{};

std::string kindName(const ::testing::TestParamInfo<SegmentKind>& kind)
{
    switch (kind.param) {
    case SegmentKind::TransportStream:
        return "TransportStream";
    case SegmentKind::FragmentedMp4:
        return "FragmentedMp4";
    case SegmentKind::PackedAudio:
        break;
    }
    return "PackedAudio";
}

INSTANTIATE_TEST_SUITE_P(, HlsSegmentKindTest,
                         ::testing::Values(SegmentKind::PackedAudio, SegmentKind::TransportStream,
                                           SegmentKind::FragmentedMp4),
                         kindName);

TEST_P(HlsSegmentKindTest, AStationIsRecordedAsOneFilePerSongCutInItsGapsWithEveryFrameOnce)
{
    HlsTestStation station(server, "/hls", programme(), kRate, 1.0, kSongs, GetParam());
    station.discontinuityBefore(7);
    station.publishWhole();
    const std::string failing = station.segmentPath(3);
    server.failNextRequests(failing, 1); // tried again at once
    Recording recording(prefs, stationProperties(station.masterUrl()));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(30s));
    EXPECT_TRUE(recording.alerts().empty());

    std::vector<double> cuts;
    std::vector<std::string> names;
    const ByteVector audio = recorded(recording.completedFiles(), cuts, names);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Artist A - One", "Artist B - Two", "Artist C - Three"}));
    EXPECT_TRUE(audio == programme())
        << "every frame of the variant once, in order: " << frameStarts(audio).size()
        << " frames of " << frameStarts(programme()).size();
    ASSERT_EQ(cuts.size(), 2u);
    // A title half a second late and one half a second early are both cut in their gaps
    // (4 to 5 s and 9 to 10 s, the encoder's frame of delay aside).
    EXPECT_GE(cuts[0], 4.0);
    EXPECT_LE(cuts[0], 5.0 + 2 * kFrameSeconds);
    EXPECT_GE(cuts[1], 9.0);
    EXPECT_LE(cuts[1], 10.0 + 2 * kFrameSeconds);
    // Files that independent readers read without complaint, tagged with their songs.
    const auto files = recording.completedFiles();
    const char* const titles[] = {"One", "Two", "Three"};
    for (std::size_t i = 0; i < files.size() && i < 3; ++i) {
        AudioCheck check = checkAudio(files[i].get("location").toString());
        EXPECT_EQ(check.codec, "aac");
        EXPECT_EQ(check.errors, "");
        EXPECT_NEAR(check.decoded, check.container, 2 * check.frame);
        EXPECT_EQ(check.tags["TIT2"], titles[i]);
    }
    const auto requests = server.requests();
    const auto failedOnce =
        std::count_if(requests.begin(), requests.end(),
                      [&](const std::string& r) { return r.find(failing) != std::string::npos; });
    EXPECT_EQ(failedOnce, 2) << "the segment that failed is fetched again, once";
    const bool videoFetched =
        std::any_of(requests.begin(), requests.end(),
                    [](const std::string& r) { return r.find("video.m3u8") != std::string::npos; });
    EXPECT_FALSE(videoFetched) << "the video variant is never chosen";

    // A preset asking for a rate gets the variant nearest it.
    Dictionary low = stationProperties(station.masterUrl());
    low.set("NP_HLS_VARIANT_KBPS", 64);
    Recording lowRecording(prefs, low);
    lowRecording.start();
    ASSERT_TRUE(lowRecording.waitFinished(30s));
    const auto after = server.requests();
    EXPECT_TRUE(std::any_of(after.begin(), after.end(), [](const std::string& r) {
        return r.find("low.m3u8") != std::string::npos;
    })) << "the 48 kbit/s variant, nearer 64 than 140";
}

TEST_F(HlsClientTest, AReconnectionGoesOnAtTheSegmentThatFailedSoNoFrameIsLostOrTwice)
{
    HlsTestStation station(server, "/hls", programme(), kRate, 1.0, kSongs);
    station.publishWhole();
    // Both tries of one segment fail: the connection ends and the next one goes on there.
    server.failNextRequests(station.segmentPath(6), hls::HlsStationReader::kSegmentTries);
    prefs.set("AutoReconnect", true);
    prefs.set("AutoReconnectWaitSeconds", 0);
    Recording recording(prefs, stationProperties(station.mediaUrl()));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(30s));
    // The song the connection dropped in is left incomplete, as from any station; the next
    // connection starts a file at the segment that failed, with the song that is on.
    std::vector<double> cuts;
    std::vector<std::string> names;
    ByteVector audio = audioOfFile(dir.file("incomplete/Artist A - One.aac"));
    const ByteVector after = recorded(recording.completedFiles(), cuts, names);
    EXPECT_EQ(frameStarts(audio).size(), 6u * 43);
    audio.insert(audio.end(), after.begin(), after.end());
    EXPECT_TRUE(audio == programme())
        << frameStarts(audio).size() << " frames of " << frameStarts(programme()).size();
    EXPECT_EQ(names, (std::vector<std::string>{"Artist B - Two", "Artist C - Three"}));
}

TEST_F(HlsClientTest, ALiveWindowIsFollowedFromItsEdgeEachSegmentFetchedOnce)
{
    HlsTestStation station(server, "/hls", programme(), kRate, 1.0, kSongs);
    const std::size_t window = 6;
    station.publishWindow(window - 1, window);
    Recording recording(prefs, stationProperties(station.mediaUrl()));
    std::atomic<bool> done{false};
    // The station goes on in real time; at the end its playlist ends.
    std::thread live([&] {
        for (std::size_t last = window; last < station.segmentCount() && !done; ++last) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(static_cast<int>(station.segmentSeconds(last) * 1000)));
            station.publishWindow(last, window);
        }
        station.publishWhole();
    });
    recording.start();
    const bool finished = recording.waitFinished(40s);
    done = true;
    live.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(recording.alerts().empty());

    std::vector<double> cuts;
    std::vector<std::string> names;
    const ByteVector audio = recorded(recording.completedFiles(), cuts, names);
    // Joined at least three target durations (3 s) from the window's end: segments of 43
    // frames are 0.9985 s, so the third from the end would leave 2.9955 s; the fourth it is.
    const std::size_t from = frameStarts(programme())[2 * 43];
    ASSERT_LT(from, programme().size());
    EXPECT_TRUE(audio ==
                ByteVector(programme().begin() + static_cast<long>(from), programme().end()))
        << "from the live edge to the end, every frame once: " << audio.size() << " of "
        << programme().size() - from << " bytes";
    int segmentRequests = 0;
    for (const std::string& request : server.requests())
        segmentRequests += request.find("/hls/seg-") != std::string::npos;
    EXPECT_EQ(segmentRequests, static_cast<int>(station.segmentCount()) - 2);
}

TEST_F(HlsClientTest, AnEncryptedStationIsDecryptedAndOtherKeysOrNoAudioAreRefusedClearly)
{
    // Fragmented MP4's initialisation section is encrypted too.
    HlsTestStation mp4(server, "/mp4", programme(), kRate, 1.0, kSongs, SegmentKind::FragmentedMp4);
    mp4.encrypt("000102030405060708090a0b0c0d0e0f", dir.path());
    mp4.publishWhole();
    HlsTestStation station(server, "/hls", programme(), kRate, 1.0, kSongs);
    station.encrypt("000102030405060708090a0b0c0d0e0f", dir.path());
    station.publishWhole();
    for (const std::string& url : {mp4.mediaUrl(), station.mediaUrl()}) {
        Recording recording(prefs, stationProperties(url));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(30s));
        EXPECT_TRUE(recording.alerts().empty());
        std::vector<double> cuts;
        std::vector<std::string> names;
        EXPECT_TRUE(recorded(recording.completedFiles(), cuts, names) == programme()) << url;
        EXPECT_EQ(names.size(), 3u);
    }
    {
        // A station style that ignores titles gets the audio alone, split as it says.
        Dictionary properties = stationProperties(station.mediaUrl());
        properties.set("NP_ALWAYSMANUAL", true);
        properties.set("NP_NAME", "Plain Radio");
        Recording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(30s));
        std::vector<double> cuts;
        std::vector<std::string> names;
        EXPECT_TRUE(recorded(recording.completedFiles(), cuts, names) == programme());
        EXPECT_TRUE(cuts.empty());
    }
    auto refused = [&](const std::string& playlist) {
        server.addFile("/bad.m3u8", "application/vnd.apple.mpegurl", playlist);
        Recording recording(prefs, stationProperties(server.url("/bad.m3u8")));
        recording.start();
        EXPECT_TRUE(recording.waitFinished(30s));
        EXPECT_TRUE(recording.completedFiles().empty()) << "no file left behind";
        const auto alerts = recording.alerts();
        return alerts.empty() ? std::string() : alerts.front();
    };
    EXPECT_EQ(refused("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-KEY:METHOD=SAMPLE-AES,URI=\"k\"\n"
                      "#EXTINF:1,\nhls/seg-0.aac\n#EXT-X-ENDLIST\n"),
              "The station encrypts its segments with SAMPLE-AES, which Orvanta cannot decrypt");
    EXPECT_EQ(refused("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS=\"avc1.4d401f\"\n"
                      "video.m3u8\n"),
              "The station's variants hold video only, no audio");
    EXPECT_EQ(refused("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:7\n"),
              "The station's playlist lists no segment");
}
