// Records through the whole stream client from a real Icecast server fed by a real source
// client, with titles pushed through the server's admin interface.

#include "AudioCheck.h"
#include "Easy.h"
#include "Global.h"
#include "HlsTestStation.h"
#include "IcyTestServer.h"
#include "RecordingHarness.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char** environ;

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

const curl::Global g_curl;

constexpr const char* kIcecast = "/usr/bin/icecast2";
constexpr const char* kEzstream = "/usr/bin/ezstream";
constexpr const char* kFfmpeg = "/usr/bin/ffmpeg";
constexpr const char* kPython = "/usr/bin/python3";

/// What feeds the station: ezstream with MP3, ffmpeg with AAC (copied from an encoded file,
/// looping), or a chained Ogg file that ffmpeg encoded, sent at its own pace by
/// ogg_source.py (ffmpeg would join the links into one stream).
enum class Source { Mp3, Aac, Ogg };

// A child process, ended with SIGTERM (then SIGKILL) when the test is done.
class Child
{
public:
    explicit Child(std::vector<std::string> args)
    {
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
    }
    ~Child()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                return;
            std::this_thread::sleep_for(20ms);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    /// As a crash would: no chance to clean up.
    void killNow()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }
    bool started() const { return m_pid > 0; }
    /// Reaps a child that ended, so that it is never signalled after its pid is reused.
    bool running() const
    {
        if (m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            m_pid = 0;
        return m_pid > 0;
    }

private:
    mutable pid_t m_pid = 0;
};

bool accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

/// GET on the server; the body, or nothing on failure.
std::optional<std::string> httpGet(const std::string& url, const std::string& userpwd = {})
{
    struct Collect : curl::Handler
    {
        std::string body;
        bool onHeader(std::string_view) override { return true; }
        bool onData(const std::uint8_t* d, std::size_t n) override
        {
            body.append(reinterpret_cast<const char*>(d), n);
            return true;
        }
        bool onProgress(std::int64_t) override { return true; }
    } collect;
    curl::Easy easy;
    easy.setOption(CURLOPT_URL, url.c_str());
    easy.setWriteHandler(collect);
    easy.setOption(CURLOPT_TIMEOUT, 5L);
    if (!userpwd.empty())
        easy.setOption(CURLOPT_USERPWD, userpwd.c_str());
    if (easy.perform() != CURLE_OK)
        return std::nullopt;
    return collect.body;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c))
            out += static_cast<char>(c);
        else {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%%%02X", c);
            out += buffer;
        }
    }
    return out;
}

