// Self-tests of the test ICY server and proxy. The client side is plain sockets.

#include "IcyTestServer.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta::test;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A blocking loopback client with timeouts on every read.
class Client
{
public:
    explicit Client(std::uint16_t port)
    {
        m_fd = connectToLoopback(port);
        m_connected = m_fd >= 0;
        m_connectErrno = m_connected ? 0 : errno;
    }
    ~Client() { close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool connected() const { return m_connected; }
    int connectErrno() const { return m_connectErrno; }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool send(const std::string& text)
    {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::send(m_fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    enum class Event { Data, Eof, Timeout };

    // Waits up to timeoutMs for bytes (appended to the pending buffer) or the end of the stream.
    Event receive(int timeoutMs)
    {
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, timeoutMs) <= 0)
            return Event::Timeout;
        char buffer[16384];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            m_eof = true;
            return Event::Eof;
        }
        m_pending.append(buffer, static_cast<std::size_t>(n));
        return Event::Data;
    }

    // The response head (through the blank line); the bytes after it stay pending.
    std::string readHead(int timeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto end = m_pending.find("\r\n\r\n");
            if (end != std::string::npos) {
                std::string head = m_pending.substr(0, end + 4);
                m_pending.erase(0, end + 4);
                return head;
            }
            if (Clock::now() >= deadline || receive(remaining(deadline)) != Event::Data)
                return {};
        }
    }

    // Up to count body bytes: fewer when the stream ends or the time runs out.
    std::string read(std::size_t count, int timeoutMs = 5000)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pending.size() < count && !m_eof && Clock::now() < deadline) {
            if (receive(remaining(deadline)) == Event::Timeout)
                break;
        }
        const std::size_t take = std::min(count, m_pending.size());
        std::string out = m_pending.substr(0, take);
        m_pending.erase(0, take);
        return out;
    }

    std::string readToEnd(int timeoutMs = 5000) { return read(SIZE_MAX, timeoutMs); }

    bool eof() const { return m_eof; }
    std::size_t pendingBytes() const { return m_pending.size(); }

private:
    static int remaining(Clock::time_point deadline)
    {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::max<long long>(ms, 0));
    }

    int m_fd = -1;
    bool m_connected = false;
    int m_connectErrno = 0;
    bool m_eof = false;
    std::string m_pending;
};

std::string getRequest(const std::string& path, const std::vector<std::string>& headers = {},
                       const std::string& method = "GET")
{
    std::string out =
        method + " " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: iTunes/4.5\r\n";
    for (const auto& line : headers)
        out += line + "\r\n";
    return out + "\r\n";
}

const std::vector<std::string> kAskMetadata = {"Icy-MetaData: 1"};

struct Response
{
    std::string head, body;
    bool eof = false;
};

Response fetch(std::uint16_t port, const std::string& path,
               const std::vector<std::string>& headers = {}, std::size_t maxBody = SIZE_MAX,
               int timeoutMs = 5000)
{
    Client client(port);
    Response response;
    if (!client.connected() || !client.send(getRequest(path, headers)))
        return response;
    response.head = client.readHead(timeoutMs);
    response.body = client.read(maxBody, timeoutMs);
    response.eof = client.eof();
    return response;
}

bool hasLine(const std::string& head, const std::string& line)
{
    return head.find("\r\n" + line + "\r\n") != std::string::npos;
}

bool hasHeaderName(const std::string& head, const std::string& name)
{
    return head.find("\r\n" + name + ":") != std::string::npos;
}

// Distinct bytes (period 251) so that misplaced audio shows.
std::vector<std::uint8_t> testAudio(std::size_t size)
{
    std::vector<std::uint8_t> audio(size);
    for (std::size_t i = 0; i < size; ++i)
        audio[i] = static_cast<std::uint8_t>((i * 7 + i / 251) % 256);
    return audio;
}

