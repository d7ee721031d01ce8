#include "RelayThread.h"

#include "GenericClient.h"
#include "Mailbox.h"
#include "Mp3Fixtures.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "PrefsKeys.h"
#include "TempDir.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kMetaint = 8192;
constexpr auto kWait = 5s;

struct TestPrefs : PreferencesReader
{
    mutable std::mutex mutex;
    Dictionary values{{prefs::kSearchPorts, false}};

    Value getPrefsForKey(std::string_view key) const override
    {
        std::lock_guard lock(mutex);
        return values.get(key);
    }
    void set(std::string_view key, Value value)
    {
        std::lock_guard lock(mutex);
        values.set(key, std::move(value));
    }
};

// A recording client that only names the song.
class TitleClient : public GenericClient
{
public:
    TitleClient(const RecordingContext& context, std::string song)
        : GenericClient(1, nullptr, context), m_song(std::move(song))
    {}
    std::string currentSong() override
    {
        std::lock_guard lock(m_mutex);
        return m_song;
    }
    void setSong(std::string song)
    {
        std::lock_guard lock(m_mutex);
        m_song = std::move(song);
    }

private:
    std::mutex m_mutex;
    std::string m_song;
};

// The relay's notifications, as they were posted.
class NotificationLog
{
public:
    explicit NotificationLog(NotificationCenter& center) : m_center(center)
    {
        m_token = center.addObserver("", [this](const Notification& n) {
            std::lock_guard lock(m_mutex);
            m_names.push_back(n.name);
            m_objects.push_back(n.object.isNull() ? std::string() : n.object.toString());
            m_changed.notify_all();
        });
    }
    ~NotificationLog() { m_center.removeObserver(m_token); }

    bool waitFor(std::string_view name, int count = 1)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kWait, [&] { return countLocked(name) >= count; });
    }
    int count(std::string_view name)
    {
        std::lock_guard lock(m_mutex);
        return countLocked(name);
    }
    std::string lastObject(std::string_view name)
    {
        std::lock_guard lock(m_mutex);
        for (std::size_t i = m_names.size(); i-- > 0;)
            if (m_names[i] == name)
                return m_objects[i];
        return {};
    }

private:
    int countLocked(std::string_view name) const
    {
        return static_cast<int>(std::count(m_names.begin(), m_names.end(), name));
    }

    NotificationCenter& m_center;
    NotificationCenter::Token m_token = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_names;
    std::vector<std::string> m_objects;
};

sockaddr_storage loopback(int family, std::uint16_t port, socklen_t* size)
{
    sockaddr_storage address{};
    if (family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        in6->sin6_addr = in6addr_loopback;
        *size = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        *size = sizeof(sockaddr_in);
    }
    return address;
}

