#include "URLHelper.h"
#include "Global.h"
#include "IcyTestServer.h"
#include "MyOLVController.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const curl::Global g_curl;

struct FakePrefs : PreferencesReader
{
    Dictionary values{{"useproxy", false}};
    Value getPrefsForKey(std::string_view key) const override { return values.get(key); }
};

const std::string kPls = "[playlist]\nNumberOfEntries=1\nFile1=http://a.example/live\nTitle1=A\n";
const std::string kM3u = "#EXTM3U\nhttp://a.example/live\n";

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

IcyMount icecast(const std::string& contentType, std::vector<std::uint8_t> body)
{
    IcyMount mount;
    mount.style = IcyMount::Style::Icecast;
    mount.contentType = contentType;
    mount.audio = std::move(body);
    mount.sendContentLength = true;
    return mount;
}

// Frame sync bytes: what an MP3 stream's body starts with. Big enough that reading it all
// would show.
const std::vector<std::uint8_t> kAudio(4 * 1024 * 1024, 0xFF);

std::string str(const std::optional<Dictionary>& result, std::string_view key)
{
    return result ? result->get(key).toString() : "<no result>";
}

class URLHelperTest : public ::testing::Test
{
protected:
    std::optional<Dictionary> resolve(const std::string& path,
                                      const std::optional<std::string>& credentials = {})
    {
        return URLHelper::finalLocationOfRedirection(m_server.url(path), credentials, m_prefs);
    }

    IcyTestServer m_server;
    FakePrefs m_prefs;
};

} // namespace

TEST_F(URLHelperTest, PlaylistsByTypeAddressOrContentStreamsStopAtFirstData)
{
    struct Case
    {
        const char* path;
        const char* contentType;
        std::string body;
        PlaylistKind kind; // None: an audio stream
    };
    const Case cases[] = {
        {"/stream", "audio/mpeg", std::string(kAudio.begin(), kAudio.end()), PlaylistKind::None},
        {"/listen", "audio/x-scpls", kPls, PlaylistKind::PLS},
        {"/tune", "audio/x-mpegurl; charset=UTF-8", "http://a.example/live\n", PlaylistKind::M3U},
        {"/radio.pls", "text/plain", kPls, PlaylistKind::PLS},
        {"/Radio.M3U", "application/octet-stream", "http://a.example/x\n", PlaylistKind::M3U},
        {"/sniffed", "text/plain", "\r\n[Playlist]\nFile1=http://a/1\n", PlaylistKind::PLS},
        {"/sniffed2", "text/plain", kM3u, PlaylistKind::M3U},
        {"/notes", "text/plain", "just some text", PlaylistKind::None},
    };
    for (const auto& c : cases) {
        m_server.addMount(c.path, icecast(c.contentType, bytesOf(c.body)));
        const auto result = resolve(c.path);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(str(result, "location"), m_server.url(c.path)) << c.path;
        EXPECT_EQ(str(result, "content-type"), c.contentType) << c.path;
        EXPECT_EQ(URLHelper::playlistKindOfResult(*result), c.kind) << c.path;
        if (c.kind == PlaylistKind::None) {
            EXPECT_EQ(str(result, "shutdown"), "YES") << c.path;
            EXPECT_FALSE(result->contains("content")) << c.path;
        } else {
            EXPECT_EQ(str(result, "content"), c.body) << c.path;
            EXPECT_FALSE(result->contains("shutdown")) << c.path;
        }
    }
    ASSERT_FALSE(m_server.requests().empty());
    EXPECT_NE(m_server.requests()[0].find("User-Agent: iTunes/4.5\r\n"), std::string::npos);
}

TEST_F(URLHelperTest, IcyReplyIsAnAudioStreamEvenAtAPlaylistAddress)
{
    for (const std::string path : {"/live.pls", "/live.m3u", "/live"}) {
        IcyMount mount; // "ICY 200 OK"
        mount.audio = kAudio;
        m_server.addMount(path, mount);
        const auto result = resolve(path);
        ASSERT_TRUE(result) << path;
        EXPECT_EQ(str(result, "content-type"), "audio/mpeg") << path;
        EXPECT_EQ(str(result, "shutdown"), "YES") << path;
        EXPECT_FALSE(result->contains("content")) << path;
    }
}

