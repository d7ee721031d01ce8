#include "RecordingThreads.h"

#include <condition_variable>
#include <mutex>

namespace orvanta {

namespace {

struct Counter
{
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t running = 0;
};

Counter& counter()
{
    static Counter* instance = new Counter; // outlives every detached thread at exit
    return *instance;
}

} // namespace

void RecordingThreads::started()
{
    std::lock_guard lock(counter().mutex);
    ++counter().running;
}

void RecordingThreads::finished()
{
    {
        std::lock_guard lock(counter().mutex);
        --counter().running;
    }
    counter().changed.notify_all();
}

std::size_t RecordingThreads::running()
{
    std::lock_guard lock(counter().mutex);
    return counter().running;
}

bool RecordingThreads::waitForAll(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(counter().mutex);
    return counter().changed.wait_for(lock, timeout, [] { return counter().running == 0; });
}

} // namespace orvanta
