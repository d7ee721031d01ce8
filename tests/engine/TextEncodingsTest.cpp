#include "TextEncodings.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::string_literals;

namespace {

std::optional<std::string> decode(const std::string& bytes, int encoding)
{
    return decodeMetadataText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                              encoding);
}

bool isSupported(int number)
{
    for (const auto& encoding : supportedTextEncodings())
        if (encoding.number == number)
            return true;
    return false;
}

} // namespace

TEST(TextEncodingsTest, DecodesEachEncodingAndRejectsInvalidBytes)
{
    struct Case
    {
        int encoding;
        std::string bytes;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {kASCIIStringEncoding, "Plain 7-bit", "Plain 7-bit"},
        {kASCIIStringEncoding, "Caf\xE9", std::nullopt},
        {kUTF8StringEncoding, "Caf\xC3\xA9", "Café"},
        {kUTF8StringEncoding, "\xEF\xBB\xBFmark", "mark"}, // a leading BOM is dropped
        {kUTF8StringEncoding, "\xC3\x28", std::nullopt},
        {kUTF8StringEncoding, "\xC0\xAF", std::nullopt},     // overlong "/"
        {kUTF8StringEncoding, "\xED\xA0\x80", std::nullopt}, // encoded surrogate
        {kUTF8StringEncoding, "ab\xE2\x82", std::nullopt},   // cut short at the end
        {kISOLatin1StringEncoding, "Beyonc\xE9", "Beyoncé"},
        {kMacOSRomanStringEncoding, "\x8E\xDB", "é€"},
        {kISOLatin2StringEncoding, "\xA1\xB1", "Ąą"},
        {kWindowsCP1250StringEncoding, "\x8A", "Š"},
        {kWindowsCP1251StringEncoding, "\xCA\xE8\xED\xEE", "Кино"},
        {kWindowsCP1252StringEncoding, "\x80 5", "€ 5"},
        {kWindowsCP1253StringEncoding, "\xC1", "Α"},
        {kWindowsCP1254StringEncoding, "\xD0", "Ğ"},
        {kKOI8RStringEncoding, "\xF0\xD2", "Пр"},
        {kShiftJISStringEncoding, "\x93\xFA\x96\x7B", "日本"},
        {kShiftJISStringEncoding, "\x85\x40", std::nullopt}, // unassigned
        {kShiftJISStringEncoding, "ab\x93", std::nullopt},   // lead byte without trail
        {kJapaneseEUCStringEncoding, "\xA4\xA2", "あ"},
        {kJapaneseEUCStringEncoding, "\xA4", std::nullopt},
        {kISO2022JPStringEncoding, "\x1B$B$\"\x1B(B", "あ"},
        {kGB18030StringEncoding, "\xD6\xD0\xCE\xC4", "中文"},
        {kGB18030StringEncoding, "a\x81\x30", std::nullopt},
        {kBig5StringEncoding, "\xA4\xA4\xA4\xE5", "中文"},
        {kUnicodeStringEncoding, "\0A\0b"s, "Ab"}, // big-endian without a BOM
        {kUnicodeStringEncoding, "\xFE\xFF\0A"s, "A"},
        {kUnicodeStringEncoding,
         "\xFF\xFE"
         "A\0"s,
         "A"},
        {kUnicodeStringEncoding, "\xD8\x3C\xDF\xB5", "\xF0\x9F\x8E\xB5"}, // surrogate pair
        {kUnicodeStringEncoding, "\xD8\x3C\0A"s, std::nullopt},           // lone high half
        {kUnicodeStringEncoding, "\xDF\xB5", std::nullopt},               // lone low half
        {kUnicodeStringEncoding, "\0A\0"s, std::nullopt},                 // odd length
        {kUnicodeStringEncoding, "\0A\0\0\0B"s, "A"}, // text ends at a zero unit
        {kUnicodeStringEncoding, "\x01\0"s, "Ā"},     // a zero byte inside a unit is text
        {7, "x", std::nullopt},                       // 0 is Automatic; 7 is no encoding here
        {999, "x", std::nullopt},
        {-1, "x", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decode(c.bytes, c.encoding), c.expected)
            << "encoding " << c.encoding << ", bytes " << testing::PrintToString(c.bytes);
    }
}

