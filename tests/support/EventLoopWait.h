#pragma once

// Waiting on the test thread while it plays the main thread: the Qt event loop runs, so
// queued calls and wake-ups from other threads are delivered meanwhile.

#include <chrono>
#include <functional>
#include <thread>

#include <QCoreApplication>

namespace orvanta::test {

/// Spins the event loop until condition() holds or the time is up; the last answer.
inline bool spinUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace orvanta::test
