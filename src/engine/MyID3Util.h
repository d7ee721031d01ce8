#pragma once

// Builds the 128-byte ID3v1 tag that the file writer appends to a recorded file. ID3v1 text
// is ISO-8859-1 (Latin-1), the character set its readers assume. Every function returns a new
// buffer owned by the caller.
//
// Thread-safe: pure functions.

#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

class MyID3Util
{
public:
    static constexpr std::size_t kTagSize = 128;
    static constexpr std::size_t kTextFieldSize = 30;
    static constexpr std::uint8_t kNoGenre = 255;

    /// 128-byte ID3v1 tag; nullopt strings are absent fields; year 0 leaves the year field
    /// zero, and so does a year outside 1…9999, which four digits cannot hold. Text is cut to
    /// 30 bytes after conversion to Latin-1, with no terminator when a field is full.
    static Bytes createID3v1TagWithTitle(const std::optional<std::string>& title,
                                         const std::optional<std::string>& artist,
                                         const std::optional<std::string>& album, std::int64_t year,
                                         const std::optional<std::string>& comment,
                                         std::uint8_t genre);

    /// utf8 in Latin-1, at most maxLength bytes. Text is composed first (an 'e' followed by a
    /// combining accent becomes 'é'); each user-perceived character that Latin-1 lacks becomes
    /// one '?', whatever its length in code points.
    static std::string latin1Text(std::string_view utf8, std::size_t maxLength);
};

/// The ID3v1 tag of an ID3TAGS dictionary: `TIT2`, `TPE1`, `TALB`, `TYER` read as an integer
/// (a number or a string of digits; anything else counts as 0), `COMM`, and no genre (255).
/// Numbers under the text keys are written as their decimal text; other non-strings are absent.
Bytes createID3v1TagFromDictionary(const Dictionary& id3Tags);

} // namespace orvanta
