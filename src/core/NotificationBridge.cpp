#include "NotificationBridge.h"

#include "Log.h"

#include <exception>

namespace orvanta {

NotificationBridge::NotificationBridge(Handler handler)
    : m_handler(std::move(handler)), m_notificationPort([this] { handleMachMessage(); })
{}

NotificationBridge::~NotificationBridge()
{
    for (auto [center, token] : m_registrations)
        center->removeObserver(token);
}

void NotificationBridge::setupNotificationThreadingSupport()
{
    if (m_isSetUp)
        return;
    m_isSetUp = true;
    m_notificationThread = std::this_thread::get_id();
}

void NotificationBridge::registerForNotification(NotificationCenter& center, std::string_view name)
{
    const auto token = center.addObserver(
        name, [this](const Notification& notification) { processNotification(notification); });
    m_registrations.emplace_back(&center, token);
}

void NotificationBridge::processNotification(const Notification& notification)
{
    if (std::this_thread::get_id() == m_notificationThread) {
        deliver(notification);
        return;
    }
    bool wakeUp = false;
    {
        std::lock_guard lock(m_notificationLock);
        m_notificationQueue.push_back(notification);
        // One wake-up at a time: a pending drain will find this notification too.
        wakeUp = !m_wakeUpPending;
        m_wakeUpPending = true;
        m_wakeUps += wakeUp ? 1 : 0;
    }
    if (wakeUp)
        m_notificationPort.post();
}

void NotificationBridge::handleMachMessage()
{
    for (;;) {
        Notification next;
        {
            std::lock_guard lock(m_notificationLock);
            if (m_notificationQueue.empty()) {
                m_wakeUpPending = false;
                return;
            }
            next = std::move(m_notificationQueue.front());
            m_notificationQueue.pop_front();
        }
        // Handled outside the lock: the handler may post, and posters must never wait.
        deliver(next);
    }
}

void NotificationBridge::deliver(const Notification& notification)
{
    // A failing action must not stop the drain, or later notifications would wait forever.
    try {
        m_handler(notification);
    } catch (const std::exception& e) {
        logMessage("NotificationBridge::deliver",
                   "Handling " + notification.name + " failed: " + e.what());
    }
}

std::size_t NotificationBridge::queuedCount() const
{
    std::lock_guard lock(m_notificationLock);
    return m_notificationQueue.size();
}

} // namespace orvanta

namespace orvanta {

std::size_t NotificationBridge::wakeUpCount() const
{
    std::lock_guard lock(m_notificationLock);
    return m_wakeUps;
}

} // namespace orvanta
