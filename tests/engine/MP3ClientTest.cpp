#include "MP3Client.h"
#include "AudioCheck.h"
#include "Easy.h"
#include "EnvironmentOverride.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "MyMP3Util.h"
#include "RecordingHarness.h"
#include "SessionJournal.h"
#include "TextEncodings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

constexpr int kMetaint = 16000; // one second of audio at 128 kbit/s

Dictionary streamProperties(const std::vector<std::string>& urls)
{
    Array list;
    for (const auto& url : urls)
        list.append(url);
    return Dictionary{{"NP_URLS_TO_VISIT", list},
                      {"NP_STREAMTITLE_SEPARATOR", "-"},
                      {"NP_STREAMTITLE_PATTERN", 2},
                      {"NP_LANGUAGE_ENCODING", 4}};
}

IcyMount titledMount(const SongStream& songs, std::vector<IcyTitle> titles)
{
    IcyMount mount;
    mount.audio = songs.audio;
    mount.metaint = kMetaint;
    mount.titles = std::move(titles);
    return mount;
}

std::string fileName(const Dictionary& report)
{
    return std::filesystem::path(report.get("location").toString()).filename().string();
}

/// Whether recorded is the stream from some frame on, losing at most the few frames a file
/// too short to hold a run of three frames cannot keep (the audio before the first title).
/// Streams without that first file must come out whole: EXPECT_EQ on them.
::testing::AssertionResult isStreamTail(const ByteVector& recorded, const ByteVector& stream)
{
    if (recorded.size() > stream.size() || stream.size() - recorded.size() > 3 * 418)
        return ::testing::AssertionFailure()
               << "recorded " << recorded.size() << " of " << stream.size() << " bytes";
    const auto tail = stream.end() - static_cast<long>(recorded.size());
    const auto [mine, theirs] = std::mismatch(recorded.begin(), recorded.end(), tail);
    if (mine != recorded.end())
        return ::testing::AssertionFailure()
               << "the recorded bytes differ from the stream's at stream byte "
               << (theirs - stream.begin()) << " of " << stream.size();
    return ::testing::AssertionSuccess();
}

/// The audio of every file that reached its folder, in the order they were reported.
ByteVector recordedAudio(const std::vector<Dictionary>& files,
                         std::vector<std::uint64_t>* splits = nullptr)
{
    ByteVector all;
    for (const auto& file : files) {
        if (!file.contains("location"))
            continue;
        const ByteVector audio = audioOfFile(file.get("location").toString());
        all.insert(all.end(), audio.begin(), audio.end());
        if (splits)
            splits->push_back(all.size());
    }
    return all;
}

class MP3ClientTest : public ::testing::Test
{
protected:
    TempDir dir;
    TestPrefs prefs{dir.path()};
    IcyTestServer server;
};

} // namespace

TEST_F(MP3ClientTest, EachTitleGetsItsOwnFileCutInTheSilenceBetweenSongs)
{
    const SongStream& songs = songStream({4.0, 4.0, 4.0});
    server.addMount("/stream", titledMount(songs, {{0, "Artist A - Song One"},
                                                   {5 * kMetaint, "Artist B - Song Two"},
                                                   {10 * kMetaint, "Artist C - Song Three"}}));
    Recording recording(prefs, streamProperties({server.url()}));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(10s));

    const auto files = recording.completedFiles();
    // The first title comes with the first metadata block, before any audio reached a
    // file: no tag-only file is left for the stream's start.
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].get("STREAMTITLE").toString(), "Artist A - Song One");
    EXPECT_EQ(fileName(files[0]), "Artist A - Song One.mp3");
    EXPECT_EQ(fileName(files[1]), "Artist B - Song Two.mp3");
    EXPECT_EQ(fileName(files[2]), "Artist C - Song Three.mp3");
    const Dictionary tags = files[1].get("ID3TAGS").toDictionary();
    EXPECT_EQ(tags.get("TPE1").toString(), "Artist B");
    EXPECT_EQ(tags.get("TIT2").toString(), "Song Two");
    for (const auto& file : files)
        EXPECT_TRUE(file.contains("dateCompleted")) << fileName(file);

    std::vector<std::uint64_t> splits;
    const ByteVector recorded = recordedAudio(files, &splits);
    EXPECT_TRUE(isStreamTail(recorded, songs.audio)) << "every audio byte, once, in order";
    ASSERT_EQ(splits.size(), 3u);
    const std::uint64_t lost = songs.audio.size() - recorded.size();
    for (int song = 0; song < 2; ++song) {
        const auto [quietFrom, quietTo] = songs.silences[static_cast<std::size_t>(song)];
        const std::uint64_t split = splits[static_cast<std::size_t>(song)] + lost;
        EXPECT_GE(split, quietFrom) << "split " << song;
        EXPECT_LE(split, quietTo + 418) << "split " << song;
    }
    EXPECT_TRUE(recording.alerts().empty());
}

