#include "ID3v2Helper.h"
#include "MyID3Util.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"

using namespace orvanta;
using namespace std::string_view_literals;

namespace {

// "54 49 54 32": readable in failure messages, and the form the readback script prints.
std::string toHex(const Bytes& bytes)
{
    std::string text;
    char buffer[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(buffer, sizeof buffer, text.empty() ? "%02X" : " %02X", b);
        text += buffer;
    }
    return text;
}

Bytes hex(std::string_view text)
{
    Bytes bytes;
    std::istringstream in{std::string(text)};
    for (unsigned value; in >> std::hex >> value;)
        bytes.push_back(static_cast<std::uint8_t>(value));
    return bytes;
}

Bytes ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A whole tag around frames that total less than 128 bytes, so the size is its last byte.
Bytes tagOf(std::initializer_list<Bytes> frames)
{
    const Bytes area = cat(frames);
    EXPECT_LT(area.size(), 128u);
    return cat({ascii("ID3"), hex("03 00 00 00 00 00"), {std::uint8_t(area.size())}, area});
}

std::string field(const Bytes& tag, std::size_t offset, std::size_t length)
{
    return std::string(tag.begin() + long(offset), tag.begin() + long(offset + length));
}

TEST(ID3v2HelperTest, SyncSafeIntegerHasBigEndianSevenBitBytesInMemory)
{
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "00 00 00 00"},          {127, "00 00 00 7F"},        {128, "00 00 01 00"},
        {200, "00 00 01 48"},        {0x3FFF, "00 00 7F 7F"},     {0x4000, "00 01 00 00"},
        {0x0FFFFFFF, "7F 7F 7F 7F"}, {0x10000000, "7F 7F 7F 7F"}, {0xFFFFFFFF, "7F 7F 7F 7F"},
    };
    for (const auto& [value, bytes] : cases) {
        const std::uint32_t syncSafe = ID3v2Helper::_convertIntToSyncSafeInt(value);
        Bytes memory(4);
        std::memcpy(memory.data(), &syncSafe, 4);
        EXPECT_EQ(toHex(memory), bytes) << value;
    }
}

TEST(ID3v2HelperTest, TagHeaderCarriesSyncSafeSizeOfFrameArea)
{
    EXPECT_EQ(toHex(ID3v2Helper::createTagForDictionary({})), "49 44 33 03 00 00 00 00 00 00");

    // A picture frame of 176 bytes of JPEG data is 10 + 14 + 176 = 200 bytes.
    const Bytes tag = ID3v2Helper::createTagForDictionary({{"APIC", Bytes(176, 0xAA)}});
    ASSERT_EQ(tag.size(), 210u);
    EXPECT_EQ(toHex(Bytes(tag.begin(), tag.begin() + 10)), "49 44 33 03 00 00 00 00 01 48");
}

TEST(ID3v2HelperTest, TextFramesAreUtf16LittleEndianWithMarkAndTerminator)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"TIT2", "Hi", "01 FF FE 48 00 69 00 00 00"},
        {"TPE1", "", "01 FF FE 00 00"},
        {"TALB", "éЖ", "01 FF FE E9 00 16 04 00 00"},
        {"TCON", "日", "01 FF FE E5 65 00 00"},
        {"TIT2", "🎵", "01 FF FE 3C D8 B5 DF 00 00"},                // a surrogate pair
        {"TIT2", "a\xFF", "01 FF FE 61 00 FD FF 00 00"},            // invalid UTF-8: U+FFFD
        {"COMM", "x", "01 65 6E 67 FF FE 00 00 FF FE 78 00 00 00"}, // 14 bytes
    };
    for (const auto& [frameID, text, body] : cases) {
        const Bytes bodyBytes = hex(body);
        const Bytes expected =
            cat({ascii(frameID), {0, 0, 0, std::uint8_t(bodyBytes.size()), 0, 0}, bodyBytes});
        EXPECT_EQ(toHex(ID3v2Helper::_create230FrameWithID(frameID, text)), toHex(expected))
            << frameID << " " << text;
    }
    // Frame sizes are plain big-endian, not sync-safe: 128 characters give a body of 261.
    const Bytes longFrame = ID3v2Helper::_create230FrameWithID("TIT2", std::string(128, 'a'));
    EXPECT_EQ(toHex(Bytes(longFrame.begin() + 4, longFrame.begin() + 8)), "00 00 01 05");
}