void setReceiveTimeout(int fd, std::chrono::milliseconds timeout)
{
    timeval tv{static_cast<time_t>(timeout.count() / 1000),
               static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// A player on a plain socket.
class Player
{
public:
    explicit Player(std::uint16_t port, int family = AF_INET, int receiveBuffer = 0)
    {
        m_fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        setReceiveTimeout(m_fd, kWait);
        socklen_t size = 0;
        const sockaddr_storage address = loopback(family, port, &size);
        m_connected = ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), size) == 0;
    }
    ~Player() { close(); }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool connected() const { return m_connected; }
    void endSending() { ::shutdown(m_fd, SHUT_WR); }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    void send(const std::string& text)
    {
        ASSERT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }
    std::string readHead()
    {
        std::string head;
        char c = 0;
        while (!head.ends_with("\r\n\r\n") && ::recv(m_fd, &c, 1, 0) == 1)
            head += c;
        return head;
    }
    /// Up to count bytes; fewer when the relay stops sending.
    std::string read(std::size_t count)
    {
        std::string data(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::recv(m_fd, data.data() + got, count - got, 0);
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        data.resize(got);
        return data;
    }
    /// The relay ended the connection: end of stream (or a reset) before the time-out.
    bool seesEnd()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                return true;
            if (n < 0)
                return false;
        }
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

// A UDP socket on the loopback address that takes the relay's title messages.
class TitleReceiver
{
public:
    TitleReceiver()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        socklen_t size = 0;
        sockaddr_storage address = loopback(AF_INET, 0, &size);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
        setReceiveTimeout(m_fd, kWait);
    }
    ~TitleReceiver() { ::close(m_fd); }
    std::uint16_t port() const { return m_port; }
    std::string receive()
    {
        char buffer[8192];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
    void sendTo(std::uint16_t port, const std::string& text)
    {
        socklen_t size = 0;
        const sockaddr_storage address = loopback(AF_INET, port, &size);
        ::sendto(m_fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                 size);
    }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

// A port that something else listens on.
class BusyPort
{
public:
    BusyPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        socklen_t size = 0;
        sockaddr_storage address = loopback(AF_INET, 0, &size);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_fd, 1);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    ~BusyPort() { ::close(m_fd); }
    std::uint16_t port() const { return m_port; }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

std::string audio(std::size_t length, std::size_t offset = 0)
{
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((offset + i) % 251);
    return bytes;
}

std::string blockFor(const std::string& title)
{
    const std::string text = "StreamTitle='" + title + "';StreamUrl='';";
    const std::size_t n = (text.size() + 1) / 16 + 1;
    std::string block(1, static_cast<char>(n));
    block += text;
    block.resize(1 + 16 * n, '\0');
    return block;
}

bool write(RelayThread& relay, const std::string& bytes)
{
    return relay.writeRawData(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

class RelayThreadTest : public ::testing::Test
{
protected:
    NotificationCenter center;
    NotificationLog notifications{center};
    TestPrefs prefs;
    Mailbox mailbox;
    OwnedThreads threads;
    RecordingContext context{center, prefs, mailbox, threads, nullptr};
    std::shared_ptr<RelayThread> relay;

    /// A player's request for the relay's own path, with headers (each ending "\r\n").
    std::string request(const std::string& headers = "User-Agent: test\r\n") const
    {
        return "GET " + relay->servedPath() + " HTTP/1.0\r\nHost: localhost\r\n" + headers + "\r\n";
    }
    std::string titlesRequest() const { return request("Icy-MetaData: 1\r\n"); }

    void startRelay(std::uint16_t port = 0)
    {
        relay = std::make_shared<RelayThread>(port, center, prefs);
        ASSERT_TRUE(relay->launch());
        ASSERT_TRUE(relay->waitForState(RelayThread::kListening, kWait));
    }

    /// Connects a player with request and reads the response head.
    std::unique_ptr<Player> connect(const std::string& request, std::string* head = nullptr,
                                    int family = AF_INET, int receiveBuffer = 0)
    {
        const int opened = notifications.count(OVRelayConnectionOpenedNotification);
        auto player = std::make_unique<Player>(relay->relayPort(), family, receiveBuffer);
        EXPECT_TRUE(player->connected());
        player->send(request);
        const std::string response = player->readHead();
        EXPECT_TRUE(response.starts_with("ICY 200 OK\r\n")) << response;
        if (head)
            *head = response;
        EXPECT_TRUE(notifications.waitFor(OVRelayConnectionOpenedNotification, opened + 1));
        EXPECT_TRUE(relay->isValidConnection());
        return player;
    }
};

TEST_F(RelayThreadTest, InBandTitlesFollowEvery8192AudioBytesHoweverTheAudioIsCut)
{
    startRelay();
    auto client = std::make_shared<TitleClient>(context, "Artist - Song");
    relay->setDelegate(client);
    std::string head;
    auto player = connect(titlesRequest(), &head);
    EXPECT_NE(head.find("\r\nicy-metaint:8192\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nicy-url:http://localhost:" + std::to_string(relay->relayPort())),
              std::string::npos);

    const std::size_t sizes[] = {1, 1000, 8192, 20000, 7191, 1, 3, 8191, 16384, 2, 12000};
    std::string sent;
    for (const std::size_t size : sizes) {
        const std::string piece = audio(size, sent.size());
        ASSERT_TRUE(write(*relay, piece));
        sent += piece;
    }
    std::string expected;
    for (std::size_t at = 0; at < sent.size(); at += kMetaint) {
        expected += sent.substr(at, kMetaint);
        if (at + kMetaint <= sent.size())
            expected += blockFor("Artist - Song");
    }
    const std::string received = player->read(expected.size());
    ASSERT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "the stream differs from audio with blocks every 8192";
}

TEST_F(RelayThreadTest, BlockLengthsFollowTheTitleAndUnknownStandsInForNone)
{
    startRelay();
    auto player = connect(titlesRequest());
    const std::string wrapper = "StreamTitle='';StreamUrl='';";
    const std::string title46(46 - wrapper.size(), 't'); // text of 14 + 32 bytes
    const std::string title47(47 - wrapper.size(), 'u'); // text of 15 + 32 bytes
    auto client = std::make_shared<TitleClient>(context, "");

    ASSERT_TRUE(write(*relay, audio(kMetaint))); // no delegate
    relay->setDelegate(client);
    ASSERT_TRUE(write(*relay, audio(kMetaint))); // a delegate without a song
    client->setSong(title46);
    ASSERT_TRUE(write(*relay, audio(kMetaint)));
    client->setSong(title47);
    ASSERT_TRUE(write(*relay, audio(kMetaint)));

    for (const auto& [title, n] :
         {std::pair{std::string("Unknown"), 3}, std::pair{std::string("Unknown"), 3},
          std::pair{title46, 3}, std::pair{title47, 4}}) {
        EXPECT_EQ(player->read(kMetaint), audio(kMetaint));
        const std::string block = player->read(1 + 16 * static_cast<std::size_t>(n));
        ASSERT_FALSE(block.empty());
        EXPECT_EQ(static_cast<int>(block[0]), n) << title;
        EXPECT_EQ(block, blockFor(title));
    }
}

TEST_F(RelayThreadTest, WithoutTheMetadataHeaderThePlayerGetsPlainAudio)
{
    startRelay();
    std::string head;
    auto player = connect(request(), &head);
    EXPECT_EQ(head.find("metaint"), std::string::npos);
    EXPECT_EQ(head.find("udpport"), std::string::npos);
    const std::string sent = audio(3 * kMetaint + 100);
    ASSERT_TRUE(write(*relay, sent.substr(0, 10000)));
    ASSERT_TRUE(write(*relay, sent.substr(10000)));
    EXPECT_TRUE(player->read(sent.size()) == sent);
}

TEST_F(RelayThreadTest, APlayerJoiningAnOggRecordingGetsItsHeadersFirst)
{
    startRelay();
    const std::string header = "OggS-headers-of-the-stream";
    relay->setStreamFormat("application/ogg", Bytes(header.begin(), header.end()));
    std::string head;
    auto player = connect(request(), &head);
    EXPECT_NE(head.find("content-type:application/ogg\r\n"), std::string::npos) << head;
    const std::string sent = audio(5000);
    ASSERT_TRUE(write(*relay, sent.substr(0, 2000)));
    ASSERT_TRUE(write(*relay, sent.substr(2000)));
    // The headers once, before the audio; a frame format has none to send.
    EXPECT_TRUE(player->read(header.size() + sent.size()) == header + sent);
}

TEST_F(RelayThreadTest, UDPTitlesGoToThePlayersPortWithRisingSequenceNumbers)
{
    startRelay();
    auto client = std::make_shared<TitleClient>(context, "Band - Tune");
    relay->setDelegate(client);
    TitleReceiver titles;
    std::string head;
    auto player = connect(request("x-audiocast-udpport: " + std::to_string(titles.port()) +
                                  "\r\nIcy-MetaData: 1\r\n"),
                          &head);
    EXPECT_NE(head.find("\r\nx-audiocast-udpport:" + std::to_string(relay->relayPort()) + "\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(head.find("metaint"), std::string::npos);

    const std::string sent = audio(3 * kMetaint);
    ASSERT_TRUE(write(*relay, sent.substr(0, 5000)));
    ASSERT_TRUE(write(*relay, sent.substr(5000)));
    EXPECT_TRUE(player->read(sent.size()) == sent) << "no titles inside the audio";

    long previous = -1;
    for (int i = 0; i < 3; ++i) {
        const std::string message = titles.receive();
        long sequence = -1;
        char title[64] = {};
        ASSERT_EQ(std::sscanf(message.c_str(),
                              "x-audiocast-udpseqnr: %ld\r\nx-audiocast-streamtitle: %63[^\r]",
                              &sequence, title),
                  2)
            << message;
        EXPECT_STREQ(title, "Band - Tune");
        EXPECT_TRUE(message.ends_with("\r\n"));
        EXPECT_GT(sequence, previous);
        previous = sequence;
    }

    // The player's datagrams: PING comes back unchanged; a new port gets a title at once and
    // the titles from then on. Nobody else is answered.
    TitleReceiver stranger;
    stranger.sendTo(relay->relayPort(), "PING 7");
    titles.sendTo(relay->relayPort(), "PING 42");
    EXPECT_EQ(titles.receive(), "PING 42");
    TitleReceiver moved;
    client->setSong("Other - Tune");
    titles.sendTo(relay->relayPort(), "x-audiocast-udpport: " + std::to_string(moved.port()));
    EXPECT_NE(moved.receive().find("x-audiocast-streamtitle: Other - Tune\r\n"), std::string::npos);
    ASSERT_TRUE(write(*relay, audio(kMetaint)));
    EXPECT_NE(moved.receive().find("x-audiocast-streamtitle: Other - Tune\r\n"), std::string::npos);
    EXPECT_EQ(stranger.receive(), "") << "only the player's port is answered";
}

TEST_F(RelayThreadTest, RequestsWithoutTheTokenOrFromAWebPageAreTurnedAwayAndThePlayerServed)
{
    startRelay();
    for (const std::string& refused :
         {std::string("GET / HTTP/1.0\r\nHost: localhost\r\n\r\n"),
          request("Origin: http://page.example\r\n"),
          "GET " + relay->servedPath() + " HTTP/1.1\r\nHost: attacker.example\r\n\r\n"}) {
        Player stranger(relay->relayPort());
        ASSERT_TRUE(stranger.connected());
        stranger.send(refused);
        EXPECT_TRUE(stranger.readHead().starts_with("HTTP/1.0 40")) << refused;
        EXPECT_TRUE(stranger.seesEnd());
        EXPECT_FALSE(relay->isValidConnection());
    }
    EXPECT_EQ(notifications.count(OVRelayConnectionOpenedNotification), 0);
    auto player = connect(titlesRequest());
    EXPECT_TRUE(relay->isValidConnection());
}

TEST_F(RelayThreadTest, NothingIsSentWithoutAPlayer)
{
    relay = std::make_shared<RelayThread>(0, center, prefs);
    EXPECT_FALSE(write(*relay, audio(100)));
    EXPECT_FALSE(relay->isValidConnection());
    EXPECT_FALSE(relay->closeCurrentConnection());
    EXPECT_FALSE(relay->changeRelayPort(0));
    startRelay();
    EXPECT_FALSE(relay->launch()) << "already running";
    EXPECT_FALSE(write(*relay, audio(100)));
    EXPECT_EQ(notifications.count(OVRelayConnectionClosedNotification), 0);
}

TEST_F(RelayThreadTest, APlayerThatLeavesIsNoticedAndTheNextIsServed)
{
    startRelay();
    {
        // Ends its side without a request: the relay drops it and waits for the next player.
        Player silent(relay->relayPort());
        ASSERT_TRUE(silent.connected());
        silent.endSending();
        EXPECT_TRUE(silent.seesEnd());
    }
    auto player = connect(titlesRequest());
    player->close();
    bool written = true;
    for (int i = 0; i < 200 && written; ++i) {
        written = write(*relay, audio(kMetaint));
        if (written)
            std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(written) << "writes to a player that left must fail";
    EXPECT_TRUE(notifications.waitFor(OVRelayConnectionClosedNotification));
    EXPECT_FALSE(write(*relay, audio(10)));
    ASSERT_TRUE(relay->waitForState(RelayThread::kListening, kWait));

    auto next = connect(request());
    ASSERT_TRUE(write(*relay, audio(500)));
    EXPECT_EQ(next->read(500), audio(500));
}

TEST_F(RelayThreadTest, APlayerThatStopsReadingIsDroppedAfterTheSendTimeOut)
{
    startRelay();
    relay->setSendTimeout(300ms);
    auto player = connect(request(), nullptr, AF_INET, 4096);
    const std::string chunk = audio(64 * 1024);
    bool written = true;
    std::size_t total = 0;
    while (written && total < 512u * 1024 * 1024) {
        written = write(*relay, chunk);
        total += chunk.size();
    }
    EXPECT_FALSE(written) << "the relay kept accepting " << total << " bytes";
    EXPECT_TRUE(notifications.waitFor(OVRelayConnectionClosedNotification));
    EXPECT_TRUE(relay->waitForState(RelayThread::kListening, kWait));
    EXPECT_TRUE(player->seesEnd());
}

TEST_F(RelayThreadTest, ClosingWhileAudioFlowsEndsTheFeedOnce)
{
    startRelay();
    auto player = connect(titlesRequest());
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        while (write(*this->relay, audio(3000)))
            fed = true;
    });
    std::thread reader([&] { player->seesEnd(); });
    while (!fed)
        std::this_thread::yield();
    EXPECT_TRUE(relay->closeCurrentConnection());
    feeder.join();
    reader.join();
    EXPECT_FALSE(relay->closeCurrentConnection());
    EXPECT_TRUE(relay->waitForState(RelayThread::kListening, kWait));
    EXPECT_EQ(notifications.count(OVRelayConnectionClosedNotification), 1);
}

TEST_F(RelayThreadTest, ABusyPortIsReportedOrSearchedPast)
{
    BusyPort busy;
    relay = std::make_shared<RelayThread>(busy.port(), center, prefs);
    ASSERT_TRUE(relay->launch());
    ASSERT_TRUE(notifications.waitFor(OVRelayConnectionErrorNotification));
    EXPECT_EQ(notifications.lastObject(OVRelayConnectionErrorNotification),
              "Could not establish connection with the player on port number " +
                  std::to_string(busy.port()) + ".  This port may already be in use.");
    EXPECT_TRUE(relay->waitForState(RelayThread::kIdle, kWait));
    EXPECT_EQ(relay->relayPort(), busy.port());

    prefs.set(prefs::kSearchPorts, true);
    ASSERT_TRUE(relay->launch());
    ASSERT_TRUE(relay->waitForState(RelayThread::kListening, kWait));
    EXPECT_NE(relay->relayPort(), busy.port());
    EXPECT_GE(relay->relayPort(), 1025);
    EXPECT_LE(relay->relayPort(), 60000);
    auto player = connect(request());
    ASSERT_TRUE(write(*relay, audio(100)));
    EXPECT_EQ(player->read(100), audio(100));
}

std::uint16_t freePort()
{
    BusyPort probe;
    return probe.port();
}

TEST_F(RelayThreadTest, ChangingThePortWhileAPlayerListensClosesAndMoves)
{
    startRelay();
    auto player = connect(request());
    const std::uint16_t target = freePort();
    EXPECT_FALSE(relay->changeRelayPort(0));
    EXPECT_TRUE(relay->changeRelayPort(target));
    EXPECT_EQ(relay->state(), RelayThread::kIdle);
    EXPECT_EQ(relay->relayPort(), target);
    EXPECT_EQ(notifications.count(OVRelayConnectionClosedNotification), 1);
    EXPECT_TRUE(player->seesEnd());
    EXPECT_FALSE(write(*relay, audio(10)));

    ASSERT_TRUE(relay->launch());
    ASSERT_TRUE(relay->waitForState(RelayThread::kListening, kWait));
    EXPECT_EQ(relay->relayPort(), target);
    // A relay waiting for a player keeps its port, serves one more player and then ends.
    EXPECT_FALSE(relay->changeRelayPort(freePort()));
    EXPECT_EQ(relay->relayPort(), target);
    auto next = connect(request());
    EXPECT_TRUE(relay->closeCurrentConnection());
    EXPECT_TRUE(relay->waitForState(RelayThread::kIdle, kWait));
}

TEST_F(RelayThreadTest, PlayersReachTheRelayOverIPv6Loopback)
{
    {
        const int probe = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        socklen_t size = 0;
        const sockaddr_storage address = loopback(AF_INET6, 0, &size);
        const bool available =
            probe >= 0 && ::bind(probe, reinterpret_cast<const sockaddr*>(&address), size) == 0;
        if (probe >= 0)
            ::close(probe);
        if (!available)
            GTEST_SKIP() << "this computer has no IPv6 loopback";
    }
    startRelay();
    auto client = std::make_shared<TitleClient>(context, "Six");
    relay->setDelegate(client);
    auto player = connect(titlesRequest(), nullptr, AF_INET6);
    ASSERT_TRUE(write(*relay, audio(9000)));
    EXPECT_EQ(player->read(kMetaint), audio(kMetaint));
    EXPECT_EQ(player->read(blockFor("Six").size()), blockFor("Six"));
    EXPECT_EQ(player->read(9000 - kMetaint), audio(9000 - kMetaint, kMetaint));
}

TEST_F(RelayThreadTest, ARealPlayerDecodesWhatTheRelayServes)
{
    TempDir dir;
    constexpr double kSeconds = 4.0;
    const ByteVector mp3 = encodeWithLame(pcmSongs({kSeconds}, 0.0), dir);
    ASSERT_FALSE(mp3.empty());
    startRelay();
    auto client = std::make_shared<TitleClient>(context, "Artist - Song");
    relay->setDelegate(client);
    const std::string wav = dir.file("out.wav");
    const std::string url =
        "http://127.0.0.1:" + std::to_string(relay->relayPort()) + relay->servedPath();
    std::string output;
    int status = -1;
    std::thread mpg123([&] { status = runCommand("mpg123 -w '" + wav + "' " + url, &output); });

    const bool connected = relay->waitForState(RelayThread::kConnected, 3 * kWait);
    bool fed = connected;
    for (std::size_t at = 0; connected && at < mp3.size(); at += 4096)
        fed = fed &&
              relay->writeRawData(mp3.data() + at, std::min<std::size_t>(4096, mp3.size() - at));
    relay->closeCurrentConnection(); // the end of the stream ends the player
    if (!connected)
        relay.reset();
    mpg123.join();

    ASSERT_TRUE(connected) << "mpg123 never connected: " << output;
    EXPECT_TRUE(fed);
    EXPECT_EQ(status, 0) << output;
    ASSERT_TRUE(std::filesystem::exists(wav)) << output;
    // 16-bit mono at 44.1 kHz; a decoder that lost its place would fall well short.
    const double decoded = static_cast<double>(std::filesystem::file_size(wav)) / (44100 * 2);
    EXPECT_GT(decoded, 0.9 * kSeconds) << output;
    EXPECT_LT(decoded, 1.1 * kSeconds + 0.2) << output;
    EXPECT_NE(output.find("StreamTitle='Artist - Song'"), std::string::npos)
        << "the player did not see the in-band title: " << output;
}

TEST(RelayInstanceTest, ThePreferredPortMakesTheSharedRelay)
{
    static TestPrefs prefs; // the shared relay keeps it for the rest of the process
    NotificationCenter& center = NotificationCenter::defaultCenter();
    static bool created = false; // the relay outlives a repeated run
    prefs.set(prefs::kRelayPort, 0);
    if (!created) {
        EXPECT_EQ(RelayThread::instance(prefs, center), nullptr);
    }
    created = true;
    prefs.set(prefs::kRelayPort, 70000);
    const auto shared = RelayThread::instance(prefs, center);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->relayPort(), 70000 % 65536);
    EXPECT_EQ(RelayThread::instance(prefs, center), shared);
    EXPECT_EQ(shared->state(), RelayThread::kIdle) << "created, not started";
}

} // namespace
