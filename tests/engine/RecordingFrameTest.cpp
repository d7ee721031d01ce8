#include "GenericClient.h"
#include "GenericServer.h"
#include "Mailbox.h"
#include "NotificationCenter.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "TransferRateCalculator.h"

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;

namespace {

struct NoPrefs : PreferencesReader
{
    Value getPrefsForKey(std::string_view) const override { return {}; }
};

// Records what the server asked of it, and on which thread.
class FakeClient : public GenericClient
{
public:
    using GenericClient::GenericClient;
    std::vector<std::string> calls;
    std::thread::id thread = std::this_thread::get_id();

    void setProperties(Dictionary properties) override
    {
        note("setProperties:" + properties.get("NP_NAME").toString());
    }
    void runClientInNewThread() override { note("run"); }
    void shutDown() override { note("shutDown"); }
    std::string currentSong() override { return "Song"; }
    double transferRate() override { return 128.5; }

private:
    void note(std::string call)
    {
        EXPECT_EQ(std::this_thread::get_id(), thread) << call << " runs on the client thread";
        calls.push_back(std::move(call));
    }
};

class RecordingFrameTest : public ::testing::Test
{
protected:
    NotificationCenter center;
    NoPrefs prefs;
    Mailbox mainMailbox;
    OwnedThreads threads;
    RecordingContext context{center, prefs, mainMailbox, threads, nullptr};
    std::shared_ptr<FakeClient> client;

    void SetUp() override { mainMailbox.adoptCurrentThread(); }
    void TearDown() override { EXPECT_TRUE(threads.waitForAll(5s)); }

    void launch(const std::shared_ptr<MP3Server>& server)
    {
        std::mutex made;
        GenericClient::launchClientThreadWithTag(
            7, server, context,
            [this](std::int32_t tag, std::shared_ptr<ServerProxy> proxy,
                   const RecordingContext& c) {
                client = std::make_shared<FakeClient>(tag, std::move(proxy), c);
                return client;
            });
        ASSERT_TRUE(mainMailbox.serveUntil([&] { return server->clientProxy() != nullptr; }, 5s));
    }
};

} // namespace

TEST(MailboxTest, NestedCallsInBothDirectionsComplete)
{
    Mailbox a;
    a.adoptCurrentThread();
    Mailbox* b = nullptr;
    std::atomic<bool> bReady{false}, stop{false};
    std::thread other([&] {
        Mailbox own;
        own.adoptCurrentThread();
        b = &own;
        bReady = true;
        own.serveUntil([&] { return stop.load(); });
    });
    while (!bReady)
        std::this_thread::yield();
    // a calls b, whose task calls back into a while a waits: a serves it meanwhile.
    const auto result =
        callSync(*b, [&] { return callSync(a, [] { return 20; }).value_or(0) + 1; });
    EXPECT_EQ(result, 21);
    // serveUntil checks its condition after each task, so this call also ends the thread;
    // b must not be touched afterwards.
    callSyncVoid(*b, [&] { stop = true; });
    other.join();
}

TEST(MailboxTest, AClosedMailboxFailsCallsInsteadOfHanging)
{
    auto target = std::make_shared<Mailbox>();
    std::atomic<bool> adopted{false};
    std::thread owner([&] {
        target->adoptCurrentThread();
        adopted = true;
        std::this_thread::sleep_for(100ms); // never serves: closes with a call pending
        target->close();
    });
    while (!adopted)
        std::this_thread::yield();
    EXPECT_EQ(callSync(*target, [] { return 1; }), std::nullopt);
    owner.join();
    EXPECT_FALSE(callSyncVoid(*target, [] {}));
}

TEST(MailboxTest, ServeUntilGivesUpAfterItsTimeout)
{
    Mailbox mailbox;
    mailbox.adoptCurrentThread();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(mailbox.serveUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

TEST_F(RecordingFrameTest, RegistrationHandsOverThePropertiesAndStartsTheWorker)
{
    auto server = std::make_shared<MP3Server>(Dictionary{{"NP_NAME", "Radio"}});
    EXPECT_EQ(server->elapsedTime(), 0);
    EXPECT_EQ(server->currentSong(), "") << "nothing to ask before registration";
    launch(server);
    EXPECT_EQ(server->tag(), 7);
    EXPECT_EQ(server->currentSong(), "Song");
    EXPECT_EQ(server->transferRate(), 128.5);
    server->terminate();
    ASSERT_TRUE(threads.waitForAll(5s));
    EXPECT_EQ(client->calls, (std::vector<std::string>{"setProperties:Radio", "run", "shutDown"}));
    // The client thread has ended: calls return defaults instead of waiting for it.
    EXPECT_FALSE(server->clientProxy()->isConnected());
    EXPECT_EQ(server->currentSong(), "");
    EXPECT_EQ(server->transferRate(), 0.0);
}

TEST_F(RecordingFrameTest, ATerminateBeforeRegistrationIsCarriedOutOnRegistration)
{
    auto server = std::make_shared<MP3Server>(Dictionary{{"NP_NAME", "Early"}});
    server->terminate();
    launch(server);
    ASSERT_TRUE(threads.waitForAll(5s));
    EXPECT_EQ(client->calls, (std::vector<std::string>{"setProperties:Early", "run", "shutDown"}));
}

TEST_F(RecordingFrameTest, AClientWhoseServerIsGoneEndsItsThread)
{
    auto server = std::make_shared<MP3Server>(Dictionary{});
    GenericClient::launchClientThreadWithTag(
        8, server, context,
        [](std::int32_t tag, std::shared_ptr<ServerProxy> p, const RecordingContext& c) {
            return std::make_shared<FakeClient>(tag, std::move(p), c);
        });
    server.reset();
    // The client's registration still reaches the main thread, which answers that the
    // server is gone; the thread count changes without waking the mailbox, so poll.
    for (int i = 0; i < 500 && threads.running() > 0; ++i)
        mainMailbox.serveUntil([] { return false; }, 10ms);
    EXPECT_EQ(threads.running(), 0u);
}

TEST(TransferRateCalculatorTest, RecomputesAtMostOnceASecondFromTheBytesSinceTheLastTime)
{
    auto now = std::chrono::steady_clock::time_point{};
    TransferRateCalculator meter([&now] { return now; });
    meter.update(1000);
    EXPECT_EQ(meter.transferRate(), 0.0) << "the first update only starts the clock";
    now += 500ms;
    meter.update(9000);
    EXPECT_EQ(meter.transferRate(), 0.0) << "less than a second: no change";
    now += 500ms;
    meter.update(16384);
    EXPECT_DOUBLE_EQ(meter.transferRate(), 128.0) << "16384 bytes in 1 s = 128 kbit/s";
    now += 2s;
    meter.update(16384 + 32768);
    EXPECT_DOUBLE_EQ(meter.transferRate(), 128.0);
    now += 2s;
    meter.update(100); // a new connection restarted the count
    EXPECT_DOUBLE_EQ(meter.transferRate(), 128.0);
    now += 1s;
    meter.update(100 + 8192);
    EXPECT_DOUBLE_EQ(meter.transferRate(), 64.0);
    meter.reset();
    EXPECT_EQ(meter.transferRate(), 0.0);

    // A station sending a segment of 4 s at once shows its average over two of them.
    meter.setMinimumInterval(8);
    meter.update(0);
    now += 1s;
    meter.update(65536);
    EXPECT_EQ(meter.transferRate(), 0.0) << "a burst alone shows nothing yet";
    now += 7s;
    meter.update(131072);
    EXPECT_DOUBLE_EQ(meter.transferRate(), 128.0);
}