TEST_F(MP3ClientTest, TheJournalKeepsTheStreamAsReceivedWithItsTitlesCutsAndFiles)
{
    const SongStream& songs = songStream({4.0, 4.0, 4.0});
    server.addMount("/stream", titledMount(songs, {{0, "Artist A - Song One"},
                                                   {5 * kMetaint, "Artist B - Song Two"},
                                                   {10 * kMetaint, "Artist C - Song Three"}}));
    EnvironmentOverride environment;
    environment.set("XDG_CACHE_HOME", dir.file("cache"));
    prefs.set("JournalDays", 3);
    prefs.set("JournalBudgetMB", 64);
    Dictionary properties = streamProperties({server.url()});
    properties.set("NP_NAME", "Journal Radio");
    Recording recording(prefs, properties);
    recording.start();
    ASSERT_TRUE(recording.waitFinished(10s));

    const auto sessions = JournalSession::readAll(dir.file("cache/Orvanta/sessions"));
    ASSERT_EQ(sessions.size(), 1u);
    const JournalSession& session = sessions[0];
    EXPECT_EQ(session.station, "Journal Radio");
    EXPECT_TRUE(session.audioAt(0, session.audioBytes) == songs.audio)
        << "every audio byte as it came, none of the metadata";
    std::vector<std::uint64_t> titles;
    std::vector<std::uint64_t> cuts;
    std::vector<std::string> files;
    for (const auto& event : session.events) {
        if (event.kind == "title")
            titles.push_back(event.offset);
        else if (event.kind == "cut")
            cuts.push_back(event.offset);
        else if (event.kind == "file")
            files.push_back(event.fields.at(0));
    }
    EXPECT_EQ(titles, (std::vector<std::uint64_t>{kMetaint, 5 * kMetaint, 10 * kMetaint}));
    const auto completed = recording.completedFiles();
    std::vector<std::uint64_t> splits;
    const ByteVector recorded = recordedAudio(completed, &splits);
    const std::uint64_t lost = songs.audio.size() - recorded.size();
    ASSERT_EQ(cuts.size(), 2u);
    EXPECT_EQ(cuts[0], splits[0] + lost) << "exactly where the second file starts";
    EXPECT_EQ(cuts[1], splits[1] + lost);
    ASSERT_EQ(files.size(), 3u);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(files[i], completed[i].get("location").toString());
}

TEST_F(MP3ClientTest, AFullDiscStopsTheJournalButNeverTheRecording)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small disc needs root";
    const SongStream& songs = songStream({4.0, 4.0, 4.0});
    server.addMount("/stream", titledMount(songs, {{0, "Artist A - Song One"},
                                                   {5 * kMetaint, "Artist B - Song Two"},
                                                   {10 * kMetaint, "Artist C - Song Three"}}));
    const std::string cache = dir.file("small");
    std::filesystem::create_directories(cache);
    ASSERT_EQ(::mount("tmpfs", cache.c_str(), "tmpfs", 0, "size=64k"), 0);
    struct Unmount
    {
        std::string path;
        ~Unmount() { EXPECT_EQ(::umount(path.c_str()), 0); }
    } unmount{cache};
    EnvironmentOverride environment;
    environment.set("XDG_CACHE_HOME", cache);
    prefs.set("JournalDays", 3);
    prefs.set("JournalBudgetMB", 64);
    Recording recording(prefs, streamProperties({server.url()}));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(10s));

    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(isStreamTail(recordedAudio(files), songs.audio));
    EXPECT_TRUE(recording.alerts().empty());
    const auto sessions = JournalSession::readAll(cache + "/Orvanta/sessions");
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_LT(sessions[0].audioBytes, songs.audio.size()) << "the journal stopped";
}

