// The relay's waiting room over real socket pairs: silent connections neither keep a
// player out nor stay forever, and a full room lets the longest waiting go.

#include "RelayWaitingRoom.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta::relay;
using namespace std::chrono_literals;

namespace {

struct Peer
{
    Peer()
    {
        int pair[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        ours = pair[0];
        theirs = UniqueFd(pair[1]);
    }
    ~Peer()
    {
        if (ours >= 0)
            ::close(ours);
    }
    void say(const std::string& text)
    {
        ASSERT_EQ(::write(ours, text.data(), text.size()), ssize_t(text.size()));
    }
    /// Whether the relay's end has been closed.
    bool dropped() const
    {
        char byte;
        return ::recv(ours, &byte, 1, MSG_DONTWAIT) == 0;
    }
    int ours = -1;
    UniqueFd theirs;
};

std::optional<Arrival> collectReady(WaitingRoom& room, Clock::time_point now)
{
    std::vector<pollfd> entries;
    room.appendPollEntries(entries);
    ::poll(entries.data(), entries.size(), 0);
    return room.collect(entries, 0, now);
}

} // namespace

TEST(RelayWaitingRoomTest, APlayerIsServedWhileSilentConnectionsWait)
{
    WaitingRoom room(16, 5000ms, 8192);
    const auto now = Clock::now();
    std::vector<Peer> silent(10);
    for (Peer& peer : silent)
        room.admit(std::move(peer.theirs), now);
    Peer player;
    const int playerFd = player.theirs.get();
    room.admit(std::move(player.theirs), now);
    EXPECT_FALSE(collectReady(room, now).has_value()) << "nobody has asked yet";

    player.say("GET / HTTP/1.0\r\nIcy-MetaData: 1\r\n");
    EXPECT_FALSE(collectReady(room, now).has_value()) << "half a request";
    player.say("\r\n");
    const auto arrival = collectReady(room, now);
    ASSERT_TRUE(arrival.has_value());
    EXPECT_EQ(arrival->fd.get(), playerFd);
    EXPECT_EQ(arrival->request, "GET / HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n");
    EXPECT_EQ(room.size(), 10u) << "the silent ones are still waiting";
}

TEST(RelayWaitingRoomTest, SilenceRunsOutAndAFullRoomLetsTheLongestWaitingGo)
{
    WaitingRoom room(4, 5000ms, 8192);
    const auto start = Clock::now();
    std::vector<Peer> peers(6);
    for (std::size_t i = 0; i < peers.size(); ++i)
        room.admit(std::move(peers[i].theirs), start + std::chrono::milliseconds(i));
    EXPECT_EQ(room.size(), 4u);
    EXPECT_TRUE(peers[0].dropped());
    EXPECT_TRUE(peers[1].dropped());
    EXPECT_FALSE(peers[2].dropped());
    EXPECT_GT(room.pollTimeoutMs(start), 4000);

    // A peer that hangs up is let go at once; one that said something before its time ran
    // out is heard with what it said.
    ::close(peers[2].ours);
    peers[2].ours = -1;
    peers[3].say("GET / HTTP/1.0\r\n");
    EXPECT_FALSE(collectReady(room, start + 1s).has_value());
    EXPECT_EQ(room.size(), 3u);
    const auto late = collectReady(room, start + 6s);
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(late->request, "GET / HTTP/1.0\r\n");
    EXPECT_EQ(room.size(), 0u) << "the silent ones ran out of time";
    EXPECT_TRUE(peers[4].dropped());
    EXPECT_EQ(room.pollTimeoutMs(start), -1);
}

TEST(RelayWaitingRoomTest, AnEndlessRequestIsCutAtTheLimit)
{
    WaitingRoom room(4, 5000ms, 64);
    Peer peer;
    room.admit(std::move(peer.theirs), Clock::now());
    peer.say(std::string(100, 'x'));
    std::optional<Arrival> arrival;
    for (int i = 0; i < 3 && !arrival; ++i)
        arrival = collectReady(room, Clock::now());
    ASSERT_TRUE(arrival.has_value());
    EXPECT_EQ(arrival->request.size(), 64u);
}
