#include "NotificationCenter.h"

#include <algorithm>

namespace orvanta {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(std::string_view name, Observer observer)
{
    auto registration = std::make_shared<Registration>();
    registration->name = std::string(name);
    registration->observer = std::move(observer);
    std::lock_guard lock(m_mutex);
    registration->token = m_nextToken++;
    m_registrations.push_back(registration);
    return registration->token;
}

bool NotificationCenter::Registration::enter()
{
    std::lock_guard lock(mutex);
    if (!active)
        return false;
    callers.push_back(std::this_thread::get_id());
    return true;
}

void NotificationCenter::Registration::leave()
{
    {
        std::lock_guard lock(mutex);
        callers.erase(std::find(callers.begin(), callers.end(), std::this_thread::get_id()));
    }
    idle.notify_all();
}

void NotificationCenter::Registration::deactivateAndWait()
{
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex);
    active = false;
    // A call on this very thread is the observer removing itself: waiting for it would
    // never end.
    idle.wait(lock, [&] {
        return std::all_of(callers.begin(), callers.end(),
                           [self](std::thread::id caller) { return caller == self; });
    });
}

void NotificationCenter::removeObserver(Token token)
{
    std::shared_ptr<Registration> removed;
    {
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                               [token](const auto& r) { return r->token == token; });
        if (it == m_registrations.end())
            return;
        removed = *it;
        m_registrations.erase(it);
    }
    removed->deactivateAndWait();
}

void NotificationCenter::postNotification(const Notification& notification)
{
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& r : m_registrations) {
            if (r->name.empty() || r->name == notification.name)
                matching.push_back(r);
        }
    }
    for (const auto& r : matching) {
        // An observer removed meanwhile (by an earlier observer of this same post, or by
        // another thread) is skipped.
        if (!r->enter())
            continue;
        try {
            r->observer(notification);
        } catch (...) {
            r->leave();
            throw;
        }
        r->leave();
    }
}

void NotificationCenter::post(std::string_view name, Value object, Value userInfo)
{
    postNotification(Notification{std::string(name), std::move(object), std::move(userInfo)});
}

} // namespace orvanta
