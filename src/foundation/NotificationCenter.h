#pragma once

// A process-wide notification centre: observers register for a name and are called
// synchronously, on the posting thread, for every notification of that name.
//
// Thread-safe: observers may be added, removed and notifications posted from any thread.
// No lock is held while an observer runs, so observers may post or (un)register.
// removeObserver() waits for calls of that observer still running on other threads, so
// once it returns the observer is never called again and what it captured may go.

#include "Value.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvanta {

/// A name, an object (for recordings the sender's tag) and a user-info value. The poster
/// hands the payload over: it must not edit the containers in it after posting.
struct Notification
{
    std::string name;
    Value object;
    Value userInfo;
};

class NotificationCenter
{
public:
    using Observer = std::function<void(const Notification&)>;
    using Token = std::uint64_t;

    /// The centre that recording threads post to.
    static NotificationCenter& defaultCenter();

    /// Registers observer for name (an empty name observes every notification).
    Token addObserver(std::string_view name, Observer observer);
    /// Unregisters and waits until no other thread is inside the observer. An observer may
    /// remove itself; that call does not wait for itself.
    void removeObserver(Token token);

    /// Calls every observer of the notification's name, in registration order, now.
    void postNotification(const Notification& notification);
    void post(std::string_view name, Value object = {}, Value userInfo = {});

private:
    struct Registration
    {
        Token token;
        std::string name;
        Observer observer;
        std::mutex mutex; // guards active and callers
        std::condition_variable idle;
        bool active = true;
        std::vector<std::thread::id> callers; // threads inside the observer now

        bool enter();
        void leave();
        void deactivateAndWait();
    };

    std::mutex m_mutex;
    std::vector<std::shared_ptr<Registration>> m_registrations;
    Token m_nextToken = 1;
};

} // namespace orvanta
