#include "Node.h"

#include "NodePropertyKeys.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

NodePtr stream(const std::string& name, std::optional<std::int64_t> bitrate = std::nullopt)
{
    NodePtr node = Node::nodeWithName(name, "http://" + name, Node::kStream);
    if (bitrate) {
        node->setProperty(Value(*bitrate), np::NP_BITRATE);
    }
    return node;
}

std::vector<std::string> names(const std::vector<Node*>& nodes)
{
    std::vector<std::string> result;
    for (const Node* node : nodes) {
        result.push_back(node->name());
    }
    return result;
}

std::vector<std::string> childNames(const Node& node)
{
    std::vector<std::string> result;
    for (const NodePtr& child : node.children()) {
        result.push_back(child->name());
    }
    return result;
}

} // namespace

TEST(NodeTest, CreationAndProperties)
{
    NodePtr node = Node::nodeWithName("A", std::vector<std::string>{"u1", "u2"}, Node::kStream);
    EXPECT_EQ(node->propertyForKey(np::NP_PRESET_ID), Value("Standard"));
    EXPECT_EQ(node->propertyForKey(np::NP_URLS), Value(Array{"u1", "u2"}));
    EXPECT_EQ(node->nodeType(), Node::kStream);
    EXPECT_EQ(Node::nodeWithName("G", Node::kGroup)->propertyForKey(np::NP_URLS), Value(Array{}));

    node->setProperty(std::nullopt, "X");
    ASSERT_TRUE(node->propertyForKey("X").has_value());
    EXPECT_TRUE(node->propertyForKey("X")->isNull());
    node->removePropertyForKey(np::NP_TYPE);
    EXPECT_EQ(node->nodeType(), Node::kGroup); // a missing kind reads as a group

    Dictionary copy = node->getCopyOfProperties();
    copy.set("Y", 1);
    EXPECT_FALSE(node->propertyForKey("Y").has_value());
    node->addPropertiesFromDictionary(Dictionary{{"Y", 2}, {np::NP_NAME, "B"}});
    EXPECT_EQ(node->name(), "B");
    EXPECT_EQ(node->propertyForKey("Y"), Value(2));
}

TEST(NodeTest, StatusFieldsAndByNameAccess)
{
    Node node;
    node.setStatus(RecordingStatus::Recording);
    node.setRippingStatus(RippingStatus::Running);
    node.setTimerStatus(TimerStatus::Scheduled);
    EXPECT_EQ(node.status(), RecordingStatus::Recording);
    EXPECT_EQ(node.rippingStatus(), RippingStatus::Running);
    EXPECT_EQ(node.timerStatus(), TimerStatus::Scheduled);
    EXPECT_FALSE(node.valueForKey("alertMessage"));
    EXPECT_TRUE(node.setValueForKey("boom", "alertMessage"));
    EXPECT_TRUE(node.setValueForKey("http://x", "connectingURL"));
    EXPECT_EQ(node.valueForKey("alertMessage"), "boom");
    EXPECT_EQ(node.valueForKey("connectingURL"), "http://x");
    EXPECT_FALSE(node.setValueForKey("x", "status"));
    EXPECT_TRUE(node.setValueForKey(std::nullopt, "alertMessage"));
    EXPECT_FALSE(node.valueForKey("alertMessage"));
}

TEST(NodeTest, ChildOperationsKeepOrderAndParents)
{
    NodePtr root = Node::nodeWithName("Root", Node::kGroup);
    NodePtr a = stream("a"), b = stream("b"), c = stream("c"), d = stream("d");
    root->addChild(a);
    root->insertChildren({b, c}, 0);
    root->insertChild(d, 1);
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"b", "d", "c", "a"}));
    EXPECT_EQ(c->parent(), root.get());
    EXPECT_EQ(root->indexOfChild(a.get()), 3u);
    EXPECT_TRUE(root->expandable());

    Node stranger;
    root->removeChild(&stranger); // not a child: nothing happens
    EXPECT_EQ(root->childrenCount(), 4u);
    d->removeFromParent();
    EXPECT_EQ(d->parent(), nullptr);
    EXPECT_EQ(root->indexOfChild(d.get()), Node::kNotFound);

    NodePtr group = Node::nodeWithName("g", Node::kGroup);
    EXPECT_FALSE(group->expandable());
    root->addChild(group);
    group->addChild(a); // moving leaves the old parent
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"b", "c", "g"}));
    EXPECT_EQ(a->parent(), group.get());

    root->addChild(b); // already a child: it moves to the end, once
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"c", "g", "b"}));
    group->addChild(root); // an ancestor below its descendant would be a loop
    group->insertChild(group, 0);
    EXPECT_EQ(childNames(*group), (std::vector<std::string>{"a"}));
    EXPECT_EQ(root->parent(), nullptr);
}