TEST_F(MP3ClientTest, MetadataSplitAcrossAnyCallbackSizesGivesTheSameFiles)
{
    const SongStream& songs = songStream({4.0, 4.0});
    std::vector<ByteVector> results;
    for (std::size_t chunk : {std::size_t{1}, std::size_t{333}, std::size_t{65536}}) {
        IcyMount mount = titledMount(songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}});
        mount.sendChunk = chunk;
        const std::string path = "/chunk" + std::to_string(chunk);
        server.addMount(path, mount);
        TempDir target;
        TestPrefs chunkPrefs(target.path());
        Recording recording(chunkPrefs, streamProperties({server.url(path)}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(20s)) << chunk;
        std::vector<std::uint64_t> splits;
        const auto files = recording.completedFiles();
        ASSERT_EQ(files.size(), 2u) << chunk;
        EXPECT_TRUE(isStreamTail(recordedAudio(files, &splits), songs.audio)) << chunk;
        results.push_back(ByteVector(splits.begin(), splits.end()));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[1], results[2]);
}

TEST_F(MP3ClientTest, TitlesDifferingOnlyInCaseAndEmptyOrLongBlocks)
{
    const SongStream& songs = songStream({4.0, 4.0});
    const std::string longTitle = "Long - " + std::string(4100, 'x');
    server.addMount(
        "/stream",
        titledMount(songs, {{0, "A - One"}, {3 * kMetaint, "a - ONE"}, {5 * kMetaint, longTitle}}));
    Recording recording(prefs, streamProperties({server.url()}));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(10s));
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].get("STREAMTITLE").toString(), "A - One");
    // The longest block (length byte 255) still parses; the name is cut to fit the disc.
    const std::string second = files[1].get("STREAMTITLE").toString();
    EXPECT_EQ(second.rfind("Long - xxx", 0), 0u);
    EXPECT_GT(second.size(), 4000u);
    EXPECT_LE(fileName(files[1]).size(), 255u);
    EXPECT_TRUE(isStreamTail(recordedAudio(files), songs.audio));
}

TEST_F(MP3ClientTest, AnEarlierSplitMovesTheRewindIntoTheNewFile)
{
    const SongStream& songs = songStream({4.0, 4.0});
    server.addMount("/stream", titledMount(songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}}));
    std::vector<std::uint64_t> plain, rewound;
    for (double seconds : {0.0, 1.0}) {
        TempDir target;
        TestPrefs p(target.path());
        Dictionary properties = streamProperties({server.url()});
        properties.set("NP_REWINDSECS", seconds);
        Recording recording(p, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        auto& splits = seconds == 0 ? plain : rewound;
        EXPECT_TRUE(isStreamTail(recordedAudio(recording.completedFiles(), &splits), songs.audio));
    }
    ASSERT_EQ(plain.size(), 2u);
    ASSERT_EQ(rewound.size(), 2u);
    // One second (16000 bytes) moved back, to the next frame boundary.
    EXPECT_GE(plain[0] - rewound[0], 16000u - 418);
    EXPECT_LE(plain[0] - rewound[0], 16000u);
}

TEST_F(MP3ClientTest, ALaterSplitStartsTheFileOnceItsTimeHasCome)
{
    const SongStream& songs = songStream({4.0, 6.0});
    IcyMount mount = titledMount(songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}});
    mount.bytesPerSecond = 64000; // four times real time, as the clock below
    server.addMount("/stream", mount);
    const auto [quietFrom, quietTo] = songs.silences[0];
    // Searched only around the change, the split waits for the clock; the wide search moves
    // the cut it found by exactly that much audio.
    for (const double search : {0.0, 8.0}) {
        Dictionary properties = streamProperties({server.url()});
        properties.set("NP_REWINDSECS", 2.5);
        properties.set("SPLIT_EARLIER_OR_LATER", 1);
        properties.set("NP_SPLIT_SEARCH_SECONDS", search);
        Recording recording(prefs, properties);
        const auto start = std::chrono::steady_clock::now();
        recording.startWithSecondsClock([start] {
            return 4 *
                   std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start)
                       .count() /
                   1000;
        });
        ASSERT_TRUE(recording.waitFinished(15s));
        std::vector<std::uint64_t> splits;
        const ByteVector recorded = recordedAudio(recording.completedFiles(), &splits);
        EXPECT_EQ(recorded, songs.audio);
        ASSERT_EQ(splits.size(), 2u);
        if (search == 0) {
            // Due more than 3 whole seconds after the change, then half a second moved back.
            EXPECT_GE(splits[0], quietFrom + 2 * 16000);
            EXPECT_LE(splits[0], quietTo + 5 * 16000);
        } else {
            EXPECT_GE(splits[0], quietFrom + 40000 - 418);
            EXPECT_LE(splits[0], quietTo + 40000 + 418);
        }
    }
}