std::string asString(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

struct MetaBlock
{
    std::uint64_t afterAudioByte = 0;
    int length = 0;    // L
    std::string bytes; // the L × 16 bytes
    std::string text() const { return bytes.substr(0, bytes.find('\0')); }
};

struct Demuxed
{
    std::string audio;
    std::vector<MetaBlock> blocks;
    bool truncated = false; // the body ends inside a metadata block
};

Demuxed demux(const std::string& body, std::size_t metaint)
{
    Demuxed out;
    std::size_t i = 0;
    while (i < body.size()) {
        const std::size_t take = std::min(metaint, body.size() - i);
        out.audio += body.substr(i, take);
        i += take;
        if (take < metaint || i == body.size())
            break;
        MetaBlock block;
        block.afterAudioByte = out.audio.size();
        block.length = static_cast<unsigned char>(body[i]);
        ++i;
        if (i + block.length * 16u > body.size()) {
            out.truncated = true;
            break;
        }
        block.bytes = body.substr(i, block.length * 16u);
        i += block.length * 16u;
        out.blocks.push_back(block);
    }
    return out;
}

std::string wrapped(const std::string& title)
{
    return "StreamTitle='" + title + "';StreamUrl='';";
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Status lines and headers

TEST(IcyTestServer, ShoutcastStatusLineAndHeaders)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(3000);
    mount.metaint = 1000;
    mount.name = "Station X";
    mount.genre = "Jazz";
    mount.url = "http://example.org/";
    mount.bitrate = 96;
    mount.extraHeaders = {"X-Extra: yes"};
    server.addMount("/stream", mount);

    const Response response = fetch(server.port(), "/stream", kAskMetadata);
    const std::string& head = response.head;
    ASSERT_EQ(head.rfind("ICY 200 OK\r\n", 0), 0u) << head;
    EXPECT_TRUE(hasHeaderName(head, "icy-notice1")) << head;
    EXPECT_TRUE(hasLine(head, "icy-name:Station X")) << head;
    EXPECT_TRUE(hasLine(head, "icy-genre:Jazz")) << head;
    EXPECT_TRUE(hasLine(head, "icy-url:http://example.org/")) << head;
    EXPECT_TRUE(hasLine(head, "content-type:audio/mpeg")) << head;
    EXPECT_TRUE(hasLine(head, "icy-pub:1")) << head;
    EXPECT_TRUE(hasLine(head, "icy-br:96")) << head;
    EXPECT_TRUE(hasLine(head, "icy-metaint:1000")) << head;
    EXPECT_TRUE(hasLine(head, "X-Extra: yes")) << head;
    EXPECT_FALSE(hasHeaderName(head, "Content-Length")) << head;
    // Every line ends with CRLF.
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\n') {
            EXPECT_TRUE(i > 0 && head[i - 1] == '\r') << "bare LF at " << i;
        }
    }
    EXPECT_TRUE(response.eof);
    EXPECT_EQ(response.body.size(), 3000u + 3u); // three periods, three empty blocks
}

TEST(IcyTestServer, IcecastStatusLineAndHeaders)
{
    IcyTestServer server;
    IcyMount mount;
    mount.style = IcyMount::Style::Icecast;
    mount.audio = testAudio(500);
    mount.metaint = 8192;
    server.addMount("/live", mount);

    const Response response = fetch(server.port(), "/live", kAskMetadata);
    const std::string& head = response.head;
    ASSERT_EQ(head.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << head;
    EXPECT_TRUE(hasLine(head, "Content-Type: audio/mpeg")) << head;
    EXPECT_TRUE(hasLine(head, "icy-name:Test Station")) << head;
    EXPECT_TRUE(hasLine(head, "icy-genre:Test")) << head;
    EXPECT_TRUE(hasLine(head, "icy-br:128")) << head;
    EXPECT_TRUE(hasLine(head, "icy-metaint:8192")) << head;
    EXPECT_TRUE(hasLine(head, "Server: Icecast 2.4.4")) << head;
    EXPECT_FALSE(hasHeaderName(head, "icy-url")) << "empty url is left out: " << head;
    EXPECT_FALSE(hasHeaderName(head, "icy-notice1")) << head;
    EXPECT_EQ(response.body, asString(mount.audio)); // shorter than one period: no block
}

TEST(IcyTestServer, HeadRequestGetsHeadOnly)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(5000);
    mount.loop = true;
    server.addMount("/stream", mount);
    Client client(server.port());
    ASSERT_TRUE(client.send(getRequest("/stream", {}, "HEAD")));
    EXPECT_EQ(client.readHead().rfind("ICY 200 OK\r\n", 0), 0u);
    EXPECT_EQ(client.readToEnd(), "");
    EXPECT_TRUE(client.eof());
}

// ---------------------------------------------------------------------------------------------
// Metadata framing

