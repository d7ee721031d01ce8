#include "Regex.h"

#include <utility>

namespace orvanta::pcre2 {

namespace {

// Long enough for every message PCRE2 has; it truncates rather than overflows.
constexpr std::size_t kErrorMessageCapacity = 256;

std::string errorMessage(int code)
{
    PCRE2_UCHAR buffer[kErrorMessageCapacity];
    const int length = pcre2_get_error_message(code, buffer, kErrorMessageCapacity);
    if (length < 0)
        return "PCRE2 error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

} // namespace

Match::Match(const pcre2_code* code, std::string subject,
             std::unique_ptr<pcre2_match_data, MatchDataDeleter> data, int pairs)
    : m_code(code), m_subject(std::move(subject)), m_data(std::move(data)), m_pairs(pairs)
{}

std::optional<std::string_view> Match::group(std::size_t number) const
{
    // Groups past the last one that was set are not filled in by pcre2_match.
    if (!m_data || number >= static_cast<std::size_t>(m_pairs))
        return std::nullopt;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_data.get());
    const PCRE2_SIZE start = ovector[2 * number];
    const PCRE2_SIZE end = ovector[2 * number + 1];
    // \K in a lookaround can report an end before the start; treat that as unset too.
    if (start == PCRE2_UNSET || end == PCRE2_UNSET || start > end || end > m_subject.size())
        return std::nullopt;
    return std::string_view(m_subject).substr(start, end - start);
}

std::optional<std::string_view> Match::group(std::string_view name) const
{
    if (!m_data || !m_code)
        return std::nullopt;
    const std::string terminated(name);
    PCRE2_SPTR first = nullptr;
    PCRE2_SPTR last = nullptr;
    // With first/last given, the scan returns the entry size, so duplicate names work too.
    const int entrySize = pcre2_substring_nametable_scan(
        m_code, reinterpret_cast<PCRE2_SPTR>(terminated.c_str()), &first, &last);
    if (entrySize <= 0)
        return std::nullopt;
    for (PCRE2_SPTR entry = first; entry <= last; entry += entrySize) {
        // Each name-table entry starts with the group number, most significant byte first.
        const std::size_t number = (static_cast<std::size_t>(entry[0]) << 8) | entry[1];
        if (auto text = group(number))
            return text;
    }
    return std::nullopt;
}

std::optional<Regex> Regex::compile(std::string_view pattern, std::uint32_t extraOptions,
                                    CompileError* error)
{
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    // A default-constructed string_view has no data pointer, which PCRE2 rejects.
    const char* text = pattern.data() ? pattern.data() : "";
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text), pattern.size(),
                                     PCRE2_UTF | extraOptions, &errorCode, &errorOffset, nullptr);
    if (!code) {
        if (error) {
            error->message = errorMessage(errorCode);
            error->offset = errorOffset;
        }
        return std::nullopt;
    }
    return Regex(code);
}

Regex::Regex(Regex&& other) noexcept : m_code(std::exchange(other.m_code, nullptr)) {}

Regex& Regex::operator=(Regex&& other) noexcept
{
    if (this != &other) {
        pcre2_code_free(m_code);
        m_code = std::exchange(other.m_code, nullptr);
    }
    return *this;
}

Regex::~Regex()
{
    pcre2_code_free(m_code);
}

std::optional<Match> Regex::match(std::string_view subject) const
{
    if (!m_code)
        return std::nullopt;
    std::unique_ptr<pcre2_match_data, Match::MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(m_code, nullptr));
    if (!data)
        return std::nullopt;
    std::string copy(subject);
    // PCRE2 checks the subject for valid UTF-8 itself (no PCRE2_NO_UTF_CHECK) and fails
    // with a negative code instead of reading past a broken sequence.
    const int rc = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(copy.data()), copy.size(), 0, 0,
                               data.get(), nullptr);
    if (rc <= 0)
        return std::nullopt;
    return Match(m_code, std::move(copy), std::move(data), rc);
}

int Regex::matchStatus(std::string_view subject) const
{
    if (!m_code)
        return PCRE2_ERROR_NULL;
    std::unique_ptr<pcre2_match_data, Match::MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(m_code, nullptr));
    if (!data)
        return PCRE2_ERROR_NOMEMORY;
    const char* text = subject.data() ? subject.data() : "";
    return pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(text), subject.size(), 0, 0, data.get(),
                       nullptr);
}

std::uint32_t Regex::captureCount() const
{
    std::uint32_t count = 0;
    if (m_code)
        pcre2_pattern_info(m_code, PCRE2_INFO_CAPTURECOUNT, &count);
    return count;
}

std::optional<std::size_t> Regex::groupNumber(std::string_view name) const
{
    if (!m_code)
        return std::nullopt;
    const std::string terminated(name);
    const int number =
        pcre2_substring_number_from_name(m_code, reinterpret_cast<PCRE2_SPTR>(terminated.c_str()));
    if (number < 0)
        return std::nullopt;
    return static_cast<std::size_t>(number);
}

} // namespace orvanta::pcre2
