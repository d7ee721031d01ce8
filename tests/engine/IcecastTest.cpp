// Records through the whole stream client from a real Icecast server fed by a real source
// client, with titles pushed through the server's admin interface.

#include "Easy.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "RecordingHarness.h"

#include <chrono>
#include <filesystem>
#include <fstream>
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
    bool started() const { return m_pid > 0; }
    bool running() const { return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }

private:
    pid_t m_pid = 0;
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

} // namespace

TEST(IcecastTest, RecordsTitlesPushedThroughTheAdminInterface)
{
    ASSERT_EQ(::access(kIcecast, X_OK), 0) << "icecast2 is not installed (scripts/install-deps.sh)";
    ASSERT_EQ(::access(kEzstream, X_OK), 0)
        << "ezstream is not installed (scripts/install-deps.sh)";
    TempDir dir;
    // The server drops to nobody when started as root: it must reach its files.
    ::chmod(dir.path().c_str(), 0755);
    std::filesystem::create_directories(dir.file("log"));
    ::chmod(dir.file("log").c_str(), 0777);

    const auto& songs = songStream({6.0, 6.0, 6.0});
    writeFile(dir.file("songs.mp3"), std::string(songs.audio.begin(), songs.audio.end()));
    ::chmod(dir.file("songs.mp3").c_str(), 0644);

    const std::uint16_t port = unusedLoopbackPort();
    const bool root = ::getuid() == 0;
    writeFile(
        dir.file("icecast.xml"),
        "<icecast>\n"
        "  "
        "<limits><clients>20</clients><sources>2</sources><burst-size>16000</burst-size></limits>\n"
        "  <authentication><source-password>sourcepw</source-password>"
        "<admin-user>admin</admin-user><admin-password>adminpw</admin-password></authentication>\n"
        "  <hostname>127.0.0.1</hostname>\n"
        "  <listen-socket><port>" +
            std::to_string(port) +
            "</port>"
            "<bind-address>127.0.0.1</bind-address></listen-socket>\n"
            "  <mount><mount-name>/stream</mount-name><stream-name>Icecast Test</stream-name>"
            "<genre>Integration</genre></mount>\n"
            "  <fileserve>1</fileserve>\n"
            "  <paths><basedir>/usr/share/icecast2</basedir><logdir>" +
            dir.file("log") +
            "</logdir><webroot>/usr/share/icecast2/web</webroot>"
            "<adminroot>/usr/share/icecast2/admin</adminroot></paths>\n"
            "  <logging><loglevel>2</loglevel></logging>\n"
            "  <security><chroot>0</chroot>" +
            std::string(root
                            ? "<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
                            : "") +
            "</security>\n"
            "</icecast>\n");
    ::chmod(dir.file("icecast.xml").c_str(), 0644);
    Child icecast({kIcecast, "-c", dir.file("icecast.xml")});
    ASSERT_TRUE(icecast.started());
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        std::this_thread::sleep_for(50ms);
        up = accepts(port);
    }
    ASSERT_TRUE(up) << "icecast2 did not start: " << readFile(dir.file("log/error.log"));

    writeFile(dir.file("ezstream.xml"),
              "<ezstream>\n"
              "  <servers><server><protocol>HTTP</protocol><hostname>127.0.0.1</hostname><port>" +
                  std::to_string(port) +
                  "</port><user>source</user><password>sourcepw</password></server></servers>\n"
                  "  <streams><stream><mountpoint>/stream</mountpoint><format>MP3</format>"
                  "<stream_bitrate>128</stream_bitrate></stream></streams>\n"
                  "  <intakes><intake><type>file</type><filename>" +
                  dir.file("songs.mp3") +
                  "</filename><stream_once>No</stream_once></intake></intakes>\n"
                  "  <metadata><no_updates>Yes</no_updates></metadata>\n"
                  "</ezstream>\n");
    ::chmod(dir.file("ezstream.xml").c_str(), 0600);
    Child ezstream({kEzstream, "-q", "-c", dir.file("ezstream.xml")});
    ASSERT_TRUE(ezstream.started());
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    bool live = false;
    for (int i = 0; i < 100 && !live; ++i) {
        std::this_thread::sleep_for(50ms);
        const auto status = httpGet(base + "/status-json.xsl");
        live = status && status->find("\"listenurl\"") != std::string::npos;
    }
    ASSERT_TRUE(live) << "the source did not connect: " << readFile(dir.file("log/error.log"));

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
    EXPECT_TRUE(icecast.running());
}
