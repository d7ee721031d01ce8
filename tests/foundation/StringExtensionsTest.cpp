#include "StringExtensions.h"

#include <cstring>

#include <gtest/gtest.h>

using namespace orvanta;

TEST(StringExtensionsTest, Utf16LengthCountsSurrogatePairs)
{
    EXPECT_EQ(unicharsLengthInBytes(""), 0u);
    EXPECT_EQ(unicharsLengthInBytes("a"), 2u);
    EXPECT_EQ(unicharsLengthInBytes("é"), 2u);
    EXPECT_EQ(unicharsLengthInBytes("世界"), 4u);
    EXPECT_EQ(unicharsLengthInBytes("\xF0\x9F\x8E\xB5"), 4u); // U+1F3B5, outside the BMP
    EXPECT_EQ(unicharsLengthInBytes("\xFF"), 2u) << "an invalid byte becomes one U+FFFD";
}

TEST(StringExtensionsTest, Utf16DataIsInHostOrderWithoutMarkOrTerminator)
{
    const Bytes data = unicharsAsData("A\xF0\x9F\x8E\xB5");
    ASSERT_EQ(data.size(), 6u);
    char16_t units[3];
    std::memcpy(units, data.data(), 6);
    EXPECT_EQ(units[0], u'A');
    EXPECT_EQ(units[1], 0xD83C);
    EXPECT_EQ(units[2], 0xDFB5);
    EXPECT_TRUE(unicharsAsData("").empty());
}

TEST(StringExtensionsTest, TrimsUnicodeWhitespaceAndLineEndsOnly)
{
    struct Case
    {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"   ", ""},
        {" \t\r\n Artist - Title \n", "Artist - Title"},
        {"\xC2\xA0nbsp\xE3\x80\x80", "nbsp"}, // U+00A0 and U+3000
        {"\xE2\x80\xA8line\xC2\x85", "line"}, // U+2028 and U+0085
        {"inner  space", "inner  space"},
        {"\xE2\x80\x8Bzero width", "\xE2\x80\x8Bzero width"}, // U+200B is not white space
        {"x\xFF ", "x\xFF"},                                  // invalid bytes are kept as they are
    };
    for (const auto& c : cases)
        EXPECT_EQ(stringByTrimmingWhitespaceAndNewline(c.input), c.expected) << c.input;
}
