#include "Node.h"

#include "Log.h"
#include "NodePropertyKeys.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

// Writes a node in the layout of older libraries, as tests of migration need such data.
class LegacyRecord : public Archivable
{
public:
    std::vector<LegacyRecord*> children;
    LegacyRecord* parent = nullptr;
    std::int32_t kind = 1;
    std::optional<Value> urls;
    std::optional<Value> name;
    std::optional<Value> comment;

    std::string archiveClassName() const override { return Node::kClassName; }
    void encodeWithCoder(ArchiveWriter& w) override
    {
        w.encodeObjectList({children.begin(), children.end()});
        w.encodeObject(parent);
        w.encodeInt32(kind);
        w.encodeInt32(30);  // rewind seconds
        w.encodeInt32(700); // split size
        w.encodeInt32(90);  // split time
        w.encodeInt32(2);   // manual split type
        w.encodeChar(1);    // always manual
        w.encodeInt32(1);   // selected address
        urls ? w.encodeValue(*urls) : w.encodeAbsent();
        name ? w.encodeValue(*name) : w.encodeAbsent();
        w.encodeValue("discarded");
        w.encodeAbsent();
        w.encodeInt32(1); // timer status
        w.encodeChar(0);
        w.encodeFloat(1.0f);
        w.encodeFloat(2.0f);
        w.encodeFloat(3.0f);
        w.encodeChar(1); // stereo
        w.encodeInt32(128);
        comment ? w.encodeValue(*comment) : w.encodeAbsent();
        w.encodeChar(0);
    }
    void initWithCoder(ArchiveReader&) override {}
};

struct OldStyle
{
    OldStyle() { Node::setUseOldStyleCoding(true); }
    ~OldStyle() { Node::setUseOldStyleCoding(false); }
};

NodePtr sampleLibrary()
{
    NodePtr root = Node::nodeWithName("Root", Node::kGroup);
    NodePtr group = Node::nodeWithName("Jazz", Node::kGroup);
    NodePtr inner = Node::nodeWithName("Inner", Node::kGroup);
    NodePtr a = Node::nodeWithName("A", std::vector<std::string>{"http://a/1", "http://a/2"},
                                   Node::kStream);
    NodePtr b = Node::nodeWithName("B", "http://b", Node::kStream);
    Array history{Dictionary{{"filename", "x.mp3"}, {"dateCompleted", Date{1e9 + 0.25}}}};
    a->setProperty(Value(history), np::NP_HISTORY);
    a->setProperty(Value(history), np::NP_RECORDING_SCHEDULE); // the same list twice
    a->setProperty(Value(128), np::NP_BITRATE);
    a->setProperty(Value(true), np::NP_STEREO);
    a->setProperty(Value("pw"), np::NP_PASSWORD);
    b->setProperty(Value(Bytes{1, 2, 3}), np::NP_COMMENT);
    b->setProperty(Value(Null{}), np::NP_GENRE);
    root->addChildren({group, b});
    group->addChild(inner);
    inner->addChild(a);
    return root;
}

} // namespace

TEST(NodeArchiveTest, LibraryRoundTripsWithSharedListsAndIsByteExact)
{
    NodePtr root = sampleLibrary();
    std::string first = Node::archiveRoot(*root);
    std::string error;
    NodePtr copy = Node::unarchiveRoot(first, error);
    ASSERT_TRUE(copy) << error;

    ASSERT_EQ(copy->childrenCount(), 2u);
    Node* group = copy->childAtIndex(0).get();
    Node* a = group->childAtIndex(0)->childAtIndex(0).get();
    EXPECT_EQ(group->parent(), copy.get());
    EXPECT_EQ(a->parent(), group->childAtIndex(0).get());
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_EQ(Value(a->properties()),
              Value(root->children()[0]->childAtIndex(0)->childAtIndex(0)->properties()));
    EXPECT_TRUE(a->propertyForKey(np::NP_HISTORY)
                    ->isSameObject(*a->propertyForKey(np::NP_RECORDING_SCHEDULE)));
    EXPECT_TRUE(copy->childAtIndex(1)->propertyForKey(np::NP_GENRE)->isNull());

    EXPECT_EQ(Node::archiveRoot(*copy), first);
}

TEST(NodeArchiveTest, SavingStripsTransientKeysFromTheLiveNodeUnlessACopyIsAsked)
{
    NodePtr root = sampleLibrary();
    Node* b = root->childAtIndex(1).get();
    b->setProperty(Value(Array{"http://resolved"}), np::NP_URLS_TO_VISIT);
    b->setProperty(Value(30.0), np::NP_REWINDSECS);

    std::string copyOnly = Node::archiveRoot(*root, true);
    EXPECT_TRUE(b->propertyForKey(np::NP_URLS_TO_VISIT).has_value());
    std::string stripping = Node::archiveRoot(*root);
    EXPECT_FALSE(b->propertyForKey(np::NP_URLS_TO_VISIT).has_value());
    EXPECT_FALSE(b->propertyForKey(np::NP_REWINDSECS).has_value());
    EXPECT_TRUE(b->propertyForKey(np::NP_GENRE).has_value());
    EXPECT_EQ(copyOnly, stripping);

    // What the station's splits learned of its titles is the station's own, and kept.
    b->setProperty(Value(Array{Value(-8.1), Value(-7.9)}), np::NP_SPLIT_OFFSETS);
    std::string error;
    const NodePtr read = Node::unarchiveRoot(Node::archiveRoot(*root), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->childAtIndex(1)->propertyForKey(np::NP_SPLIT_OFFSETS),
              Value(Array{Value(-8.1), Value(-7.9)}));
}

