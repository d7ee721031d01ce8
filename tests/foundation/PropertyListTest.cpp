#include "PropertyList.h"

#include "TempDir.h"

#include <cmath>
#include <cstdlib>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

// The same content as the sample in plist_interop.py.
Value interopSample()
{
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<std::uint8_t>(i));
    Dictionary d;
    d.set("string", "Grüße, 世界 & <friends> \"quoted\"");
    d.set("empty string", "");
    d.set("integer", 42);
    d.set("negative", std::numeric_limits<std::int64_t>::min());
    d.set("largest", std::numeric_limits<std::int64_t>::max());
    d.set("real", 0.1);
    d.set("true", true);
    d.set("false", false);
    d.set("date", *parsePropertyListDate("2024-02-29T23:59:58Z"));
    d.set("old date", *parsePropertyListDate("1969-07-20T20:17:40Z"));
    d.set("data", all);
    d.set("empty data", Bytes{});
    d.set("array", Array{1, "two", Array{3.5, Dictionary{}}, Array{}});
    d.set("nested", Dictionary{{"b", Dictionary{{"c", Array{true, Dictionary{{"d", "deep"}}}}}}});
    d.set("line ends", "one\ntwo\tthree");
    return d;
}

std::string python()
{
    const char* configured = std::getenv("ORVANTA_TEST_PYTHON");
    return configured ? configured : "/usr/bin/python3";
}

std::string interopScript()
{
    return std::string(ORVANTA_TEST_DATA_DIR) + "/foundation/plist_interop.py";
}

Value roundTrip(const Value& v)
{
    std::string error;
    auto text = serializePropertyList(v, error);
    EXPECT_TRUE(text) << error;
    auto back = parsePropertyList(text.value_or(""), error);
    EXPECT_TRUE(back) << error;
    return back.value_or(Value());
}

} // namespace

TEST(PropertyListTest, WritesTheStandardLayout)
{
    std::string error;
    auto text = serializePropertyList(
        Dictionary{{"name", "A & B"}, {"list", Array{1, true}}, {"empty", Dictionary{}}}, error);
    ASSERT_TRUE(text) << error;
    EXPECT_EQ(*text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n"
                     "<dict>\n"
                     "\t<key>name</key>\n"
                     "\t<string>A &amp; B</string>\n"
                     "\t<key>list</key>\n"
                     "\t<array>\n"
                     "\t\t<integer>1</integer>\n"
                     "\t\t<true/>\n"
                     "\t</array>\n"
                     "\t<key>empty</key>\n"
                     "\t<dict/>\n"
                     "</dict>\n"
                     "</plist>\n");
}

TEST(PropertyListTest, RoundTripsEveryTypeExactly)
{
    const Value sample = interopSample();
    EXPECT_EQ(roundTrip(sample), sample);

    for (double d : {0.1, -0.0, 1e300, 5e-324, 123456789.125, 1.0 / 3.0})
        EXPECT_EQ(roundTrip(d).toReal(), d);
    EXPECT_TRUE(std::isnan(roundTrip(std::nan("")).toReal()));
    EXPECT_EQ(roundTrip(HUGE_VAL).toReal(), HUGE_VAL);
    EXPECT_EQ(roundTrip(-HUGE_VAL).toReal(), -HUGE_VAL);
    // Whitespace-only text and a carriage return survive.
    EXPECT_EQ(roundTrip("  \r\n  ").toString(), "  \r\n  ");
    EXPECT_EQ(roundTrip("]]> <![CDATA[").toString(), "]]> <![CDATA[");
}

TEST(PropertyListTest, KeepsKeyOrderAndLetsTheLastDuplicateWin)
{
    std::string error;
    auto v = parsePropertyList("<plist><dict><key>z</key><integer>1</integer>"
                               "<key>a</key><integer>2</integer>"
                               "<key>z</key><integer>3</integer></dict></plist>",
                               error);
    ASSERT_TRUE(v) << error;
    const Dictionary d = v->toDictionary();
    EXPECT_EQ(d.keys(), (std::vector<std::string>{"z", "a"}));
    EXPECT_EQ(d.get("z").toInteger(), 3);
}

TEST(PropertyListTest, ReadsTheFormsOtherWritersUse)
{
    std::string error;
    auto v = parsePropertyList(
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- written elsewhere -->\n<plist version=\"1.0\">"
        "<array>"
        "<integer> 0x1F </integer><real>+infinity</real><real>-3</real>"
        "<string><![CDATA[a<b]]>&#x263A;</string><string/>"
        "<data>\n  AAEC\n  /w==\n</data><date>2001-01-01T00:00:00Z</date><date>2001Z</date>"
        "</array></plist>",
        error);
    ASSERT_TRUE(v) << error;
    const Array a = v->toArray();
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[0].toInteger(), 31);
    EXPECT_EQ(a[1].toReal(), HUGE_VAL);
    EXPECT_TRUE(a[2].isReal());
    EXPECT_EQ(a[3].toString(), "a<b\u263A");
    EXPECT_EQ(a[4], Value(""));
    EXPECT_EQ(a[5].toData(), (Bytes{0, 1, 2, 255}));
    EXPECT_EQ(a[6].toDate().secondsSince1970, 978307200.0);
    EXPECT_EQ(a[7], a[6]);
}