/// A real Icecast server with a real source client feeding it songs in a loop.
class IcecastStation
{
public:
    IcecastStation(const TempDir& dir, const ByteVector& songs, Source source = Source::Mp3)
        : m_dir(dir), m_source(source)
    {
        // The server drops to nobody when started as root: it must reach its files.
        ::chmod(dir.path().c_str(), 0755);
        std::filesystem::create_directories(dir.file("log"));
        ::chmod(dir.file("log").c_str(), 0777);
        m_songs = dir.file(source == Source::Mp3   ? "songs.mp3"
                           : source == Source::Aac ? "songs.aac"
                                                   : "songs.ogg");
        writeFile(m_songs, std::string(songs.begin(), songs.end()));
        ::chmod(m_songs.c_str(), 0644);
        port = unusedLoopbackPort();
        base = "http://127.0.0.1:" + std::to_string(port);
        const bool root = ::getuid() == 0;
        writeFile(
            dir.file("icecast.xml"),
            "<icecast>\n"
            "  <limits><clients>20</clients><sources>2</sources><burst-size>16000</burst-size>"
            "</limits>\n"
            "  <authentication><source-password>sourcepw</source-password>"
            "<admin-user>admin</admin-user><admin-password>adminpw</admin-password>"
            "</authentication>\n"
            "  <hostname>127.0.0.1</hostname>\n"
            "  <listen-socket><port>" +
                std::to_string(port) +
                "</port><bind-address>127.0.0.1</bind-address></listen-socket>\n"
                "  <mount><mount-name>/stream</mount-name><stream-name>Icecast Test</stream-name>"
                "<genre>Integration</genre></mount>\n"
                "  <fileserve>1</fileserve>\n"
                "  <paths><basedir>/usr/share/icecast2</basedir><logdir>" +
                dir.file("log") +
                "</logdir><webroot>/usr/share/icecast2/web</webroot>"
                "<adminroot>/usr/share/icecast2/admin</adminroot></paths>\n"
                "  <logging><loglevel>2</loglevel></logging>\n"
                "  <security><chroot>0</chroot>" +
                std::string(root ? "<changeowner><user>nobody</user><group>nogroup</group>"
                                   "</changeowner>"
                                 : "") +
                "</security>\n"
                "</icecast>\n");
        ::chmod(dir.file("icecast.xml").c_str(), 0644);
        writeFile(dir.file("ezstream.xml"),
                  "<ezstream>\n"
                  "  <servers><server><protocol>HTTP</protocol><hostname>127.0.0.1</hostname>"
                  "<port>" +
                      std::to_string(port) +
                      "</port><user>source</user><password>sourcepw</password></server>"
                      "</servers>\n"
                      "  <streams><stream><mountpoint>/stream</mountpoint><format>MP3</format>"
                      "<stream_bitrate>128</stream_bitrate></stream></streams>\n"
                      "  <intakes><intake><type>file</type><filename>" +
                      m_songs +
                      "</filename><stream_once>No</stream_once></intake></intakes>\n"
                      "  <metadata><no_updates>Yes</no_updates></metadata>\n"
                      "</ezstream>\n");
        ::chmod(dir.file("ezstream.xml").c_str(), 0600);
    }

    /// Starts the server and its source; true once the stream is live. A loaded machine
    /// can take seconds for either; a source that gave up early is started again, as its
    /// operator would. What went wrong is in startFailure().
    bool start()
    {
        // Now and then a server started right after its predecessor was killed ends without
        // a word, at once or once it accepts; a few more launches get it going.
        for (int launch = 0; launch < 3; ++launch) {
            m_icecast = std::make_unique<Child>(
                std::vector<std::string>{kIcecast, "-c", m_dir.file("icecast.xml")});
            bool up = false;
            for (int i = 0; i < 400 && !up && m_icecast->running(); ++i) {
                std::this_thread::sleep_for(25ms);
                up = accepts(port);
            }
            if (!up) {
                m_problem = m_icecast->running() ? "the server does not accept on its port"
                                                 : "the server ended at start, three times";
                if (m_icecast->running())
                    return false;
                continue;
            }
            for (int i = 0; i < 400 && m_icecast->running(); ++i) {
                if (!m_ezstream || !m_ezstream->running())
                    m_ezstream = std::make_unique<Child>(sourceCommand());
                std::this_thread::sleep_for(25ms);
                const auto status = httpGet(base + "/status-json.xsl");
                if (status && status->find("\"listenurl\"") != std::string::npos)
                    return true;
            }
            if (m_icecast->running()) {
                m_problem = "the source never came on the air";
                return false;
            }
            m_problem = "the server ended before the source came on the air, three times";
        }
        return false;
    }
    /// Why start() failed, with the server's own log.
    std::string startFailure() const { return m_problem + "\n" + errorLog(); }
    /// Both die as in a crash.
    void kill()
    {
        if (m_ezstream)
            m_ezstream->killNow();
        if (m_icecast)
            m_icecast->killNow();
    }
    bool serverRunning() const { return m_icecast && m_icecast->running(); }
    std::string errorLog() const { return readFile(m_dir.file("log/error.log")); }

