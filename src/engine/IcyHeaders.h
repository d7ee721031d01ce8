#pragma once

// Parsing of one HTTP/ICY response header line, as libcurl hands them over (line end
// included). Pure functions over bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

struct HeaderLine
{
    std::string name;  // lower case
    std::string value; // without the line end and surrounding spaces and tabs; UTF-8
};

/// The name and value of a header line; nothing for a status line, a blank line or a line
/// without a colon. Values that are not UTF-8 are read as ISO 8859-1, as ICY servers send.
std::optional<HeaderLine> parseHeaderLine(std::string_view line);

/// The integer at the start of a value ("128", " 128,128"), as scanf's %d reads it.
std::optional<std::int64_t> leadingInteger(std::string_view value);

/// The metadata interval from an icy-metaint value: 1 to 65536, else nothing.
std::optional<std::int64_t> validMetaint(std::string_view value);

inline constexpr std::int64_t kMaxMetaint = 65536;

} // namespace orvanta
