#pragma once

// String helpers shared by the whole application. Strings are UTF-8; invalid sequences
// count as one U+FFFD each, as a UTF-8 decoder replaces them.
//
// Thread-safe: pure functions.

#include "Value.h"

#include <string>
#include <string_view>

namespace orvanta {

/// The string's UTF-16 code units in host byte order, without byte-order mark or
/// terminator: 2 × its UTF-16 length bytes. Text handed to script handlers travels so.
Bytes unicharsAsData(std::string_view utf8);

/// 2 × the string's length in UTF-16 code units.
std::size_t unicharsLengthInBytes(std::string_view utf8);

/// The string without leading and trailing white space and line ends (Unicode space
/// separators, tab, line feed to carriage return, next line, line and paragraph separators).
std::string stringByTrimmingWhitespaceAndNewline(std::string_view utf8);

/// Bytes from the network as UTF-8: kept when they already are, else read as ISO 8859-1
/// (every byte maps to a character, so nothing is lost).
std::string utf8OrLatin1(std::string_view bytes);

/// The longest prefix of utf8 within maxBytes that does not split a character.
std::string truncateUtf8(const std::string& utf8, std::size_t maxBytes);

/// ASCII case-insensitive prefix and suffix tests (addresses, file endings, playlist keys).
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool endsWithIgnoringCase(std::string_view text, std::string_view suffix);

/// Decodes one code point at pos and advances pos; invalid input yields U+FFFD and
/// advances by one byte.
char32_t decodeUtf8(std::string_view utf8, std::size_t& pos);

} // namespace orvanta