    std::uint16_t port = 0;
    std::string base;

private:
    std::vector<std::string> sourceCommand() const
    {
        const std::string mount = "127.0.0.1:" + std::to_string(port) + "/stream";
        switch (m_source) {
        case Source::Mp3:
            break;
        case Source::Aac:
            return {kFfmpeg,     "-nostdin",
                    "-v",        "error",
                    "-re",       "-stream_loop",
                    "-1",        "-f",
                    "aac",       "-i",
                    m_songs,     "-c",
                    "copy",      "-content_type",
                    "audio/aac", "-f",
                    "adts",      "icecast://source:sourcepw@" + mount};
        case Source::Ogg:
            return {kPython, ORVANTA_TEST_DATA_DIR "/engine/ogg_source.py",
                    "http://source:sourcepw@" + mount, m_songs};
        }
        return {kEzstream, "-q", "-c", m_dir.file("ezstream.xml")};
    }

    const TempDir& m_dir;
    Source m_source;
    std::string m_songs;
    std::unique_ptr<Child> m_icecast;
    std::unique_ptr<Child> m_ezstream;
    std::string m_problem;
};

bool toolsPresent()
{
    return ::access(kIcecast, X_OK) == 0 && ::access(kEzstream, X_OK) == 0 &&
           ::access(kFfmpeg, X_OK) == 0 && ::access(kPython, X_OK) == 0;
}

} // namespace

TEST(IcecastTest, RecordsTitlesPushedThroughTheAdminInterface)
{
    ASSERT_TRUE(toolsPresent())
        << "icecast2, ezstream, ffmpeg or python3 is not installed (scripts/install-deps.sh)";
    TempDir dir;
    IcecastStation station(dir, songStream({6.0, 6.0, 6.0}).audio);
    ASSERT_TRUE(station.start()) << "icecast2 did not start: " << station.startFailure();
    const std::string base = station.base;

    auto pushTitle = [&](const std::string& title) {
        const auto answer =
            httpGet(base + "/admin/metadata?mount=/stream&mode=updinfo&song=" + escaped(title),
                    "admin:adminpw");
        ASSERT_TRUE(answer) << "admin interface refused " << title;
    };
    pushTitle("Icecast Artist - First Song");
    TestPrefs prefs(dir.file("Music"));
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{base + "/stream"}},
                                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                                          {"NP_STREAMTITLE_PATTERN", 2},
                                          {"NP_LANGUAGE_ENCODING", 4}});
    recording.start();
    ASSERT_TRUE(recording.waitUntil(
        [&] { return recording.server().currentSong() == "Icecast Artist - First Song"; }, 10s));
    std::this_thread::sleep_for(3s);
    pushTitle("Icecast Artist - Second Song");
    ASSERT_TRUE(recording.waitUntil(
        [&] { return recording.server().currentSong() == "Icecast Artist - Second Song"; }, 10s));
    std::this_thread::sleep_for(2s);
    recording.stop();
    ASSERT_TRUE(recording.waitFinished(5s));

    const auto files = recording.completedFiles();
    ASSERT_GE(files.size(), 2u);
    const Dictionary first = files[files.size() - 2];
    const Dictionary second = files.back();
    EXPECT_EQ(first.get("STREAMTITLE").toString(), "Icecast Artist - First Song");
    EXPECT_EQ(std::filesystem::path(first.get("location").toString()).filename(),
              "Icecast Artist - First Song.mp3");
    EXPECT_TRUE(first.contains("dateCompleted"));
    EXPECT_EQ(second.get("STREAMTITLE").toString(), "Icecast Artist - Second Song");
    EXPECT_TRUE(second.contains("incomplete")) << "stopped during the second titled track";
    EXPECT_EQ(second.get("ID3TAGS").toDictionary().get("TPE1").toString(), "Icecast Artist");
    for (const auto& file : {first, second}) {
        std::string output;
        EXPECT_EQ(decodeWithMpg123(file.get("location").toString(), &output), 0) << output;
        EXPECT_GT(audioOfFile(file.get("location").toString()).size(), 16000u);
    }
    EXPECT_TRUE(station.serverRunning());
}