TEST(ID3v2HelperTest, PopularimeterAndPictureFrames)
{
    EXPECT_EQ(toHex(ID3v2Helper::_create230PopularimeterWithRating(196)),
              toHex(cat({ascii("POPM"), hex("00 00 00 06 00 00 00 C4 00 00 00 00")})));
    EXPECT_EQ(toHex(ID3v2Helper::_create230CoverArtworkFrameWithImageData({1, 2, 3})),
              toHex(cat({ascii("APIC"), hex("00 00 00 11 00 00 00"), ascii("image/jpeg"),
                         hex("00 03 00 01 02 03")})));

    const std::pair<Value, int> cases[] = {{300, 255},
                                           {-5, 0},
                                           {255, 255},
                                           {2.9, 2},
                                           {"200", 200},
                                           {"-1", 0},
                                           {"99999999999999999999", 255}};
    for (const auto& [value, rating] : cases)
        EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"POPM", value}}),
                  tagOf({ID3v2Helper::_create230PopularimeterWithRating(std::uint8_t(rating))}))
            << rating;
}

TEST(ID3v2HelperTest, FramesFollowDictionaryOrder)
{
    const Bytes picture = {0xFF, 0xD8, 0xFF, 0xD9};
    Dictionary tags{{"TRCK", "7"}, {"APIC", picture}, {"TIT2", "Song"},
                    {"POPM", 10},  {"COMM", "c"},     {"TPE1", "A"}};
    tags.set("TRCK", "8"); // a replaced value keeps its place
    EXPECT_EQ(toHex(ID3v2Helper::createTagForDictionary(tags)),
              toHex(tagOf({
                  ID3v2Helper::_create230FrameWithID("TRCK", "8"),
                  ID3v2Helper::_create230CoverArtworkFrameWithImageData(picture),
                  ID3v2Helper::_create230FrameWithID("TIT2", "Song"),
                  ID3v2Helper::_create230PopularimeterWithRating(10),
                  ID3v2Helper::_create230FrameWithID("COMM", "c"),
                  ID3v2Helper::_create230FrameWithID("TPE1", "A"),
              })));
}

TEST(ID3v2HelperTest, OnlyEntriesThatMakeWellFormedFramesAreWritten)
{
    const Bytes emptyTag = tagOf({});
    const Value unusable[] = {Value(),
                              Value(true),
                              Value(Array{Value("a")}),
                              Value(Dictionary{}),
                              Value(Bytes{1, 2}),
                              Value(std::nan(""))};
    for (const auto& value : unusable)
        EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"TIT2", value}}), emptyTag)
            << Value::typeName(value.type());
    for (const char* frameID : {"", "TIT", "TIT22", "tit2", "TI-2", "TXXX", "WOAR", "USLT"}) {
        EXPECT_EQ(ID3v2Helper::createTagForDictionary({{frameID, "text"}}), emptyTag) << frameID;
        EXPECT_TRUE(ID3v2Helper::_create230FrameWithID(frameID, "text").empty()) << frameID;
    }
    EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"APIC", "not data"}}), emptyTag);
    EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"POPM", "high"}}), emptyTag);
    EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"POPM", Array{}}}), emptyTag);

    // A skipped entry does not disturb its neighbours.
    EXPECT_EQ(ID3v2Helper::createTagForDictionary(
                  {{"TIT2", "A"}, {"bad", "x"}, {"TPE1", Value()}, {"TALB", "B"}}),
              tagOf({ID3v2Helper::_create230FrameWithID("TIT2", "A"),
                     ID3v2Helper::_create230FrameWithID("TALB", "B")}));

    // Numbers under text keys are written as their decimal text.
    const std::pair<Value, const char*> numbers[] = {
        {2024, "2024"}, {2024.0, "2024"}, {-3, "-3"}, {7.5, "7.5"}};
    for (const auto& [value, text] : numbers)
        EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"TYER", value}}),
                  tagOf({ID3v2Helper::_create230FrameWithID("TYER", text)}))
            << text;
}

TEST(ID3v2HelperTest, FrameThatWouldOverflowTheSyncSafeSizeIsSkipped)
{
    // The largest picture that fits fills the frame area to exactly 0x0FFFFFFF bytes.
    const std::size_t largest = ID3v2Helper::kMaxSyncSafeValue - 10 - 14;
    {
        const Bytes tag = ID3v2Helper::createTagForDictionary(
            {{"APIC", Bytes(largest, 0x55)}, {"TIT2", "no room left"}});
        ASSERT_EQ(tag.size(), 10u + ID3v2Helper::kMaxSyncSafeValue);
        EXPECT_EQ(toHex(Bytes(tag.begin() + 6, tag.begin() + 10)), "7F 7F 7F 7F");
        EXPECT_EQ(tag[10], 'A');
        EXPECT_EQ(tag.back(), 0x55);
    }
    const Bytes tooLarge(largest + 1, 0x55);
    EXPECT_TRUE(ID3v2Helper::_create230CoverArtworkFrameWithImageData(tooLarge).empty());
    EXPECT_EQ(ID3v2Helper::createTagForDictionary({{"APIC", tooLarge}, {"TIT2", "A"}}),
              tagOf({ID3v2Helper::_create230FrameWithID("TIT2", "A")}));
}

