#include "M3UClient.h"
#include "M3UServer.h"

#include "Global.h"
#include "IcyTestServer.h"
#include "Mailbox.h"
#include "Mp3Fixtures.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "RelayInput.h"
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

class TestPrefs : public PreferencesReader
{
public:
    explicit TestPrefs(const std::string& downloadPath)
        : m_values{{"downloadpath", downloadPath},
                   {"AutoReconnect", false},
                   {"AutoReconnectWaitSeconds", 0},
                   {"LowSpeedDisconnect", true},
                   {"LowSpeedLimitSeconds", 10},
                   {"ignorefilesize", false},
                   {"useproxy", false}}
    {}
    Value getPrefsForKey(std::string_view key) const override
    {
        std::lock_guard lock(m_mutex);
        return m_values.get(key).deepCopy();
    }
    void set(std::string_view key, Value value)
    {
        std::lock_guard lock(m_mutex);
        m_values.set(key, std::move(value));
    }

private:
    mutable std::mutex m_mutex;
    Dictionary m_values;
};

/// Stands in for the listening relay: keeps the audio and, for each block, the delegate's
/// current song, read on the worker thread as the relay reads it on its own.
class RecordingRelay : public RelayInput
{
public:
    void setDelegate(std::weak_ptr<GenericClient> client) override
    {
        std::lock_guard lock(m_mutex);
        m_delegate = std::move(client);
    }
    void setStreamFormat(std::string contentType, Bytes header) override
    {
        std::lock_guard lock(m_mutex);
        m_contentType = std::move(contentType);
        m_header = std::move(header);
    }
    bool writeRawData(const std::uint8_t* data, std::size_t length) override
    {
        std::shared_ptr<GenericClient> client;
        {
            std::lock_guard lock(m_mutex);
            client = m_delegate.lock();
        }
        const std::string song = client ? client->currentSong() : "(no delegate)";
        std::lock_guard lock(m_mutex);
        audio.insert(audio.end(), data, data + length);
        if (songs.empty() || songs.back() != song)
            songs.push_back(song);
        return true;
    }

    std::mutex m_mutex;
    std::weak_ptr<GenericClient> m_delegate;
    std::string m_contentType;
    Bytes m_header;
    ByteVector audio;
    std::vector<std::string> songs; // each change of title, in order
};

/// A server that asks for listening before its client starts, as the core may at any time.
class ListeningServer : public M3UServer
{
public:
    using M3UServer::M3UServer;
    void registerWithTag(std::int32_t tag, std::shared_ptr<ClientProxy> client) override
    {
        client->listen(true);
        M3UServer::registerWithTag(tag, std::move(client));
    }
};

/// Runs a playlist recording as the application does: the server on this thread, the client
/// and its worker on threads of their own.
class PlaylistRecording
{
public:
    PlaylistRecording(TestPrefs& prefs, Dictionary properties,
                      std::shared_ptr<RecordingRelay> relay = nullptr)
        : m_prefs(prefs), m_relay(std::move(relay)),
          m_server(m_relay ? std::make_shared<ListeningServer>(std::move(properties))
                           : std::make_shared<M3UServer>(std::move(properties)))
    {
        m_main.adoptCurrentThread();
        m_center.addObserver("", [this](const Notification& n) {
            {
                std::lock_guard lock(m_mutex);
                m_posted.push_back(n);
            }
            m_main.wake();
        });
    }
    ~PlaylistRecording()
    {
        m_server->terminate();
        waitFinished(10s);
        for (int i = 0; i < 500 && m_threads.running() > 0; ++i)
            m_main.serveUntil([] { return false; }, 10ms);
        EXPECT_EQ(m_threads.running(), 0u) << "recording threads left behind";
        m_main.close();
        m_threads.joinAll();
    }