TEST(IcecastTest, ARecordingGoesOnThroughTwentyServerCrashes)
{
    ASSERT_TRUE(toolsPresent())
        << "icecast2, ezstream, ffmpeg or python3 is not installed (scripts/install-deps.sh)";
    TempDir dir;
    IcecastStation station(dir, songStream({20.0}).audio);
    ASSERT_TRUE(station.start()) << "icecast2 did not start: " << station.startFailure();
    TestPrefs prefs(dir.file("Music"));
    prefs.set("AutoReconnect", true);
    prefs.set("AutoReconnectWaitSeconds", 0);
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{station.base + "/stream"}}});
    recording.start();
    const auto began = std::chrono::steady_clock::now();
    std::chrono::duration<double> outages{0};
    constexpr int kCrashes = 20;
    for (int crash = 0; crash < kCrashes; ++crash) {
        recording.waitUntil([] { return false; }, 1500ms); // recording meanwhile
        const auto down = std::chrono::steady_clock::now();
        station.kill();
        ASSERT_TRUE(station.start()) << "restart " << crash << ": " << station.startFailure();
        outages += std::chrono::steady_clock::now() - down;
    }
    recording.waitUntil([] { return false; }, 1500ms);
    const std::chrono::duration<double> total = std::chrono::steady_clock::now() - began;
    recording.stop();
    ASSERT_TRUE(recording.waitFinished(10s));

    // Every file is either complete or marked incomplete, and each plays.
    const auto files = recording.completedFiles();
    ASSERT_GE(files.size(), static_cast<std::size_t>(kCrashes)) << "a file per connection";
    double recordedSeconds = 0;
    for (const Dictionary& file : files) {
        const std::string location = file.get("location").toString();
        EXPECT_TRUE(file.contains("dateCompleted") || file.contains("incomplete")) << location;
        std::string output;
        EXPECT_EQ(decodeWithMpg123(location, &output), 0) << location << ": " << output;
        recordedSeconds += static_cast<double>(audioOfFile(location).size()) / 16000.0;
    }
    // What the station sent while it was up is what should be on disc.
    const double expected = total.count() - outages.count();
    const double lostPerRestart = (expected - recordedSeconds) / kCrashes;
    std::printf("icecast crashes: %d restarts, %.1f s recording, %.1f s of outages, %.1f s "
                "recorded in %zu files: %.2f s of audio lost per restart beyond the outage\n",
                kCrashes, total.count(), outages.count(), recordedSeconds, files.size(),
                lostPerRestart);
    EXPECT_LT(lostPerRestart, 1.5);
}