TEST(MyID3UtilTest, TagLayoutHasFieldsAtFixedOffsets)
{
    const Bytes tag =
        MyID3Util::createID3v1TagWithTitle(std::string("Title"), std::string("Artist"),
                                           std::string("Album"), 1999, std::string("Comment"), 17);
    Bytes expected(128, 0);
    for (const auto& [offset, text] : {std::pair<long, std::string_view>{0, "TAG"},
                                       {3, "Title"},
                                       {33, "Artist"},
                                       {63, "Album"},
                                       {93, "1999"},
                                       {97, "Comment"}})
        std::copy(text.begin(), text.end(), expected.begin() + offset);
    expected[127] = 17;
    EXPECT_EQ(toHex(tag), toHex(expected));
}

TEST(MyID3UtilTest, FullFieldsHaveNoTerminatorAndYearsNeedFourDigits)
{
    const std::string title31 = "abcdefghijklmnopqrstuvwxyz01234";
    const Bytes tag = MyID3Util::createID3v1TagWithTitle(title31, {}, std::string(40, 'L'), 0,
                                                         std::string(30, 'C'), 255);
    EXPECT_EQ(field(tag, 3, 30), title31.substr(0, 30));
    EXPECT_EQ(field(tag, 33, 30), std::string(30, '\0')) << "an absent artist stays zero";
    EXPECT_EQ(field(tag, 63, 34), std::string(30, 'L') + std::string(4, '\0'));
    EXPECT_EQ(field(tag, 97, 30), std::string(30, 'C'));
    EXPECT_EQ(tag[127], 255);

    const std::pair<std::int64_t, std::string_view> years[] = {
        {2024, "2024"},    {999, "999\0"sv},      {9999, "9999"},
        {0, "\0\0\0\0"sv}, {10000, "\0\0\0\0"sv}, {-5, "\0\0\0\0"sv}};
    for (const auto& [year, text] : years)
        EXPECT_EQ(field(MyID3Util::createID3v1TagWithTitle({}, {}, {}, year, {}, 255), 93, 4), text)
            << year;
}

TEST(MyID3UtilTest, TextBecomesLatin1WithOneQuestionMarkPerMissingCharacter)
{
    const std::tuple<const char*, std::size_t, std::string_view> cases[] = {
        {"Grüße", 30,
         "Gr\xFC\xDF"
         "e"},
        {"Cafe\xCC\x81", 30, "Caf\xE9"}, // e + combining acute accent
        {"Кино", 30, "????"},
        {"夜の歌", 30, "???"},
        {"🎵!", 30, "?!"},
        {"👍🏽", 30, "?"}, // thumbs up with a skin tone
        {"🇯🇵", 30, "?"},       // a flag: two regional indicators
        {"a\r\nb", 30, "a\r\nb"},
        {"x\xFFy", 30, "x?y"},
        {"abc", 2, "ab"},
        {"ab日本", 3, "ab?"}, // cut after conversion
        {"", 30, ""},
    };
    for (const auto& [utf8, maxLength, latin1] : cases)
        EXPECT_EQ(MyID3Util::latin1Text(utf8, maxLength), latin1) << utf8;
}

TEST(MyID3UtilTest, DictionaryFieldsAndYearReading)
{
    const Bytes tag = createID3v1TagFromDictionary({{"TPE1", "Artist"},
                                                    {"TIT2", 42},
                                                    {"TALB", Array{}},
                                                    {"COMM", "Note"},
                                                    {"TYER", "2001"},
                                                    {"TCON", "Rock"}});
    EXPECT_EQ(tag, MyID3Util::createID3v1TagWithTitle(std::string("42"), std::string("Artist"), {},
                                                      2001, std::string("Note"), 255));

    const std::pair<Value, std::int64_t> years[] = {{"1999", 1999}, {1999, 1999}, {1999.7, 1999},
                                                    {"19x9", 0},    {" 1999", 0}, {"", 0},
                                                    {true, 0},      {Array{}, 0}, {Value(), 0}};
    for (const auto& [value, year] : years)
        EXPECT_EQ(createID3v1TagFromDictionary({{"TYER", value}}),
                  MyID3Util::createID3v1TagWithTitle({}, {}, {}, year, {}, 255))
            << year;
}

