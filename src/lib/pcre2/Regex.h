#pragma once

// A thin owner of a compiled PCRE2 expression (8-bit code units, always in UTF mode) and of
// the match data of one match.
//
// Thread-safe: a compiled Regex is immutable, so several threads may match it at the same
// time; each match owns its own match data. A Match is used by one thread at a time.

#ifndef PCRE2_CODE_UNIT_WIDTH
#define PCRE2_CODE_UNIT_WIDTH 8
#endif

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <pcre2.h>

namespace orvanta::pcre2 {

/// Why a pattern did not compile: PCRE2's own message and the offset in the pattern (in
/// code units) where it gave up.
struct CompileError
{
    std::string message;
    std::size_t offset = 0;
};

class Regex;

/// The result of one successful match. It refers to the Regex that produced it (for the
/// group names), so that Regex must outlive it; the subject is copied.
class Match
{
public:
    Match(Match&&) noexcept = default;
    Match& operator=(Match&&) noexcept = default;

    /// The text of a numbered group (0 is the whole match). Empty when the group matched
    /// the empty string; nothing when it did not take part in the match or does not exist.
    std::optional<std::string_view> group(std::size_t number) const;

    /// The same for a named group. With duplicate names the first one that is set wins.
    std::optional<std::string_view> group(std::string_view name) const;

private:
    friend class Regex;
    struct MatchDataDeleter
    {
        void operator()(pcre2_match_data* data) const noexcept { pcre2_match_data_free(data); }
    };

    Match(const pcre2_code* code, std::string subject,
          std::unique_ptr<pcre2_match_data, MatchDataDeleter> data, int pairs);

    const pcre2_code* m_code;
    std::string m_subject;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> m_data;
    int m_pairs; // pcre2_match's result: the ovector pairs that were filled in
};

class Regex
{
public:
    /// Compiles with PCRE2_UTF plus extraOptions (PCRE2_CASELESS and the like). An invalid
    /// pattern (including invalid UTF-8 in it) gives nothing and fills *error when given.
    static std::optional<Regex> compile(std::string_view pattern, std::uint32_t extraOptions = 0,
                                        CompileError* error = nullptr);

    Regex(Regex&& other) noexcept;
    Regex& operator=(Regex&& other) noexcept;
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;
    ~Regex();

    /// False only for a moved-from object.
    explicit operator bool() const { return m_code != nullptr; }

    /// Searches subject. Nothing when it does not match, when the subject is not valid UTF-8,
    /// or when PCRE2 gives up (match limit); matchStatus() tells these apart.
    std::optional<Match> match(std::string_view subject) const;

    /// pcre2_match's return code for subject: above 0 on a match, PCRE2_ERROR_NOMATCH,
    /// a negative PCRE2_ERROR_UTF8_* code for invalid UTF-8, or another negative code.
    int matchStatus(std::string_view subject) const;

    /// The number of capture groups in the pattern.
    std::uint32_t captureCount() const;

    /// The number of a named group, or nothing when the name is unknown or not unique.
    std::optional<std::size_t> groupNumber(std::string_view name) const;

private:
    explicit Regex(pcre2_code* code) : m_code(code) {}

    pcre2_code* m_code;
};

} // namespace orvanta::pcre2