// A preset on Automatic: each title in the encoding its bytes show, UTF-8 first, a title a
// station turned into mojibake (UTF-8 read as Latin-1, sent again as UTF-8) repaired.
TEST(TextEncodingsTest, AutomaticFindsEachTitlesEncodingAndRepairsDoubleEncodedUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"StreamTitle='\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8';",
         "StreamTitle='Кино - Группа крови';"},
        {"StreamTitle='Czes\xB3"
         "aw Niemen - Dziwny jest ten \xB6wiat';",
         "StreamTitle='Czesław Niemen - Dziwny jest ten świat';"},
        {"StreamTitle='\x89"
         "F\x91\xBD\x93"
         "c\x83q\x83J\x83\x8B - \x89\xD4\x91\xA9\x82\xF0\x8CN\x82\xC9';",
         "StreamTitle='宇多田ヒカル - 花束を君に';"},
        {"StreamTitle='Kry\x9Atof - Ty a j\xE1';", "StreamTitle='Kryštof - Ty a já';"},
        {"StreamTitle='Mot\xF6rhead - Ace of Spades';", "StreamTitle='Motörhead - Ace of Spades';"},
        {"StreamTitle='Beyonc\xC3\x83\xC2\xA9 - D\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0 vu';",
         "StreamTitle='Beyoncé - Déjà vu';"},
        {"StreamTitle='Caf\xC3\xA9 del Mar';", "StreamTitle='Café del Mar';"}, // UTF-8 as sent
        {"StreamTitle='Plain';", "StreamTitle='Plain';"},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(decode(bytes, kAutomaticStringEncoding), expected) << expected;
    // Bytes no detector can place still give a title, never none.
    EXPECT_TRUE(decode("\x81\x8D\x8F\x90\x9D", kAutomaticStringEncoding).has_value());
}

TEST(TextEncodingsTest, Latin1AcceptsEveryByte)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const auto text = decode(all, kISOLatin1StringEncoding);
    ASSERT_TRUE(text);
    // Every byte is the code point of the same value: 127 one-byte and 128 two-byte forms.
    EXPECT_EQ(text->size(), 127u + 2u * 128u);
    EXPECT_EQ(text->substr(text->size() - 2), "ÿ");
}

TEST(TextEncodingsTest, TextEndsAtTheFirstZeroByte)
{
    for (const int encoding : {kASCIIStringEncoding, kUTF8StringEncoding, kISOLatin1StringEncoding,
                               kShiftJISStringEncoding}) {
        EXPECT_EQ(decode("abc\0\xFF\xFF"s, encoding), "abc") << encoding;
        EXPECT_EQ(decode("\0abc"s, encoding), "") << encoding;
    }
    EXPECT_EQ(decodeMetadataText(nullptr, 0, kUTF8StringEncoding), "");
}

TEST(TextEncodingsTest, SupportedListMatchesWhatDecodes)
{
    const auto& encodings = supportedTextEncodings();
    std::set<int> numbers;
    for (const auto& encoding : encodings) {
        EXPECT_TRUE(numbers.insert(encoding.number).second) << "duplicate " << encoding.number;
        EXPECT_NE(std::string(encoding.name), "") << encoding.number;
        // Every offered encoding decodes a plain title; UTF-16 needs its own bytes.
        const std::string bytes = encoding.number == kUnicodeStringEncoding
                                      ? "\0t\0i\0t\0l\0e"s
                                      : "StreamTitle='title';"s;
        const std::string expected =
            encoding.number == kUnicodeStringEncoding ? "title" : "StreamTitle='title';";
        EXPECT_EQ(decode(bytes, encoding.number), expected) << encoding.name;
    }
    for (const int required : {kASCIIStringEncoding, kUTF8StringEncoding, kISOLatin1StringEncoding,
                               kUnicodeStringEncoding, kWindowsCP1252StringEncoding}) {
        EXPECT_TRUE(numbers.count(required)) << required;
    }
    // An encoding that is not offered must not decode either.
    if (!isSupported(kNEXTSTEPStringEncoding)) {
        EXPECT_EQ(decode("x", kNEXTSTEPStringEncoding), std::nullopt);
    }
}