    void start()
    {
        RecordingContext context{m_center, m_prefs, m_main, m_threads, m_relay};
        M3UClient::launchClientThreadWithTag(7, m_server, context);
        ASSERT_TRUE(waitUntil([this] { return m_server->clientProxy() != nullptr; }, 5s));
    }
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_main.serveUntil(condition, 20ms))
                return true;
        }
        return condition();
    }
    bool waitFinished(std::chrono::milliseconds timeout = 10s)
    {
        return waitUntil([this] { return count(OVFinishedNotification) > 0; }, timeout);
    }
    M3UServer& server() { return *m_server; }

    std::size_t count(std::string_view name) const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(std::count_if(
            m_posted.begin(), m_posted.end(), [name](const auto& n) { return n.name == name; }));
    }
    std::vector<Notification> posted() const
    {
        std::lock_guard lock(m_mutex);
        return m_posted;
    }
    std::vector<Dictionary> files() const
    {
        std::vector<Dictionary> result;
        for (const auto& n : posted()) {
            if (n.name == OVRecordingFileCompleted)
                result.push_back(n.userInfo.toDictionary());
        }
        return result;
    }
    /// Alert texts, "!" before fatal ones; empty texts (clearing the alert) left out.
    std::vector<std::string> alerts() const
    {
        std::vector<std::string> result;
        for (const auto& n : posted()) {
            const bool fatal = n.name == OVFatalErrorAlertNotification;
            if (!fatal && n.name != OVErrorAlertNotification)
                continue;
            EXPECT_EQ(n.object.toInteger(), 7);
            const std::string text =
                n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString();
            if (!text.empty())
                result.push_back((fatal ? "!" : "") + text);
        }
        return result;
    }

private:
    TestPrefs& m_prefs;
    std::shared_ptr<RecordingRelay> m_relay;
    NotificationCenter m_center;
    Mailbox m_main;
    OwnedThreads m_threads;
    std::shared_ptr<M3UServer> m_server;
    mutable std::mutex m_mutex;
    std::vector<Notification> m_posted;
};

std::string asString(const ByteVector& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string fileName(const Dictionary& report)
{
    return std::filesystem::path(report.get("location").toString()).filename().string();
}

class M3UClientTest : public ::testing::Test
{
protected:
    Dictionary propertiesFor(const std::string& playlistPath)
    {
        return Dictionary{{"NP_URLS_TO_VISIT", Array{server.url(playlistPath)}}};
    }
    /// An MP3 entry that sends some frames, then nothing more while the connection stays.
    void addStallingEntry(const std::string& path)
    {
        IcyMount mount;
        mount.style = IcyMount::Style::Icecast;
        mount.audio = syntheticFrames(100, 9);
        mount.stallAfterBodyBytes = 10 * kFrameLength;
        server.addMount(path, mount);
    }
    std::string folder(const std::string& source) const
    {
        return dir.path() + "/M3U Recordings/" + source;
    }

    TempDir dir;
    TestPrefs prefs{dir.path()};
    IcyTestServer server;
    const ByteVector songA = syntheticFrames(30, 1);
    const ByteVector songB = syntheticFrames(20, 2);
};

} // namespace

