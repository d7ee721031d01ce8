#include "PresetsController.h"
#include "MyPresetsDataSource.h"

#include "PropertyList.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::presetkeys;

namespace {

struct RecordingDelegate : PresetsControllerDelegate
{
    using PC = PresetsController;
    std::vector<std::string> calls;
    void deletedPresetID(PC&, const std::string& id) override { calls.push_back("deleted " + id); }
    void renamedPresetID(PC&, const std::string& id) override { calls.push_back("renamed " + id); }
    void savedAsPresetID(PC&, const std::string& id) override { calls.push_back("savedAs " + id); }
};

class PresetsControllerTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    std::string folder = dir.file("support/Orvanta");
    std::string path = folder + "/RecordingStylePresets.plist";
    RecordingDelegate delegate;

    std::unique_ptr<PresetsController> open()
    {
        auto controller = std::make_unique<PresetsController>();
        controller->setDelegate(&delegate);
        controller->setDataSource(std::make_shared<MyPresetsDataSource>(folder));
        return controller;
    }

    Dictionary fileContent() const
    {
        std::string error;
        auto value = readPropertyListFile(path, error);
        EXPECT_TRUE(value && value->isDictionary()) << error;
        return value ? value->toDictionary() : Dictionary();
    }

    Value stored(const std::string& id, std::string_view key) const
    {
        return fileContent().get(id).toDictionary().get(key);
    }
};

} // namespace

TEST_F(PresetsControllerTest, StandardPresetHoldsEveryKeyWithItsTypedValueFreshEachCall)
{
    // clang-format off
    const std::vector<std::pair<std::string_view, Value>> expected = {
        {PRESET_KEY_NAME, "Standard"},          {NP_REWINDSECS, 0.0},
        {SPLIT_EARLIER_OR_LATER, 0},            {NP_SPLIT_SEARCH_SECONDS, 8.0},
        {NP_ALWAYSMANUAL, false},
        {NP_MANUALSPLITTYPE, 1},                {NP_SPLITSIZEMB, 5},
        {NP_SPLITTIMEMINS, 74},                 {NP_LANGUAGE_ENCODING, 0},
        {NP_STREAMTITLE_PATTERN, 2},            {NP_STREAMTITLE_SEPARATOR, "-"},
        {NP_STREAMTITLE_CLEAN, false},          {NP_STREAMTITLE_CLEAN_LIST, Array()},
        {NP_STREAMTITLE_IGNORE, false},         {NP_STREAMTITLE_IGNORE_LIST, Array()},
        {NP_NUMBER_RECORDINGS, true},           {NUMBER_RECORDINGS_TRACK, true},
        {NP_STREAM_IF_NO_ALBUM, false},         {NP_GENRE_TYPE, 0},
        {NP_GENRE_CUSTOM, ""},                  {NP_ADD_TO_PLAYLIST, true},
        {NP_PLAYLIST_NAME_TYPE, 0},             {NP_PLAYLIST_NAME_CUSTOM, ""},
        {NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS, true},
        {NP_COMPILATION_FLAG, false}};
    // clang-format on
    const Dictionary standard = MyPresetsDataSource::makeStandardPreset();
    EXPECT_EQ(standard.size(), expected.size());
    for (const auto& [key, value] : expected)
        EXPECT_EQ(standard.get(key), value) << key; // types must match too

    // Handed-out copies share nothing with the store or with each other.
    auto controller = open();
    Dictionary first = controller->standardPreset();
    first.find(NP_STREAMTITLE_CLEAN_LIST)->toArray().append("edited");
    first.set(NP_SPLITSIZEMB, 99);
    EXPECT_EQ(controller->standardPreset(), standard);
    EXPECT_EQ(controller->presetForID("Standard"), standard);
    Dictionary fresh = MyPresetsDataSource::makeStandardPreset();
    fresh.find(NP_STREAMTITLE_IGNORE_LIST)->toArray().append("edited");
    EXPECT_EQ(MyPresetsDataSource::makeStandardPreset(), standard);
}

TEST_F(PresetsControllerTest, FirstRunCreatesAnEmptyFileAndHoldsOnlyTheStandardPreset)
{
    auto controller = open();
    EXPECT_EQ(fileContent(), Dictionary());
    EXPECT_EQ(controller->sortedPresetIDs(), std::vector<std::string>{"Standard"});
    EXPECT_EQ(controller->selectedPresetID(), "Standard");
    EXPECT_EQ(controller->selectedPresetName(), "Standard");
    EXPECT_TRUE(controller->presetForID("1700000000.0").empty());
    EXPECT_FALSE(controller->presetNameForID("1700000000.0"));
}

