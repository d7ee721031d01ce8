#include "Slist.h"

#include <new>
#include <utility>

namespace orvanta::curl {

Slist::Slist(std::initializer_list<std::string_view> lines)
{
    for (const std::string_view line : lines)
        append(line);
}

Slist::~Slist()
{
    curl_slist_free_all(m_head);
}

Slist::Slist(Slist&& other) noexcept : m_head(std::exchange(other.m_head, nullptr)) {}

Slist& Slist::operator=(Slist&& other) noexcept
{
    if (this != &other) {
        curl_slist_free_all(m_head);
        m_head = std::exchange(other.m_head, nullptr);
    }
    return *this;
}

void Slist::append(std::string_view line)
{
    // curl_slist_append wants a terminated string and copies it.
    const std::string terminated(line);
    curl_slist* head = curl_slist_append(m_head, terminated.c_str());
    if (head == nullptr)
        throw std::bad_alloc();
    m_head = head;
}

std::vector<std::string> Slist::lines() const
{
    std::vector<std::string> result;
    for (const curl_slist* item = m_head; item != nullptr; item = item->next)
        result.emplace_back(item->data);
    return result;
}

} // namespace orvanta::curl
