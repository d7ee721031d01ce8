#include "PlaylistHelpers.h"

#include "StringExtensions.h"

#include <algorithm>
#include <cctype>

namespace orvanta {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Every CR LF, lone CR and lone LF ends a line: playlists edited on several systems mix them,
// and splitting at one kind only would glue entries together.
std::vector<std::string_view> splitLines(std::string_view text)
{
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::vector<std::string> valuesOfLinesStartingWith(std::string_view playlist, std::string_view key)
{
    std::vector<std::string> values;
    for (const auto line : splitLines(playlist)) {
        if (!startsWithIgnoringCase(line, key))
            continue;
        const auto equals = line.find('=');
        if (equals != std::string_view::npos) // a line without "=" names nothing
            values.emplace_back(line.substr(equals + 1));
    }
    return values;
}

} // namespace

std::vector<std::string> PLSHelper::parse(std::string_view playlist)
{
    return valuesOfLinesStartingWith(playlist, "file");
}

std::vector<std::string> PLSHelper::getTitles(std::string_view playlist)
{
    return valuesOfLinesStartingWith(playlist, "title");
}

std::vector<std::string> M3UHelper::webAddresses(std::string_view playlist)
{
    std::vector<std::string> addresses;
    for (const auto line : splitLines(playlist)) {
        // The case is kept: stream paths on many servers are case-sensitive.
        std::string address = stringByTrimmingWhitespaceAndNewline(line);
        if (startsWithIgnoringCase(address, "http://") ||
            startsWithIgnoringCase(address, "https://"))
            addresses.push_back(std::move(address));
    }
    return addresses;
}

std::optional<std::string> M3UHelper::redirectsToRawStream(std::string_view playlist)
{
    for (std::string& address : webAddresses(playlist)) {
        if (!endsWithIgnoringCase(address, ".mp3"))
            return std::move(address);
    }
    return std::nullopt;
}

} // namespace orvanta