TEST_F(PresetsControllerTest, StoredPresetsAreCompletedFromTheStandardAndStoredValuesWin)
{
    std::filesystem::create_directories(folder);
    const Dictionary old{{PRESET_KEY_NAME, "Old"}, {NP_SPLITSIZEMB, 12}, {"EXTRA_KEY", "kept"}};
    const Dictionary file{
        {"1.0", old}, {"Standard", Dictionary{{NP_SPLITSIZEMB, 1}}}, {"2.0", "not a preset"}};
    std::string error;
    ASSERT_TRUE(writePropertyListFile(path, Value(file), error)) << error;

    auto controller = open();
    EXPECT_EQ(controller->sortedPresetIDs(), (std::vector<std::string>{"1.0", "Standard"}));
    const Dictionary loaded = controller->presetForID("1.0");
    EXPECT_EQ(loaded.get(NP_SPLITSIZEMB), Value(12));
    EXPECT_EQ(loaded.get("EXTRA_KEY"), Value("kept"));
    EXPECT_EQ(loaded.get(NP_SPLITTIMEMINS), Value(74));
    EXPECT_EQ(loaded.size(), MyPresetsDataSource::makeStandardPreset().size() + 1);
    EXPECT_EQ(controller->standardPreset(), MyPresetsDataSource::makeStandardPreset());

    // Storing it again writes the completed preset, and "Standard" never reaches the file.
    controller->selectPresetWithID("1.0");
    controller->setObject(3, NP_MANUALSPLITTYPE);
    controller->savePreset();
    EXPECT_EQ(fileContent().keys(), std::vector<std::string>{"1.0"});
    EXPECT_EQ(stored("1.0", NP_SPLITTIMEMINS), Value(74));
    EXPECT_EQ(stored("1.0", NP_MANUALSPLITTYPE), Value(3));
}

TEST_F(PresetsControllerTest, AnUnreadableFileIsNeverReplacedButMovedAsideOnTheNextSave)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"garbage", "this is not a property list"},
        {"truncated", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>1.0</key><di"},
        {"array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"}};
    for (const auto& [label, bytes] : cases) {
        SCOPED_TRACE(label);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        test::writeFile(path, bytes);

        auto controller = open();
        EXPECT_EQ(controller->sortedPresetIDs(), std::vector<std::string>{"Standard"});
        EXPECT_EQ(controller->selectedPreset(), MyPresetsDataSource::makeStandardPreset());
        EXPECT_EQ(test::readFile(path), bytes) << "loading must not touch the file";

        const std::string id = controller->addPreset(Dictionary(), "Custom 1");
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[1].rfind("RecordingStylePresets.plist.damaged-", 0), 0u) << names[1];
        EXPECT_EQ(test::readFile(folder + "/" + names[1]), bytes);
        EXPECT_EQ(fileContent().keys(), std::vector<std::string>{id});
    }
}

TEST_F(PresetsControllerTest, ThePresetsFileReadsBackInPythonWithEveryTypeIntact)
{
    auto controller = open();
    Dictionary custom{{NP_REWINDSECS, 2.5},
                      {NP_STREAMTITLE_CLEAN_LIST, Array{"[ad]", "Grüße & <b>"}},
                      {NP_LANGUAGE_ENCODING, 30}};
    const std::string id = controller->addPreset(custom, "Jazz");
    const std::string script = dir.file("check.py");
    test::writeFile(script, R"(import plistlib, sys
d = plistlib.load(open(sys.argv[1], 'rb'))
assert list(d) == [sys.argv[2]], d
p = d[sys.argv[2]]
assert len(p) == 25, sorted(p)
assert p['PRESET_KEY_NAME'] == 'Jazz'
assert type(p['NP_REWINDSECS']) is float and p['NP_REWINDSECS'] == 2.5
assert type(p['NP_SPLIT_SEARCH_SECONDS']) is float and p['NP_SPLIT_SEARCH_SECONDS'] == 8.0
for k in ('SPLIT_EARLIER_OR_LATER', 'NP_MANUALSPLITTYPE', 'NP_SPLITSIZEMB', 'NP_GENRE_TYPE',
          'NP_LANGUAGE_ENCODING', 'NP_PLAYLIST_NAME_TYPE'):
    assert type(p[k]) is int, k
for k in ('NP_ALWAYSMANUAL', 'NP_NUMBER_RECORDINGS', 'NP_COMPILATION_FLAG', 'NP_ADD_TO_PLAYLIST'):
    assert type(p[k]) is bool, k
assert p['NP_STREAMTITLE_CLEAN_LIST'] == ['[ad]', 'Grüße & <b>']
assert p['NP_STREAMTITLE_IGNORE_LIST'] == [] and p['NP_GENRE_CUSTOM'] == ''
)");
    const char* python = std::getenv("ORVANTA_TEST_PYTHON");
    const std::string command =
        std::string(python ? python : "/usr/bin/python3") + " " + script + " " + path + " " + id;
    std::string output;
    EXPECT_EQ(test::runCommand(command, &output), 0) << output;
}

