#include "HistoryController.h"

#include "HistoryRules.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

Dictionary entry(const std::string& title, std::initializer_list<const char*> flags,
                 bool completed = false)
{
    Dictionary e{
        {"STREAMTITLE", title},
        {"ID3TAGS",
         Dictionary{{"TPE1", "Artist"}, {"TIT2", title}, {"TALB", "Album"}, {"TRCK", "3"}}},
        {"location", "/music/" + title + ".mp3"}};
    for (const char* flag : flags)
        e.set(flag, 1);
    if (completed)
        e.set("dateCompleted", Date{1000});
    return e;
}

} // namespace

TEST(HistoryControllerTest, StatusAndLocationSayWhatBecameOfEachFile)
{
    struct Case
    {
        Dictionary entry;
        const char* status;
        const char* location;
        bool grey;
    };
    const Case cases[] = {
        {entry("Kept", {}, true), "attStatusConfirmed", "/music/Kept.mp3", false},
        {entry("Again", {"duplicate"}, true), "duplicateConfirmed", "/music/Again.mp3", false},
        {entry("Dropped duplicate", {"duplicate", "ignored"}), "duplicateIgnored",
         "Duplicate recording - ignored", true},
        {entry("Cut duplicate", {"duplicate", "incomplete"}), "duplicateIgnored",
         "Incomplete - /music/Cut duplicate.mp3", false},
        {entry("Skipped", {"skipped", "ignored"}), "skippedIgnored", "Skipped - ignored", true},
        {entry("Tiny", {"tooSmall", "ignored"}), "ignored", "Recording too small - ignored", true},
        {entry("Stopped", {"incomplete"}), "ignored", "Incomplete - /music/Stopped.mp3", false},
    };
    Array history;
    for (const auto& c : cases)
        history.append(c.entry);
    HistoryController controller;
    QAbstractItemModelTester tester(&controller,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    controller.setNodeHistory(history);
    ASSERT_EQ(controller.rowCount(), 7);
    for (int row = 0; row < 7; ++row) {
        const Case& c = cases[row];
        EXPECT_EQ(controller.objectValue("status", row).toString(), c.status) << row;
        EXPECT_EQ(controller.objectValue("location", row).toString(), c.location) << row;
        EXPECT_EQ(controller.objectValue("songName", row).toString(),
                  c.entry.get("STREAMTITLE").toString());
        EXPECT_EQ(controller.objectValue("trackNumber", row).toString(), "3");
        EXPECT_EQ(
            controller.data(controller.index(row, 2), HistoryController::IgnoredRole).toBool(),
            c.grey)
            << row;
        EXPECT_FALSE(
            controller.data(controller.index(row, 0), HistoryController::IgnoredRole).toBool())
            << "the status image is never grey";
    }
    EXPECT_EQ(controller.objectValue("STREAMTITLE", 1).toString(), "Again")
        << "other columns by key";
}

TEST(HistoryControllerTest, ClearRemovesExactlyTheSelectedEntriesFromTheNodesOwnList)
{
    Array history;
    for (const char* title : {"a", "b", "c", "d", "e"})
        history.append(entry(title, {}, true));
    history.append(history.at(0).deepCopy()); // equal content, another entry
    HistoryController controller;
    QAbstractItemModelTester tester(&controller,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    controller.setNodeHistory(history);
    controller.clear({0, 2, 4});
    ASSERT_EQ(history.size(), 3u) << "the node's own list is edited";
    EXPECT_EQ(history.at(0).toDictionary().get("STREAMTITLE").toString(), "b");
    EXPECT_EQ(history.at(1).toDictionary().get("STREAMTITLE").toString(), "d");
    EXPECT_EQ(history.at(2).toDictionary().get("STREAMTITLE").toString(), "a");
    controller.clear({});
    EXPECT_EQ(history.size(), 3u);
}

TEST(HistoryControllerTest, TitleEditsAndAppendsFollowTheLiveList)
{
    HistoryController controller;
    QAbstractItemModelTester tester(&controller,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(controller.windowTitle(), "History");
    EXPECT_EQ(controller.rowCount(), 0);
    controller.setWindowTitle("Jazz FM");
    EXPECT_EQ(controller.windowTitle(), "History - Jazz FM");

    Dictionary node{{"NP_NAME", "Jazz FM"}};
    const Array history = HistoryController::appendEntry(node, entry("One", {}, true));
    controller.setNodeHistory(history);
    HistoryController::appendEntry(node, entry("Two", {"skipped", "ignored"}));
    controller.needsDisplay();
    EXPECT_EQ(controller.rowCount(), 2) << "the node's list is the shown list";

    EXPECT_TRUE(controller.setData(controller.index(0, 5), QString("/elsewhere.mp3")));
    EXPECT_EQ(history.at(0).toDictionary().get("location").toString(), "/elsewhere.mp3");
    controller.setObjectValue(Value("note"), "comment", 1);
    EXPECT_EQ(history.at(1).toDictionary().get("comment").toString(), "note");
}

TEST(HistoryControllerTest, OnlyCompletedEntriesMakeATitleADuplicate)
{
    const Array history{entry("Done", {}, true), entry("Skipped", {"skipped", "ignored"}),
                        entry("Cut", {"incomplete"})};
    EXPECT_TRUE(historyContainsCompletedTitle(history, "Done"));
    EXPECT_FALSE(historyContainsCompletedTitle(history, "done"));
    EXPECT_FALSE(historyContainsCompletedTitle(history, "Skipped"));
    EXPECT_FALSE(historyContainsCompletedTitle(history, "Cut"));
    EXPECT_FALSE(historyContainsCompletedTitle(Array{}, "Done"));
}