TEST_F(URLHelperTest, RedirectsLeaveTheAbsoluteFinalAddress)
{
    m_server.addFile("/dir/list.pls", "audio/x-scpls", kPls);
    m_server.addFile("/dir/listen/list.m3u", "audio/x-mpegurl", kM3u);
    m_server.addMount("/dir/listen/stream", icecast("audio/mpeg", kAudio));
    struct Case
    {
        const char* path;
        std::string redirectTo;
        const char* finalPath;
    };
    const Case cases[] = {
        {"/go/absolute", m_server.url("/dir/list.pls"), "/dir/list.pls"},
        {"/dir/start.pls", "listen/stream", "/dir/listen/stream"},
        {"/dir/a.pls", "listen/list.m3u", "/dir/listen/list.m3u"},
        {"/x/y/hop", "/dir/b", "/dir/listen/stream"}, // /dir/b hops on, relative again
        {"/dir/b", "listen/stream", "/dir/listen/stream"},
    };
    for (const auto& c : cases) {
        IcyMount redirect;
        redirect.redirectTo = c.redirectTo;
        m_server.addMount(c.path, redirect);
    }
    for (const auto& c : cases) {
        const auto result = resolve(c.path);
        ASSERT_TRUE(result) << c.path;
        EXPECT_EQ(str(result, "location"), m_server.url(c.finalPath)) << c.path;
        EXPECT_TRUE(result->contains("content") != result->contains("shutdown")) << c.path;
    }
}

TEST_F(URLHelperTest, LocationHeaderOfAFinalReplyIsResolvedAgainstItsAddress)
{
    const std::pair<std::string, std::string> cases[] = {
        {"https://secure.example/list.pls", "https://secure.example/list.pls"},
        {"elsewhere/list.pls", m_server.url("/pls/elsewhere/list.pls")},
    };
    for (const auto& [header, location] : cases) {
        IcyMount mount = icecast("audio/x-scpls", bytesOf(kPls));
        mount.extraHeaders = {"Location: " + header};
        m_server.addMount("/pls/here", mount);
        const auto result = resolve("/pls/here");
        EXPECT_EQ(str(result, "location"), location);
        EXPECT_EQ(str(result, "content"), kPls);
    }
}

TEST_F(URLHelperTest, FailuresGiveNoResult)
{
    IcyMount loop;
    loop.redirectTo = "/loop";
    m_server.addMount("/loop", loop);
    IcyMount toFtp;
    toFtp.redirectTo = "ftp://127.0.0.1:" + std::to_string(m_server.port()) + "/list.pls";
    m_server.addMount("/to-ftp", toFtp);
    IcyMount toFile;
    toFile.redirectTo = "file:///etc/hostname";
    m_server.addMount("/to-file.pls", toFile);
    IcyMount toHttps;
    toHttps.redirectTo = "https://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x.pls";
    m_server.addMount("/to-https", toHttps);
    m_server.addFile("/empty.pls", "audio/x-scpls", "");

    const std::string refused = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort());
    const auto started = std::chrono::steady_clock::now();
    for (const std::string& address :
         {refused + "/list.pls", m_server.url("/loop"), m_server.url("/to-ftp"),
          m_server.url("/to-file.pls"), m_server.url("/to-https"), m_server.url("/empty.pls"),
          std::string("file:///etc/hostname"), "127.0.0.1:" + std::to_string(m_server.port())})
        EXPECT_FALSE(URLHelper::finalLocationOfRedirection(address, m_prefs)) << address;
    // Following the ftp target would sit waiting for a greeting our HTTP server never sends.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // The first request and ten redirects.
    const auto requests = m_server.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const std::string& r) { return r.starts_with("GET /loop "); }),
              11);
}

TEST_F(URLHelperTest, CredentialsLongerThanTwoCharactersAreSent)
{
    IcyMount secured = icecast("audio/x-scpls", bytesOf(kPls));
    secured.user = "dj";
    secured.password = "s3cret";
    m_server.addMount("/secure.pls", secured);
    struct Case
    {
        std::optional<std::string> credentials;
        bool sent;
        bool accepted;
    };
    const Case cases[] = {
        {"dj:s3cret", true, true}, {"dj:wrong", true, false}, {std::nullopt, false, false},
        {":", false, false},       {"d:", false, false},
    };
    for (const auto& c : cases) {
        const auto result = resolve("/secure.pls", c.credentials);
        const std::string request = m_server.requests().back();
        const auto label = c.credentials.value_or("<none>");
        EXPECT_EQ(request.find("Authorization: Basic ") != std::string::npos, c.sent) << label;
        EXPECT_EQ(str(result, "content") == kPls, c.accepted) << label;
    }
}