TEST_F(PresetsControllerTest, AddedPresetsGetDistinctIdentifiersAndAreHandedOutAsCopies)
{
    // "<whole seconds>.<counter>"
    const auto parts = [](const std::string& id) {
        const auto dot = id.find('.');
        const bool digits = dot != std::string::npos && dot > 0 && dot + 1 < id.size() &&
                            id.find_first_not_of("0123456789.") == std::string::npos &&
                            id.find('.', dot + 1) == std::string::npos;
        EXPECT_TRUE(digits) << id;
        return digits ? std::pair(std::stod(id.substr(0, dot)), std::stoul(id.substr(dot + 1)))
                      : std::pair(0.0, 0ul);
    };
    const auto first = parts(PresetsController::createUID());
    const auto second = parts(PresetsController::createUID());
    EXPECT_NEAR(first.first, Date::now().secondsSince1970, 5.0);
    EXPECT_EQ(second.second, first.second + 1);

    auto controller = open();
    controller->setObject(1, NP_GENRE_TYPE); // dirty working copy of "Standard"
    const std::string jazz =
        controller->addPreset(Dictionary{{NP_STREAMTITLE_IGNORE_LIST, Array{"ad"}}}, "Jazz");
    const std::string rock = controller->addPreset(Dictionary(), "Rock");
    EXPECT_TRUE(controller->isDirty()) << "adding a preset leaves the working copy alone";
    EXPECT_TRUE(delegate.calls.empty());
    EXPECT_EQ(fileContent().keys(), (std::vector<std::string>{jazz, rock}));

    Dictionary copy = controller->presetForID(jazz);
    copy.find(NP_STREAMTITLE_IGNORE_LIST)->toArray().append("more");
    EXPECT_EQ(controller->presetForID(jazz).get(NP_STREAMTITLE_IGNORE_LIST), Value(Array{"ad"}));

    EXPECT_TRUE(controller->presetNameExists("Jazz"));
    EXPECT_FALSE(controller->presetNameExists("jazz"));
    EXPECT_TRUE(controller->presetNameExists("Standard"));
    EXPECT_EQ(controller->presetNameForID(rock), "Rock");
}

TEST_F(PresetsControllerTest, MenusListStandardFirstThenNamesCaseInsensitively)
{
    auto controller = open();
    const std::string banana = controller->addPreset(Dictionary(), "Banana");
    const std::string apple = controller->addPreset(Dictionary(), "apple");
    const std::string cherry = controller->addPreset(Dictionary(), "cherry");
    const std::vector<PresetMenuEntry> expected = {{"Standard", "Standard", false},
                                                   {"", "", true},
                                                   {"apple", apple, false},
                                                   {"Banana", banana, false},
                                                   {"cherry", cherry, false}};
    EXPECT_EQ(controller->getPresetsMenu(), expected);
    EXPECT_EQ(controller->presetsPopUp().selectedIndex, 0u);
    controller->selectPresetWithName("Banana");
    EXPECT_EQ(controller->presetsPopUp().entries, expected);
    EXPECT_EQ(controller->presetsPopUp().selectedIndex, 3u);
}