TEST(NodeTest, DescendantsAndMinimumCover)
{
    NodePtr root = Node::nodeWithName("Root", Node::kGroup);
    NodePtr g = Node::nodeWithName("g", Node::kGroup);
    NodePtr h = Node::nodeWithName("h", Node::kGroup);
    NodePtr a = stream("a"), b = stream("b"), c = stream("c");
    root->addChildren({a, g});
    g->addChildren({b, h});
    h->addChild(c);

    EXPECT_TRUE(a->isDescendantOfNode(a.get()));
    EXPECT_TRUE(c->isDescendantOfNode(g.get()));
    EXPECT_FALSE(g->isDescendantOfNode(c.get()));
    EXPECT_TRUE(c->isDescendantOfNodeInArray({a.get(), h.get()}));
    EXPECT_FALSE(c->isDescendantOfNodeInArray({a.get(), b.get()}));

    struct Case
    {
        std::vector<Node*> input;
        std::vector<std::string> cover;
    };
    const Case cases[] = {
        {{g.get(), b.get()}, {"g"}},
        {{b.get(), g.get()}, {"g"}},
        {{c.get(), a.get(), g.get()}, {"a", "g"}},
        {{c.get(), h.get(), b.get()}, {"h", "b"}},
        {{}, {}},
    };
    for (const Case& item : cases) {
        EXPECT_EQ(names(Node::minimumNodeCoverFromNodesInArray(item.input)), item.cover);
    }
}

TEST(NodeTest, CollectionByKindIsReverseOrderGroupThenContents)
{
    NodePtr root = Node::nodeWithName("Root", Node::kGroup);
    NodePtr g = Node::nodeWithName("G", Node::kGroup);
    root->addChildren({stream("A"), stream("B"), g});
    g->addChild(stream("C"));
    std::vector<Node*> streams, groups;
    Node::getAllChildrenOfNode(root.get(), Node::kStream, streams);
    Node::getAllChildrenOfNode(root.get(), Node::kGroup, groups);
    EXPECT_EQ(names(streams), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(names(groups), (std::vector<std::string>{"G"}));
}

TEST(NodeTest, ComparisonTable)
{
    EXPECT_EQ(Node::inverse(-1), 1);
    EXPECT_EQ(Node::inverse(1), -1);
    EXPECT_EQ(Node::inverse(0), 0);
    EXPECT_EQ(Node::inverse(5), 0);

    NodePtr none = stream("alpha");
    NodePtr fast = stream("Beta", 128);
    struct Case
    {
        const char* name;
        int expected; // none compared with fast
    };
    none->setProperty(Value("zz"), np::NP_COMMENT);
    fast->setProperty(Value("AA"), np::NP_COMMENT);
    const Case cases[] = {
        {"streamComparisonDescending:", -1},  {"streamComparisonAscending:", 1},
        {"bitrateComparisonDescending:", -1}, {"bitrateComparisonAscending:", 1},
        {"commentComparisonDescending:", 1},  {"commentComparisonAscending:", -1},
    };
    for (const Case& item : cases) {
        Node::Comparison comparison = Node::comparisonNamed(item.name);
        ASSERT_NE(comparison, nullptr) << item.name;
        EXPECT_EQ(((*none).*comparison)(*fast), item.expected) << item.name;
        EXPECT_EQ(((*fast).*comparison)(*fast), 0) << item.name;
    }
    EXPECT_EQ(Node::comparisonNamed("stereoComparisonAscending:"), nullptr);
}

TEST(NodeTest, SortIsRecursiveAndGroupsTakePart)
{
    NodePtr root = Node::nodeWithName("Root", Node::kGroup);
    NodePtr g = Node::nodeWithName("m-group", Node::kGroup);
    root->addChildren({stream("b"), g, stream("C"), stream("a")});
    g->addChildren({stream("z"), stream("Y")});
    root->sortUsingSelector(Node::comparisonNamed("streamComparisonDescending:"));
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"a", "b", "C", "m-group"}));
    EXPECT_EQ(childNames(*g), (std::vector<std::string>{"Y", "z"}));
    root->sortUsingSelector(&Node::streamComparisonAscending);
    EXPECT_EQ(childNames(*root), (std::vector<std::string>{"m-group", "C", "b", "a"}));
    EXPECT_EQ(childNames(*g), (std::vector<std::string>{"z", "Y"}));
}