TEST(PropertyListTest, DatesUseWholeSecondsInUtc)
{
    EXPECT_EQ(formatPropertyListDate(Date{0}), "1970-01-01T00:00:00Z");
    EXPECT_EQ(formatPropertyListDate(Date{-1.5}), "1969-12-31T23:59:58Z");
    EXPECT_EQ(formatPropertyListDate(Date{951782400}), "2000-02-29T00:00:00Z");
    EXPECT_EQ(formatPropertyListDate(Date{std::nan("")}), "");
    for (const char* bad : {"", "2001-01-01T00:00:00", "2001-13-01T00:00:00Z", "2001-1-01Z",
                            "2001-01-01T24:00:00Z", "20x1Z", "2001-01-01T00:00:00+01:00"})
        EXPECT_FALSE(parsePropertyListDate(bad)) << bad;
}

TEST(PropertyListTest, RefusesWhatTheFormatCannotCarry)
{
    std::string error;
    EXPECT_FALSE(serializePropertyList(Dictionary{{"x", Value()}}, error));
    EXPECT_NE(error.find("null"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(serializePropertyList(Value("bell\x07"), error));
    EXPECT_NE(error.find("control character 7"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(serializePropertyList(Value("bad \xC3("), error));
    EXPECT_NE(error.find("UTF-8"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(serializePropertyList(Value(Date{-1e13}), error));

    Array cyclic;
    cyclic.append(cyclic);
    error.clear();
    EXPECT_FALSE(serializePropertyList(cyclic, error));
    EXPECT_NE(error.find("nesting"), std::string::npos) << error;
    cyclic.clear();
}

TEST(PropertyListTest, MalformedInputGivesAClearErrorWithItsLine)
{
    struct Case
    {
        const char* input;
        const char* expected; // part of the message
    };
    const Case cases[] = {
        {"", "line 1"},
        {"<plist><dict><key>a</key>", "not well-formed"},
        {"<plist>\n<dict>\n<key>a</key>\n<integer>1</integer>\n<key>b</key>\n</dict></plist>",
         "\"b\" has no value"},
        {"<plist><dict><string>x</string></dict></plist>", "expected <key>"},
        {"<plist><integer>12a</integer></plist>", "invalid integer"},
        {"<plist><integer>9223372036854775808</integer></plist>", "64 bits"},
        {"<plist><integer>-9223372036854775809</integer></plist>", "64 bits"},
        {"<plist><integer></integer></plist>", "invalid integer"},
        {"<plist><real>1.5x</real></plist>", "invalid real"},
        {"<plist><date>yesterday</date></plist>", "invalid date"},
        {"<plist><data>####</data></plist>", "invalid base64"},
        {"<plist><true>yes</true></plist>", "must be empty"},
        {"<plist><string><b/></string></plist>", "text only"},
        {"<plist><set/></plist>", "unknown element <set>"},
        {"<plist><array/><array/></plist>", "more than one value"},
        {"<plist>\n\n<array>text</array></plist>", "line 3: unexpected text"},
        {"<plist></plist>", "empty"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parsePropertyList(c.input, error)) << c.input;
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "input: " << c.input << "\nerror: " << error;
    }
}

TEST(PropertyListTest, TruncationAtEveryLengthFailsCleanly)
{
    std::string error;
    const std::string full = *serializePropertyList(interopSample(), error);
    for (std::size_t length = 0; length + 8 < full.size(); length += 7) {
        std::string e;
        EXPECT_FALSE(parsePropertyList(std::string_view(full).substr(0, length), e)) << length;
        EXPECT_FALSE(e.empty());
    }
}

TEST(PropertyListTest, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::string deep = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    std::string error;
    EXPECT_FALSE(parsePropertyList(deep, error));
    for (int i = 0; i < 100000; ++i)
        deep += "</array>";
    deep += "</plist>";
    error.clear();
    EXPECT_FALSE(parsePropertyList(deep, error));
    EXPECT_NE(error.find("nesting"), std::string::npos) << error;
}

TEST(PropertyListTest, FilesAreWrittenAtomicallyWithTheirPermissions)
{
    test::TempDir dir;
    const std::string path = dir.file("prefs.plist");
    std::string error;
    ASSERT_TRUE(writePropertyListFile(path, Dictionary{{"a", 1}}, error, 0600)) << error;
    ASSERT_TRUE(writePropertyListFile(path, Dictionary{{"a", 2}}, error, 0600)) << error;
    struct stat st
    {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readPropertyListFile(path, error)->toDictionary().get("a").toInteger(), 2);

    // A value that cannot be written leaves the old file as it was.
    EXPECT_FALSE(writePropertyListFile(path, Dictionary{{"a", Value()}}, error));
    EXPECT_EQ(readPropertyListFile(path, error)->toDictionary().get("a").toInteger(), 2);

    std::string out;
    test::runCommand("ls -A " + dir.path(), &out);
    EXPECT_EQ(out, "prefs.plist\n") << "no temporary files are left behind";

    EXPECT_FALSE(readPropertyListFile(dir.file("missing.plist"), error));
    EXPECT_NE(error.find("missing.plist"), std::string::npos);
    EXPECT_FALSE(writePropertyListFile(dir.file("no/such/folder.plist"), Dictionary{}, error));
}

TEST(PropertyListTest, PythonReadsWhatWeWriteAndWeReadWhatPythonWrites)
{
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(writePropertyListFile(dir.file("ours.plist"), interopSample(), error)) << error;
    std::string output;
    EXPECT_EQ(test::runCommand(
                  python() + " " + interopScript() + " check " + dir.file("ours.plist"), &output),
              0)
        << output;

    ASSERT_EQ(test::runCommand(
                  python() + " " + interopScript() + " write " + dir.file("theirs.plist"), &output),
              0)
        << output;
    auto theirs = readPropertyListFile(dir.file("theirs.plist"), error);
    ASSERT_TRUE(theirs) << error;
    EXPECT_EQ(*theirs, interopSample());
    EXPECT_EQ(theirs->toDictionary().keys(), interopSample().toDictionary().keys());
}