TEST_F(PresetsControllerTest, SelectionWorksOnADeepCopyAndFallsBackToStandard)
{
    auto controller = open();
    const std::string jazz = controller->addPreset(Dictionary(), "Jazz");
    controller->selectPresetWithID(jazz);
    Dictionary working = controller->valueForKey("selectedPreset").toDictionary(); // as a pane
    working.find(NP_STREAMTITLE_CLEAN_LIST)->toArray().append("pane edit");
    controller->setValueForKey(true, "dirty");
    EXPECT_TRUE(controller->isDirty());
    EXPECT_EQ(controller->objectForKey(NP_STREAMTITLE_CLEAN_LIST), Value(Array{"pane edit"}));
    EXPECT_EQ(controller->presetForID(jazz).get(NP_STREAMTITLE_CLEAN_LIST), Value(Array()));

    EXPECT_FALSE(controller->selectAPreset(jazz)) << "the same preset keeps the edits";
    EXPECT_TRUE(controller->isDirty());
    EXPECT_TRUE(controller->selectAPreset("Standard"));
    EXPECT_FALSE(controller->isDirty());
    EXPECT_TRUE(controller->selectAPreset(jazz));
    EXPECT_EQ(controller->objectForKey(NP_STREAMTITLE_CLEAN_LIST), Value(Array()));

    for (const std::string unknown : {"gone.0", ""}) {
        controller->selectPresetWithID(jazz);
        controller->selectPresetWithID(unknown);
        EXPECT_EQ(controller->selectedPresetID(), "Standard");
    }
    controller->selectPresetWithName("No such name");
    EXPECT_EQ(controller->selectedPresetID(), "Standard");
    controller->selectPresetWithName("Jazz");
    EXPECT_EQ(controller->selectedPresetID(), jazz);
}

TEST_F(PresetsControllerTest, SavingStandardAsksForANameAndLeavesTheStandardAlone)
{
    auto controller = open();
    controller->setObject(9, NP_SPLITSIZEMB);
    const auto sheet = controller->savePreset();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->action, NameSheetAction::SaveAs);
    EXPECT_EQ(sheet->label, "Save Preset As:");
    EXPECT_EQ(sheet->name, "Standard 1");
    EXPECT_TRUE(controller->isBusySheet());
    EXPECT_EQ(controller->standardPreset(), MyPresetsDataSource::makeStandardPreset());

    const auto outcome = controller->closeNameInputPanel(*sheet, true, "Big files");
    EXPECT_FALSE(outcome.nameTaken);
    EXPECT_FALSE(controller->isBusySheet());
    EXPECT_EQ(controller->selectedPresetID(), outcome.identifier);
    EXPECT_EQ(controller->selectedPresetName(), "Big files");
    EXPECT_FALSE(controller->isDirty());
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"savedAs " + outcome.identifier});
    EXPECT_EQ(controller->standardPreset(), MyPresetsDataSource::makeStandardPreset());
    EXPECT_EQ(stored(outcome.identifier, NP_SPLITSIZEMB), Value(9));
    EXPECT_EQ(stored(outcome.identifier, PRESET_KEY_NAME), Value("Big files"));
}

TEST_F(PresetsControllerTest, NameSheetsProposeAFreeNameRefuseTakenOnesAndMayBeCancelled)
{
    auto controller = open();
    const std::string jazz = controller->addPreset(Dictionary(), "Jazz");
    controller->addPreset(Dictionary(), "Jazz 1");
    controller->addPreset(Dictionary(), "Jazz 3");
    controller->selectPresetWithID(jazz);
    const auto before = fileContent();
    const NameSheet saveAs = controller->saveAsPreset();
    EXPECT_EQ(saveAs.name, "Jazz 2");
    const auto cancelled = controller->closeNameInputPanel(saveAs, false, "Jazz 2");
    EXPECT_FALSE(cancelled.nameTaken);
    EXPECT_EQ(cancelled.identifier, jazz);
    EXPECT_FALSE(controller->isBusySheet());

    const std::pair<NameSheetAction, std::string> cases[] = {{NameSheetAction::Rename, "Jazz"},
                                                             {NameSheetAction::Rename, "Jazz 3"},
                                                             {NameSheetAction::SaveAs, "Standard"},
                                                             {NameSheetAction::SaveAs, "Jazz"}};
    for (const auto& [action, name] : cases) {
        SCOPED_TRACE(name);
        const NameSheet sheet = action == NameSheetAction::Rename ? *controller->renamePreset()
                                                                  : controller->saveAsPreset();
        const auto outcome = controller->closeNameInputPanel(sheet, true, name);
        EXPECT_TRUE(outcome.nameTaken);
        EXPECT_EQ(outcome.alertTitle, "The preset name \"" + name + "\" is already taken.");
        EXPECT_EQ(outcome.alertMessage, "Please choose a different name.");
        EXPECT_TRUE(controller->isBusySheet());
    }
    EXPECT_EQ(fileContent(), before);
    EXPECT_TRUE(delegate.calls.empty());
}

