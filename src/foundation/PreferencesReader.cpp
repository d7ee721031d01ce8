#include "PreferencesReader.h"

#include <charconv>

namespace orvanta {

namespace {

std::int64_t parseLeadingInteger(const std::string& s)
{
    std::int64_t result = 0;
    const char* begin = s.data();
    const char* end = s.data() + s.size();
    while (begin < end && *begin == ' ')
        ++begin;
    std::from_chars(begin, end, result);
    return result;
}

} // namespace

bool PreferencesReader::boolForKey(std::string_view key) const
{
    const Value v = getPrefsForKey(key);
    return v.isString() ? parseLeadingInteger(v.toString()) != 0 : v.toBool();
}

std::int64_t PreferencesReader::integerForKey(std::string_view key) const
{
    const Value v = getPrefsForKey(key);
    return v.isString() ? parseLeadingInteger(v.toString()) : v.toInteger();
}

std::string PreferencesReader::stringForKey(std::string_view key) const
{
    const Value v = getPrefsForKey(key);
    if (v.isString())
        return v.toString();
    if (v.isBool() || v.isInteger())
        return std::to_string(v.toInteger());
    return {};
}

} // namespace orvanta
