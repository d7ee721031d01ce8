#include "Value.h"
#include "DictionaryExtensions.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace orvanta;

TEST(ValueTest, ContainersAreSharedByCopiesAndIndependentAfterDeepCopy)
{
    Array history;
    Dictionary node{{"NP_NAME", "Radio"}, {"NP_HISTORY", history}};
    Dictionary recordingCopy = node; // the same object
    recordingCopy.get("NP_HISTORY").toArray().append(Dictionary{{"title", "Song"}});
    EXPECT_EQ(history.size(), 1u) << "the list in the copy is the node's own list";
    EXPECT_TRUE(recordingCopy.isSameObject(node));

    Value deep = Value(node).deepCopy();
    deep.toDictionary().get("NP_HISTORY").toArray().clear();
    deep.toDictionary().set("NP_NAME", "Other");
    EXPECT_EQ(history.size(), 1u);
    EXPECT_EQ(node.get("NP_NAME").toString(), "Radio");
    EXPECT_FALSE(deep.isSameObject(Value(node)));
}

TEST(ValueTest, DeepCopyKeepsSharedObjectsSharedAndSurvivesCycles)
{
    Array shared{1, 2};
    Dictionary root{{"a", shared}, {"b", shared}};
    Dictionary copy = Value(root).deepCopy().toDictionary();
    EXPECT_TRUE(copy.get("a").isSameObject(copy.get("b")));
    EXPECT_FALSE(copy.get("a").isSameObject(Value(shared)));

    Array cyclic;
    cyclic.append(cyclic);
    Array cyclicCopy = Value(cyclic).deepCopy().toArray();
    EXPECT_TRUE(cyclicCopy.at(0).isSameObject(Value(cyclicCopy)));
    cyclic.clear(); // break the cycles so both are freed
    cyclicCopy.clear();
}

TEST(ValueTest, EqualityComparesContentWithExactTypes)
{
    EXPECT_EQ(Value(Array{1, "x", Dictionary{{"k", 2.5}}}),
              Value(Array{1, "x", Dictionary{{"k", 2.5}}}));
    EXPECT_NE(Value(1), Value(1.0));
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(""), Value());
    EXPECT_EQ(Value(Bytes{1, 2, 3}), Value(Bytes{1, 2, 3}));
    EXPECT_NE(Value(Bytes{1, 2, 3}), Value(Bytes{1, 2}));
    // Order of insertion does not make two dictionaries different.
    EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", 2}}), Value(Dictionary{{"b", 2}, {"a", 1}}));
    EXPECT_NE(Value(Dictionary{{"a", 1}}), Value(Dictionary{{"a", 1}, {"b", 2}}));
}

TEST(ValueTest, DictionaryKeepsInsertionOrderAcrossReplaceAndRemove)
{
    Dictionary d;
    for (int i = 0; i < 40; ++i) // past the size at which an index is built
        d.set("key" + std::to_string(i), i);
    d.set("key5", "replaced");
    EXPECT_TRUE(d.remove("key0"));
    EXPECT_FALSE(d.remove("key0"));
    d.set("key0", "back at the end");

    const auto keys = d.keys();
    ASSERT_EQ(keys.size(), 40u);
    EXPECT_EQ(keys.front(), "key1");
    EXPECT_EQ(keys[4], "key5");
    EXPECT_EQ(keys.back(), "key0");
    EXPECT_EQ(d.get("key5").toString(), "replaced");
    EXPECT_EQ(d.get("key39").toInteger(), 39);
    EXPECT_EQ(d.get("key0").toString(), "back at the end");
    EXPECT_EQ(d.find("missing"), nullptr);
    EXPECT_TRUE(d.get("missing").isNull());
}

TEST(ValueTest, NumericConversionsAreSafeForEveryInput)
{
    EXPECT_EQ(Value(true).toInteger(), 1);
    EXPECT_EQ(Value(3.9).toInteger(), 3);
    EXPECT_EQ(Value(1e300).toInteger(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Value(-1e300).toInteger(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Value(std::nan("")).toInteger(), 0);
    EXPECT_EQ(Value("12").toInteger(), 0) << "strings are not numbers";
    EXPECT_DOUBLE_EQ(Value(std::int64_t{7}).toReal(), 7.0);
    EXPECT_FALSE(Value(0.0).toBool());
    EXPECT_TRUE(Value(-2).toBool());
    EXPECT_EQ(Value(42).toString(), "");
    EXPECT_TRUE(Value(42).toArray().empty());
}

TEST(ValueTest, BoolForKeyAcceptsNumbersOnly)
{
    Dictionary d{{"yes", true}, {"one", 1},        {"half", 0.5},
                 {"zero", 0},   {"string", "YES"}, {"list", Array{1}}};
    EXPECT_TRUE(boolForKey(d, "yes"));
    EXPECT_TRUE(boolForKey(d, "one"));
    EXPECT_TRUE(boolForKey(d, "half"));
    EXPECT_FALSE(boolForKey(d, "zero"));
    EXPECT_FALSE(boolForKey(d, "string"));
    EXPECT_FALSE(boolForKey(d, "list"));
    EXPECT_FALSE(boolForKey(d, "missing"));

    setBool(d, true, "string");
    EXPECT_TRUE(d.get("string").isBool());
    EXPECT_TRUE(boolForKey(d, "string"));
}
