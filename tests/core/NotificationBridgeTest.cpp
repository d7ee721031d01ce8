#include "NotificationBridge.h"

#include "NotificationNames.h"

#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

// Runs the main loop until done() holds or five seconds pass.
template <typename Predicate> bool processEventsUntil(Predicate done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

struct Recorder
{
    std::vector<Notification> handled;
    std::vector<std::thread::id> threads;

    NotificationBridge::Handler handler()
    {
        return [this](const Notification& n) {
            handled.push_back(n);
            threads.push_back(std::this_thread::get_id());
        };
    }
};

} // namespace

TEST(NotificationBridgeTest, MainThreadPostsAreHandledAtOnce)
{
    Recorder recorder;
    NotificationCenter center;
    NotificationBridge bridge(recorder.handler());
    bridge.setupNotificationThreadingSupport();
    bridge.registerForNotification(center, OVErrorAlertNotification);

    center.post(OVErrorAlertNotification, 1, Dictionary{{OVErrorAlertNotificationMessage, ""}});
    ASSERT_EQ(recorder.handled.size(), 1u) << "no event loop turn was needed";
    EXPECT_EQ(recorder.handled[0].object.toInteger(), 1);
    EXPECT_EQ(bridge.wakeUpCount(), 0u);
}

TEST(NotificationBridgeTest, WorkerPostsReachTheMainThreadInPostingOrderWithOneWakeUp)
{
    Recorder recorder;
    NotificationCenter center;
    NotificationBridge bridge(recorder.handler());
    bridge.setupNotificationThreadingSupport();
    for (auto name : kObservedNotificationNames)
        bridge.registerForNotification(center, name);

    std::thread client([&] {
        center.post(OVStreamBitrateNotification, 3, 128);
        center.post(OVStreamNameNotification, 3, "Station");
        center.post(OVFinishedNotification, 3);
        center.post("SomethingElse", 3); // not observed
    });
    client.join();
    EXPECT_TRUE(recorder.handled.empty()) << "nothing runs on the worker";
    EXPECT_EQ(bridge.queuedCount(), 3u);

    ASSERT_TRUE(processEventsUntil([&] { return recorder.handled.size() == 3; }));
    EXPECT_EQ(recorder.handled[0].name, OVStreamBitrateNotification);
    EXPECT_EQ(recorder.handled[0].userInfo.toInteger(), 128);
    EXPECT_EQ(recorder.handled[1].name, OVStreamNameNotification);
    EXPECT_EQ(recorder.handled[2].name, OVFinishedNotification);
    EXPECT_EQ(bridge.wakeUpCount(), 1u);
    for (auto id : recorder.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(NotificationBridgeTest, ManyThreadsWhileTheMainThreadIsBusyEachDeliveredOnceInOrder)
{
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    Recorder recorder;
    NotificationCenter center;
    NotificationBridge bridge(recorder.handler());
    bridge.setupNotificationThreadingSupport();
    bridge.registerForNotification(center, OVRecordingFileCompleted);

    std::atomic<int> finishedThreads{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                center.post(OVRecordingFileCompleted, t, Dictionary{{"sequence", i}});
            ++finishedThreads;
        });
    }
    // The main thread is busy: it does not turn its event loop while the posters run.
    while (finishedThreads.load() < kThreads)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    for (auto& poster : posters)
        poster.join();
    EXPECT_EQ(bridge.queuedCount(), static_cast<std::size_t>(kThreads * kPerThread));
    EXPECT_EQ(bridge.wakeUpCount(), 1u) << "one pending wake-up covers everything queued";

    // A single turn of the event loop drains the whole queue.
    QCoreApplication::processEvents();
    ASSERT_EQ(recorder.handled.size(), static_cast<std::size_t>(kThreads * kPerThread));
    std::map<std::int64_t, std::int64_t> nextExpected;
    for (const auto& n : recorder.handled) {
        const std::int64_t sequence = n.userInfo.toDictionary().get("sequence").toInteger();
        EXPECT_EQ(sequence, nextExpected[n.object.toInteger()]++)
            << "thread " << n.object.toInteger();
    }
    EXPECT_EQ(bridge.queuedCount(), 0u);
}

TEST(NotificationBridgeTest, NotificationsArrivingDuringADrainAreHandledByThatDrain)
{
    NotificationCenter center;
    std::vector<int> order;
    std::thread::id mainThread = std::this_thread::get_id();
    NotificationBridge* bridgePointer = nullptr;
    NotificationBridge bridge([&](const Notification& n) {
        order.push_back(static_cast<int>(n.object.toInteger()));
        if (n.object.toInteger() == 1) {
            // A worker posts while the main thread is handling the first notification.
            std::thread late([&] { center.post(OVErrorAlertNotification, 2); });
            late.join();
        }
    });
    bridgePointer = &bridge;
    bridge.setupNotificationThreadingSupport();
    bridge.registerForNotification(center, OVErrorAlertNotification);
    std::thread first([&] { center.post(OVErrorAlertNotification, 1); });
    first.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(bridgePointer->wakeUpCount(), 1u);
    EXPECT_EQ(std::this_thread::get_id(), mainThread);
}

TEST(NotificationBridgeTest, AFailingActionDoesNotStopLaterNotifications)
{
    NotificationCenter center;
    std::vector<int> handled;
    NotificationBridge bridge([&](const Notification& n) {
        handled.push_back(static_cast<int>(n.object.toInteger()));
        if (n.object.toInteger() == 1)
            throw std::runtime_error("broken action");
    });
    bridge.setupNotificationThreadingSupport();
    bridge.registerForNotification(center, OVFinishedNotification);
    std::thread worker([&] {
        center.post(OVFinishedNotification, 1);
        center.post(OVFinishedNotification, 2);
    });
    worker.join();
    ASSERT_TRUE(processEventsUntil([&] { return handled.size() == 2; }));
    std::thread again([&] { center.post(OVFinishedNotification, 3); });
    again.join();
    ASSERT_TRUE(processEventsUntil([&] { return handled.size() == 3; }));
    EXPECT_EQ(handled, (std::vector<int>{1, 2, 3}));
}

TEST(NotificationBridgeTest, SetUpTwiceKeepsTheFirstThread)
{
    Recorder recorder;
    NotificationCenter center;
    NotificationBridge bridge(recorder.handler());
    bridge.setupNotificationThreadingSupport();
    std::thread other([&] { bridge.setupNotificationThreadingSupport(); });
    other.join();
    bridge.registerForNotification(center, OVMetaintNotification);
    center.post(OVMetaintNotification, 1, 16000);
    EXPECT_EQ(recorder.handled.size(), 1u);
}