// Python's mutagen reads the tags back from a real MP3 file.
class ID3ReadbackTest : public ::testing::Test
{
protected:
    // Ten MPEG-1 Layer III frames of silence, 128 kbit/s, 44.1 kHz.
    static Bytes audio()
    {
        Bytes frames;
        for (int i = 0; i < 10; ++i)
            frames = cat({frames, hex("FF FB 90 64"), Bytes(413, 0)});
        return frames;
    }

    std::map<std::string, std::string> readBack(const std::string& mode, const Bytes& file)
    {
        const std::string path = m_dir.file("track.mp3");
        test::writeFile(path, std::string(file.begin(), file.end()));
        std::string output;
        EXPECT_EQ(test::runCommand("/usr/bin/python3 " + std::string(ORVANTA_TEST_DATA_DIR) +
                                       "/engine/id3_readback.py " + mode + " " + path,
                                   &output),
                  0)
            << output;
        std::map<std::string, std::string> fields;
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (const auto tab = line.find('\t'); tab != std::string::npos)
                fields[line.substr(0, tab)] = line.substr(tab + 1);
        }
        return fields;
    }

    test::TempDir m_dir;
};

TEST_F(ID3ReadbackTest, MutagenReadsTheID3v2Tag)
{
    Bytes picture = hex("FF D8 FF E0");
    for (int i = 0; i < 256; ++i)
        picture.push_back(std::uint8_t(i));
    const Dictionary tags{
        // The picture comes early, so that a wrong frame size would garble the frames after it.
        {"TPE1", "Кино"},
        {"APIC", picture},
        {"TIT2", "夜の歌 🎵"},
        {"TALB", "Grüße aus Köln"},
        {"TCON", "Rock"},
        {"TRCK", "7"},
        {"COMM", "Recorded — 日本"},
        {"TYER", 2024},
        {"POPM", 300},
    };
    const Bytes tag = ID3v2Helper::createTagForDictionary(tags);
    auto fields = readBack("v2", cat({tag, audio()}));

    EXPECT_EQ(fields["version"], "2.3.0");
    EXPECT_EQ(fields["size"], std::to_string(tag.size()));
    EXPECT_EQ(fields["padding"], "0");
    EXPECT_EQ(fields["unknown"], "0");
    EXPECT_EQ(fields["frames"], "TPE1,APIC,TIT2,TALB,TCON,TRCK,COMM,TYER,POPM");
    EXPECT_EQ(fields["TPE1"], "1|Кино");
    EXPECT_EQ(fields["TIT2"], "1|夜の歌 🎵");
    EXPECT_EQ(fields["TALB"], "1|Grüße aus Köln");
    EXPECT_EQ(fields["TCON"], "1|Rock");
    EXPECT_EQ(fields["TRCK"], "1|7");
    EXPECT_EQ(fields["TYER"], "1|2024");
    EXPECT_EQ(fields["COMM"], "1|eng||Recorded — 日本");
    EXPECT_EQ(fields["POPM"], "|255|0");
    EXPECT_EQ(fields["APIC"], "0|image/jpeg|3||" + toHex(picture));
    // Layer, bit rate, sample rate, length: the audio starts right after the tag.
    EXPECT_EQ(fields["audio"], "3|128000|44100|0.261");
}

TEST_F(ID3ReadbackTest, MutagenReadsTheID3v1Tag)
{
    const Dictionary tags{
        {"TIT2", "Grüße 夜の歌 🎵"},
        {"TPE1", "Кино"},
        {"TALB", "An album title that is too long"},
        {"TYER", "1999"},
        {"COMM", "Cafe\xCC\x81"},
    };
    auto fields = readBack("v1", cat({audio(), createID3v1TagFromDictionary(tags)}));

    EXPECT_EQ(fields["version"], "1.1");
    EXPECT_EQ(fields["frames"], "TIT2,TPE1,TALB,TYER,COMM") << "genre 255 means none";
    EXPECT_EQ(fields["TIT2"], "0|Grüße ??? ?");
    EXPECT_EQ(fields["TPE1"], "0|????");
    EXPECT_EQ(fields["TALB"], "0|An album title that is too lon");
    EXPECT_EQ(fields["TYER"], "0|1999");
    EXPECT_EQ(fields["COMM"], "0|eng|ID3v1 Comment|Café");
}

} // namespace
