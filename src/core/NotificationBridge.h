#pragma once

// Brings notifications posted on any thread to the main thread, one at a time, in the
// order each posting thread delivered them.
//
// processNotification() is the observer for every name the application core watches.
// On the main thread it hands the notification to the handler at once. On any other
// thread it appends it to the queue under one lock and wakes the main thread with a
// queued call; the wake-up (handleMachMessage) drains everything queued, including what
// arrives while it runs, so a lost or merged wake-up never loses a notification.
//
// Thread: created and used on the main thread; processNotification() is thread-safe.
// The handler always runs on the main thread.

#include "NotificationCenter.h"

#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "WakeUpReceiver.h"

namespace orvanta {

class NotificationBridge
{
public:
    using Handler = std::function<void(const Notification&)>;

    explicit NotificationBridge(Handler handler);
    ~NotificationBridge();
    NotificationBridge(const NotificationBridge&) = delete;
    NotificationBridge& operator=(const NotificationBridge&) = delete;

    /// Records the calling thread as the main thread; does nothing when already set up.
    void setupNotificationThreadingSupport();

    /// Observes name on center with processNotification(); removed again on destruction.
    void registerForNotification(NotificationCenter& center, std::string_view name);

    /// The observer: see the class comment.
    void processNotification(const Notification& notification);

    /// Drains the queue on the main thread.
    void handleMachMessage();

    /// Notifications waiting for the main thread.
    std::size_t queuedCount() const;
    /// How many wake-ups were sent to the main thread so far (diagnostics).
    std::size_t wakeUpCount() const;

private:
    void deliver(const Notification& notification);

    Handler m_handler;
    WakeUpReceiver m_notificationPort; // created on, and wakes, the main thread
    bool m_isSetUp = false;
    std::thread::id m_notificationThread;

    mutable std::mutex m_notificationLock; // guards the two fields below
    std::deque<Notification> m_notificationQueue;
    bool m_wakeUpPending = false;
    std::size_t m_wakeUps = 0;

    std::vector<std::pair<NotificationCenter*, NotificationCenter::Token>> m_registrations;
};

} // namespace orvanta
