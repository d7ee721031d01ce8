#include "IcyHeaders.h"

#include <charconv>

namespace orvanta {

namespace {

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t length = c < 0x80         ? 1
                                   : (c >> 5) == 6  ? 2
                                   : (c >> 4) == 14 ? 3
                                   : (c >> 3) == 30 ? 4
                                                    : 0;
        if (length == 0 || i + length > s.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

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
    header.value = isValidUtf8(value) ? std::string(value) : latin1ToUtf8(value);
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