TEST(M3UPlaylistTest, EntriesAndTheirTitles)
{
    using E = std::vector<M3UEntry>;
    const struct
    {
        const char* text;
        E expected;
    } cases[] = {
        {"", {}},
        {"#EXTM3U\n# a comment\nfile.mp3\nftp://h/a.mp3\nhttp://h/a.mp3?x=1\nhttp://h/a.ogg\n", {}},
        {"HTTP://H/A.MP3\r\n  https://h/b.mp3  \r\n",
         {{"HTTP://H/A.MP3", ""}, {"https://h/b.mp3", ""}}},
        // Titles only count in an extended list, and stay in force until the next one.
        {"#EXTINF:1,X - Y\nhttp://h/a.mp3\n", {{"http://h/a.mp3", ""}}},
        {"#EXTM3U\n#EXTINF:12,Artist - Title\nhttp://h/a.mp3\nhttp://h/b.mp3\n#EXTINF:\n"
         "http://h/c.mp3\n#EXTINF:5, \nhttp://h/d.mp3",
         {{"http://h/a.mp3", "Artist - Title"},
          {"http://h/b.mp3", "Artist - Title"},
          {"http://h/c.mp3", ""},
          {"http://h/d.mp3", ""}}},
        {"\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,Caf\xC3\xA9 - Song\r\nhttp://h/e.mp3\r\n",
         {{"http://h/e.mp3", "Caf\xC3\xA9 - Song"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(M3UClient::entriesOfPlaylist(c.text), c.expected) << c.text;
}

TEST_F(M3UClientTest, EveryEntryGetsItsFileTagsAndReport)
{
    server.addFile("/a.mp3", "audio/mpeg", asString(songA));
    server.addFile("/b.MP3", "audio/mpeg", asString(songB));
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   "#EXTM3U\r\n#EXTINF:61,Artist A - Song One\r\n" + server.url("/a.mp3") +
                       "\r\nnot an entry\r\n" + server.url("/readme.txt") + "\r\n" +
                       server.url("/b.MP3") + "\r\n");
    Dictionary properties = propertiesFor("/list.m3u");
    properties.set("NP_NUMBER_RECORDINGS", true);
    PlaylistRecording recording(prefs, properties);
    recording.start();
    ASSERT_TRUE(recording.waitFinished());

    const auto files = recording.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].get("STREAMTITLE").toString(), server.url("/a.mp3"));
    EXPECT_EQ(files[0].get("filename").toString(), "a");
    EXPECT_EQ(files[0].get("ID3TAGS").toDictionary(), (Dictionary{{"TIT2", "a"}}));
    EXPECT_EQ(files[0].get("completeBaseDir").toString(), folder("list.m3u"));
    EXPECT_FALSE(files[0].contains("duplicate"));
    EXPECT_EQ(files[0].get("location").toString(), folder("list.m3u") + "/001 - a.mp3");
    EXPECT_EQ(readFile(files[0].get("location").toString()), asString(songA));
    EXPECT_EQ(fileName(files[1]), "002 - b.mp3");
    EXPECT_EQ(readFile(files[1].get("location").toString()), asString(songB));
    for (const auto& file : files)
        EXPECT_TRUE(file.contains("dateCompleted"));
    EXPECT_TRUE(recording.alerts().empty());
    EXPECT_EQ(recording.posted().back().name, OVFinishedNotification);
    EXPECT_EQ(recording.count(OVFinishedNotification), 1u);
    EXPECT_EQ(server.connectionCount(), 3) << "the playlist and its two entries, nothing else";
}

TEST_F(M3UClientTest, TheListenerHearsEachEntryUnderItsTitle)
{
    server.addFile("/a.mp3", "audio/mpeg", asString(songA));
    server.addFile("/b.mp3", "audio/mpeg", asString(songB));
    server.addFile("/plain.m3u", "audio/x-mpegurl",
                   "#EXTINF:1,Ignored - Title\n" + server.url("/a.mp3") + "\n");
    server.addFile("/ext.m3u", "audio/x-mpegurl",
                   "#EXTM3U\n#EXTINF:61,Artist A - Song One\n" + server.url("/a.mp3") + "\n" +
                       server.url("/b.mp3") + "\n");
    ByteVector both = songA;
    both.insert(both.end(), songB.begin(), songB.end());
    const struct
    {
        const char* list;
        std::vector<std::string> songs;
        ByteVector audio;
    } cases[] = {
        {"/plain.m3u", {"a"}, songA},
        // The title stays in force for the entry without a title line of its own.
        {"/ext.m3u", {"Artist A - Song One"}, both},
    };
    for (const auto& c : cases) {
        auto relay = std::make_shared<RecordingRelay>();
        // What an Ogg station recorded before left the relay announcing.
        relay->setStreamFormat("application/ogg", Bytes{'O', 'g', 'g', 'S'});
        PlaylistRecording recording(prefs, propertiesFor(c.list), relay);
        recording.start();
        ASSERT_TRUE(recording.waitFinished());
        std::lock_guard lock(relay->m_mutex);
        EXPECT_EQ(relay->songs, c.songs) << c.list;
        EXPECT_EQ(relay->audio, c.audio) << c.list;
        EXPECT_EQ(relay->m_contentType, "audio/mpeg") << c.list;
        EXPECT_TRUE(relay->m_header.empty()) << c.list;
    }
}

TEST_F(M3UClientTest, ASkipEndsTheEntryAndTheNextOneStarts)
{
    addStallingEntry("/stalls.mp3");
    server.addFile("/b.mp3", "audio/mpeg", asString(songB));
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   "#EXTM3U\n#EXTINF:1,Stuck - Song\n" + server.url("/stalls.mp3") + "\n" +
                       server.url("/b.mp3") + "\n");
    prefs.set("LowSpeedDisconnect", false); // only the skip can end the first entry
    auto relay = std::make_shared<RecordingRelay>();
    PlaylistRecording recording(prefs, propertiesFor("/list.m3u"), relay);
    recording.start();
    ASSERT_TRUE(recording.waitUntil(
        [&] { return recording.server().currentSong() == "Stuck - Song"; }, 5s));
    EXPECT_TRUE(recording.server().canSkipTrack());
    recording.server().skipTrack();
    ASSERT_TRUE(recording.waitFinished());

    const auto files = recording.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_TRUE(files[0].contains("skipped"));
    EXPECT_EQ(files[0].get("filename").toString(), "stalls");
    EXPECT_TRUE(files[1].contains("dateCompleted"));
    EXPECT_EQ(readFile(files[1].get("location").toString()), asString(songB));
    EXPECT_TRUE(recording.alerts().empty()) << "a skip is no error";
    EXPECT_EQ(recording.count(OVRelayConnectionListenNotification), 1u);
}

