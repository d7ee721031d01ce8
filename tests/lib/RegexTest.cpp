#include "Regex.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

using orvanta::pcre2::CompileError;
using orvanta::pcre2::Regex;

namespace {

Regex compiled(std::string_view pattern, std::uint32_t options = 0)
{
    auto regex = Regex::compile(pattern, options);
    EXPECT_TRUE(regex) << pattern;
    return regex ? std::move(*regex) : std::move(*Regex::compile("(?!)"));
}

} // namespace

TEST(RegexTest, CompileErrorsCarryMessageAndOffset)
{
    struct Case
    {
        const char* pattern;
        std::size_t offset;
    };
    const Case cases[] = {
        {"abc(", 4},              // missing ) is noticed at the end
        {"a)", 1},                // unmatched )
        {"x{2,1}", 5},            // numbers out of order
        {"(?P<1bad>x)", 4},       // a group name may not start with a digit
        {"ok\xFF", 2},            // invalid UTF-8 in the pattern itself
        {"(?P<n>a)(?P<n>b)", 14}, // duplicate names without (?J)
    };
    for (const auto& c : cases) {
        CompileError error;
        EXPECT_FALSE(Regex::compile(c.pattern, 0, &error)) << c.pattern;
        EXPECT_FALSE(error.message.empty()) << c.pattern;
        EXPECT_EQ(error.offset, c.offset) << c.pattern << ": " << error.message;
    }
    CompileError error;
    ASSERT_FALSE(Regex::compile("abc(", 0, &error));
    EXPECT_NE(error.message.find("missing closing parenthesis"), std::string::npos)
        << error.message;
    EXPECT_FALSE(Regex::compile("[")) << "the error out-parameter is optional";
}

TEST(RegexTest, NamedGroupsTellMatchedEmptyFromUnsetAndUnknown)
{
    const Regex regex = compiled("^(?P<artist>[^-]*)-(?P<title>.*?)(?:\\|(?P<album>.*))?$");
    ASSERT_EQ(regex.captureCount(), 3u);
    EXPECT_EQ(regex.groupNumber("title"), 2u);
    EXPECT_FALSE(regex.groupNumber("nope"));

    struct Case
    {
        const char* subject;
        std::optional<std::string_view> artist, title, album;
    };
    const Case cases[] = {
        {"A-B|C", "A", "B", "C"},
        {"A-B|", "A", "B", ""},          // album took part and matched nothing
        {"A-B", "A", "B", std::nullopt}, // album never took part
        {"-", "", "", std::nullopt},     // empty groups before an unset trailing one
    };
    for (const auto& c : cases) {
        const auto match = regex.match(c.subject);
        ASSERT_TRUE(match) << c.subject;
        EXPECT_EQ(match->group("artist"), c.artist) << c.subject;
        EXPECT_EQ(match->group("title"), c.title) << c.subject;
        EXPECT_EQ(match->group("album"), c.album) << c.subject;
        EXPECT_EQ(match->group("unknown"), std::nullopt) << c.subject;
        EXPECT_EQ(match->group(std::size_t{0}), std::string_view(c.subject));
        EXPECT_EQ(match->group(std::size_t{9}), std::nullopt) << "no such group number";
    }
    EXPECT_FALSE(regex.match("no separator"));
}

TEST(RegexTest, DuplicateNamesGiveTheGroupThatWasSet)
{
    const Regex regex = compiled("(?J)(?:(?P<v>a+)|x(?P<v>b+))");
    EXPECT_EQ(regex.match("aa")->group("v"), "aa");
    EXPECT_EQ(regex.match("xbb")->group("v"), "bb");
}

TEST(RegexTest, MatchesUtf8SubjectsByCodePoint)
{
    const Regex dot = compiled("^(?P<first>.)(?P<rest>.*)$");
    const auto match = dot.match("Ünïcødé 世界 \xF0\x9F\x8E\xB5");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->group("first"), "Ü") << "one code point, not one byte";
    EXPECT_EQ(match->group("rest"), "nïcødé 世界 \xF0\x9F\x8E\xB5");

    const Regex caseless = compiled("émilie", PCRE2_CASELESS);
    EXPECT_TRUE(caseless.match("ÉMILIE JOLIE"));
    EXPECT_FALSE(compiled("émilie").match("ÉMILIE"));
}

TEST(RegexTest, InvalidUtf8SubjectIsNoMatchNotACrash)
{
    const Regex regex = compiled("(?P<all>.*)");
    const char* subjects[] = {"\xFF", "ab\xC3", "\xC0\xAF", "\xED\xA0\x80", "ok\x80ok"};
    for (const char* subject : subjects) {
        EXPECT_FALSE(regex.match(subject)) << subject;
        const int status = regex.matchStatus(subject);
        EXPECT_LE(status, PCRE2_ERROR_UTF8_ERR1) << subject;
        EXPECT_GE(status, PCRE2_ERROR_UTF8_ERR21) << subject;
    }
    EXPECT_EQ(regex.matchStatus("fine"), 2);
    EXPECT_EQ(compiled("x").matchStatus("y"), PCRE2_ERROR_NOMATCH);
}

TEST(RegexTest, SubjectsWithZeroBytesAndEmptyInput)
{
    const Regex regex = compiled("^(?P<a>[^\\x00]*)\\x00(?P<b>.*)$");
    const auto match = regex.match(std::string_view("left\0right", 10));
    ASSERT_TRUE(match);
    EXPECT_EQ(match->group("b"), "right") << "the subject length counts, not a terminator";
    EXPECT_TRUE(compiled("^$").match(std::string_view()));
    EXPECT_TRUE(compiled("").match("anything"));
}

TEST(RegexTest, MatchOwnsItsSubject)
{
    const Regex regex = compiled("(?P<w>\\w+)");
    std::optional<orvanta::pcre2::Match> match;
    {
        std::string subject = "transient words";
        match = regex.match(subject);
        subject.assign(subject.size(), 'x');
    }
    ASSERT_TRUE(match);
    EXPECT_EQ(match->group("w"), "transient");
}

TEST(RegexTest, MoveTransfersOwnership)
{
    Regex first = compiled("^a(?P<g>b)$");
    Regex second(std::move(first));
    EXPECT_FALSE(first) << "moved-from object is empty";
    EXPECT_FALSE(first.match("ab"));
    EXPECT_EQ(first.captureCount(), 0u);
    ASSERT_TRUE(second);
    EXPECT_EQ(second.match("ab")->group("g"), "b");

    Regex third = compiled("c");
    third = std::move(second); // frees "c"; ASan reports a leak or double free otherwise
    EXPECT_FALSE(second);
    EXPECT_TRUE(third.match("ab"));
    EXPECT_FALSE(third.match("c"));

    Regex& alias = third;
    third = std::move(alias);
    EXPECT_TRUE(third.match("ab")) << "self-move keeps the expression";
}
