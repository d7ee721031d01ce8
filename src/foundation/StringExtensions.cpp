#include "StringExtensions.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace orvanta {

char32_t decodeUtf8(std::string_view utf8, std::size_t& pos)
{
    const auto c = static_cast<unsigned char>(utf8[pos]);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    const std::size_t length = c >= 0xF0 && c < 0xF5 ? 4
                               : c >= 0xE0           ? (c < 0xF0 ? 3 : 0)
                               : c >= 0xC2           ? 2
                                                     : 0;
    if (length == 0 || pos + length > utf8.size()) {
        ++pos;
        return 0xFFFD;
    }
    char32_t cp = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : c & 0x1F;
    for (std::size_t k = 1; k < length; ++k) {
        const auto cc = static_cast<unsigned char>(utf8[pos + k]);
        if ((cc & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (cc & 0x3F);
    }
    const char32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += length;
    return cp;
}

namespace {

template <typename Visit> void forEachUtf16Unit(std::string_view utf8, Visit visit)
{
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            visit(static_cast<char16_t>(0xD800 + (v >> 10)));
            visit(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            visit(static_cast<char16_t>(cp));
        }
    }
}

bool isWhitespaceOrNewline(char32_t cp)
{
    return cp == 0x20 || (cp >= 0x09 && cp <= 0x0D) || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
           (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
           cp == 0x205F || cp == 0x3000;
}

} // namespace

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() &&
           startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string utf8OrLatin1(std::string_view bytes)
{
    bool valid = true;
    for (std::size_t pos = 0; pos < bytes.size() && valid;) {
        const std::size_t start = pos;
        valid = !(decodeUtf8(bytes, pos) == U'\uFFFD' && pos - start == 1);
    }
    if (valid)
        return std::string(bytes);
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string truncateUtf8(const std::string& utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return utf8.substr(0, cut);
}

Bytes unicharsAsData(std::string_view utf8)
{
    Bytes out;
    out.reserve(utf8.size() * 2);
    forEachUtf16Unit(utf8, [&](char16_t unit) {
        std::uint8_t raw[2];
        std::memcpy(raw, &unit, 2); // host byte order
        out.push_back(raw[0]);
        out.push_back(raw[1]);
    });
    return out;
}

std::size_t unicharsLengthInBytes(std::string_view utf8)
{
    std::size_t units = 0;
    forEachUtf16Unit(utf8, [&](char16_t) { ++units; });
    return 2 * units;
}

std::string stringByTrimmingWhitespaceAndNewline(std::string_view utf8)
{
    std::size_t begin = 0;
    while (begin < utf8.size()) {
        std::size_t next = begin;
        if (!isWhitespaceOrNewline(decodeUtf8(utf8, next)))
            break;
        begin = next;
    }
    std::size_t end = begin;
    std::size_t pos = begin;
    while (pos < utf8.size()) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (!isWhitespaceOrNewline(cp))
            end = pos;
    }
    return std::string(utf8.substr(begin, end - begin));
}

} // namespace orvanta