TEST_F(M3UClientTest, AStopDuringAnEntryLeavesItIncompleteWithoutAnAlert)
{
    addStallingEntry("/stalls.mp3");
    server.addFile("/b.mp3", "audio/mpeg", asString(songB));
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   server.url("/stalls.mp3") + "\n" + server.url("/b.mp3") + "\n");
    prefs.set("LowSpeedDisconnect", false);
    prefs.set("AutoReconnect", true);
    PlaylistRecording recording(prefs, propertiesFor("/list.m3u"));
    recording.start();
    const std::string incomplete = folder("list.m3u") + "/incomplete/stalls.mp3";
    ASSERT_TRUE(recording.waitUntil(
        [&] {
            return recording.server().currentSong() == "stalls" && fileExists(incomplete) &&
                   std::filesystem::file_size(incomplete) == 10 * kFrameLength;
        },
        5s));
    EXPECT_EQ(recording.server().completePath(), folder("list.m3u"));
    recording.server().terminate();
    ASSERT_TRUE(recording.waitFinished());

    const auto files = recording.files();
    ASSERT_EQ(files.size(), 1u) << "no retry and no next entry after a stop";
    EXPECT_TRUE(files[0].contains("incomplete"));
    const std::string location = files[0].get("location").toString();
    EXPECT_EQ(location, incomplete);
    EXPECT_EQ(readFile(location), asString(syntheticFrames(100, 9)).substr(0, 10 * kFrameLength));
    EXPECT_TRUE(recording.alerts().empty());
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST_F(M3UClientTest, AFailedEntryIsPassedOverOrRetriedUntilStopped)
{
    IcyMount broken;
    broken.style = IcyMount::Style::Icecast;
    broken.statusCode = 503;
    server.addMount("/down.mp3", broken);
    server.addFile("/b.mp3", "audio/mpeg", asString(songB));
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   server.url("/down.mp3") + "\n" + server.url("/b.mp3") + "\n");
    {
        PlaylistRecording recording(prefs, propertiesFor("/list.m3u"));
        recording.start();
        ASSERT_TRUE(recording.waitFinished());
        // An error page is no recording: no file and no history entry, only the alert.
        const auto files = recording.files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].get("filename").toString(), "b");
        EXPECT_TRUE(files[0].contains("dateCompleted"));
        const auto alerts = recording.alerts();
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0], "The server answered 503 Service Unavailable");
    }

    prefs.set("AutoReconnect", true);
    Dictionary properties = propertiesFor("/list.m3u");
    properties.set("NP_NUMBER_RECORDINGS", true);
    const int before = server.connectionCount();
    PlaylistRecording recording(prefs, properties);
    recording.start();
    ASSERT_TRUE(server.waitForConnections(before + 6, 10000));
    recording.server().terminate();
    ASSERT_TRUE(recording.waitFinished());
    // Retries leave nothing behind, and the next entry never starts.
    EXPECT_TRUE(recording.files().empty());
    for (const std::string& file : filesBelow(dir.path()))
        EXPECT_EQ(file.find("down"), std::string::npos) << file;
    EXPECT_GE(recording.alerts().size(), 4u);
    EXPECT_EQ(server.requests().back().find("GET /b.mp3"), std::string::npos);
}