TEST_F(MP3ClientTest, StopLeavesALaterTrackIncompleteButTheFirstComplete)
{
    const SongStream& songs = songStream({4.0, 4.0, 4.0});
    IcyMount mount = titledMount(songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}});
    mount.bytesPerSecond = 64000;
    server.addMount("/stream", mount);
    for (const char* stopDuring : {"A - One", "B - Two"}) {
        TempDir target;
        TestPrefs p(target.path());
        Recording recording(p, streamProperties({server.url()}));
        recording.start();
        ASSERT_TRUE(recording.waitUntil(
            [&] { return recording.server().currentSong() == stopDuring; }, 10s));
        recording.stop();
        ASSERT_TRUE(recording.waitFinished(3s));
        const auto files = recording.completedFiles();
        ASSERT_FALSE(files.empty());
        const Dictionary last = files.back();
        EXPECT_EQ(last.get("STREAMTITLE").toString(), stopDuring);
        if (std::string(stopDuring) == "A - One")
            EXPECT_TRUE(last.contains("dateCompleted"));
        else
            EXPECT_TRUE(last.contains("incomplete"));
        EXPECT_TRUE(recording.alerts().empty()) << "a stop is no error";
    }
}

TEST_F(MP3ClientTest, SkippingDropsTheRestOfTheTrackOnce)
{
    const SongStream& songs = songStream({4.0, 4.0, 4.0});
    IcyMount mount = titledMount(
        songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}, {10 * kMetaint, "C - Three"}});
    mount.bytesPerSecond = 64000;
    server.addMount("/stream", mount);
    Recording recording(prefs, streamProperties({server.url()}));
    recording.start();
    ASSERT_TRUE(
        recording.waitUntil([&] { return recording.server().currentSong() == "B - Two"; }, 10s));
    EXPECT_TRUE(recording.server().canSkipTrack());
    recording.server().skipTrack();
    recording.server().skipTrack();
    EXPECT_EQ(recording.server().currentSong(), "(Skipping) B - Two");
    ASSERT_TRUE(recording.waitFinished(10s));
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files[1].contains("skipped"));
    EXPECT_EQ(files[1].get("STREAMTITLE").toString(), "B - Two");
    EXPECT_EQ(fileName(files[2]), "C - Three.mp3");
}

TEST_F(MP3ClientTest, TheNextAddressIsTriedWhenOneFails)
{
    const SongStream& songs = songStream({4.0});
    IcyMount mount;
    mount.audio = songs.audio;
    mount.style = IcyMount::Style::Icecast;
    server.addMount("/stream", mount);
    const std::string refused = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/";
    Recording recording(prefs, streamProperties({"  " + refused + "\n", server.url()}));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(15s));
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(audioOfFile(files[0].get("location").toString()), songs.audio);
    EXPECT_TRUE(recording.alerts().empty());
}

TEST_F(MP3ClientTest, ReconnectsAfterADropAndAFiniteResourceEndsIt)
{
    const SongStream& songs = songStream({4.0});
    IcyMount dropping;
    dropping.audio = songs.audio;
    dropping.closeAfterBodyBytes = 20000;
    server.addMount("/dropping", dropping);
    IcyMount finite;
    finite.audio = songs.audio;
    finite.sendContentLength = true;
    server.addMount("/finite", finite);
    prefs.set("AutoReconnect", true);

    Recording reconnecting(prefs, streamProperties({server.url("/dropping")}));
    reconnecting.start();
    ASSERT_TRUE(server.waitForConnections(3, 5000));
    reconnecting.stop();
    ASSERT_TRUE(reconnecting.waitFinished(5s));

    Recording whole(prefs, streamProperties({server.url("/finite")}));
    whole.start();
    ASSERT_TRUE(whole.waitFinished(5s)) << "a resource received whole is not fetched again";
    // Counted by path: the stopped recording's last request may still be arriving.
    const auto requests = server.requests();
    EXPECT_EQ(
        std::count_if(requests.begin(), requests.end(),
                      [](const std::string& head) { return head.starts_with("GET /finite"); }),
        1);
}

