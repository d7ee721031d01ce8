#include "StreamTitle.h"

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "TextEncodings.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

std::unique_ptr<StreamTitle> parse(std::string_view metadata, int encoding = kUTF8StringEncoding)
{
    return StreamTitle::initWithMetadata(reinterpret_cast<const std::uint8_t*>(metadata.data()),
                                         metadata.size(), encoding);
}

std::unique_ptr<StreamTitle> titled(const std::string& text)
{
    auto streamTitle = parse("StreamTitle='" + text + "';");
    EXPECT_TRUE(streamTitle) << text;
    return streamTitle;
}

using Parts = std::optional<std::string>;

} // namespace

// First in the file: each test runs in a process of its own, so this is the first use of the
// shared expressions, made by several threads at once (and checked under ThreadSanitizer).
TEST(StreamTitleSharedTest, ConcurrentFirstUseFromSeveralThreads)
{
    constexpr int kThreads = 6;
    std::latch start(kThreads);
    std::atomic<int> correct{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string artist = "Artist " + std::to_string(t);
            start.arrive_and_wait();
            for (int i = 0; i < 50; ++i) {
                const std::string song = "Song " + std::to_string(i);
                auto title = parse("StreamTitle='" + artist + " - " + song + "';StreamUrl='';");
                if (title && title->artist() == artist && title->title() == song)
                    ++correct;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(correct.load(), kThreads * 50);
}

TEST(StreamTitleTest, TitleFromMetadataBlocks)
{
    using namespace std::string_literals;
    constexpr int kUtf8 = kUTF8StringEncoding;
    struct Case
    {
        std::string metadata;
        int encoding;
        std::optional<std::string> title;
    };
    const Case cases[] = {
        {"StreamTitle='Artist - Song';", kUtf8, "Artist - Song"},
        {"StreamTitle='Artist - Song';StreamUrl='';", kUtf8, "Artist - Song"},
        // without the first expression the greedy group would run into the address
        {"StreamTitle='Artist - Song';StreamUrl='http://x/a.jpg';", kUtf8, "Artist - Song"},
        {"StreamTitle='Guns N' Roses - Patience';", kUtf8, "Guns N' Roses - Patience"},
        {"StreamTitle='  padded \t';", kUtf8, "padded"},
        {"StreamTitle='A - B';\0\0\0\0\0\0\0\0\0\0\0"s, kUtf8, "A - B"}, // block padding
        {"StreamTitle='A - B';\0StreamTitle='junk';"s, kUtf8, "A - B"},  // text ends at zero
        {"StreamTitle='A\0 - B';"s, kUtf8, std::nullopt},                // cut before the quote
        {"StreamTitle='';", kUtf8, std::nullopt},
        {"StreamTitle='   ';", kUtf8, std::nullopt},
        {"StreamTitle='';StreamUrl='http://x';", kUtf8, std::nullopt},
        {"StreamUrl='http://x';", kUtf8, std::nullopt},
        {" StreamTitle='late start';", kUtf8, std::nullopt},
        {"", kUtf8, std::nullopt},
        {"StreamTitle='Caf\xC3\xA9 - \xE4\xB8\x96\xE7\x95\x8C';", kUtf8, "Café - 世界"},
        {"StreamTitle='Caf\xE9 - X';", kUtf8, std::nullopt}, // a Latin-1 byte is not UTF-8
        {"StreamTitle='Beyonc\xE9 - D\xE9j\xE0 Vu';", kISOLatin1StringEncoding,
         "Beyoncé - Déjà Vu"},
        {"StreamTitle='\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0';", kWindowsCP1251StringEncoding,
         "Кино - Группа"},
        {"StreamTitle='\x83\x58\x83\x73\x83\x62\x83\x63 - \x93\xFA\x96\x7B';",
         kShiftJISStringEncoding, "スピッツ - 日本"},
        {"StreamTitle='\x93';", kShiftJISStringEncoding, std::nullopt}, // truncated character
        {"StreamTitle='x';", 999, std::nullopt},                        // unknown encoding
    };
    for (const auto& c : cases) {
        const auto streamTitle = parse(c.metadata, c.encoding);
        ASSERT_EQ(streamTitle != nullptr, c.title.has_value()) << c.metadata;
        if (streamTitle) {
            EXPECT_EQ(streamTitle->streamTitle(), *c.title) << c.metadata;
        }
    }
    EXPECT_FALSE(StreamTitle::initWithMetadata(nullptr, 0, kUTF8StringEncoding));
}

TEST(StreamTitleTest, PredefinedPatternsSplitThreePartTitles)
{
    struct Case
    {
        int pattern;
        Parts artist, title, album;
    };
    // Two-part patterns on three parts: the greedy first group takes the extra separator.
    const Case cases[] = {
        {0, std::nullopt, "A - B - C", std::nullopt},
        {1, "C", "A - B", std::nullopt},
        {2, "A - B", "C", std::nullopt},
        {3, "B", "A", "C"},
        {4, "C", "A", "B"},
        {5, "A", "C", "B"},
        {6, "A", "B", "C"},
        {7, "C", "B", "A"},
        {8, "B", "C", "A"},
        {-1, std::nullopt, "A - B - C", std::nullopt},
        {9, std::nullopt, "A - B - C", std::nullopt},
    };
    const auto streamTitle = titled("A - B - C");
    for (const auto& c : cases) {
        streamTitle->setPredefinedPattern(c.pattern);
        EXPECT_EQ(streamTitle->artist(), c.artist) << "pattern " << c.pattern;
        EXPECT_EQ(streamTitle->title(), c.title) << "pattern " << c.pattern;
        EXPECT_EQ(streamTitle->album(), c.album) << "pattern " << c.pattern;
    }
}

TEST(StreamTitleTest, SeparatorsAreGreedyRegexText)
{
    struct Case
    {
        const char* text;
        const char* separator;
        int pattern;
        Parts artist, title;
    };
    const Case cases[] = {
        {"Artist - Song - Remix", "-", 2, "Artist - Song", "Remix"},
        {"Jay-Z - Song", "-", 2, "Jay-Z", "Song"},
        {"Song by Artist", "by", 1, "Artist", "Song"},
        {"Song | Artist", "\\|", 1, "Artist", "Song"},
        {"A / B", "[/~]", 2, "A", "B"},
        {"No separator here", "-", 2, std::nullopt, std::nullopt},
        {"Whole text", "", 2, std::nullopt, "Whole text"}, // nothing to split on
    };
    for (const auto& c : cases) {
        const auto streamTitle = titled(c.text);
        streamTitle->setSeparator(c.separator);
        streamTitle->setPredefinedPattern(c.pattern);
        EXPECT_EQ(streamTitle->artist(), c.artist) << c.text;
        EXPECT_EQ(streamTitle->title(), c.title) << c.text;
    }
}

TEST(StreamTitleTest, InvalidPatternKeepsThePreviousOne)
{
    const auto streamTitle = titled("A - B - C");
    streamTitle->setSeparator("(");
    streamTitle->setPredefinedPattern(3);
    EXPECT_EQ(streamTitle->artist(), "A - B") << "still pattern 2 with \"-\"";
    EXPECT_EQ(streamTitle->title(), "C");

    EXPECT_TRUE(streamTitle->setSongInfoPattern("^(?P<_album_>\\w+)"));
    EXPECT_FALSE(streamTitle->setSongInfoPattern("^(?P<_title_>.*"));
    EXPECT_FALSE(streamTitle->setSongInfoPattern("\xFF"));
    EXPECT_EQ(streamTitle->album(), "A");
    EXPECT_EQ(streamTitle->title(), std::nullopt) << "the custom pattern has no title group";
}

TEST(StreamTitleTest, NamedSubstringTellsEmptyFromMissing)
{
    const auto streamTitle = titled("Artist - ");
    EXPECT_EQ(streamTitle->getNamedSubstring("_artist_"), "Artist");
    EXPECT_EQ(streamTitle->getNamedSubstring("_title_"), "") << "matched empty";
    EXPECT_EQ(streamTitle->getNamedSubstring("_album_"), std::nullopt) << "unknown group";
    ASSERT_TRUE(streamTitle->setSongInfoPattern("^(?P<_artist_>\\w+)(?: - (?P<_title_>\\w+))?"));
    EXPECT_EQ(streamTitle->getNamedSubstring("_title_"), std::nullopt) << "unset group";

    streamTitle->setStreamTitle("Other - Song");
    EXPECT_EQ(streamTitle->artist(), "Other");
    EXPECT_EQ(streamTitle->title(), "Song");
}

TEST(StreamTitleTest, CleanStringsAreRemovedIgnoringCaseInOrder)
{
    struct Case
    {
        const char* text;
        std::vector<std::string> clean;
        Parts artist, title;
    };
    const Case cases[] = {
        {"Band - Song (LIVE)", {"(live)"}, "Band", "Song"},
        {"Zaz - Je veux (ÉDITION RADIO)", {"(édition radio)"}, "Zaz", "Je veux"},
        {"Кино - Звезда [ПРЯМОЙ ЭФИР]", {"[прямой эфир]"}, "Кино", "Звезда"},
        {"Band - Song *new*", {"", "*NEW*"}, "Band", "Song"}, // empty entry skipped
        {"Ad - Song", {"ad - "}, std::nullopt, std::nullopt}, // separator gone: no match
        {"X - acb", {"ab", "c"}, "X", "ab"},                  // "ab" appears only later
        {"X - acb", {"c", "ab"}, "X", ""},
    };
    for (const auto& c : cases) {
        const auto streamTitle = titled(c.text);
        streamTitle->setCleanArray(c.clean);
        EXPECT_EQ(streamTitle->artist(), c.artist) << c.text;
        EXPECT_EQ(streamTitle->title(), c.title) << c.text;
        EXPECT_EQ(streamTitle->streamTitle(), c.text) << "the title text itself is kept";
    }
}

TEST(StreamTitleTest, IgnoreListAfterCleaning)
{
    struct Case
    {
        const char* text;
        std::vector<std::string> clean, ignore;
        bool ignored;
    };
    const Case cases[] = {
        {"ADVERTISEMENT - Station", {}, {"advert"}, true},
        {"Artist - Song", {}, {"advert"}, false},
        {"Artist - Song", {}, {}, false},
        {"Artist - Song", {}, {""}, false}, // an empty entry would match every title
        {"Station ÜBERBRÜCKUNG", {}, {"jingle", "überbrückung"}, true},
        {"Station jingle", {"JINGLE"}, {"jingle"}, false},
        {"adXXvert", {"xx"}, {"advert"}, true},
    };
    for (const auto& c : cases) {
        const auto streamTitle = titled(c.text);
        streamTitle->setCleanArray(c.clean);
        streamTitle->setIgnoreArray(c.ignore);
        EXPECT_EQ(streamTitle->shouldIgnore(), c.ignored) << c.text;
    }
}

TEST(StreamTitleTest, ID3v2TagsHoldOnlyThePartsFound)
{
    struct Case
    {
        const char* text;
        int pattern;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"A - B", 0, {"TIT2"}},
        {"A - B", 2, {"TPE1", "TIT2"}},
        {"A - B - C", 6, {"TPE1", "TALB", "TIT2"}},
        {"A - ", 2, {"TPE1"}}, // an empty title is left to the naming fallbacks
        {"No separator", 2, {}},
    };
    for (const auto& c : cases) {
        const auto streamTitle = titled(c.text);
        streamTitle->setPredefinedPattern(c.pattern);
        const auto tags = streamTitle->ID3v2Tags();
        ASSERT_EQ(tags.has_value(), !c.keys.empty()) << c.text;
        if (!tags)
            continue;
        EXPECT_EQ(tags->keys(), c.keys) << c.text;
        for (const auto& key : c.keys)
            EXPECT_FALSE(tags->get(key).toString().empty()) << key;
    }
    const auto all = titled("Art - Tit - Alb");
    all->setPredefinedPattern(6);
    EXPECT_EQ(*all->ID3v2Tags(), (Dictionary{{"TPE1", "Art"}, {"TALB", "Alb"}, {"TIT2", "Tit"}}));
}
