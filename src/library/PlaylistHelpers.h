#pragma once

// Reading the addresses out of PLS and M3U playlist texts.
//
// Stateless: class operations only, pure functions over their argument. Thread-safe.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

class PLSHelper
{
public:
    /// The text after the first "=" of every line that begins, in any case, with "file", in
    /// line order and unchanged. Lines may end in CR LF, CR or LF, mixed.
    static std::vector<std::string> parse(std::string_view playlist);

    /// The same for lines beginning with "title". Titles pair with parse()'s entries by
    /// position only: the numbers after File and Title are not read.
    static std::vector<std::string> getTitles(std::string_view playlist);
};

class M3UHelper
{
public:
    /// Every line that, trimmed, begins with "http://" or "https://" (any case), trimmed and
    /// in line order: a station's addresses.
    static std::vector<std::string> webAddresses(std::string_view playlist);

    /// The first line that, trimmed, begins with "http://" or "https://" (any case) and does
    /// not end with ".mp3", as written but trimmed: the live stream the playlist points at.
    /// Nothing when every web address names an MP3 file: such a list is a list of files.
    static std::optional<std::string> redirectsToRawStream(std::string_view playlist);
};

} // namespace orvanta
