#include "ArchiveCodec.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

Value roundTrip(const Value& value)
{
    std::string error;
    std::optional<Value> decoded = unarchiveValue(archiveValue(value), error);
    if (!decoded) {
        ADD_FAILURE() << error;
        return Value();
    }
    return *decoded;
}

Dictionary everyType()
{
    Array shared{"a", 1};
    Dictionary inner{{"k", Value(Date{1.5})}};
    return Dictionary{
        {"string", "Grüße \"x\"\n"},
        {"empty", ""},
        {"min", std::numeric_limits<std::int64_t>::min()},
        {"max", std::numeric_limits<std::int64_t>::max()},
        {"true", true},
        {"false", false},
        {"real", 0.1},
        {"negzero", -0.0},
        {"inf", std::numeric_limits<double>::infinity()},
        {"date", Date{-12345.678}},
        {"data", Bytes{0, 255, 10, 13}},
        {"null", Null{}},
        {"shared1", shared},
        {"shared2", shared},
        {"inner", inner},
        {"zkey", 1},
        {"akey", 2},
    };
}

} // namespace

TEST(ArchiveCodecTest, EveryValueTypeRoundTripsExactly)
{
    Dictionary original = everyType();
    Value copy = roundTrip(original);
    EXPECT_EQ(copy, Value(original));
    Dictionary d = copy.toDictionary();
    EXPECT_EQ(d.keys(), original.keys()); // key order kept
    EXPECT_TRUE(d.get("min").isInteger());
    EXPECT_TRUE(d.get("true").isBool());
    EXPECT_TRUE(d.get("null").isNull());
    EXPECT_TRUE(std::signbit(d.get("negzero").toReal()));
    EXPECT_EQ(d.get("real").toReal(), 0.1);
    EXPECT_EQ(d.get("date").toDate().secondsSince1970, -12345.678);
}

TEST(ArchiveCodecTest, SharedContainersComeBackShared)
{
    Value copy = roundTrip(everyType());
    Dictionary d = copy.toDictionary();
    EXPECT_TRUE(d.get("shared1").isSameObject(d.get("shared2")));
    d.get("shared1").toArray().append("seen by both");
    EXPECT_EQ(d.get("shared2").toArray().size(), 3u);
    EXPECT_FALSE(d.get("inner").isSameObject(d.get("shared1")));
}

TEST(ArchiveCodecTest, SecondSaveIsByteExact)
{
    std::string first = archiveValue(everyType());
    std::string error;
    auto decoded = unarchiveValue(first, error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(archiveValue(*decoded), first);
}

TEST(ArchiveCodecTest, SelfReferencingArrayDecodes)
{
    Array loop{"x"};
    loop.append(loop);
    Value copy = roundTrip(loop);
    Array a = copy.toArray();
    ASSERT_EQ(a.size(), 2u);
    EXPECT_TRUE(a.at(1).isSameObject(copy));
    a.at(1).toArray().clear(); // break the cycle so the test does not leak
    loop.clear();
}

TEST(ArchiveCodecTest, EveryTruncationIsAnErrorNotACrash)
{
    std::string bytes = archiveValue(everyType());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        std::string error;
        EXPECT_FALSE(unarchiveValue(std::string_view(bytes).substr(0, length), error))
            << "length " << length;
        EXPECT_FALSE(error.empty());
    }
}

