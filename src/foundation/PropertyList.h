#pragma once

// XML property lists (the standard plist DTD): integer, real, true/false, string, date,
// data, array and dict. Pure code over bytes; the file helpers add atomic saving.
//
// Thread-safe: the functions share no state.

#include "Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

/// Parses an XML property list. On failure returns nothing and sets error to a message
/// that names the line and the problem. Never throws on malformed input.
std::optional<Value> parsePropertyList(std::string_view bytes, std::string& error);

/// Serialises a value as an XML property list. Fails (nothing, with error set) for the
/// null marker, for integers and dates the format cannot carry, for strings with
/// characters that XML 1.0 cannot hold, and for nesting deeper than the reader accepts.
std::optional<std::string> serializePropertyList(const Value& value, std::string& error);

/// Reads and parses a property-list file.
std::optional<Value> readPropertyListFile(const std::string& path, std::string& error);

/// Serialises and writes a property-list file atomically with the given permissions.
bool writePropertyListFile(const std::string& path, const Value& value, std::string& error,
                           unsigned mode = 0644);

/// ISO 8601 in UTC with whole seconds ("2001-01-01T00:00:00Z"), as property lists store it.
std::string formatPropertyListDate(Date date);
std::optional<Date> parsePropertyListDate(std::string_view text);

std::string encodeBase64(const Bytes& bytes);
/// Ignores white space; fails on any other character outside the alphabet.
std::optional<Bytes> decodeBase64(std::string_view text);

} // namespace orvanta