TEST(NodeArchiveTest, MissingOrNullNameReadsAsUntitled)
{
    for (std::optional<Value> name : {std::optional<Value>(), std::optional<Value>(Null{})}) {
        NodePtr root = Node::nodeWithName("Root", Node::kGroup);
        NodePtr child = Node::nodeWithName("x", Node::kStream);
        if (name) {
            child->setProperty(*name, np::NP_NAME);
        } else {
            child->removePropertyForKey(np::NP_NAME);
        }
        root->addChild(child);
        std::string error;
        NodePtr copy = Node::unarchiveRoot(Node::archiveRoot(*root), error);
        ASSERT_TRUE(copy) << error;
        EXPECT_EQ(copy->childAtIndex(0)->name(), "Untitled");
    }
}

TEST(NodeArchiveTest, LegacyRecordFillsTheListedProperties)
{
    LegacyRecord root, child, unnamed;
    root.kind = 0;
    root.name = Value("Root");
    root.urls = Value(Array{});
    child.parent = &root;
    child.name = Value("Old FM");
    child.urls = Value(Array{"http://old"});
    child.comment = Value("note");
    unnamed.parent = &root;
    unnamed.name = Value(Null{});
    root.children = {&child, &unnamed};
    ArchiveWriter writer;
    writer.encodeObject(&root);

    OldStyle oldStyle;
    std::string error;
    NodePtr tree = Node::unarchiveRoot(writer.bytes(), error);
    ASSERT_TRUE(tree) << error;
    ASSERT_EQ(tree->childrenCount(), 2u);
    const Node& node = *tree->childAtIndex(0);
    Dictionary expected{
        {np::NP_TYPE, 1},
        {np::NP_REWINDSECS, 30.0},
        {np::NP_SPLITSIZEMB, 700},
        {np::NP_SPLITTIMEMINS, 90},
        {np::NP_MANUALSPLITTYPE, 2},
        {np::NP_ALWAYSMANUAL, true},
        {np::NP_SELECTEDURLINDEX, 1},
        {np::NP_URLS, Array{"http://old"}},
        {np::NP_NAME, "Old FM"},
        {np::NP_COMMENT, "note"},
        {np::NP_STEREO, true},
        {np::NP_BITRATE, 128},
    };
    EXPECT_EQ(Value(node.properties()), Value(expected));
    EXPECT_EQ(node.properties().keys(), expected.keys());
    EXPECT_FALSE(node.propertyForKey(np::NP_PRESET_ID).has_value());
    EXPECT_EQ(node.timerStatus(), TimerStatus::Scheduled);
    EXPECT_EQ(node.parent(), tree.get());

    const Node& second = *tree->childAtIndex(1);
    EXPECT_EQ(second.name(), "Untitled");
    EXPECT_FALSE(second.propertyForKey(np::NP_URLS).has_value());
    EXPECT_FALSE(second.propertyForKey(np::NP_COMMENT).has_value());
}

TEST(NodeArchiveTest, MalformedArchivesYieldNoNodeAndLogOnce)
{
    std::vector<std::string> lines;
    LogSink previous = setLogSink([&lines](const std::string& line) { lines.push_back(line); });

    std::string good = Node::archiveRoot(*sampleLibrary());
    std::string error;
    for (std::size_t length : {std::size_t{12}, good.size() / 2, good.size() - 1}) {
        lines.clear();
        EXPECT_FALSE(Node::unarchiveRoot(good.substr(0, length), error)) << length;
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Node::initWithCoder : threw exception reading stream data: "
                            "ArchiveError : archive truncated"),
              std::string::npos)
        << lines[0];

    // A node listed as its own child would make a loop in the tree.
    class SelfChild : public Archivable
    {
    public:
        std::string archiveClassName() const override { return Node::kClassName; }
        void encodeWithCoder(ArchiveWriter& w) override
        {
            w.encodeObjectList({this});
            w.encodeAbsent();
            w.encodeValue(Dictionary{});
        }
        void initWithCoder(ArchiveReader&) override {}
    } loop;
    ArchiveWriter writer;
    writer.encodeObject(&loop);
    EXPECT_FALSE(Node::unarchiveRoot(writer.bytes(), error));
    EXPECT_NE(error.find("twice"), std::string::npos) << error;

    // No single flipped byte may crash the reader or leave a broken tree behind.
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::string flipped = good;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
        if (NodePtr tree = Node::unarchiveRoot(flipped, error)) {
            std::vector<Node*> all;
            Node::getAllChildrenOfNode(tree.get(), Node::kStream, all);
            for (Node* node : all) {
                EXPECT_TRUE(node->isDescendantOfNode(tree.get())) << i;
            }
        }
    }

    // A property list is not a library.
    EXPECT_FALSE(Node::unarchiveRoot(archiveValue(Dictionary{}), error));
    setLogSink(previous);
}