TEST(IcyTestServer, FramesMetadataWithTitlesAtChosenOffsets)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(10100);
    mount.metaint = 1000;
    mount.titles = {
        {0, "First"}, {2500, "Skipped"}, {2600, "Second"}, {7000, "Third"}, {20000, "Never"}};
    server.addMount("/stream", mount);

    const Response response = fetch(server.port(), "/stream", kAskMetadata);
    ASSERT_TRUE(response.eof);
    const Demuxed d = demux(response.body, 1000);
    EXPECT_FALSE(d.truncated);
    EXPECT_EQ(d.audio, asString(mount.audio));
    ASSERT_EQ(d.blocks.size(), 10u);
    const std::vector<std::string> expected = {
        wrapped("First"), "", wrapped("Second"), "", "", "", wrapped("Third"), "", "", ""};
    for (std::size_t k = 0; k < d.blocks.size(); ++k) {
        SCOPED_TRACE("block " + std::to_string(k));
        EXPECT_EQ(d.blocks[k].afterAudioByte, (k + 1) * 1000);
        EXPECT_EQ(d.blocks[k].text(), expected[k]);
        EXPECT_EQ(d.blocks[k].length, static_cast<int>((expected[k].size() + 15) / 16));
        // Zero padding after the text.
        EXPECT_EQ(d.blocks[k].bytes.find_first_not_of('\0', expected[k].size()), std::string::npos);
    }
    // The first length byte sits right after metaint audio bytes.
    EXPECT_EQ(static_cast<unsigned char>(response.body[1000]), (wrapped("First").size() + 15) / 16);
}

TEST(IcyTestServer, RepeatTitleSendsTheCurrentTitleInEveryBlock)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(5000);
    mount.metaint = 1000;
    mount.repeatTitle = true;
    mount.titles = {{1500, "One"}, {3000, "Two"}};
    server.addMount("/stream", mount);

    const Demuxed d = demux(fetch(server.port(), "/stream", kAskMetadata).body, 1000);
    ASSERT_EQ(d.blocks.size(), 5u);
    EXPECT_EQ(d.blocks[0].length, 0); // before the first title
    EXPECT_EQ(d.blocks[1].text(), wrapped("One"));
    EXPECT_EQ(d.blocks[2].text(), wrapped("Two"));
    EXPECT_EQ(d.blocks[3].text(), wrapped("Two"));
    EXPECT_EQ(d.blocks[4].text(), wrapped("Two"));
    EXPECT_EQ(d.audio, asString(mount.audio));
}

TEST(IcyTestServer, RawMetadataIsSentAsIsPaddedToSixteen)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(2000);
    mount.metaint = 1000;
    const std::string garbage =
        std::string("\xff\xfeStreamTitle='broken", 20) + std::string(3, '\x01');
    mount.titles = {{0, garbage, true}};
    server.addMount("/stream", mount);

    const Demuxed d = demux(fetch(server.port(), "/stream", kAskMetadata).body, 1000);
    ASSERT_EQ(d.blocks.size(), 2u);
    EXPECT_EQ(d.blocks[0].length, 2);
    EXPECT_EQ(d.blocks[0].bytes, garbage + std::string(32 - garbage.size(), '\0'));
    EXPECT_EQ(d.blocks[1].length, 0);
}

TEST(IcyTestServer, LongTitlesAreCutToLengthByte255)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(3000);
    mount.metaint = 1000;
    mount.titles = {{0, std::string(5000, 'x')}, {1500, std::string(5000, 'y'), true}};
    server.addMount("/stream", mount);

    const Response response = fetch(server.port(), "/stream", kAskMetadata);
    EXPECT_EQ(static_cast<unsigned char>(response.body[1000]), 255);
    const Demuxed d = demux(response.body, 1000);
    ASSERT_EQ(d.blocks.size(), 3u);
    EXPECT_EQ(d.blocks[0].length, 255);
    EXPECT_EQ(d.blocks[0].bytes.size(), 4080u);
    EXPECT_EQ(d.blocks[0].bytes, wrapped(std::string(4080 - 28, 'x'))); // the wrapper stays whole
    EXPECT_EQ(d.blocks[1].length, 255);
    EXPECT_EQ(d.blocks[1].bytes, std::string(4080, 'y'));
    EXPECT_EQ(d.blocks[2].length, 0);
    EXPECT_EQ(d.audio, asString(mount.audio));
}

TEST(IcyTestServer, NoFramingWithoutIcyMetaDataRequest)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(5000);
    mount.metaint = 1000;
    mount.titles = {{0, "Title"}};
    server.addMount("/stream", mount);

    const Response plain = fetch(server.port(), "/stream");
    EXPECT_FALSE(hasHeaderName(plain.head, "icy-metaint")) << plain.head;
    EXPECT_EQ(plain.body, asString(mount.audio));

    const Response zero = fetch(server.port(), "/stream", {"Icy-MetaData: 0"});
    EXPECT_FALSE(hasHeaderName(zero.head, "icy-metaint")) << zero.head;
    EXPECT_EQ(zero.body, asString(mount.audio));

    // Header names are case-insensitive.
    const Response lowerCase = fetch(server.port(), "/stream", {"icy-metadata:1"});
    EXPECT_TRUE(hasLine(lowerCase.head, "icy-metaint:1000")) << lowerCase.head;
    EXPECT_EQ(lowerCase.body.size(), 5000u + 5u + 48u);
}

