#include "MyOLVController.h"

#include "LibraryTestSupport.h"
#include "NodePropertyKeys.h"

#include <sys/stat.h>

#include <QTest>

#include <QDate>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using LoadResult = MyOLVController::LoadResult;

namespace {

class LibraryTest : public ::testing::Test, public LibraryFixture
{
protected:
    std::string libraryPath() const { return controller->libraryPath(); }

    // A library file with the given streams in the root; unfiltered, as older versions
    // wrote stations with their own recording settings.
    void writeLibrary(const std::vector<NodePtr>& streams)
    {
        NodePtr root = Node::nodeWithName("Root", Node::kGroup);
        root->addChildren(streams);
        createDirectoryFor();
        writeFile(libraryPath(), UnfilteredRecord::archive(*root));
    }
    void createDirectoryFor() { ::mkdir(dir.file("support").c_str(), 0700); }
    unsigned modeOf(const std::string& path)
    {
        struct stat info
        {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 0777;
    }
};

NodePtr stream(const std::string& name)
{
    return Node::nodeWithName(name, "http://" + name, Node::kStream);
}

// A legacy library: the root and one stream with its own recording settings.
Bytes legacyData()
{
    class Record : public Archivable
    {
    public:
        std::vector<Record*> children;
        Record* parent = nullptr;
        std::int32_t kind = 0;
        const char* name = "";
        std::string archiveClassName() const override { return Node::kClassName; }
        void encodeWithCoder(ArchiveWriter& w) override
        {
            w.encodeObjectList({children.begin(), children.end()});
            w.encodeObject(parent);
            for (std::int32_t v : {kind, 45, 10, 20, 1}) {
                w.encodeInt32(v);
            }
            w.encodeChar(1);
            w.encodeInt32(0);
            w.encodeValue(Array{"http://legacy"});
            w.encodeValue(name);
            w.encodeAbsent();
            w.encodeAbsent();
            w.encodeInt32(0);
            w.encodeChar(0);
            w.encodeFloat(0);
            w.encodeFloat(0);
            w.encodeFloat(0);
            w.encodeChar(0);
            w.encodeInt32(64);
            w.encodeAbsent();
            w.encodeChar(0);
        }
        void initWithCoder(ArchiveReader&) override {}
    } root, child;
    root.name = "Root";
    child.kind = 1;
    child.name = "Legacy FM";
    child.parent = &root;
    root.children = {&child};
    ArchiveWriter writer;
    writer.encodeObject(&root);
    return Bytes(writer.bytes().begin(), writer.bytes().end());
}

} // namespace

TEST_F(LibraryTest, FirstRunGivesAnEmptyRoot)
{
    FakePresets presets;
    EXPECT_EQ(controller->startUp(presets), LoadResult::FirstRun);
    EXPECT_EQ(controller->rootNode()->name(), "Root");
    EXPECT_EQ(controller->rootNode()->childrenCount(), 0u);
    EXPECT_FALSE(fileExists(libraryPath()));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(LibraryTest, SaveAndLoadRoundTripWithPrivateModesAndBackupsThatOutliveARestart)
{
    controller->loadOLVData();
    controller->addChild(Node::kStream, "One", "http://one");
    ASSERT_TRUE(controller->saveOLVData());
    EXPECT_EQ(modeOf(libraryPath()), 0600u);

    auto second = make();
    EXPECT_EQ(second->loadOLVData(), LoadResult::Loaded);
    ASSERT_EQ(second->getAllStreams().size(), 1u);
    EXPECT_EQ(second->getAllStreams()[0]->name(), "One");
    // The first start that reads the library makes its backup, private too.
    const std::string withOne = readFile(libraryPath());
    EXPECT_EQ(readFile(second->backupPath()), withOne);
    EXPECT_EQ(modeOf(second->backupPath()), 0600u);

    // A wrong delete and a restart leave the backup as it was, and the day's copy with it.
    const QDate today = QDate::currentDate();
    for (int daysAgo = 1; daysAgo <= 4; ++daysAgo)
        writeFile(second->dailyBackupPath(today.addDays(-daysAgo)), "older");
    second->deleteNodes({second->getAllStreams()[0]});
    ASSERT_TRUE(second->saveOLVData());
    auto third = make();
    EXPECT_EQ(third->loadOLVData(), LoadResult::Loaded);
    EXPECT_TRUE(third->getAllStreams().empty());
    EXPECT_EQ(readFile(third->backupPath()), withOne);
    EXPECT_EQ(readFile(third->dailyBackupPath(today)), withOne);
    EXPECT_TRUE(fileExists(third->dailyBackupPath(today.addDays(-2))));
    EXPECT_FALSE(fileExists(third->dailyBackupPath(today.addDays(-3))))
        << "the newest three days' copies are kept";
}

TEST_F(LibraryTest, UnreadableLibraryAlertsAndIsNeverOverwritten)
{
    writeLibrary({stream("A"), stream("B")});
    std::string good = readFile(libraryPath());
    const std::string damaged[] = {good.substr(0, good.size() - 3), "garbage",
                                   good.substr(0, 8) + "\x09" + good.substr(9)};
    for (const std::string& bytes : damaged) {
        writeFile(libraryPath(), bytes);
        writeFile(controller->backupPath(), "backup");
        alerts.clear();
        auto fresh = make();
        EXPECT_EQ(fresh->loadOLVData(), LoadResult::Unreadable);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].first, "Failed to open radio stream data");
        EXPECT_EQ(alerts[0].second, "The file \"" + libraryPath() +
                                        "\" may be corrupt.  Please remove this file, rename "
                                        "the backup file, and then restart Orvanta.");
        EXPECT_FALSE(fresh->saveOLVData());
        fresh->addChild(Node::kStream, "x", "y");
        runScheduled();
        EXPECT_EQ(readFile(libraryPath()), bytes);
        EXPECT_EQ(readFile(controller->backupPath()), "backup");
    }
}

