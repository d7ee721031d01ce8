#include "IcyHeaders.h"

#include "StringExtensions.h"

#include <charconv>

namespace orvanta {

namespace {

std::string_view trimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<HeaderLine> parseHeaderLine(std::string_view line)
{
    // The real line end, whatever the server sent: CRLF, LF or none at all.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::string_view name = line.substr(0, colon);
    if (name.find(' ') != std::string_view::npos) // "ICY 200 OK", "HTTP/1.0 200 OK"
        return std::nullopt;
    HeaderLine header;
    header.name.reserve(name.size());
    for (const char c : name)
        header.name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string_view value = trimSpaces(line.substr(colon + 1));
    header.value = utf8OrLatin1(value);
    return header;
}

std::optional<std::int64_t> leadingInteger(std::string_view value)
{
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    if (!value.empty() && value.front() == '+')
        value.remove_prefix(1);
    std::int64_t result = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (ec != std::errc() || end == value.data())
        return std::nullopt;
    return result;
}

std::optional<std::int64_t> validMetaint(std::string_view value)
{
    std::int64_t result = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (ec != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    if (result < 1 || result > kMaxMetaint)
        return std::nullopt;
    return result;
}

} // namespace orvanta