TEST(IcyTestServer, FramesWithoutAskingWhenConfigured)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(2000);
    mount.metaint = 1000;
    mount.metadataOnlyWhenAsked = false;
    server.addMount("/stream", mount);

    const Response response = fetch(server.port(), "/stream");
    EXPECT_TRUE(hasLine(response.head, "icy-metaint:1000")) << response.head;
    EXPECT_EQ(response.body.size(), 2002u);
}

TEST(IcyTestServer, MetaintHeaderNameAndFakeValue)
{
    IcyTestServer server;
    IcyMount framed;
    framed.audio = testAudio(2000);
    framed.metaint = 1000;
    framed.metaintHeaderName = "Icy-MetaInt";
    server.addMount("/named", framed);

    IcyMount fake = framed;
    fake.metaintHeaderName = "icy-metaint";
    fake.metaintHeaderValue = "abc";
    server.addMount("/fake", fake);

    IcyMount noMetaint;
    noMetaint.audio = testAudio(2000);
    noMetaint.metaintHeaderValue = "70000";
    server.addMount("/bogus", noMetaint);

    IcyMount realValue = framed;
    realValue.metaintHeaderValue = "1000";
    server.addMount("/real", realValue);

    const Response named = fetch(server.port(), "/named", kAskMetadata);
    EXPECT_TRUE(hasLine(named.head, "Icy-MetaInt:1000")) << named.head;
    EXPECT_EQ(named.body.size(), 2002u);

    const Response fakeResponse = fetch(server.port(), "/fake", kAskMetadata);
    EXPECT_TRUE(hasLine(fakeResponse.head, "icy-metaint:abc")) << fakeResponse.head;
    EXPECT_EQ(fakeResponse.body, asString(framed.audio));

    const Response bogus = fetch(server.port(), "/bogus", kAskMetadata);
    EXPECT_TRUE(hasLine(bogus.head, "icy-metaint:70000")) << bogus.head;
    EXPECT_EQ(bogus.body, asString(noMetaint.audio));

    const Response real = fetch(server.port(), "/real", kAskMetadata);
    EXPECT_TRUE(hasLine(real.head, "Icy-MetaInt:1000")) << real.head;
    EXPECT_EQ(real.body.size(), 2002u);
}

TEST(IcyTestServer, EveryConnectionStartsAtByteZeroWithItsOwnSchedule)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(3000);
    mount.metaint = 1000;
    mount.titles = {{0, "A"}, {2000, "B"}};
    server.addMount("/stream", mount);
    const std::string first = fetch(server.port(), "/stream", kAskMetadata).body;
    const std::string second = fetch(server.port(), "/stream", kAskMetadata).body;
    EXPECT_EQ(first, second);
    const Demuxed d = demux(second, 1000);
    ASSERT_EQ(d.blocks.size(), 3u);
    EXPECT_EQ(d.blocks[0].text(), wrapped("A"));
    EXPECT_EQ(d.blocks[1].text(), wrapped("B"));
    EXPECT_EQ(d.blocks[2].length, 0);
}

TEST(IcyTestServer, LoopRepeatsAudioAndTheTitleScheduleOnEveryPass)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(2500);
    mount.loop = true;
    mount.metaint = 1000;
    mount.titles = {{0, "A"}, {1200, "B"}};
    server.addMount("/stream", mount);

    Client client(server.port());
    ASSERT_TRUE(client.send(getRequest("/stream", kAskMetadata)));
    ASSERT_FALSE(client.readHead().empty());
    // Seven periods and their blocks (all titles are one 16-byte block long).
    const std::string body = client.read(7 * 1000 + 7 * 33);
    const Demuxed d = demux(body, 1000);
    ASSERT_GE(d.blocks.size(), 7u);
    const std::vector<std::string> expected = {"A", "B", "A", "B", "A", "", "B"};
    for (std::size_t k = 0; k < 7; ++k)
        EXPECT_EQ(d.blocks[k].text(), expected[k].empty() ? "" : wrapped(expected[k]))
            << "block " << k;
    std::string looped;
    while (looped.size() < d.audio.size())
        looped += asString(mount.audio);
    EXPECT_EQ(d.audio, looped.substr(0, d.audio.size()));
}