TEST(ArchiveCodecTest, CorruptInputIsRejectedCleanly)
{
    std::string bytes = archiveValue(everyType());
    // Flipping any single byte must never crash; most flips are caught, some change a
    // payload byte and still decode, which is acceptable.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string copy = bytes;
        copy[i] = static_cast<char>(copy[i] ^ 0xff);
        std::string error;
        (void)unarchiveValue(copy, error);
    }
    struct Case
    {
        const char* name;
        std::string bytes;
    };
    std::string header = std::string(kArchiveMagic) + std::string("\x01\0\0\0", 4);
    const Case cases[] = {
        {"bad magic", "XRVARCH1" + std::string("\x01\0\0\0", 4) + "\x01"},
        {"future version", std::string(kArchiveMagic) + std::string("\x02\0\0\0", 4) + "\x01"},
        {"unknown tag", header + "\x7f"},
        {"huge string length", header + "\x06\xff\xff\xff\xff\x0f" + "abc"},
        {"huge array count", header + "\x09\xff\xff\xff\xff\x0f"},
        {"dangling reference", header + "\x0b\x05"},
        {"unknown key reference", header + std::string("\x0a\x01\x03\x01", 4)},
        {"trailing bytes", header + "\x01\x01"},
        {"overlong number", header + "\x06\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"},
        {"absent as a value", header + std::string("\x09\x01\x00", 3)},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(unarchiveValue(c.bytes, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

TEST(ArchiveCodecTest, DepthIsLimitedBothWays)
{
    std::string header = std::string(kArchiveMagic) + std::string("\x01\0\0\0", 4);
    std::string deep = header;
    for (int i = 0; i < kMaxArchiveDepth + 5; ++i) {
        deep += "\x09\x01"; // an array holding one item, the next array
    }
    std::string error;
    EXPECT_FALSE(unarchiveValue(deep + std::string(1, '\x01'), error));
    EXPECT_NE(error.find("deeper"), std::string::npos) << error;

    Array outer;
    Array current = outer;
    for (int i = 0; i < kMaxArchiveDepth + 5; ++i) {
        Array next;
        current.append(next);
        current = next;
    }
    EXPECT_THROW(archiveValue(outer), std::length_error);
}

namespace {

// A minimal record type: a name, a link to another record, and fixed-width fields.
class Pair : public Archivable
{
public:
    std::string name;
    std::shared_ptr<Pair> other;
    std::int32_t number = 0;
    float ratio = 0;
    std::int8_t flag = 0;

    std::string archiveClassName() const override { return "Pair"; }
    void encodeWithCoder(ArchiveWriter& writer) override
    {
        writer.encodeValue(name);
        writer.encodeObject(other.get());
        writer.encodeInt32(number);
        writer.encodeFloat(ratio);
        writer.encodeChar(flag);
    }
    void initWithCoder(ArchiveReader& reader) override
    {
        name = reader.decodeValue().toString();
        other = std::dynamic_pointer_cast<Pair>(reader.decodeObject());
        number = reader.decodeInt32();
        ratio = reader.decodeFloat();
        flag = reader.decodeChar();
    }
};

} // namespace

TEST(ArchiveCodecTest, RecordsKeepIdentityAndFixedWidthFields)
{
    auto a = std::make_shared<Pair>();
    auto b = std::make_shared<Pair>();
    a->name = "a";
    a->other = b;
    a->number = -7;
    a->ratio = 0.25f;
    a->flag = -1;
    b->name = "b";
    b->other = a; // a cycle: written once, then referred to

    ArchiveWriter writer;
    writer.encodeObjectList({a.get(), b.get(), nullptr});
    std::string bytes = writer.bytes();
    b->other.reset();

    ArchiveReader reader(bytes);
    reader.registerClass("Pair", [] { return std::make_shared<Pair>(); });
    auto list = reader.decodeObjectList();
    ASSERT_EQ(list.size(), 3u);
    auto ra = std::dynamic_pointer_cast<Pair>(list[0]);
    auto rb = std::dynamic_pointer_cast<Pair>(list[1]);
    ASSERT_TRUE(ra && rb);
    EXPECT_EQ(list[2], nullptr);
    EXPECT_EQ(ra->other, rb);
    EXPECT_EQ(rb->other, ra);
    EXPECT_EQ(ra->number, -7);
    EXPECT_EQ(ra->ratio, 0.25f);
    EXPECT_EQ(ra->flag, -1);
    EXPECT_TRUE(reader.atEnd());
    rb->other.reset();

    ArchiveReader unknown(bytes);
    EXPECT_THROW(unknown.decodeObjectList(), ArchiveError);
    ArchiveReader wrongKind(bytes);
    EXPECT_THROW(wrongKind.decodeValue(), ArchiveError);
}
