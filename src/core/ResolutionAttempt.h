#pragma once

#include "Node.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

// One start attempt of a recording, shared by the main thread and the worker resolving its
// addresses. The worker gets only what it needs to read; the station stays on the main
// thread (node is weak so that a station deleted meanwhile is not kept or touched).
struct ResolutionAttempt
{
    std::int32_t tag = 0;
    std::weak_ptr<Node> node;
    std::vector<std::string> urls;
    std::optional<std::string> credentials;
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    std::condition_variable wakeUp;

    void cancel()
    {
        {
            std::lock_guard lock(mutex);
            cancelled = true;
        }
        wakeUp.notify_all();
    }

    /// Sleeps for seconds unless cancelled first; true when not cancelled.
    bool waitBeforeRetry(std::int64_t seconds)
    {
        std::unique_lock lock(mutex);
        wakeUp.wait_for(lock, std::chrono::seconds(std::max<std::int64_t>(seconds, 0)),
                        [this] { return cancelled.load(); });
        return !cancelled;
    }
};

} // namespace orvanta
