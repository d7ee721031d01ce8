#include "MyOLVController.h"

#include "LibraryTestSupport.h"
#include "NodePropertyKeys.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using DropInput = MyOLVController::DropInput;
using DragOperation = MyOLVController::DragOperation;

namespace {

class CommandsTest : public ::testing::Test, public LibraryFixture
{
protected:
    void SetUp() override { controller->loadOLVData(); }
    Node* root() { return controller->rootNode(); }
    Node* add(Node* parent, std::int64_t type, const std::string& name)
    {
        return controller->addChild(type, parent, name, "http://" + name);
    }
    std::vector<std::string> childNames(Node* node)
    {
        std::vector<std::string> names;
        for (const NodePtr& child : node->children()) {
            names.push_back(child->name());
        }
        return names;
    }
};

std::vector<std::string> namesOf(const std::vector<Node*>& nodes)
{
    std::vector<std::string> names;
    for (Node* node : nodes) {
        names.push_back(node->name());
    }
    return names;
}

} // namespace

TEST_F(CommandsTest, AddCommandsChooseTheParent)
{
    Node* group = controller->addGroup(nullptr);
    EXPECT_EQ(group->parent(), root());
    EXPECT_EQ(group->name(), "Folder");
    EXPECT_EQ(group->propertyForKey(np::NP_URLS), Value(Array{""}));
    Node* first = controller->addStream(group);
    EXPECT_EQ(first->parent(), group);
    EXPECT_EQ(first->name(), "Stream");
    EXPECT_EQ(first->propertyForKey(np::NP_URLS), Value(Array{"URL"}));
    Node* sibling = controller->addStream(first); // a stream's parent takes the new node
    EXPECT_EQ(sibling->parent(), group);
    Node detached;
    detached.setNodeType(Node::kStream);
    EXPECT_EQ(controller->addChild(Node::kStream, &detached, "x", "y"), nullptr);
}

