// The presets window and its four panes, loaded as plug-ins from the build tree, offscreen.

#include "WindowTestSupport.h"

#include "DetailDrawer.h"
#include "PresetPane.h"
#include "PresetPaneLoader.h"
#include "PresetsController.h"
#include "PresetsWindow.h"
#include "TextEncodings.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

using namespace orvanta;
using namespace orvanta::test;
namespace pk = orvanta::presetkeys;

namespace {

class PresetsWindowTest : public WindowTest
{
protected:
    void SetUp() override { start(); }

    PresetsController& store() { return desktop->core().presets(); }
    ui::PresetsWindow& presets() { return window().presetsWindow(); }

    std::string addPreset(const std::string& name, Dictionary values = {})
    {
        Dictionary preset = store().standardPreset();
        for (const auto& [key, value] : values)
            preset.set(key, value);
        return store().addPreset(preset, name);
    }

    /// Opens the window on the preset and shows the pane; returns the pane's view.
    QWidget* showPane(const std::string& presetID, const QString& pane)
    {
        presets().showWindowForPresetID(presetID);
        return choosePane(pane);
    }
    QWidget* choosePane(const QString& pane)
    {
        QComboBox* popUp = presets().panesPopUp();
        const int index = popUp->findText(pane);
        EXPECT_GE(index, 0) << pane.toStdString();
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
        return presets().paneView();
    }
    void choosePreset(const std::string& identifier)
    {
        QComboBox* popUp = presets().presetsPopUp();
        const int index = popUp->findData(QString::fromStdString(identifier));
        ASSERT_GE(index, 0);
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }

    template <typename T> static T* control(QWidget* view, const char* name)
    {
        T* found = view ? view->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void edit(QLineEdit* field, const QString& text)
    {
        field->setText(text);
        emit field->editingFinished();
    }
    static void type(QLineEdit* field, const QString& text)
    {
        field->setText(text);
        emit field->textEdited(text);
    }
    static void choose(QComboBox* popUp, int index)
    {
        popUp->setCurrentIndex(index);
        emit popUp->activated(index);
    }

    Value working(std::string_view key) { return store().objectForKey(key); }
    bool dirty() { return store().isDirty(); }
};

TEST_F(PresetsWindowTest, FourPanesAreFoundAsPlugInsAndEachBuildsItsWidgetsWhenFirstShown)
{
    const QStringList names = presets().panes().names();
    EXPECT_EQ(names, (QStringList{"Playlist", "Splitting", "Stream Title", "Tagging"}));
    EXPECT_EQ(presets().panesPopUp()->count(), 4);
    EXPECT_EQ(presets().windowTitle(), "Presets");

    PresetPane* tagging = presets().panes().pane("Tagging");
    ASSERT_NE(tagging, nullptr);
    showPane(std::string(pk::kStandardPresetID), "Playlist");
    EXPECT_EQ(tagging->mainView(), nullptr) << "a pane not shown yet has no widgets";
    QWidget* view = choosePane("Tagging");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(tagging->mainView(), view);
    EXPECT_TRUE(presets().isAncestorOf(view));
    // Shown again, it is the same view, refilled.
    choosePane("Playlist");
    EXPECT_EQ(choosePane("Tagging"), view);
}

TEST_F(PresetsWindowTest, SplittingPaneEditsItsKeysAndRefusesLimitsBelowOne)
{
    const std::string jazz = addPreset("Jazz");
    QWidget* view = showPane(jazz, "Splitting");
    auto* manualOnly = control<QCheckBox>(view, "dontAutoSplitCheckbox");
    auto* adjustment = control<QLineEdit>(view, "splitAdjustmentTextField");
    auto* direction = control<QComboBox>(view, "splitEarlierOrLaterPopUp");
    auto* style = control<QButtonGroup>(view, "manualSplitStyleMatrix");
    auto* size = control<QLineEdit>(view, "manualSplitSizeTextField");
    auto* time = control<QLineEdit>(view, "manualSplitTimeTextField");
    auto* search = control<QLineEdit>(view, "splitSearchTextField");
    auto* variant = control<QLineEdit>(view, "hlsVariantTextField");
    ASSERT_TRUE(manualOnly && adjustment && direction && style && size && time && search &&
                variant);

    // The standard values.
    EXPECT_FALSE(manualOnly->isChecked());
    EXPECT_EQ(adjustment->text(), "0");
    EXPECT_EQ(size->text(), "5");
    EXPECT_EQ(time->text(), "74");
    EXPECT_EQ(style->checkedId(), 1);
    EXPECT_FALSE(presets().saveButton()->isEnabled());

    // Clearing a field, or a limit below 1, shows the stored value again and stores nothing.
    edit(size, "");
    EXPECT_EQ(size->text(), "5");
    edit(time, "0");
    EXPECT_EQ(time->text(), "74");
    edit(size, "-3");
    EXPECT_EQ(size->text(), "5");
    edit(adjustment, "");
    EXPECT_EQ(adjustment->text(), "0");
    EXPECT_EQ(search->text(), "8");
    edit(search, "31");
    EXPECT_EQ(search->text(), "8") << "beyond the widest search";
    edit(search, "-1");
    EXPECT_EQ(search->text(), "8");
    EXPECT_FALSE(dirty()) << "refused input leaves the preset clean";
    EXPECT_EQ(working(pk::NP_SPLITSIZEMB).toInteger(), 5);

    edit(size, "12");
    EXPECT_EQ(working(pk::NP_SPLITSIZEMB), Value(12));
    EXPECT_TRUE(dirty());
    EXPECT_TRUE(presets().saveButton()->isEnabled());
    EXPECT_EQ(presets().footerLabel()->text(),
              "Saved changes take effect the next time a stream is recorded");
    edit(time, "90");
    EXPECT_EQ(working(pk::NP_SPLITTIMEMINS), Value(90));
    EXPECT_EQ(variant->text(), "0") << "no rate chosen: the best";
    edit(variant, "-64");
    EXPECT_EQ(variant->text(), "0");
    edit(variant, "64");
    EXPECT_EQ(working(pk::NP_HLS_VARIANT_KBPS), Value(64));
    edit(search, "0");
    EXPECT_TRUE(working(pk::NP_SPLIT_SEARCH_SECONDS).isReal());
    EXPECT_DOUBLE_EQ(working(pk::NP_SPLIT_SEARCH_SECONDS).toReal(), 0.0);
    edit(adjustment, "2.5");
    EXPECT_TRUE(working(pk::NP_REWINDSECS).isReal());
    EXPECT_DOUBLE_EQ(working(pk::NP_REWINDSECS).toReal(), 2.5);
    choose(direction, direction->findData(1));
    EXPECT_EQ(working(pk::SPLIT_EARLIER_OR_LATER), Value(1));
    style->button(2)->click();
    EXPECT_EQ(working(pk::NP_MANUALSPLITTYPE), Value(2));
    style->button(0)->click();
    EXPECT_EQ(working(pk::NP_MANUALSPLITTYPE), Value(0));

    // Manual splitting only: the adjustment has nothing to adjust.
    EXPECT_TRUE(adjustment->isEnabled());
    manualOnly->click();
    EXPECT_EQ(working(pk::NP_ALWAYSMANUAL), Value(true));
    EXPECT_FALSE(adjustment->isEnabled());
    EXPECT_FALSE(direction->isEnabled());
    manualOnly->click();
    EXPECT_TRUE(adjustment->isEnabled());
}

TEST_F(PresetsWindowTest, PlaylistPaneEnablesTheNameOnlyForPlaylistsWithACustomName)
{
    const std::string id = addPreset("Lists", {{pk::NP_ADD_TO_PLAYLIST, false}});
    QWidget* view = showPane(id, "Playlist");
    auto* add = control<QCheckBox>(view, "addToPlaylistCheckbox");
    auto* details = control<QCheckBox>(view, "appendScheduleDetailsCheckbox");
    auto* name = control<QLineEdit>(view, "customPlaylistNameTextField");
    auto* style = control<QButtonGroup>(view, "playlistNameStyleMatrix");
    auto* compilation = control<QCheckBox>(view, "compilationCheckbox");
    ASSERT_TRUE(add && details && name && style && compilation);

    EXPECT_FALSE(add->isChecked());
    EXPECT_FALSE(details->isEnabled());
    EXPECT_FALSE(compilation->isEnabled());
    EXPECT_FALSE(style->button(3)->isEnabled());
    // Style 3 with playlists off (as a stored preset may have it) keeps the name disabled.
    store().setObject(Value(3), pk::NP_PLAYLIST_NAME_TYPE);
    choosePane("Tagging");
    view = choosePane("Playlist");
    EXPECT_EQ(style->checkedId(), 3);
    EXPECT_FALSE(name->isEnabled());

    add->click();
    EXPECT_EQ(working(pk::NP_ADD_TO_PLAYLIST), Value(true));
    EXPECT_TRUE(name->isEnabled());
    EXPECT_TRUE(details->isEnabled());
    style->button(1)->click();
    EXPECT_EQ(working(pk::NP_PLAYLIST_NAME_TYPE), Value(1));
    EXPECT_FALSE(name->isEnabled());
    style->button(3)->click();
    type(name, "Late Night");
    EXPECT_EQ(working(pk::NP_PLAYLIST_NAME_CUSTOM), Value("Late Night"));
    details->click();
    EXPECT_EQ(working(pk::NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS), Value(false));
    compilation->click();
    EXPECT_EQ(working(pk::NP_COMPILATION_FLAG), Value(true));
}

TEST_F(PresetsWindowTest, TaggingPaneEnablesTheCustomGenreForItsChoiceOnly)
{
    const std::string id = addPreset("Tags");
    QWidget* view = showPane(id, "Tagging");
    auto* sequence = control<QCheckBox>(view, "addFileSequenceNumberCheckbox");
    auto* track = control<QCheckBox>(view, "addTrackNumberCheckbox");
    auto* album = control<QCheckBox>(view, "noAlbumUseStreamNameCheckbox");
    auto* genre = control<QButtonGroup>(view, "genreMatrix");
    auto* custom = control<QLineEdit>(view, "customGenreTextField");
    ASSERT_TRUE(sequence && track && album && genre && custom);

    EXPECT_TRUE(sequence->isChecked());
    EXPECT_TRUE(track->isChecked());
    EXPECT_FALSE(album->isChecked());
    EXPECT_EQ(genre->checkedId(), 0);
    EXPECT_FALSE(custom->isEnabled());

    sequence->click();
    EXPECT_EQ(working(pk::NP_NUMBER_RECORDINGS), Value(false));
    track->click();
    EXPECT_EQ(working(pk::NUMBER_RECORDINGS_TRACK), Value(false));
    album->click();
    EXPECT_EQ(working(pk::NP_STREAM_IF_NO_ALBUM), Value(true));
    genre->button(1)->click();
    EXPECT_EQ(working(pk::NP_GENRE_TYPE), Value(1));
    EXPECT_FALSE(custom->isEnabled());
    genre->button(2)->click();
    EXPECT_TRUE(custom->isEnabled());
    type(custom, "Field Recordings");
    EXPECT_EQ(working(pk::NP_GENRE_CUSTOM), Value("Field Recordings"));
    EXPECT_TRUE(dirty());
}

TEST_F(PresetsWindowTest, StreamTitlePaneEditsPatternEncodingAndTheTwoLists)
{
    const std::string id = addPreset("Titles");
    QWidget* view = showPane(id, "Stream Title");
    auto* pattern = control<QComboBox>(view, "patternPopUp");
    auto* separator = control<QLineEdit>(view, "separatorTextField");
    auto* encoding = control<QComboBox>(view, "languageEncodingPopUp");
    auto* clean = control<QCheckBox>(view, "cleanCheckbox");
    auto* ignore = control<QCheckBox>(view, "ignoreCheckbox");
    auto* cleanTable = control<QListWidget>(view, "cleanTable");
    auto* ignoreTable = control<QListWidget>(view, "ignoreTable");
    auto* cleanAdd = control<QPushButton>(view, "cleanAddButton");
    auto* cleanRemove = control<QPushButton>(view, "cleanRemoveButton");
    auto* ignoreAdd = control<QPushButton>(view, "ignoreAddButton");
    ASSERT_TRUE(pattern && separator && encoding && clean && ignore && cleanTable && ignoreTable &&
                cleanAdd && cleanRemove && ignoreAdd);

    EXPECT_EQ(pattern->currentIndex(), 2);
    EXPECT_EQ(separator->text(), "-");
    // Only what the recordings can decode, each under its name; 0 is Automatic.
    const auto& supported = supportedTextEncodings();
    ASSERT_EQ(encoding->count(), static_cast<int>(supported.size()));
    for (int i = 0; i < encoding->count(); ++i) {
        EXPECT_EQ(encoding->itemText(i).toStdString(), supported[i].name);
        EXPECT_EQ(static_cast<std::uint32_t>(encoding->itemData(i).toLongLong()),
                  static_cast<std::uint32_t>(supported[i].number));
    }
    EXPECT_EQ(encoding->currentData().toLongLong(), 0);
    EXPECT_FALSE(dirty());

    choose(pattern, 6);
    EXPECT_EQ(working(pk::NP_STREAMTITLE_PATTERN), Value(6));
    type(separator, "~");
    EXPECT_EQ(working(pk::NP_STREAMTITLE_SEPARATOR), Value("~"));
    const int utf8 = encoding->findData(QVariant::fromValue<qlonglong>(4));
    ASSERT_GE(utf8, 0) << "UTF-8 is offered";
    choose(encoding, utf8);
    EXPECT_EQ(working(pk::NP_LANGUAGE_ENCODING), Value(4));
    clean->click();
    EXPECT_EQ(working(pk::NP_STREAMTITLE_CLEAN), Value(true));
    ignore->click();
    EXPECT_EQ(working(pk::NP_STREAMTITLE_IGNORE), Value(true));

    // Two new rows; remove needs a selected row.
    EXPECT_FALSE(cleanRemove->isEnabled());
    cleanAdd->click();
    cleanAdd->click();
    ASSERT_EQ(cleanTable->count(), 2);
    EXPECT_EQ(cleanTable->item(0)->text(), "<< Edit me >>");
    EXPECT_EQ(cleanTable->item(1)->text(), "<< Edit me >>");
    EXPECT_EQ(working(pk::NP_STREAMTITLE_CLEAN_LIST),
              Value(Array{"<< Edit me >>", "<< Edit me >>"}));
    cleanTable->clearSelection();
    EXPECT_FALSE(cleanRemove->isEnabled());
    cleanTable->item(0)->setText("(live)");
    EXPECT_EQ(working(pk::NP_STREAMTITLE_CLEAN_LIST), Value(Array{"(live)", "<< Edit me >>"}));
    cleanTable->setCurrentRow(1);
    EXPECT_TRUE(cleanRemove->isEnabled());
    cleanRemove->click();
    EXPECT_EQ(working(pk::NP_STREAMTITLE_CLEAN_LIST), Value(Array{"(live)"}));
    ignoreAdd->click();
    EXPECT_EQ(working(pk::NP_STREAMTITLE_IGNORE_LIST), Value(Array{"<< Edit me >>"}));
    EXPECT_EQ(ignoreTable->count(), 1);
    EXPECT_EQ(cleanTable->font().pointSize(), 11);
}

TEST_F(PresetsWindowTest, AnEncodingThisMachineCannotDecodeShowsLatin1WithoutAnEdit)
{
    const std::string id = addPreset("Odd", {{pk::NP_LANGUAGE_ENCODING, 424242}});
    QWidget* view = showPane(id, "Stream Title");
    auto* encoding = control<QComboBox>(view, "languageEncodingPopUp");
    ASSERT_NE(encoding, nullptr);
    EXPECT_EQ(encoding->currentData().toLongLong(), 5);
    EXPECT_EQ(working(pk::NP_LANGUAGE_ENCODING), Value(5));
    EXPECT_FALSE(dirty());
    EXPECT_FALSE(presets().saveButton()->isEnabled());
}

TEST_F(PresetsWindowTest, ChoosingAnotherPresetRefillsEveryPaneAndDropsUnsavedEdits)
{
    const std::string a = addPreset("A", {{pk::NP_SPLITSIZEMB, 7},
                                          {pk::NP_STREAMTITLE_SEPARATOR, "/"},
                                          {pk::NP_ADD_TO_PLAYLIST, false},
                                          {pk::NP_GENRE_TYPE, 2}});
    const std::string b = addPreset("B", {{pk::NP_SPLITSIZEMB, 9},
                                          {pk::NP_STREAMTITLE_SEPARATOR, "|"},
                                          {pk::NP_ADD_TO_PLAYLIST, true},
                                          {pk::NP_GENRE_TYPE, 1}});
    QWidget* splitting = showPane(a, "Splitting");
    QWidget* title = choosePane("Stream Title");
    QWidget* playlist = choosePane("Playlist");
    QWidget* tagging = choosePane("Tagging");
    EXPECT_EQ(control<QButtonGroup>(tagging, "genreMatrix")->checkedId(), 2);
    type(control<QLineEdit>(tagging, "customGenreTextField"), "edited");
    EXPECT_TRUE(dirty());

    choosePreset(b);
    EXPECT_FALSE(dirty()) << "unsaved edits of the previous preset are dropped";
    EXPECT_EQ(store().presetForID(a).get(pk::NP_GENRE_CUSTOM), Value(""));
    EXPECT_EQ(control<QButtonGroup>(tagging, "genreMatrix")->checkedId(), 1);
    choosePane("Splitting");
    EXPECT_EQ(control<QLineEdit>(splitting, "manualSplitSizeTextField")->text(), "9");
    choosePane("Stream Title");
    EXPECT_EQ(control<QLineEdit>(title, "separatorTextField")->text(), "|");
    choosePane("Playlist");
    EXPECT_TRUE(control<QCheckBox>(playlist, "addToPlaylistCheckbox")->isChecked());
}

TEST_F(PresetsWindowTest, SaveStoresTheWorkingCopyAndSavingStandardAsksForANewName)
{
    const std::string jazz = addPreset("Jazz");
    QWidget* view = showPane(jazz, "Tagging");
    control<QCheckBox>(view, "noAlbumUseStreamNameCheckbox")->click();
    EXPECT_TRUE(presets().commandAction(PresetCommand::Save)->isEnabled());
    presets().saveButton()->click();
    EXPECT_FALSE(dirty());
    EXPECT_FALSE(presets().saveButton()->isEnabled());
    EXPECT_EQ(store().presetForID(jazz).get(pk::NP_STREAM_IF_NO_ALBUM), Value(true));
    EXPECT_EQ(presets().footerLabel()->text(), "");

    // The built-in preset cannot change: saving it is saving a copy under a new name.
    choosePreset(std::string(pk::kStandardPresetID));
    EXPECT_FALSE(presets().commandAction(PresetCommand::Save)->isEnabled());
    EXPECT_FALSE(presets().commandAction(PresetCommand::Rename)->isEnabled());
    EXPECT_FALSE(presets().commandAction(PresetCommand::Delete)->isEnabled());
    EXPECT_TRUE(presets().commandAction(PresetCommand::SaveAs)->isEnabled());
    view = choosePane("Tagging");
    control<QCheckBox>(view, "addTrackNumberCheckbox")->click();
    presets().saveButton()->click();
    ASSERT_NE(presets().nameSheet(), nullptr);
    EXPECT_EQ(presets().nameSheet()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(presets().nameSheetLabel()->text(), "Save Preset As:");
    EXPECT_EQ(presets().nameSheetField()->text(), "Standard 1");
    presets().nameSheetField()->setText("Fewer Numbers");
    presets().nameSheet()->accept();
    EXPECT_EQ(presets().nameSheet(), nullptr);
    const std::string copy = store().selectedPresetID();
    EXPECT_NE(copy, std::string(pk::kStandardPresetID));
    EXPECT_EQ(store().selectedPresetName(), "Fewer Numbers");
    EXPECT_EQ(store().presetForID(copy).get(pk::NUMBER_RECORDINGS_TRACK), Value(false));
    EXPECT_EQ(store().standardPreset().get(pk::NUMBER_RECORDINGS_TRACK), Value(true));
    EXPECT_EQ(presets().presetsPopUp()->currentText(), "Fewer Numbers");
    EXPECT_FALSE(dirty());
}

TEST_F(PresetsWindowTest, RenameRefusesANameInUseAndAsksAgain)
{
    const std::string jazz = addPreset("Jazz");
    addPreset("Jazz 1");
    presets().showWindowForPresetID(jazz);

    // Save as proposes the first free number.
    presets().saveAsPreset();
    ASSERT_NE(presets().nameSheet(), nullptr);
    EXPECT_EQ(presets().nameSheetField()->text(), "Jazz 2");
    presets().nameSheet()->reject();
    EXPECT_EQ(store().presetNameForID(jazz), "Jazz");

    presets().renamePreset();
    ASSERT_NE(presets().nameSheet(), nullptr);
    EXPECT_EQ(presets().nameSheetLabel()->text(), "Rename Preset To:");
    EXPECT_EQ(presets().nameSheetField()->text(), "Jazz");
    // While a sheet is open, asking for another preset only brings the window forward.
    presets().showWindowForPresetID(std::string(pk::kStandardPresetID));
    EXPECT_EQ(store().selectedPresetID(), jazz);

    presets().nameSheetField()->setText("Jazz 1");
    presets().nameSheet()->accept();
    ASSERT_NE(presets().nameTakenAlert(), nullptr);
    EXPECT_EQ(presets().nameTakenAlert()->text(), "The preset name \"Jazz 1\" is already taken.");
    EXPECT_EQ(presets().nameTakenAlert()->informativeText(), "Please choose a different name.");
    EXPECT_EQ(store().presetNameForID(jazz), "Jazz");
    presets().nameTakenAlert()->accept();
    ASSERT_NE(presets().nameSheet(), nullptr) << "the rename sheet opens again";
    EXPECT_EQ(presets().nameSheetLabel()->text(), "Rename Preset To:");
    presets().nameSheetField()->setText("Smooth");
    presets().nameSheet()->accept();
    EXPECT_EQ(store().presetNameForID(jazz), "Smooth");
    EXPECT_EQ(presets().presetsPopUp()->currentText(), "Smooth");

    // The built-in preset keeps its name.
    choosePreset(std::string(pk::kStandardPresetID));
    presets().renamePreset();
    EXPECT_EQ(presets().nameSheet(), nullptr);
}

TEST_F(PresetsWindowTest, DeletingAPresetMovesItsStationsToStandard)
{
    const std::string gone = addPreset("Gone");
    const std::string kept = addPreset("Kept");
    Node* a = station("A", "http://a/");
    Node* b = station("B", "http://b/");
    Node* c = station("C", "http://c/");
    for (Node* node : {a, b})
        node->setProperty(Value(gone), np::NP_PRESET_ID);
    c->setProperty(Value(kept), np::NP_PRESET_ID);
    // The drawer shows the station's preset, and follows the deletion.
    list().selectNodes({a});
    window().showRecordingStyleView();
    QComboBox* drawerPopUp = window().findChild<ui::RecordingStyleView*>()->presetPopUp();
    EXPECT_EQ(drawerPopUp->currentText(), "Gone");
    // The drawer's button opens the window on the station's preset.
    window().findChild<ui::RecordingStyleView*>()->openButton()->click();
    EXPECT_EQ(store().selectedPresetID(), gone);
    EXPECT_TRUE(presets().isVisible());

    presets().deletePreset();
    EXPECT_FALSE(store().presetIDExists(gone));
    EXPECT_EQ(store().selectedPresetID(), std::string(pk::kStandardPresetID));
    EXPECT_EQ(presets().presetsPopUp()->currentIndex(), 0);
    EXPECT_EQ(a->propertyForKey(np::NP_PRESET_ID), Value("Standard"));
    EXPECT_EQ(b->propertyForKey(np::NP_PRESET_ID), Value("Standard"));
    EXPECT_EQ(c->propertyForKey(np::NP_PRESET_ID), Value(kept));
    EXPECT_EQ(drawerPopUp->currentText(), "Standard");
    EXPECT_EQ(drawerPopUp->findText("Gone"), -1);
    EXPECT_TRUE(library().delayedSavePending());
}

} // namespace
