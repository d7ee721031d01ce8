#pragma once

// Counts the threads of running recordings (client threads, workers), so that shut-down
// and tests can wait until every one of them has ended.
//
// Thread-safe.

#include <chrono>
#include <cstddef>

namespace orvanta {

class RecordingThreads
{
public:
    static void started();
    static void finished();
    static std::size_t running();
    /// True when none runs any more; false when the time ran out first.
    static bool waitForAll(std::chrono::milliseconds timeout);
};

} // namespace orvanta