TEST_F(MP3ClientTest, AnErrorStatusIsAFailureThatWritesNothing)
{
    const SongStream& songs = songStream({4.0});
    IcyMount missing;
    missing.statusCode = 404;
    server.addMount("/missing", missing);
    IcyMount busy;
    busy.style = IcyMount::Style::Icecast;
    busy.statusCode = 503;
    busy.errorBody = false;
    server.addMount("/busy", busy);
    IcyMount live = titledMount(songs, {{0, "A - One"}});
    live.sendContentLength = true;
    server.addMount("/live", live);

    {
        Recording recording(prefs, streamProperties({server.url("/missing")}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(5s));
        EXPECT_EQ(recording.alerts(),
                  std::vector<std::string>{"The server answered 404 Not Found"});
        EXPECT_TRUE(recording.completedFiles().empty());
        EXPECT_TRUE(filesBelow(dir.path()).empty()) << "no file, not even in the incomplete folder";
    }
    {
        // Reconnecting, every attempt fails the same way and leaves nothing.
        prefs.set("AutoReconnect", true);
        prefs.set("AutoReconnectWaitSeconds", 0);
        Recording recording(prefs, streamProperties({server.url("/busy")}));
        const int before = server.connectionCount();
        recording.start();
        ASSERT_TRUE(server.waitForConnections(before + 4, 5000));
        recording.stop();
        ASSERT_TRUE(recording.waitFinished(5s));
        const auto alerts = recording.alerts();
        ASSERT_GE(alerts.size(), 3u);
        for (const std::string& alert : alerts)
            EXPECT_EQ(alert, "The server answered 503 Service Unavailable");
        EXPECT_TRUE(recording.completedFiles().empty());
        EXPECT_TRUE(filesBelow(dir.path()).empty());
        prefs.set("AutoReconnect", false);
    }
    {
        // A failing first address does not stop the second, which records.
        Recording recording(prefs, streamProperties({server.url("/missing"), server.url("/live")}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(5s));
        ASSERT_EQ(recording.completedFiles().size(), 1u);
        EXPECT_TRUE(recording.alerts().empty()) << "the station was recorded after all";
    }
}

TEST_F(MP3ClientTest, AStreamWithoutMP3FramesIsRecordedAsNothing)
{
    IcyMount noise;
    noise.style = IcyMount::Style::Icecast;
    noise.audio.assign(100 * 1024, 0x55);
    noise.loop = true; // it would go on for ever: the client gives up on it
    server.addMount("/noise", noise);
    Recording recording(prefs, streamProperties({server.url("/noise")}));
    recording.start();
    ASSERT_TRUE(recording.waitFinished(10s));
    EXPECT_EQ(recording.alerts(), std::vector<std::string>{"No MP3 audio in the stream"});
    EXPECT_TRUE(recording.completedFiles().empty());
    EXPECT_TRUE(filesBelow(dir.path()).empty());
}

TEST_F(MP3ClientTest, QueuedTitlesDoNotOutliveTheirConnection)
{
    const SongStream& songs = songStream({4.0, 4.0});
    IcyMount mount = titledMount(songs, {{0, "A - One"}, {5 * kMetaint, "B - Two"}});
    mount.closeAfterBodyBytes = 7 * kMetaint;
    server.addMount("/stream", mount);
    prefs.set("AutoReconnect", true);
    Dictionary properties = streamProperties({server.url()});
    properties.set("NP_REWINDSECS", 2.5);
    properties.set("SPLIT_EARLIER_OR_LATER", 1);
    properties.set("NP_SPLIT_SEARCH_SECONDS", 0.0); // splits delayed by the clock
    Recording recording(prefs, properties);
    recording.startWithSecondsClock(
        [] { return std::int64_t{0}; }); // delayed splits never fall due
    ASSERT_TRUE(server.waitForConnections(2, 5000));
    ASSERT_TRUE(recording.waitUntil([&] { return recording.completedFiles().size() >= 2; }, 5s));
    recording.stop();
    ASSERT_TRUE(recording.waitFinished(5s));
    const auto files = recording.completedFiles();
    // The second connection's first file is named by that connection's first title (the
    // server starts its titles again), not by the split the first connection queued.
    EXPECT_EQ(files[1].get("STREAMTITLE").toString(), "A - One");
}

TEST_F(MP3ClientTest, StreamsWithoutTitlesSplitBySizeOrTimeOrNotAtAll)
{
    const SongStream& songs = songStream({4.0});
    IcyMount mount;
    mount.audio = songs.audio;
    mount.loop = true;
    mount.closeAfterBodyBytes = 2500000;
    server.addMount("/stream", mount);
    struct Case
    {
        int type;
        int amount; // MB or minutes
        std::size_t files;
    };
    // By time: one minute at 128 kbit/s is 983040 bytes.
    for (const Case c : {Case{1, 1, 3}, Case{2, 1, 3}, Case{1, 0, 1}, Case{0, 1, 1}}) {
        TempDir target;
        TestPrefs p(target.path());
        Dictionary properties = streamProperties({server.url()});
        properties.set("NP_ALWAYSMANUAL", true);
        properties.set("NP_MANUALSPLITTYPE", c.type);
        properties.set(c.type == 2 ? "NP_SPLITTIMEMINS" : "NP_SPLITSIZEMB", c.amount);
        Recording recording(p, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(20s));
        const auto files = recording.completedFiles();
        EXPECT_EQ(files.size(), c.files) << "type " << c.type << " amount " << c.amount;
        EXPECT_FALSE(server.requests().back().find("Icy-MetaData") != std::string::npos);
        EXPECT_EQ(recording.server().currentSong().rfind("(No track data) ", 0), 0u);
    }
}

TEST_F(MP3ClientTest, CredentialsAndProxiesAreUsed)
{
    const SongStream& songs = songStream({4.0});
    IcyMount locked;
    locked.audio = songs.audio;
    locked.user = "dj";
    locked.password = "secret";
    server.addMount("/locked", locked);
    Dictionary properties = streamProperties({server.url("/locked")});
    properties.set("NP_USERNAME", "dj");
    properties.set("NP_PASSWORD", "secret");
    {
        Recording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        ASSERT_EQ(recording.completedFiles().size(), 1u);
        EXPECT_EQ(audioOfFile(recording.completedFiles()[0].get("location").toString()),
                  songs.audio);
    }
    IcyTestProxy proxy;
    prefs.set("useproxy", true);
    prefs.set("proxyhost", "127.0.0.1");
    prefs.set("proxyport", proxy.port());
    {
        Recording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        EXPECT_EQ(proxy.requestCount(), 1);
        EXPECT_EQ(recording.completedFiles().size(), 1u);
    }
    prefs.set("useproxy", false);
    ::setenv("http_proxy", ("http://" + proxy.hostAndPort()).c_str(), 1);
    {
        Recording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        EXPECT_EQ(proxy.requestCount(), 2);
    }
    ::unsetenv("http_proxy");
    prefs.set("useproxy", true);
    prefs.set("proxyport", unusedLoopbackPort());
    {
        Recording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished(15s));
        EXPECT_EQ(recording.alerts(),
                  std::vector<std::string>{"Proxy not responding on specified port number"});
    }
}

TEST_F(MP3ClientTest, AStalledServerIsAbortedAndAStopIsPromptEvenWhenNothingArrives)
{
    const SongStream& songs = songStream({4.0});
    IcyMount stalling;
    stalling.audio = songs.audio;
    stalling.stallAfterBodyBytes = 20000;
    server.addMount("/stream", stalling);
    prefs.set("LowSpeedLimitSeconds", 1);
    {
        Recording recording(prefs, streamProperties({server.url()}));
        const auto start = std::chrono::steady_clock::now();
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 9s);
        EXPECT_EQ(recording.alerts().size(), 1u) << "the low-speed abort is reported";
    }
    prefs.set("LowSpeedDisconnect", false);
    {
        Recording recording(prefs, streamProperties({server.url()}));
        // Counted before the start: the connection may be made before the wait begins.
        const int connections = server.connectionCount();
        recording.start();
        ASSERT_TRUE(server.waitForConnections(connections + 1, 5000));
        std::this_thread::sleep_for(300ms);
        const auto stopAt = std::chrono::steady_clock::now();
        recording.stop();
        ASSERT_TRUE(recording.waitFinished(3s));
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1500ms);
        // Everything that came before the stop is in the file (its last few KiB never woke
        // the transfer: they waited in the socket), up to the last whole frame.
        const ByteVector audio = recordedAudio(recording.completedFiles());
        ASSERT_LE(audio.size(), 20000u);
        EXPECT_GT(audio.size(), 20000u - 418);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), songs.audio.begin()));
        mp3frameheader_t next{};
        EXPECT_TRUE(MyMP3Util::decodeFrameHeader(next, songs.audio.data() + audio.size()))
            << "the file ends on a whole frame";
    }
    IcyMount closing;
    closing.audio = songs.audio;
    closing.closeAfterBodyBytes = 1000;
    server.addMount("/closing", closing);
    prefs.set("AutoReconnect", true);
    prefs.set("AutoReconnectWaitSeconds", 60);
    {
        Recording recording(prefs, streamProperties({server.url("/closing")}));
        recording.start();
        ASSERT_TRUE(recording.waitUntil([&] { return !recording.completedFiles().empty(); }, 5s));
        const auto stopAt = std::chrono::steady_clock::now();
        recording.stop();
        ASSERT_TRUE(recording.waitFinished(3s)) << "the reconnection wait is interrupted";
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 1500ms);
    }
}

