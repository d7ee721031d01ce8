#pragma once

// Owns a curl_slist (request header lines, HTTP 200 aliases and the like) and frees it.
//
// libcurl keeps only the pointer, so a list set on an easy handle must outlive every transfer
// made with it. Move-only. Thread: one at a time.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>

namespace orvanta::curl {

class Slist
{
public:
    Slist() = default;
    /// Throws std::bad_alloc when libcurl cannot copy a line.
    Slist(std::initializer_list<std::string_view> lines);
    ~Slist();

    Slist(Slist&& other) noexcept;
    Slist& operator=(Slist&& other) noexcept;
    Slist(const Slist&) = delete;
    Slist& operator=(const Slist&) = delete;

    /// Appends a copy of line; throws std::bad_alloc when libcurl cannot copy it (the list
    /// keeps its earlier lines). A line must not hold a zero byte: libcurl would cut it there.
    void append(std::string_view line);

    curl_slist* get() const { return m_head; }
    bool empty() const { return m_head == nullptr; }

    /// A copy of the lines, in order.
    std::vector<std::string> lines() const;

private:
    curl_slist* m_head = nullptr;
};

} // namespace orvanta::curl
