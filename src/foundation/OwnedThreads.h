#pragma once

// A group of threads that one owner starts and joins: recording clients and their
// workers, address resolution, script hand-overs. Nothing is detached, so whatever the
// threads use (the owner, the notification centre, the preferences) only has to outlive
// the owner's joinAll().
//
// A body's exception never leaves its thread: it is logged under the operation's name.
// Finished threads are joined as new ones start, so the group holds only running ones.
//
// Thread-safe: threads may be started from any thread, including the group's own threads.
// joinAll() must not be called from one of them.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace orvanta {

class OwnedThreads
{
public:
    OwnedThreads() = default;
    /// Joins every thread (see joinAll).
    ~OwnedThreads();
    OwnedThreads(const OwnedThreads&) = delete;
    OwnedThreads& operator=(const OwnedThreads&) = delete;

    /// Runs body on a new thread of the group. False, and body is dropped unrun, once
    /// joinAll() has begun or the thread could not be created.
    bool start(std::string operation, std::function<void()> body);

    /// Threads whose body has not returned yet.
    std::size_t running() const;
    /// Waits until no body runs any more; false when the time ran out first.
    bool waitForAll(std::chrono::milliseconds timeout) const;

    /// Refuses new threads, then joins every one. Blocks until all bodies have returned:
    /// the owner first asks them to stop.
    void joinAll();

private:
    struct Entry
    {
        std::thread thread;
        bool finished = false;
    };

    /// Moves out the threads that have finished, for joining without the lock.
    std::list<Entry> takeFinishedLocked();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::list<Entry> m_threads;
    std::size_t m_running = 0;
    bool m_closed = false;
};

} // namespace orvanta