// ---------------------------------------------------------------------------------------------
// Other responses

TEST(IcyTestServer, BasicAuthentication)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(100);
    mount.user = "alice";
    mount.password = "secret";
    server.addMount("/private", mount);

    const Response none = fetch(server.port(), "/private");
    EXPECT_EQ(none.head.rfind("HTTP/1.0 401 ", 0), 0u) << none.head;
    EXPECT_TRUE(hasHeaderName(none.head, "WWW-Authenticate")) << none.head;

    const Response wrong =
        fetch(server.port(), "/private", {"Authorization: Basic YWxpY2U6d3Jvbmc="});
    EXPECT_EQ(wrong.head.rfind("HTTP/1.0 401 ", 0), 0u) << wrong.head;

    // base64("alice:secret")
    const Response right =
        fetch(server.port(), "/private", {"Authorization: Basic YWxpY2U6c2VjcmV0"});
    EXPECT_EQ(right.head.rfind("ICY 200 OK\r\n", 0), 0u) << right.head;
    EXPECT_EQ(right.body, asString(mount.audio));
}

TEST(IcyTestServer, RedirectAnswers302WithLocation)
{
    IcyTestServer server;
    IcyMount redirect;
    redirect.redirectTo = "/real";
    server.addMount("/old", redirect);
    IcyMount absolute;
    absolute.redirectTo = server.url("/real");
    absolute.statusCode = 301;
    server.addMount("/moved", absolute);

    const Response relative = fetch(server.port(), "/old");
    EXPECT_EQ(relative.head.rfind("HTTP/1.0 302 Found\r\n", 0), 0u) << relative.head;
    EXPECT_TRUE(hasLine(relative.head, "Location: /real")) << relative.head;

    const Response moved = fetch(server.port(), "/moved");
    EXPECT_EQ(moved.head.rfind("HTTP/1.0 301 ", 0), 0u) << moved.head;
    EXPECT_TRUE(hasLine(moved.head, "Location: " + server.url("/real"))) << moved.head;
}

TEST(IcyTestServer, UnknownPathAndConfiguredErrors)
{
    IcyTestServer server;
    IcyMount busy;
    busy.statusCode = 503;
    server.addMount("/busy", busy);
    IcyMount mount;
    mount.audio = testAudio(10);
    server.addMount("/stream", mount);

    const Response missing = fetch(server.port(), "/nothing");
    EXPECT_EQ(missing.head.rfind("HTTP/1.0 404 Not Found\r\n", 0), 0u) << missing.head;
    EXPECT_FALSE(missing.body.empty());
    EXPECT_TRUE(missing.eof);

    const Response unavailable = fetch(server.port(), "/busy");
    EXPECT_EQ(unavailable.head.rfind("HTTP/1.0 503 Service Unavailable\r\n", 0), 0u)
        << unavailable.head;

    // The query string does not take part in the lookup.
    const Response query = fetch(server.port(), "/stream?type=.mp3");
    EXPECT_EQ(query.head.rfind("ICY 200 OK\r\n", 0), 0u) << query.head;

    server.removePath("/stream");
    EXPECT_EQ(fetch(server.port(), "/stream").head.rfind("HTTP/1.0 404 ", 0), 0u);
}

TEST(IcyTestServer, ContentLengthIsTheWholeBodySize)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(4321);
    mount.metaint = 1000;
    mount.titles = {{0, "A"}, {2500, std::string(100, 'z')}};
    mount.sendContentLength = true;
    server.addMount("/stream", mount);

    const Response framed = fetch(server.port(), "/stream", kAskMetadata);
    const std::string expected = "Content-Length: " + std::to_string(framed.body.size());
    EXPECT_TRUE(hasLine(framed.head, expected)) << framed.head;
    EXPECT_EQ(framed.body.size(), 4321u + 4u + 32u + 128u);

    const Response plain = fetch(server.port(), "/stream");
    EXPECT_TRUE(hasLine(plain.head, "Content-Length: 4321")) << plain.head;
    EXPECT_EQ(plain.body.size(), 4321u);
}