TEST_F(MP3ClientTest, HostileHeadersAndAServerClosingInsideMetadata)
{
    const SongStream& songs = songStream({4.0, 4.0});
    // A differently cased header name still frames the metadata.
    IcyMount cased = titledMount(songs, {{0, "A - One"}});
    cased.metaintHeaderName = "Icy-MetaInt";
    server.addMount("/cased", cased);
    // An interval out of range: the body is recorded as it comes, without framing.
    IcyMount huge;
    huge.audio = songs.audio;
    huge.metaintHeaderValue = "70000";
    server.addMount("/huge", huge);
    // The connection ends in the middle of the first metadata block.
    IcyMount cut = titledMount(songs, {{0, "A - One"}});
    cut.closeAfterBodyBytes = kMetaint + 10;
    server.addMount("/cut", cut);

    {
        Recording recording(prefs, streamProperties({server.url("/cased")}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        ASSERT_EQ(recording.completedFiles().size(), 1u);
        EXPECT_EQ(recording.completedFiles()[0].get("STREAMTITLE").toString(), "A - One");
        EXPECT_TRUE(isStreamTail(recordedAudio(recording.completedFiles()), songs.audio));
    }
    {
        TempDir target;
        TestPrefs p(target.path());
        Recording recording(p, streamProperties({server.url("/huge")}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        EXPECT_FALSE(recording.server().canSkipTrack());
        ASSERT_EQ(recording.completedFiles().size(), 1u);
        EXPECT_TRUE(isStreamTail(recordedAudio(recording.completedFiles()), songs.audio));
    }
    {
        TempDir target;
        TestPrefs p(target.path());
        Recording recording(p, streamProperties({server.url("/cut")}));
        recording.start();
        ASSERT_TRUE(recording.waitFinished(10s));
        ASSERT_EQ(recording.completedFiles().size(), 1u);
        const ByteVector audio = recordedAudio(recording.completedFiles());
        ASSERT_GT(audio.size(), 10000u);
        EXPECT_TRUE(std::equal(audio.begin(), audio.end(), songs.audio.begin()))
            << "what arrived before the cut is kept, in order";
    }
}

TEST_F(MP3ClientTest, RecordAfterListeningTwoMinutesIntoASongStartsItsFileAtTheSongsGap)
{
    // The second song's title comes 2 s after its gap; the stream stops sending 2 minutes
    // into that song, the connection staying open, as a station does between two blocks.
    const SongStream& songs = songStream({6.0, 130.0});
    const auto [gapFrom, gapTo] = songs.silences[0];
    IcyMount mount = titledMount(
        songs, {{0, "Artist A - Opener"}, {gapTo + 2 * kMetaint, "Artist B - Long Song"}});
    mount.stallAfterBodyBytes = gapTo + 121 * kMetaint;
    server.addMount("/stream", mount);
    prefs.set("LowSpeedDisconnect", false);
    Dictionary properties = streamProperties({server.url("/stream")});
    properties.set(MP3Client::kListenBufferSecondsKey, 600.0);
    Recording recording(prefs, properties);
    recording.start();
    const std::uint64_t heardBytes = gapTo + 120 * kMetaint;
    ASSERT_TRUE(recording.waitUntil(
        [&] {
            const auto heard = recording.server().heardAudio();
            return heard && heard->audio.size() >= heardBytes;
        },
        20s));
    const auto heard = recording.server().heardAudio();
    EXPECT_EQ(heard->song, "Artist B - Long Song");
    EXPECT_TRUE(std::equal(heard->audio.begin(), heard->audio.end(), songs.audio.begin()))
        << "what was heard is the stream as sent";
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "listening writes no file";

    recording.server().recordFromBuffer();
    ASSERT_TRUE(recording.waitUntil([&] { return !recording.server().heardAudio(); }, 5s));
    recording.stop();
    ASSERT_TRUE(recording.waitFinished(10s));
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(fileName(files[0]), "Artist B - Long Song.mp3");
    const ByteVector audio = audioOfFile(files[0].get("location").toString());
    ASSERT_GT(audio.size(), 120u * kMetaint);
    // The file is the stream from a point in the song's gap on, byte for byte.
    std::optional<std::uint64_t> start;
    for (std::uint64_t at = gapFrom - 418; at <= gapTo + 418 && !start; ++at)
        if (at + audio.size() <= songs.audio.size() &&
            std::equal(audio.begin(), audio.end(), songs.audio.begin() + static_cast<long>(at)))
            start = at;
    ASSERT_TRUE(start) << "the file does not start in the gap before the song";
    EXPECT_TRUE(recording.alerts().empty());
}

// A preset on Automatic: titles in Cyrillic, Central European and Japanese code pages, in
// UTF-8, and UTF-8 a station turned into mojibake, each name their file and tags as meant.
TEST_F(MP3ClientTest, AutomaticEncodingNamesEveryFileAndTagAsMeant)
{
    const char* const sent[] = {
        "\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8", // cp1251
        "Czes\xB3"
        "aw Niemen - Dziwny jest ten \xB6wiat", // iso-8859-2
        "\x89"
        "F\x91\xBD\x93"
        "c\x83q\x83J\x83\x8B - \x89\xD4\x91\xA9\x82\xF0\x8CN\x82\xC9",    // shift_jis
        "Sigur R\xC3\xB3s - Hopp\xC3\xADpolla",                           // utf-8
        "Beyonc\xC3\x83\xC2\xA9 - D\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0 vu", // double
    };
    const std::string meant[] = {"Кино - Группа крови", "Czesław Niemen - Dziwny jest ten świat",
                                 "宇多田ヒカル - 花束を君に", "Sigur Rós - Hoppípolla",
                                 "Beyoncé - Déjà vu"};
    const SongStream& songs = songStream({4.0, 4.0, 4.0, 4.0, 4.0});
    std::vector<IcyTitle> titles;
    for (int i = 0; i < 5; ++i)
        titles.push_back({static_cast<std::uint64_t>(5 * i * kMetaint), sent[i]});
    server.addMount("/stream", titledMount(songs, titles));
    Dictionary properties = streamProperties({server.url()});
    properties.set("NP_LANGUAGE_ENCODING", kAutomaticStringEncoding);
    Recording recording(prefs, properties);
    recording.start();
    ASSERT_TRUE(recording.waitFinished(20s));
    const auto files = recording.completedFiles();
    ASSERT_EQ(files.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(fileName(files[i]), meant[i] + ".mp3");
        const AudioCheck check = checkAudio(files[i].get("location").toString());
        const std::string artist = meant[i].substr(0, meant[i].find(" - "));
        EXPECT_EQ(check.tags.count("TPE1") ? check.tags.at("TPE1") : "", artist) << meant[i];
    }
}