TEST_F(PresetsControllerTest, RenameChangesOnlyTheNameAndKeepsUnsavedEdits)
{
    auto controller = open();
    const std::string jazz = controller->addPreset(Dictionary(), "Jazz");
    controller->selectPresetWithID(jazz);
    controller->setObject(2, NP_MANUALSPLITTYPE);
    const auto sheet = controller->renamePreset();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->label, "Rename Preset To:");
    EXPECT_EQ(sheet->name, "Jazz");
    const auto outcome = controller->closeNameInputPanel(*sheet, true, "Smooth Jazz");
    EXPECT_EQ(outcome.identifier, jazz);
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"renamed " + jazz});
    EXPECT_EQ(controller->presetNameForID(jazz), "Smooth Jazz");
    EXPECT_EQ(stored(jazz, PRESET_KEY_NAME), Value("Smooth Jazz"));
    EXPECT_EQ(stored(jazz, NP_MANUALSPLITTYPE), Value(1));
    EXPECT_TRUE(controller->isDirty());
    EXPECT_EQ(controller->objectForKey(NP_MANUALSPLITTYPE), Value(2));
    EXPECT_FALSE(controller->savePreset());
    EXPECT_EQ(stored(jazz, NP_MANUALSPLITTYPE), Value(2));
    EXPECT_EQ(stored(jazz, PRESET_KEY_NAME), Value("Smooth Jazz"));

    controller->selectStandardPreset();
    EXPECT_FALSE(controller->renamePreset()) << "the built-in preset keeps its name";
}

TEST_F(PresetsControllerTest, DeleteRemovesThePresetTellsTheDelegateAndSelectsStandard)
{
    auto controller = open();
    const std::string jazz = controller->addPreset(Dictionary(), "Jazz");
    const std::string rock = controller->addPreset(Dictionary(), "Rock");
    controller->selectPresetWithID(jazz);
    EXPECT_TRUE(controller->deletePreset());
    EXPECT_EQ(delegate.calls, std::vector<std::string>{"deleted " + jazz});
    EXPECT_EQ(controller->selectedPresetID(), "Standard");
    EXPECT_FALSE(controller->presetIDExists(jazz));
    EXPECT_TRUE(controller->presetForID(jazz).empty());
    EXPECT_EQ(fileContent().keys(), std::vector<std::string>{rock});

    EXPECT_FALSE(controller->deletePreset()) << "the built-in preset cannot be deleted";
    EXPECT_TRUE(controller->presetIDExists("Standard"));
    EXPECT_EQ(open()->sortedPresetIDs(), (std::vector<std::string>{rock, "Standard"}));
}

TEST_F(PresetsControllerTest, MenuItemsFollowTheSelectionAndUnsavedChanges)
{
    auto controller = open();
    const std::string jazz = controller->addPreset(Dictionary(), "Jazz");
    using C = PresetCommand;
    const struct
    {
        std::string id;
        bool dirty, save, saveAs, rename, remove, other;
    } cases[] = {{"Standard", false, false, true, false, false, true},
                 {"Standard", true, false, true, false, false, true},
                 {jazz, false, false, true, true, true, true},
                 {jazz, true, true, true, true, true, true}};
    for (const auto& c : cases) {
        controller->selectPresetWithID(c.id);
        controller->setDirty(c.dirty);
        SCOPED_TRACE(c.id + (c.dirty ? " dirty" : " clean"));
        EXPECT_EQ(controller->validateMenuItem(C::Save), c.save);
        EXPECT_EQ(controller->validateMenuItem(C::SaveAs), c.saveAs);
        EXPECT_EQ(controller->validateMenuItem(C::Rename), c.rename);
        EXPECT_EQ(controller->validateMenuItem(C::Delete), c.remove);
        EXPECT_EQ(controller->validateMenuItem(C::Other), c.other);
        EXPECT_EQ(controller->footerText().empty(), !c.dirty);
    }
}