TEST(IcyTestServer, AddFileServesAPlainResponse)
{
    IcyTestServer server;
    const std::string playlist = "[playlist]\nNumberOfEntries=1\nFile1=" + server.url() + "\n";
    server.addFile("/listen.pls", "audio/x-scpls", playlist);
    const Response response = fetch(server.port(), "/listen.pls");
    EXPECT_EQ(response.head.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << response.head;
    EXPECT_TRUE(hasLine(response.head, "Content-Type: audio/x-scpls")) << response.head;
    EXPECT_TRUE(hasLine(response.head, "Content-Length: " + std::to_string(playlist.size())))
        << response.head;
    EXPECT_EQ(response.body, playlist);
    EXPECT_TRUE(response.eof);
}

TEST(IcyTestServer, AddMountReplacesAnExistingOne)
{
    IcyTestServer server;
    IcyMount first;
    first.audio = testAudio(10);
    server.addMount("/stream", first);
    IcyMount second;
    second.audio = testAudio(20);
    second.style = IcyMount::Style::Icecast;
    server.addMount("/stream", second);
    const Response response = fetch(server.port(), "/stream");
    EXPECT_EQ(response.head.rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
    EXPECT_EQ(response.body.size(), 20u);
}

TEST(IcyTestServer, OversizedRequestHeadGets400)
{
    IcyTestServer server;
    Client client(server.port());
    ASSERT_TRUE(
        client.send("GET /stream HTTP/1.0\r\nX-Big: " + std::string(20000, 'a') + "\r\n\r\n"));
    EXPECT_EQ(client.readHead().rfind("HTTP/1.0 400 ", 0), 0u);
    client.readToEnd();
    EXPECT_TRUE(client.eof());
}

TEST(IcyTestServer, HeaderDelay)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(10);
    mount.headerDelayMs = 300;
    server.addMount("/stream", mount);
    const auto start = Clock::now();
    const Response response = fetch(server.port(), "/stream");
    EXPECT_GE(secondsSince(start), 0.28);
    EXPECT_EQ(response.head.rfind("ICY 200 OK\r\n", 0), 0u);
}

TEST(IcyTestServer, RecordsRequestsAndCountsConnections)
{
    IcyTestServer server;
    EXPECT_EQ(server.url(), "http://127.0.0.1:" + std::to_string(server.port()) + "/stream");
    EXPECT_EQ(server.url("/a.pls"), "http://127.0.0.1:" + std::to_string(server.port()) + "/a.pls");
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_FALSE(server.waitForConnections(1, 50));
    fetch(server.port(), "/one", kAskMetadata);
    fetch(server.port(), "/two");
    EXPECT_TRUE(server.waitForConnections(2, 1000));
    EXPECT_EQ(server.connectionCount(), 2);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], getRequest("/one", kAskMetadata));
    EXPECT_EQ(requests[1], getRequest("/two"));
}

// ---------------------------------------------------------------------------------------------
// Delivery: stall, close, pacing, dropping

TEST(IcyTestServer, StallKeepsTheConnectionOpenWithoutSending)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(5000);
    mount.loop = true;
    mount.stallAfterBodyBytes = 1234;
    server.addMount("/stream", mount);
    Client client(server.port());
    ASSERT_TRUE(client.send(getRequest("/stream")));
    ASSERT_FALSE(client.readHead().empty());
    EXPECT_EQ(client.read(1234).size(), 1234u);
    EXPECT_EQ(client.receive(300), Client::Event::Timeout); // neither data nor the end
    EXPECT_EQ(server.openConnectionCount(), 1);
}

TEST(IcyTestServer, CloseAfterBodyBytesInsideAMetadataBlock)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(5000);
    mount.loop = true;
    mount.metaint = 1000;
    mount.titles = {{0, "A fairly long title for two blocks"}};
    mount.closeAfterBodyBytes = 1010; // the length byte and 9 bytes of the block
    server.addMount("/stream", mount);
    const Response response = fetch(server.port(), "/stream", kAskMetadata);
    EXPECT_TRUE(response.eof);
    ASSERT_EQ(response.body.size(), 1010u);
    EXPECT_EQ(static_cast<unsigned char>(response.body[1000]), 4);
    EXPECT_EQ(response.body.substr(1001), wrapped("A fairly long").substr(0, 9));
}

TEST(IcyTestServer, PacingIsRoughlyRight)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(100000);
    mount.loop = true;
    mount.bytesPerSecond = 32000;
    mount.metaint = 8000;
    mount.repeatTitle = true;
    mount.titles = {{0, "Paced"}};
    server.addMount("/stream", mount);
    Client client(server.port());
    ASSERT_TRUE(client.send(getRequest("/stream", kAskMetadata)));
    ASSERT_FALSE(client.readHead().empty());
    const auto start = Clock::now();
    EXPECT_EQ(client.read(24000).size(), 24000u);
    const double elapsed = secondsSince(start);
    EXPECT_GT(elapsed, 0.5); // 24000 bytes at 32000 bytes/s: 0.75 s
    EXPECT_LT(elapsed, 1.5);
    // Not much ahead of the schedule (one send of at most sendChunk bytes).
    EXPECT_LE(static_cast<double>(24000 + client.pendingBytes()),
              secondsSince(start) * 32000 + 4096 + 200);
}

