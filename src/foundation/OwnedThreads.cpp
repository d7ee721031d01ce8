#include "OwnedThreads.h"

#include "Log.h"

#include <exception>
#include <system_error>

namespace orvanta {

OwnedThreads::~OwnedThreads()
{
    joinAll();
}

std::list<OwnedThreads::Entry> OwnedThreads::takeFinishedLocked()
{
    std::list<Entry> finished;
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        auto next = std::next(it);
        if (it->finished)
            finished.splice(finished.end(), m_threads, it);
        it = next;
    }
    return finished;
}

bool OwnedThreads::start(std::string operation, std::function<void()> body)
{
    std::list<Entry> finished;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            logMessage(operation, "Not started: shutting down");
            return false;
        }
        finished = takeFinishedLocked();
        m_threads.emplace_back();
        Entry* entry = &m_threads.back();
        try {
            entry->thread = std::thread([this, entry, operation, body = std::move(body)]() mutable {
                try {
                    body();
                } catch (const std::exception& e) {
                    logMessage(operation, std::string("Thread failed: ") + e.what());
                } catch (...) {
                    logMessage(operation, "Thread failed");
                }
                // What the body holds goes before the owner hears of the end, so nothing
                // it captured outlives joinAll().
                body = nullptr;
                {
                    std::lock_guard done(m_mutex);
                    entry->finished = true;
                    --m_running;
                }
                m_changed.notify_all();
            });
        } catch (const std::system_error& e) {
            m_threads.pop_back();
            logMessage(operation, std::string("Could not start a thread: ") + e.what());
            return false;
        }
        ++m_running;
    }
    // A finished thread has at most its last instructions left: joining it is quick.
    for (Entry& entry : finished)
        entry.thread.join();
    return true;
}

std::size_t OwnedThreads::running() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

bool OwnedThreads::waitForAll(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_running == 0; });
}

void OwnedThreads::joinAll()
{
    std::list<Entry> all;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        all.swap(m_threads);
    }
    for (Entry& entry : all) {
        if (entry.thread.joinable())
            entry.thread.join();
    }
}

} // namespace orvanta