TEST_F(LibraryTest, LegacyDefaultsValueIsMigratedStrippedAndRemoved)
{
    prefs.setPrefs(Value(legacyData()), MyOLVController::kLegacyDefaultsKey);
    writeLibrary({stream("ignored")});
    FakePresets presets;
    EXPECT_EQ(controller->startUp(presets), LoadResult::Migrated);
    EXPECT_TRUE(prefs.getPrefsForKey(MyOLVController::kLegacyDefaultsKey).isNull());

    ASSERT_EQ(controller->getAllStreams().size(), 1u);
    Node* node = controller->getAllStreams()[0];
    EXPECT_EQ(node->name(), "Legacy FM");
    EXPECT_EQ(node->propertyForKey(np::NP_BITRATE), Value(64));
    // Saved before the clean-up: the old recording settings are gone, so Standard it is.
    EXPECT_FALSE(node->propertyForKey(np::NP_REWINDSECS).has_value());
    EXPECT_EQ(node->propertyForKey(np::NP_PRESET_ID), Value("Standard"));
    EXPECT_TRUE(presets.added.empty());
    EXPECT_FALSE(Node::useOldStyleCoding());

    auto reloaded = make();
    EXPECT_EQ(reloaded->loadOLVData(), LoadResult::Loaded);
    EXPECT_EQ(reloaded->getAllStreams()[0]->propertyForKey(np::NP_PRESET_ID), Value("Standard"));
}

TEST_F(LibraryTest, UnreadableLegacyValueIsKeptAndTheFileIsRead)
{
    prefs.setPrefs(Value(Bytes{1, 2, 3}), MyOLVController::kLegacyDefaultsKey);
    writeLibrary({stream("Current")});
    EXPECT_EQ(controller->loadOLVData(), LoadResult::Loaded);
    EXPECT_EQ(controller->getAllStreams()[0]->name(), "Current");
    EXPECT_TRUE(prefs.getPrefsForKey(MyOLVController::kLegacyDefaultsKey).isData());
}

TEST_F(LibraryTest, PresetCleanUpTable)
{
    struct Case
    {
        const char* name;
        std::optional<const char*> presetID;
        Dictionary settings;
        const char* expectedID;
    };
    const Case cases[] = {
        {"known", "Standard", {}, "Standard"},
        {"missing preset", "deleted-id", {}, "Standard"},
        {"old, same as standard", std::nullopt, {{"NP_REWINDSECS", 0.0}}, "Standard"},
        {"old, differs", std::nullopt, {{"NP_REWINDSECS", 30.0}, {"NP_GENRE", "x"}}, "id-1"},
        {"old, differs too", std::nullopt, {{"NP_ALWAYSMANUAL", true}}, "id-2"},
    };
    std::vector<NodePtr> streams;
    for (const Case& item : cases) {
        NodePtr node = stream(item.name);
        if (item.presetID) {
            node->setProperty(Value(*item.presetID), np::NP_PRESET_ID);
        } else {
            node->removePropertyForKey(np::NP_PRESET_ID);
        }
        node->addPropertiesFromDictionary(item.settings);
        streams.push_back(node);
    }
    // Streams are visited last to first: put them in reverse so ids come out in table order.
    std::reverse(streams.begin(), streams.end());
    writeLibrary(streams);
    std::string before = readFile(libraryPath());

    FakePresets presets;
    presets.namesByID["other"] = "Custom 1"; // taken: the counter skips it
    EXPECT_EQ(controller->startUp(presets), LoadResult::Loaded);
    for (const Case& item : cases) {
        bool seen = false;
        for (Node* node : controller->getAllStreams()) {
            if (node->name() == item.name) {
                EXPECT_EQ(node->propertyForKey(np::NP_PRESET_ID), Value(item.expectedID))
                    << item.name;
                seen = true;
            }
        }
        EXPECT_TRUE(seen) << item.name;
    }
    ASSERT_EQ(presets.added.size(), 2u);
    EXPECT_EQ(presets.added[0].first, "Custom 2");
    EXPECT_EQ(presets.added[1].first, "Custom 3");
    EXPECT_EQ(Value(presets.added[0].second), Value(Dictionary{{"NP_REWINDSECS", 30.0}}));
    EXPECT_NE(readFile(libraryPath()), before); // saved once after the clean-up

    auto again = make();
    again->loadOLVData();
    EXPECT_FALSE(again->cleanPresetsForStreams(presets));
}

TEST_F(LibraryTest, DefaultTimerSavesAfterAFewSeconds)
{
    MyOLVController timed(&prefs, dir.file("timed"));
    timed.loadOLVData();
    timed.addChild(Node::kStream, "Timed", "http://t");
    timed.addChild(Node::kStream, "Burst", "http://b");
    EXPECT_TRUE(timed.delayedSavePending());
    EXPECT_FALSE(fileExists(timed.libraryPath()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileExists(timed.libraryPath()); }, 6000));
    EXPECT_FALSE(timed.delayedSavePending());
    MyOLVController reader(&prefs, dir.file("timed"));
    reader.loadOLVData();
    EXPECT_EQ(reader.getAllStreams().size(), 2u);
}