TEST(IcyTestServer, DropAllConnectionsClosesOpenConnections)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(10000);
    mount.loop = true;
    mount.bytesPerSecond = 16000;
    server.addMount("/stream", mount);
    IcyMount stalled = mount;
    stalled.stallAfterBodyBytes = 0;
    server.addMount("/stalled", stalled);

    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<Client>(server.port()));
        ASSERT_TRUE(clients.back()->send(getRequest(i == 2 ? "/stalled" : "/stream")));
    }
    ASSERT_TRUE(server.waitForConnections(3, 2000));
    for (auto& client : clients)
        ASSERT_FALSE(client->readHead().empty());
    EXPECT_EQ(server.openConnectionCount(), 3);
    server.dropAllConnections();
    for (auto& client : clients) {
        client->readToEnd(2000);
        EXPECT_TRUE(client->eof());
    }
    // The server goes on accepting.
    const Response again = fetch(server.port(), "/stream", {}, 100);
    EXPECT_EQ(again.head.rfind("ICY 200 OK\r\n", 0), 0u);
    EXPECT_EQ(again.body.size(), 100u);
    EXPECT_EQ(server.connectionCount(), 4);
}

TEST(IcyTestServer, ClientThatDisconnectsEndsItsConnectionQuietly)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(10000);
    mount.loop = true;
    server.addMount("/stream", mount); // unpaced: the server is blocked on a full socket
    {
        Client client(server.port());
        ASSERT_TRUE(client.send(getRequest("/stream")));
        ASSERT_FALSE(client.readHead().empty());
        EXPECT_EQ(client.read(1000).size(), 1000u);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (server.openConnectionCount() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(server.openConnectionCount(), 0);
}

TEST(IcyTestServer, DestructorIsPromptWithOpenConnections)
{
    auto server = std::make_unique<IcyTestServer>();
    IcyMount stalled;
    stalled.audio = testAudio(1000);
    stalled.loop = true;
    stalled.stallAfterBodyBytes = 100;
    server->addMount("/stalled", stalled);
    IcyMount paced = stalled;
    paced.stallAfterBodyBytes = UINT64_MAX;
    paced.bytesPerSecond = 100; // one send every 2.5 s at most... it sleeps
    server->addMount("/paced", paced);
    IcyMount delayed = stalled;
    delayed.headerDelayMs = 10000;
    server->addMount("/delayed", delayed);
    IcyMount flood = stalled;
    flood.stallAfterBodyBytes = UINT64_MAX; // unpaced, never read: blocked on a full socket
    server->addMount("/flood", flood);

    std::vector<std::unique_ptr<Client>> clients;
    for (const char* path : {"/stalled", "/stalled", "/stalled", "/paced", "/delayed", "/flood"}) {
        clients.push_back(std::make_unique<Client>(server->port()));
        ASSERT_TRUE(clients.back()->send(getRequest(path)));
    }
    clients.push_back(std::make_unique<Client>(server->port())); // sends nothing at all
    ASSERT_TRUE(server->waitForConnections(6, 2000));
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(clients[static_cast<std::size_t>(i)]->readHead().empty());
        EXPECT_EQ(clients[static_cast<std::size_t>(i)]->read(100).size(), 100u);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let /flood fill its socket

    const auto start = Clock::now();
    server.reset();
    const double elapsed = secondsSince(start);
    EXPECT_LT(elapsed, 0.5) << "target: about 0.1 s";
    for (auto& client : clients) {
        client->readToEnd(2000);
        EXPECT_TRUE(client->eof());
    }
}

TEST(IcyTestServer, ManyConcurrentPacedConnections)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(20000);
    mount.loop = true;
    mount.metaint = 16000;
    mount.bytesPerSecond = 16000;
    mount.repeatTitle = true;
    mount.titles = {{0, "Busy"}};
    server.addMount("/stream", mount);
    constexpr int kClients = 50;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.push_back(std::make_unique<Client>(server.port()));
        ASSERT_TRUE(clients.back()->send(getRequest("/stream", kAskMetadata)));
    }
    ASSERT_TRUE(server.waitForConnections(kClients, 5000));
    EXPECT_EQ(server.openConnectionCount(), kClients);
    for (auto& client : clients) {
        ASSERT_FALSE(client->readHead().empty());
        EXPECT_EQ(client->read(4000).size(), 4000u); // the first quarter second
    }
}

