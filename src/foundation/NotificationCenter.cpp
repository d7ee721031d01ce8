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

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                           [token](const auto& r) { return r->token == token; });
    if (it == m_registrations.end())
        return;
    (*it)->active = false;
    m_registrations.erase(it);
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
        // An observer removed by an earlier observer of this same post is skipped.
        if (r->active)
            r->observer(notification);
    }
}

void NotificationCenter::post(std::string_view name, Value object, Value userInfo)
{
    postNotification(Notification{std::string(name), std::move(object), std::move(userInfo)});
}

} // namespace orvanta