TEST(IcecastTest, AnAacStationFedByFfmpegGetsAFilePerPushedTitle)
{
    ASSERT_TRUE(toolsPresent())
        << "icecast2, ezstream, ffmpeg or python3 is not installed (scripts/install-deps.sh)";
    TempDir dir;
    const ByteVector songs =
        encodeWithFfmpeg(pcmSongs({6.0, 6.0}, 1.0), dir, "-c:a aac -b:a 128k -f adts");
    IcecastStation station(dir, songs, Source::Aac);
    ASSERT_TRUE(station.start()) << "icecast2 did not start: " << station.startFailure();
    auto pushTitle = [&](const std::string& title) {
        const auto answer = httpGet(
            station.base + "/admin/metadata?mount=/stream&mode=updinfo&song=" + escaped(title),
            "admin:adminpw");
        ASSERT_TRUE(answer) << "admin interface refused " << title;
    };
    pushTitle("AAC Artist - First Song");
    TestPrefs prefs(dir.file("Music"));
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{station.base + "/stream"}},
                                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                                          {"NP_STREAMTITLE_PATTERN", 2},
                                          {"NP_LANGUAGE_ENCODING", 4}});
    recording.start();
    ASSERT_TRUE(recording.waitUntil(
        [&] { return recording.server().currentSong() == "AAC Artist - First Song"; }, 10s));
    std::this_thread::sleep_for(3s);
    pushTitle("AAC Artist - Second Song");
    ASSERT_TRUE(recording.waitUntil(
        [&] { return recording.server().currentSong() == "AAC Artist - Second Song"; }, 10s));
    std::this_thread::sleep_for(2s);
    recording.stop();
    ASSERT_TRUE(recording.waitFinished(5s));
    EXPECT_TRUE(recording.alerts().empty());

    const auto files = recording.completedFiles();
    ASSERT_GE(files.size(), 2u);
    const Dictionary first = files[files.size() - 2];
    const Dictionary second = files.back();
    EXPECT_EQ(std::filesystem::path(first.get("location").toString()).filename(),
              "AAC Artist - First Song.aac");
    EXPECT_TRUE(second.contains("incomplete")) << "stopped during the second titled track";
    for (const auto& file : {first, second}) {
        const std::string location = file.get("location").toString();
        AudioCheck check = checkAudio(location);
        EXPECT_EQ(check.codec, "aac") << location;
        EXPECT_EQ(check.errors, "") << location;
        EXPECT_GT(check.decoded, 1.0) << location;
        EXPECT_NEAR(check.container, check.decoded, check.frame) << location;
        EXPECT_EQ(check.tags["TPE1"], "AAC Artist") << location;
    }
    EXPECT_EQ(checkAudio(first.get("location").toString()).tags["TIT2"], "First Song");
}

TEST(IcecastTest, ChainedOggStationsGetAWholeFilePerSong)
{
    ASSERT_TRUE(toolsPresent())
        << "icecast2, ezstream, ffmpeg or python3 is not installed (scripts/install-deps.sh)";
    for (const std::string codec : {"vorbis", "opus"}) {
        TempDir dir;
        constexpr double kSongSeconds = 4.0;
        ByteVector chain;
        for (int song = 1; song <= 4; ++song) {
            const ByteVector link = oggLink(codec, "Ogg Artist " + std::to_string(song),
                                            "Song " + std::to_string(song), kSongSeconds);
            chain.insert(chain.end(), link.begin(), link.end());
        }
        IcecastStation station(dir, chain, Source::Ogg);
        ASSERT_TRUE(station.start()) << "icecast2 did not start: " << station.startFailure();
        TestPrefs prefs(dir.file("Music"));
        Recording recording(prefs,
                            Dictionary{{"NP_URLS_TO_VISIT", Array{station.base + "/stream"}}});
        recording.start();
        // The source ends after its last song, and the server ends the stream with it.
        ASSERT_TRUE(recording.waitFinished(40s)) << codec;
        EXPECT_TRUE(recording.alerts().empty()) << codec;

        const auto files = recording.completedFiles();
        const std::string extension = codec == "opus" ? ".opus" : ".ogg";
        std::map<std::string, Dictionary> byName;
        for (const Dictionary& file : files)
            byName[std::filesystem::path(file.get("location").toString()).filename()] = file;
        // The song playing when the recording joined may be cut; the ones after are whole.
        for (int song = 2; song <= 4; ++song) {
            const std::string name = "Ogg Artist " + std::to_string(song) + " - Song " +
                                     std::to_string(song) + extension;
            ASSERT_TRUE(byName.count(name)) << codec << ": no " << name;
            const std::string location = byName[name].get("location").toString();
            AudioCheck check = checkAudio(location);
            EXPECT_EQ(check.codec, codec) << location;
            EXPECT_EQ(check.errors, "") << location;
            EXPECT_NEAR(check.decoded, kSongSeconds, check.frame) << location;
            EXPECT_NEAR(check.container, check.decoded, check.frame) << location;
            EXPECT_EQ(check.tags["TITLE"], "Song " + std::to_string(song)) << location;
            EXPECT_EQ(check.tags["ARTIST"], "Ogg Artist " + std::to_string(song)) << location;
        }
    }
}

