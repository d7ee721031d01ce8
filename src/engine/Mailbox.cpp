#include "Mailbox.h"

namespace orvanta {

namespace {
thread_local Mailbox* t_currentMailbox = nullptr;
}

Mailbox::Mailbox(std::function<void()> wakeHook) : m_wakeHook(std::move(wakeHook)) {}

Mailbox::~Mailbox()
{
    close();
    if (t_currentMailbox == this)
        t_currentMailbox = nullptr;
}

void Mailbox::adoptCurrentThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_owner = std::this_thread::get_id();
    }
    t_currentMailbox = this;
}

bool Mailbox::isOwnerThread() const
{
    std::lock_guard lock(m_mutex);
    return m_owner == std::this_thread::get_id();
}

Mailbox* Mailbox::current()
{
    return t_currentMailbox;
}

// Notifications go out under the lock: once the owner may see the change it may also
// destroy the mailbox, so nothing may touch it after the lock is released.
bool Mailbox::post(Task task)
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return false;
    m_tasks.push_back(std::move(task));
    m_condition.notify_all();
    if (m_wakeHook)
        m_wakeHook();
    return true;
}

void Mailbox::serveAll()
{
    // serveUntil runs every queued task before it asks whether it is done.
    serveUntil([] { return true; });
}

void Mailbox::serveUntil(const std::function<bool()>& done)
{
    serveUntil(done, std::chrono::milliseconds::max());
}

bool Mailbox::serveUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto now = std::chrono::steady_clock::now();
    const bool forever = timeout >= std::chrono::hours(24 * 365);
    const auto deadline = forever ? std::chrono::steady_clock::time_point::max() : now + timeout;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_tasks.empty()) {
            Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task.run();
            lock.lock();
            continue;
        }
        // done() may take other locks: never evaluate it under ours.
        m_wakePending = false;
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished)
            return true;
        auto ready = [this] { return !m_tasks.empty() || m_wakePending; };
        if (forever)
            m_condition.wait(lock, ready);
        else if (!m_condition.wait_until(lock, deadline, ready))
            return false;
    }
}

void Mailbox::wake()
{
    std::lock_guard lock(m_mutex);
    m_wakePending = true;
    m_condition.notify_all();
}

void Mailbox::close()
{
    std::deque<Task> cancelled;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_closed = true;
        cancelled.swap(m_tasks);
        m_wakePending = true;
        m_condition.notify_all();
    }
    for (auto& task : cancelled) {
        if (task.cancel)
            task.cancel();
    }
}

bool Mailbox::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

} // namespace orvanta
