#pragma once

// Synchronous calls between threads. Each thread that receives calls owns a Mailbox; a
// caller posts a task and waits for its result. A thread that waits for a call of its own
// keeps serving the calls made to it meanwhile, so calls may nest in both directions (a
// client registering with its server while the server calls the client back) without a
// deadlock. When a mailbox is closed, pending and later calls fail instead of waiting.
//
// Thread-safe: post(), wake() and close() from any thread; serveUntil() on the owner only.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace orvanta {

class Mailbox
{
public:
    struct Task
    {
        std::function<void()> run;
        std::function<void()> cancel; // called instead of run when the mailbox closes first
    };

    /// wakeHook (optional) is called after every post, for owners that sleep elsewhere
    /// (the main thread's event loop).
    explicit Mailbox(std::function<void()> wakeHook = {});
    ~Mailbox();
    Mailbox(const Mailbox&) = delete;
    Mailbox& operator=(const Mailbox&) = delete;

    /// Makes the calling thread the owner, the one that serves this mailbox.
    void adoptCurrentThread();
    bool isOwnerThread() const;

    /// Queues a task; false (and nothing queued) once the mailbox is closed.
    bool post(Task task);
    /// Runs queued tasks until none is left; owner thread only.
    void serveAll();
    /// Runs queued tasks and sleeps until done() holds; done() is checked after each task
    /// and each wake(). Owner thread only.
    void serveUntil(const std::function<bool()>& done);
    /// As serveUntil, but gives up after timeout; returns whether done() held.
    bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    /// Makes a serveUntil() check its condition again.
    void wake();
    /// Refuses later posts and cancels the queued tasks.
    void close();
    bool isClosed() const;

    /// The mailbox the calling thread owns, if any.
    static Mailbox* current();

private:
    std::function<void()> m_wakeHook;
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::deque<Task> m_tasks;
    bool m_wakePending = false;
    bool m_closed = false;
    std::thread::id m_owner;
};

/// Runs f on target's owner thread and returns its result, or nothing when the target is
/// closed before it runs. From the owner thread itself f runs at once. While waiting, the
/// caller serves its own mailbox, if it has one.
template <typename F> auto callSync(Mailbox& target, F f) -> std::optional<std::invoke_result_t<F>>
{
    using R = std::invoke_result_t<F>;
    if (target.isOwnerThread())
        return f();
    struct Call
    {
        std::mutex mutex;
        std::condition_variable condition;
        bool finished = false;
        std::optional<R> result;
    };
    auto call = std::make_shared<Call>();
    Mailbox* own = Mailbox::current();
    auto finish = [call, own](std::optional<R> result) {
        // The caller may return, and end its mailbox, as soon as it sees finished: wake it
        // before it can.
        std::lock_guard lock(call->mutex);
        call->result = std::move(result);
        call->finished = true;
        call->condition.notify_all();
        if (own)
            own->wake();
    };
    Mailbox::Task task{[f = std::move(f), finish]() mutable { finish(f()); },
                       [finish] { finish(std::nullopt); }};
    if (!target.post(std::move(task)))
        return std::nullopt;
    auto finished = [&call] {
        std::lock_guard lock(call->mutex);
        return call->finished;
    };
    if (own) {
        own->serveUntil(finished);
    } else {
        std::unique_lock lock(call->mutex);
        call->condition.wait(lock, [&call] { return call->finished; });
    }
    std::lock_guard lock(call->mutex);
    return std::move(call->result);
}

/// callSync for functions without a result: true when f ran.
template <typename F> bool callSyncVoid(Mailbox& target, F f)
{
    return callSync(target,
                    [f = std::move(f)]() mutable {
                        f();
                        return true;
                    })
        .has_value();
}

} // namespace orvanta