// An HLS station as a real web server serves it: files in a folder, the server's own types,
// keep-alive and caching headers, the playlist rewritten in place as the station goes on.
TEST(WebServerHlsTest, ATransportStreamStationServedByLighttpdIsRecordedSongBySong)
{
    constexpr const char* kLighttpd = "/usr/sbin/lighttpd";
    ASSERT_EQ(::access(kLighttpd, X_OK), 0)
        << "lighttpd is not installed (scripts/install-deps.sh)";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const ByteVector programme =
        encodeWithFfmpeg(pcmSongs({4.0, 4.0, 4.0}, 1.0), dir, "-c:a aac -b:a 128k -f adts");
    IcyTestServer unused;
    HlsTestStation station(
        unused, "/hls", programme, 44100, 1.0,
        {{0.0, "Artist A - One"}, {5.5, "Artist B - Two"}, {9.5, "Artist C - Three"}},
        SegmentKind::TransportStream);
    std::filesystem::create_directories(dir.file("www/hls"));
    const std::uint16_t port = unusedLoopbackPort();
    writeFile(dir.file("lighttpd.conf"),
              "server.document-root = \"" + dir.file("www") + "\"\n" +
                  "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(port) +
                  "\nserver.errorlog = \"" + dir.file("error.log") +
                  "\"\n"
                  "mimetype.assign = (\".m3u8\" => \"application/vnd.apple.mpegurl\", "
                  "\".ts\" => \"video/mp2t\")\n");
    // A live window that slides on once a second, written as a station's packager writes it
    // (the new playlist renamed over the old), then the end of the programme.
    const std::size_t window = 6;
    station.publishWindow(window - 1, window);
    station.writeFiles(dir.file("www"));
    Child server({kLighttpd, "-D", "-f", dir.file("lighttpd.conf")});
    for (int i = 0; i < 200 && !accepts(port); ++i)
        std::this_thread::sleep_for(25ms);
    ASSERT_TRUE(accepts(port)) << readFile(dir.file("error.log"));
    std::atomic<bool> done{false};
    std::thread live([&] {
        for (std::size_t last = window; last < station.segmentCount() && !done; ++last) {
            std::this_thread::sleep_for(1s);
            station.publishWindow(last, window);
            station.writeFiles(dir.file("www"));
        }
        station.publishWhole();
        station.writeFiles(dir.file("www"));
    });
    TestPrefs prefs(dir.file("Music"));
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/hls/";
    Recording recording(prefs, Dictionary{{"NP_URLS_TO_VISIT", Array{Value(base + "master.m3u8")}},
                                          {"NP_STREAMTITLE_SEPARATOR", "-"},
                                          {"NP_STREAMTITLE_PATTERN", 2}});
    recording.start();
    const bool finished = recording.waitFinished(60s);
    done = true;
    live.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(recording.alerts().empty());

    // Joined three target durations from the live edge: from the third segment (of 43
    // frames) on, every frame once, in the songs' files.
    ByteVector recorded;
    std::vector<std::string> names;
    for (const Dictionary& file : recording.completedFiles()) {
        const ByteVector audio = audioOfFile(file.get("location").toString());
        recorded.insert(recorded.end(), audio.begin(), audio.end());
        names.push_back(file.get("STREAMTITLE").toString());
        EXPECT_EQ(checkAudio(file.get("location").toString()).errors, "");
    }
    std::size_t from = 0;
    for (int frame = 0; frame < 2 * 43; ++frame)
        from += ((programme[from + 3] & 0x03u) << 11) | (programme[from + 4] << 3) |
                (programme[from + 5] >> 5);
    EXPECT_TRUE(recorded ==
                ByteVector(programme.begin() + static_cast<long>(from), programme.end()))
        << recorded.size() << " of " << programme.size() - from << " bytes";
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "Artist B - Two");
    EXPECT_EQ(names.back(), "Artist C - Three");
}
