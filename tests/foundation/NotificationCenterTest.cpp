#include "NotificationCenter.h"
#include "Log.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

using namespace orvanta;

TEST(NotificationCenterTest, CallsObserversOfTheNameOnThePostingThread)
{
    NotificationCenter center;
    std::vector<std::string> seen;
    std::thread::id observedOn;
    center.addObserver("A", [&](const Notification& n) {
        seen.push_back("A:" + n.userInfo.toString());
        observedOn = std::this_thread::get_id();
    });
    center.addObserver("", [&](const Notification& n) { seen.push_back("any:" + n.name); });
    center.post("B");
    std::thread poster([&] { center.post("A", 7, "payload"); });
    const auto posterId = poster.get_id();
    poster.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"any:B", "A:payload", "any:A"}));
    EXPECT_EQ(observedOn, posterId);
}

TEST(NotificationCenterTest, RemovedObserversAreNotCalledEvenDuringAPost)
{
    NotificationCenter center;
    int secondCalls = 0;
    NotificationCenter::Token second = 0;
    center.addObserver("N", [&](const Notification&) { center.removeObserver(second); });
    second = center.addObserver("N", [&](const Notification&) { ++secondCalls; });
    center.post("N");
    center.post("N");
    EXPECT_EQ(secondCalls, 0);
}

TEST(NotificationCenterTest, RemovingAnObserverWaitsForItsCallOnAnotherThread)
{
    using namespace std::chrono_literals;
    NotificationCenter center;
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    // What the observer touches lives until removeObserver has returned, and no longer.
    auto state = std::make_unique<std::atomic<int>>(0);
    const auto token = center.addObserver("N", [&](const Notification&) {
        entered.set_value();
        released.wait();
        ++*state;
    });
    std::thread poster([&] { center.post("N"); });
    entered.get_future().wait();

    auto removal = std::async(std::launch::async, [&] { center.removeObserver(token); });
    EXPECT_EQ(removal.wait_for(200ms), std::future_status::timeout)
        << "removeObserver returned while the observer was still running";
    release.set_value();
    ASSERT_EQ(removal.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(state->load(), 1);
    state.reset();
    poster.join();
    center.post("N"); // no longer observed: nothing touches the freed state
}

TEST(NotificationCenterTest, AnObserverMayRemoveItselfWhileAnotherThreadCallsIt)
{
    NotificationCenter center;
    std::atomic<int> calls{0};
    NotificationCenter::Token token = 0;
    token = center.addObserver("N", [&](const Notification&) {
        ++calls;
        center.removeObserver(token);
    });
    std::thread a([&] { center.post("N"); });
    std::thread b([&] { center.post("N"); });
    a.join();
    b.join();
    EXPECT_GE(calls.load(), 1);
    EXPECT_LE(calls.load(), 2);
    center.post("N");
    EXPECT_LE(calls.load(), 2);
}

TEST(NotificationCenterTest, ConcurrentPostsAndRegistrationsAreSafe)
{
    NotificationCenter center;
    std::atomic<int> calls{0};
    center.addObserver("N", [&](const Notification&) { ++calls; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                auto token = center.addObserver("other", [](const Notification&) {});
                center.post("N", i);
                center.removeObserver(token);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(calls.load(), 2000);
}

TEST(LogTest, LinesNameTheOperation)
{
    std::vector<std::string> lines;
    auto previous = setLogSink([&](const std::string& line) { lines.push_back(line); });
    logMessage("MainController::init", "Fatal error, curl_global_init returned code: 2");
    logFormat("%s : Failed to ASInit with preferred heap size of %ld", "op", 1048576L);
    setLogSink(previous);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "MainController::init : Fatal error, curl_global_init returned code: 2");
    EXPECT_EQ(lines[1], "op : Failed to ASInit with preferred heap size of 1048576");
}