// ---------------------------------------------------------------------------------------------
// Ports

TEST(IcyTestServer, UnusedLoopbackPortRefusesConnections)
{
    const std::uint16_t port = unusedLoopbackPort();
    EXPECT_NE(port, 0);
    Client client(port);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(client.connectErrno(), ECONNREFUSED);
}

TEST(IcyTestServer, FixedPortConstructorThrowsWhenThePortIsTaken)
{
    IcyTestServer first;
    EXPECT_THROW(IcyTestServer second(first.port()), std::runtime_error);
    const std::uint16_t port = unusedLoopbackPort();
    IcyTestServer fixed(port);
    EXPECT_EQ(fixed.port(), port);
}

// ---------------------------------------------------------------------------------------------
// Proxy

TEST(IcyTestServerProxy, ForwardsARequestAndCountsIt)
{
    IcyTestServer server;
    IcyMount mount;
    mount.audio = testAudio(3000);
    mount.metaint = 1000;
    mount.titles = {{0, "Via Proxy"}};
    server.addMount("/stream", mount);
    IcyTestProxy proxy;
    EXPECT_EQ(proxy.hostAndPort(), "127.0.0.1:" + std::to_string(proxy.port()));

    Client client(proxy.port());
    const std::string url = server.url("/stream?x=1");
    ASSERT_TRUE(client.send("GET " + url +
                            " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
                            "\r\nProxy-Connection: Keep-Alive\r\nIcy-MetaData: 1\r\n\r\n"));
    const std::string head = client.readHead();
    EXPECT_EQ(head.rfind("ICY 200 OK\r\n", 0), 0u) << head;
    const std::string body = client.readToEnd();
    EXPECT_TRUE(client.eof());
    const Demuxed d = demux(body, 1000);
    EXPECT_EQ(d.audio, asString(mount.audio));
    ASSERT_EQ(d.blocks.size(), 3u);
    EXPECT_EQ(d.blocks[0].text(), wrapped("Via Proxy"));

    EXPECT_EQ(proxy.requestCount(), 1);
    EXPECT_EQ(proxy.requestedUrls(), std::vector<std::string>{url});
    EXPECT_EQ(server.connectionCount(), 1);
    const std::string forwarded = server.requests().at(0);
    EXPECT_EQ(forwarded.rfind("GET /stream?x=1 HTTP/1.1\r\n", 0), 0u) << forwarded;
    EXPECT_NE(forwarded.find("\r\nIcy-MetaData: 1\r\n"), std::string::npos) << forwarded;
    EXPECT_NE(forwarded.find("\r\nConnection: close\r\n"), std::string::npos) << forwarded;
    EXPECT_EQ(forwarded.find("Proxy-Connection"), std::string::npos) << forwarded;
}

TEST(IcyTestServerProxy, RefusesOtherHostsAndReportsDeadUpstreams)
{
    IcyTestProxy proxy;
    {
        Client client(proxy.port());
        ASSERT_TRUE(client.send("GET http://example.com/stream HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(client.readHead().rfind("HTTP/1.0 403 ", 0), 0u);
    }
    {
        Client client(proxy.port());
        ASSERT_TRUE(client.send("GET http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) +
                                "/stream HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(client.readHead().rfind("HTTP/1.0 502 ", 0), 0u);
    }
    {
        Client client(proxy.port());
        ASSERT_TRUE(client.send("GET /stream HTTP/1.0\r\n\r\n"));
        EXPECT_EQ(client.readHead().rfind("HTTP/1.0 400 ", 0), 0u);
    }
    EXPECT_EQ(proxy.requestCount(), 3);
    EXPECT_EQ(proxy.requestedUrls().at(0), "http://example.com/stream");
}

TEST(IcyTestServerProxy, RelaysAPacedStreamAndStopsPromptly)
{
    auto server = std::make_unique<IcyTestServer>();
    IcyMount mount;
    mount.audio = testAudio(10000);
    mount.loop = true;
    mount.bytesPerSecond = 16000;
    server->addMount("/stream", mount);
    auto proxy = std::make_unique<IcyTestProxy>();
    Client client(proxy->port());
    ASSERT_TRUE(client.send("GET " + server->url() + " HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(client.readHead().rfind("ICY 200 OK\r\n", 0), 0u);
    EXPECT_EQ(client.read(2000).size(), 2000u);
    const auto start = Clock::now();
    proxy.reset();
    EXPECT_LT(secondsSince(start), 0.5);
    client.readToEnd(2000);
    EXPECT_TRUE(client.eof());
}