TEST_F(URLHelperTest, PlaylistBodyIsBoundedAndKeptWhenCutShort)
{
    const std::string huge(URLHelper::kMaxPlaylistBytes + 100'000, 'x');
    m_server.addFile("/huge.pls", "audio/x-scpls", huge);
    EXPECT_EQ(str(resolve("/huge.pls"), "content"), huge.substr(0, URLHelper::kMaxPlaylistBytes));

    IcyMount cut = icecast("audio/x-scpls", bytesOf(kPls));
    cut.closeAfterBodyBytes = 30;
    m_server.addMount("/cut.pls", cut);
    EXPECT_EQ(str(resolve("/cut.pls"), "content"), kPls.substr(0, 30));

    m_server.addFile("/latin.pls", "audio/x-scpls", "Title1=Caf\xE9\n");
    EXPECT_EQ(str(resolve("/latin.pls"), "content"), "Title1=Caf\xC3\xA9\n");
}

TEST_F(URLHelperTest, GoesThroughTheChosenProxy)
{
    IcyTestProxy proxy;
    m_prefs.values = {{"useproxy", true}, {"proxyhost", "127.0.0.1"}, {"proxyport", proxy.port()}};
    m_server.addFile("/list.pls", "audio/x-scpls", kPls);
    EXPECT_EQ(str(resolve("/list.pls"), "content"), kPls);
    EXPECT_EQ(proxy.requestedUrls(), std::vector<std::string>{m_server.url("/list.pls")});
}

TEST_F(URLHelperTest, ADroppedPlaylistGoesThroughTheProxyAndAFailureSaysWhy)
{
    IcyTestProxy proxy;
    m_prefs.values = {{"useproxy", true}, {"proxyhost", "127.0.0.1"}, {"proxyport", proxy.port()}};
    m_server.addFile("/list.pls", "audio/x-scpls", kPls);
    std::string error;
    EXPECT_EQ(MyOLVController::fetchDroppedPlaylist(m_server.url("/list.pls"), &m_prefs, error),
              kPls);
    EXPECT_EQ(proxy.requestedUrls(), std::vector<std::string>{m_server.url("/list.pls")});

    EXPECT_EQ(MyOLVController::fetchDroppedPlaylist(m_server.url("/gone.pls"), &m_prefs, error),
              std::nullopt);
    EXPECT_NE(error.find("404"), std::string::npos) << error;
    m_prefs.values = {{"useproxy", false}};
    error.clear();
    EXPECT_EQ(
        MyOLVController::fetchDroppedPlaylist(
            "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/x.pls", &m_prefs, error),
        std::nullopt);
    EXPECT_FALSE(error.empty()) << "a refused connection says so";
}

TEST_F(URLHelperTest, ConcurrentCallsShareNothing)
{
    constexpr int kThreads = 4;
    std::vector<std::optional<Dictionary>> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        const std::string path = "/list" + std::to_string(i) + ".pls";
        m_server.addFile(path, "audio/x-scpls", "File1=http://a/" + std::to_string(i) + "\n");
        threads.emplace_back([this, i, path, &results] { results[i] = resolve(path); });
    }
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(str(results[i], "content"), "File1=http://a/" + std::to_string(i) + "\n");
}

TEST(URLHelperRulesTest, ResolveLocation)
{
    const std::string base = "http://list.pls.example:8000/dir/list.pls";
    const std::pair<const char*, const char*> cases[] = {
        {"listen/stream", "http://list.pls.example:8000/dir/listen/stream"},
        {" listen \r\n", "http://list.pls.example:8000/dir/listen"},
        {"../up", "http://list.pls.example:8000/up"},
        {"/root/x", "http://list.pls.example:8000/root/x"},
        {"//cdn.example/live", "http://cdn.example/live"},
        {"?id=2", "http://list.pls.example:8000/dir/list.pls?id=2"},
        {"https://Other.example/X", "https://Other.example/X"},
        {"HTTP://Other.example/X", "HTTP://Other.example/X"},
    };
    for (const auto& [location, expected] : cases)
        EXPECT_EQ(URLHelper::resolveLocation(base, location), expected) << location;
}

TEST(URLHelperRulesTest, PlaylistKindOfContentType)
{
    const std::pair<const char*, PlaylistKind> cases[] = {
        {"audio/x-mpegurl", PlaylistKind::M3U},
        {"audio/mpegurl", PlaylistKind::M3U},
        {"audio/x-mpeg-url", PlaylistKind::M3U},
        {"audio/mpeg-url", PlaylistKind::M3U},
        {"audio/x-m3u", PlaylistKind::M3U},
        {"audio/m3u", PlaylistKind::M3U},
        {"audio/x-scpls", PlaylistKind::PLS},
        {"audio/scpls", PlaylistKind::PLS},
        {"Audio/X-SCPLS", PlaylistKind::PLS},
        {" audio/scpls extra", PlaylistKind::PLS},
        {"audio/m3u;charset=utf-8", PlaylistKind::M3U},
        {"audio/mpeg", PlaylistKind::None},
        {"audio/x-scpls-not", PlaylistKind::None},
        {"text/plain", PlaylistKind::None},
        {"", PlaylistKind::None},
    };
    for (const auto& [type, kind] : cases)
        EXPECT_EQ(URLHelper::playlistKindOfContentType(type), kind) << type;
}