TEST_F(M3UClientTest, AStopEndsTheWaitBeforeARetry)
{
    server.addFile("/list.m3u", "audio/x-mpegurl", server.url("/missing.mp3") + "\n");
    prefs.set("AutoReconnect", true);
    prefs.set("AutoReconnectWaitSeconds", 3600);
    PlaylistRecording recording(prefs, propertiesFor("/list.m3u"));
    recording.start();
    ASSERT_TRUE(recording.waitUntil([&] { return recording.alerts().size() == 1; }, 5s));
    recording.server().terminate();
    ASSERT_TRUE(recording.waitFinished());
    EXPECT_TRUE(recording.files().empty()) << "a missing entry leaves no file";
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST_F(M3UClientTest, OnlyAnAddressCompletedBeforeIsADuplicate)
{
    server.addFile("/a.mp3", "audio/mpeg", asString(songA));
    server.addFile("/b.mp3", "audio/mpeg", asString(songB));
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   server.url("/a.mp3") + "\n" + server.url("/b.mp3") + "\n");
    Array history{
        Dictionary{{"STREAMTITLE", server.url("/a.mp3")}, {"dateCompleted", Date::now()}},
        Dictionary{{"STREAMTITLE", server.url("/b.mp3")}, {"incomplete", 1}},
    };
    Dictionary properties = propertiesFor("/list.m3u");
    properties.set("NP_HISTORY", history);
    PlaylistRecording recording(prefs, properties);
    recording.start();
    ASSERT_TRUE(recording.waitFinished());
    const auto files = recording.files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].get("duplicate").toInteger(), 1);
    EXPECT_TRUE(files[0].contains("dateCompleted")) << "a duplicate is still recorded";
    EXPECT_FALSE(files[1].contains("duplicate"));
}

TEST_F(M3UClientTest, UnusableListsAndFolders)
{
    server.addFile("/empty.m3u", "audio/x-mpegurl", "");
    server.addFile("/junk.m3u", "audio/x-mpegurl", "#EXTM3U\n#EXTINF:1,A - B\nhello\n");
    server.addFile("/huge.m3u", "audio/x-mpegurl",
                   std::string(M3UClient::kMaxPlaylistBytes + 1, '#'));
    const std::string invalid = "M3U file may be invalid";
    const struct
    {
        std::string url;
        std::string alert; // the one alert, or the start of it
    } cases[] = {
        {server.url("/empty.m3u"), invalid},
        {server.url("/junk.m3u"), invalid},
        {server.url("/huge.m3u"), invalid},
        // An error page is not read as a list.
        {server.url("/not-there.m3u"), "The server answered 404 Not Found"},
        // A playlist that cannot be fetched says why.
        {"http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/list.m3u",
         "Failed to connect"},
    };
    for (const auto& c : cases) {
        PlaylistRecording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{c.url}}});
        recording.start();
        ASSERT_TRUE(recording.waitFinished()) << c.url;
        const auto alerts = recording.alerts();
        ASSERT_EQ(alerts.size(), 1u) << c.url;
        EXPECT_EQ(alerts[0].rfind(c.alert, 0), 0u) << alerts[0];
        EXPECT_TRUE(recording.files().empty());
    }

    // A download path that is a file: nothing is fetched.
    const int before = server.connectionCount();
    writeFile(dir.file("not-a-folder"), "x");
    TestPrefs badPrefs(dir.file("not-a-folder"));
    PlaylistRecording recording(badPrefs, propertiesFor("/junk.m3u"));
    recording.start();
    ASSERT_TRUE(recording.waitFinished());
    EXPECT_EQ(recording.alerts(),
              std::vector<std::string>{"!Cannot save recordings to disc - please check the "
                                       "download path and space available"});
    EXPECT_EQ(server.connectionCount(), before);
}

TEST_F(M3UClientTest, AScheduledRecordingIsFiledUnderItsName)
{
    server.addFile("/a.mp3", "audio/mpeg", asString(songA));
    server.addFile("/list.m3u", "audio/x-mpegurl", server.url("/a.mp3") + "\n");
    const struct
    {
        Array path;
        std::string source;
    } cases[] = {
        {Array{"Morning: Show"}, "Morning Show"},
        {Array{"?*"}, "Unknown Scheduled Recording"},
    };
    for (const auto& c : cases) {
        Dictionary properties = propertiesFor("/list.m3u");
        properties.set("NP_SCHEDULED_RECORDING_PATH", c.path);
        PlaylistRecording recording(prefs, properties);
        recording.start();
        ASSERT_TRUE(recording.waitFinished());
        const auto files = recording.files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].get("location").toString(), folder(c.source) + "/a.mp3");
    }
}