TEST_F(CommandsTest, QueriesCollectInReverseOrderWithoutDuplicates)
{
    Node* a = add(root(), Node::kStream, "A");
    Node* g = add(root(), Node::kGroup, "G");
    Node* b = add(g, Node::kStream, "B");
    add(g, Node::kStream, "C");
    EXPECT_EQ(namesOf(controller->getAllStreams()), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(namesOf(controller->getAllGroups()), (std::vector<std::string>{"G"}));
    EXPECT_EQ(namesOf(controller->getAllSelectedStreams({b, a, g})),
              (std::vector<std::string>{"B", "A", "C"}));
}

TEST_F(CommandsTest, DeleteKeepsRecordingNodesAndGroupsHoldingThem)
{
    Node* a = add(root(), Node::kStream, "A");
    Node* busy = add(root(), Node::kStream, "Busy");
    Node* g = add(root(), Node::kGroup, "G");
    Node* inG = add(g, Node::kStream, "InG");
    Node* h = add(root(), Node::kGroup, "H");
    Node* inH = add(h, Node::kStream, "InH");
    busy->setStatus(RecordingStatus::Recording);
    inH->setStatus(RecordingStatus::Recording);
    // The group comes before its own child in the selection: the child must stay readable.
    controller->deleteNodes({a, busy, g, inG, h});
    EXPECT_EQ(childNames(root()), (std::vector<std::string>{"Busy", "H"}));
    EXPECT_EQ(childNames(h), (std::vector<std::string>{"InH"}));
}

TEST_F(CommandsTest, SortingByColumnTogglesAndSkipsStatusColumns)
{
    add(root(), Node::kStream, "b");
    Node* g = add(root(), Node::kGroup, "a-group");
    add(g, Node::kStream, "Z");
    add(g, Node::kStream, "y");
    add(root(), Node::kStream, "C");
    EXPECT_FALSE(controller->sortByColumn("stereo"));
    ASSERT_TRUE(controller->sortByColumn("stream"));
    EXPECT_FALSE(controller->sortIsAscending());
    EXPECT_EQ(childNames(root()), (std::vector<std::string>{"a-group", "b", "C"}));
    EXPECT_EQ(childNames(g), (std::vector<std::string>{"y", "Z"}));
    ASSERT_TRUE(controller->sortByColumn("stream"));
    EXPECT_TRUE(controller->sortIsAscending());
    EXPECT_EQ(childNames(root()), (std::vector<std::string>{"C", "b", "a-group"}));
    EXPECT_EQ(childNames(g), (std::vector<std::string>{"Z", "y"}));
    ASSERT_TRUE(controller->sortByColumn("bitrate"));
    EXPECT_FALSE(controller->sortIsAscending());
    EXPECT_EQ(controller->selectedColumn(), "bitrate");
}

TEST_F(CommandsTest, InternalMoveCountsWithoutTheMovedNode)
{
    Node* a = add(root(), Node::kStream, "A");
    add(root(), Node::kStream, "B");
    add(root(), Node::kStream, "C");
    Node* g = add(root(), Node::kGroup, "G");
    controller->writeItems({a});
    DropInput internal{.internal = true};
    // Pointed between C and G (index 3); without A that is index 2.
    EXPECT_EQ(controller->acceptDrop(internal, nullptr, 3), std::vector<Node*>{a});
    EXPECT_EQ(childNames(root()), (std::vector<std::string>{"B", "C", "A", "G"}));

    controller->writeItems({g});
    EXPECT_EQ(controller->validateDrop(internal, g), DragOperation::None);
    Node* inner = add(g, Node::kGroup, "Inner");
    EXPECT_EQ(controller->validateDrop(internal, inner), DragOperation::None);
    EXPECT_TRUE(controller->acceptDrop(internal, inner, -1).empty());
    EXPECT_EQ(inner->childrenCount(), 0u);
    EXPECT_EQ(controller->validateDrop(internal, a), DragOperation::None); // not a group
    EXPECT_EQ(controller->validateDrop(DropInput{}, g), DragOperation::Move);

    controller->writeItems({a});
    controller->acceptDrop(internal, inner, -1);
    EXPECT_EQ(a->parent(), inner);
}

TEST_F(CommandsTest, ExternalDropsTable)
{
    std::string pls = "[playlist]\nFile1=http://one/stream\nTitle1=One FM\n"
                      "File2=http://two/stream\nNumberOfEntries=2\n";
    writeFile(dir.file("first.pls"), pls);
    writeFile(dir.file("second.PLS"), "[playlist]\nFile1=http://second\n");
    writeFile(dir.file("empty.pls"), "[playlist]\nNumberOfEntries=0\n");
    writeFile(dir.file("notes.txt"), "File1=http://ignored\n");
    std::vector<std::string> fetched;
    controller->setPlaylistFetcher([&](const std::string& url) -> std::optional<std::string> {
        fetched.push_back(url);
        if (url.find("down") != std::string::npos) {
            return std::nullopt;
        }
        if (url.find("untitled") != std::string::npos) {
            return std::string("[playlist]\nFile1=http://x\nTitle1=\n");
        }
        return std::string("[playlist]\nFile1=http://x\nTitle1=Caf\xe9 Radio\n"); // Latin-1
    });
    std::string redirector = std::string(MyOLVController::kRedirectorPrefix) + "id=5";
    std::string upperRedirector = "HTTP://DIRECTORY.ORVANTA.NET/redir/index.pls?id=6";

    struct Case
    {
        const char* name;
        DropInput input;
        std::vector<std::pair<std::string, Array>> expected; // in tree order
    };
    const Case cases[] = {
        {"redirector URL with title",
         {.url = redirector, .urlTitle = "Dir FM", .text = "ignored"},
         {{"Dir FM", Array{redirector}}}},
        {"redirector prefix ignores case",
         {.url = upperRedirector, .urlTitle = "Up"},
         {{"Up", Array{upperRedirector}}}},
        {"plain text",
         {.text = "http://host/live"},
         {{"http://host/live", Array{"http://host/live"}}}},
        {"empty text", {.text = ""}, {}},
        {"fetched playlist",
         {.text = "http://h/list.PLS"},
         {{"Café Radio", Array{"http://h/list.PLS"}}}},
        {"untitled playlist",
         {.text = "http://h/untitled.pls"},
         {{"http://h/untitled.pls", Array{"http://h/untitled.pls"}}}},
        {"unreachable playlist", {.text = "http://down/x.pls"}, {}},
        {"two files between rows stand reversed",
         {.fileNames = {dir.file("first.pls"), dir.file("notes.txt"), dir.file("second.PLS")}},
         {{dir.file("second.PLS"), Array{"http://second"}},
          {"One FM", Array{"http://one/stream", "http://two/stream"}}}},
        {"file without addresses", {.fileNames = {dir.file("empty.pls")}}, {}},
        {"nothing", {}, {}},
    };
    for (const Case& item : cases) {
        Node* group = controller->addGroup(nullptr);
        add(group, Node::kStream, "existing");
        std::vector<Node*> added = controller->acceptDrop(item.input, group, 0);
        EXPECT_EQ(added.size(), item.expected.size()) << item.name;
        ASSERT_EQ(group->childrenCount(), item.expected.size() + 1) << item.name;
        for (std::size_t i = 0; i < item.expected.size(); ++i) {
            const Node& node = *group->childAtIndex(i);
            EXPECT_EQ(node.name(), item.expected[i].first) << item.name;
            EXPECT_EQ(node.propertyForKey(np::NP_URLS), Value(item.expected[i].second))
                << item.name;
            EXPECT_EQ(node.nodeType(), Node::kStream) << item.name;
        }
        EXPECT_EQ(group->childAtIndex(item.expected.size())->name(), "existing") << item.name;
    }
    EXPECT_EQ(fetched, (std::vector<std::string>{"http://h/list.PLS", "http://h/untitled.pls",
                                                 "http://down/x.pls"}));
}

TEST_F(CommandsTest, ExpansionMarksSurviveASaveAndAreClearedWhenUsed)
{
    Node* g = add(root(), Node::kGroup, "G");
    Node* h = add(g, Node::kGroup, "H");
    controller->cleanup({g, h});
    auto reloaded = make();
    reloaded->loadOLVData();
    std::vector<Node*> marked = reloaded->expandAllMarkedGroups();
    EXPECT_EQ(namesOf(marked), (std::vector<std::string>{"G", "H"}));
    EXPECT_TRUE(reloaded->expandAllMarkedGroups().empty());
}

TEST_F(CommandsTest, DelayedSaveCoalescesAndLeavesLiveNodesUntouched)
{
    Node* a = add(root(), Node::kStream, "A");
    add(root(), Node::kStream, "B");
    controller->setObjectValue(a, "comment", "  kept as typed ");
    EXPECT_FALSE(controller->setObjectValue(a, "bitrate", "1"));
    controller->sortByColumn("stream");
    EXPECT_EQ(scheduled.size(), 1u); // one save for the whole burst
    EXPECT_TRUE(controller->delayedSavePending());
    a->setProperty(Value(Array{"http://resolved"}), np::NP_URLS_TO_VISIT);
    EXPECT_FALSE(fileExists(controller->libraryPath()));

    runScheduled();
    EXPECT_FALSE(controller->delayedSavePending());
    EXPECT_TRUE(a->propertyForKey(np::NP_URLS_TO_VISIT).has_value());
    auto reloaded = make();
    reloaded->loadOLVData();
    ASSERT_EQ(reloaded->getAllStreams().size(), 2u);
    Node* saved = reloaded->getAllStreams()[1];
    EXPECT_EQ(saved->name(), "A");
    EXPECT_EQ(saved->propertyForKey(np::NP_COMMENT), Value("  kept as typed "));
    EXPECT_FALSE(saved->propertyForKey(np::NP_URLS_TO_VISIT).has_value());

    controller->libraryDidChange();
    EXPECT_EQ(scheduled.size(), 1u); // a new burst schedules again
    controller.reset();
    runScheduled(); // the controller is gone: the task must do nothing
}
