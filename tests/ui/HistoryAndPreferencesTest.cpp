// The history window and the preferences window, offscreen.

#include "WindowTestSupport.h"

#include "CutEditor.h"
#include "EnvironmentOverride.h"
#include "HistoryController.h"
#include "HistoryWindow.h"
#include "ID3v2Helper.h"
#include "Mp3Fixtures.h"
#include "MyMP3Util.h"
#include "PreferencesWindow.h"
#include "RelayThread.h"
#include "SessionJournal.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>

#include <sys/socket.h>
#include <unistd.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

class HistoryWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        start();
        node = station("Radio One", "http://one/");
        kept = m_dir.file("Music/kept.mp3");
        writeFile(kept, "audio");
        const std::string gone = m_dir.file("Music/gone.mp3");
        node->setProperty(
            Value(Array{
                Dictionary{
                    {"STREAMTITLE", "A - Kept"},
                    {"location", kept},
                    {"dateCompleted", Date::now()},
                    {"ID3TAGS",
                     Dictionary{{"TPE1", "A"}, {"TIT2", "Kept"}, {"TALB", "L"}, {"TRCK", "1"}}}},
                Dictionary{{"STREAMTITLE", "B - Twice"},
                           {"location", kept},
                           {"duplicate", 1},
                           {"dateCompleted", Date::now()}},
                Dictionary{{"STREAMTITLE", "C - Dropped"},
                           {"duplicate", 1},
                           {"ignored", 1},
                           {"ID3TAGS", Dictionary{{"TIT2", "Dropped"}}}},
                Dictionary{{"STREAMTITLE", "D - Small"}, {"tooSmall", 1}, {"ignored", 1}},
                Dictionary{{"STREAMTITLE", "E - Cut"},
                           {"incomplete", 1},
                           {"location", m_dir.file("Music/incomplete/E.mp3")}},
                Dictionary{{"STREAMTITLE", "F - Skipped"},
                           {"skipped", 1},
                           {"ignored", 1},
                           {"ID3TAGS", Dictionary{{"TIT2", "Skipped"}}}},
                Dictionary{{"STREAMTITLE", "G - Gone"},
                           {"location", gone},
                           {"dateCompleted", Date::now()}},
            }),
            np::NP_HISTORY);
        list().selectNodes({node});
        window().showHistoryWindow();
        history = &window().historyWindow();
    }

    QString cell(int row, int column, int role = Qt::DisplayRole)
    {
        const auto& model = history->display();
        return model.data(model.index(row, column), role).toString();
    }
    bool grey(int row, int column)
    {
        const auto& model = history->display();
        return model.data(model.index(row, column), Qt::ForegroundRole).isValid();
    }
    void selectRows(const std::vector<int>& rows)
    {
        QItemSelection selection;
        for (int row : rows)
            selection.select(history->display().index(row, 0), history->display().index(row, 5));
        history->table()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }

    Node* node = nullptr;
    std::string kept;
    ui::HistoryWindow* history = nullptr;
};

} // namespace

TEST_F(HistoryWindowTest, EveryFileShowsItsStatusLocationAndGreyMarking)
{
    QAbstractItemModelTester checked(&history->display(),
                                     QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(history->windowTitle(), QStringLiteral("History - Radio One"));
    ASSERT_EQ(history->display().rowCount(), 7);
    const struct
    {
        const char* image;
        QString location;
        bool grey;
    } rows[] = {
        {"attStatusConfirmed", QString::fromStdString(kept), false},
        {"duplicateConfirmed", QString::fromStdString(kept), false},
        {"duplicateIgnored", QStringLiteral("Duplicate recording - ignored"), true},
        {"ignored", QStringLiteral("Recording too small - ignored"), true},
        {"ignored",
         QStringLiteral("Incomplete - ") +
             QString::fromStdString(m_dir.file("Music/incomplete/E.mp3")),
         false},
        {"skippedIgnored", QStringLiteral("Skipped - ignored"), true},
        {"attStatusConfirmed", QString::fromStdString(m_dir.file("Music/gone.mp3")), false},
    };
    for (int row = 0; row < 7; ++row) {
        const auto& expected = rows[row];
        EXPECT_EQ(cell(row, 0, Qt::ToolTipRole), QLatin1String(expected.image)) << row;
        EXPECT_FALSE(history->display()
                         .data(history->display().index(row, 0), Qt::DecorationRole)
                         .value<QIcon>()
                         .isNull())
            << "a picture for row " << row;
        EXPECT_EQ(cell(row, 5), expected.location) << row;
        EXPECT_EQ(grey(row, 5), expected.grey) << row;
        EXPECT_FALSE(grey(row, 0)) << "the status picture is never grey";
    }
    EXPECT_EQ(cell(0, 1), QStringLiteral("Kept"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("A"));
    EXPECT_EQ(cell(0, 3), QStringLiteral("L"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("1"));
    // A recorded file that is no longer there says so; one that is there does not.
    EXPECT_TRUE(history->display().fileIsGone(6));
    EXPECT_EQ(cell(6, 5, Qt::ToolTipRole), QStringLiteral("The file is no longer there"));
    EXPECT_FALSE(history->display().fileIsGone(0));
    EXPECT_FALSE(history->display().fileIsGone(3)) << "a dropped file is meant to be gone";
}

TEST_F(HistoryWindowTest, EditsAreStoredUnderTheColumnAndSelectedEntriesAreCleared)
{
    ASSERT_TRUE(
        history->display().setData(history->display().index(0, 2), QStringLiteral("Artist X")));
    const Array entries = node->propertyForKey(np::NP_HISTORY)->toArray();
    EXPECT_EQ(entries.at(0).toDictionary().get("artist"), Value("Artist X"));
    EXPECT_TRUE(library().delayedSavePending()) << "the edit is saved with the library";

    EXPECT_FALSE(history->clearButton()->isEnabled()) << "nothing selected";
    selectRows({1, 3, 5});
    EXPECT_TRUE(history->clearButton()->isEnabled());
    history->clearButton()->click();
    const Array left = node->propertyForKey(np::NP_HISTORY)->toArray();
    std::vector<std::string> titles;
    for (const Value& entry : left)
        titles.push_back(entry.toDictionary().get("STREAMTITLE").toString());
    EXPECT_EQ(titles, (std::vector<std::string>{"A - Kept", "C - Dropped", "E - Cut", "G - Gone"}));
    EXPECT_EQ(history->display().rowCount(), 4);
}

TEST_F(HistoryWindowTest, RowsDragOutAsTheirFilesAndTheWindowFollowsTheStationShown)
{
    std::unique_ptr<QMimeData> data(history->display().mimeData(
        {history->display().index(0, 1), history->display().index(1, 1),
         history->display().index(2, 1), history->display().index(6, 1)}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(kept))}))
        << "files on disc only, each once";
    EXPECT_TRUE(history->display().flags(history->display().index(0, 1)) & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(history->display().flags(history->display().index(3, 1)) & Qt::ItemIsDragEnabled);

    Node* other = station("Radio Two", "http://two/");
    list().selectNodes({other});
    EXPECT_EQ(history->windowTitle(), QStringLiteral("History - Radio Two"));
    EXPECT_EQ(history->display().rowCount(), 0);
    EXPECT_TRUE(other->propertyForKey(np::NP_HISTORY).has_value()) << "made when shown";
    list().selectionModel()->clearSelection();
    EXPECT_EQ(history->windowTitle(), QStringLiteral("History"));
    EXPECT_EQ(history->display().rowCount(), 0);
}

namespace {

class PreferencesWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        start();
        window().showPreferences();
        prefsWindow = &window().preferencesWindow();
    }
    ui::PreferencesWindow* prefsWindow = nullptr;
};

} // namespace

TEST_F(HistoryWindowTest, AdjustCutDragsTheCutIntoTheGapWritesBothSongsAndTheStationLearns)
{
    // Two songs with half a second of silence at 3.0 s, recorded with the cut at 2.4 s.
    EnvironmentOverride environment;
    environment.set("XDG_CACHE_HOME", m_dir.file("cache"));
    const ByteVector mp3 = encodeWithLame(pcmSongs({3.0, 3.0}, 0.5), m_dir);
    std::size_t cutAt = 0;
    double seconds = 0;
    for (std::size_t at = 0; at + 4 <= mp3.size() && seconds < 2.4;) {
        mp3frameheader_t header{};
        ASSERT_TRUE(MyMP3Util::decodeFrameHeader(header, mp3.data() + at)) << at;
        at += header.frameLength;
        seconds += 1152.0 / header.sampleRate;
        cutAt = at;
    }
    const Bytes tag = ID3v2Helper::createTagForDictionary(Dictionary{{"TIT2", "Two"}});
    auto writeSong = [&](const std::string& path, std::size_t from, std::size_t to) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(tag.data()), static_cast<long>(tag.size()));
        out.write(reinterpret_cast<const char*>(mp3.data() + from), static_cast<long>(to - from));
    };
    const std::string first = m_dir.file("Music/A - One.mp3");
    const std::string second = m_dir.file("Music/B - Two.mp3");
    writeSong(first, 0, cutAt);
    writeSong(second, cutAt, mp3.size());
    {
        auto journal = SessionJournal::open(SessionJournal::defaultSessionsFolder(), "Radio Two",
                                            {}, SessionJournal::clock());
        ASSERT_NE(journal, nullptr);
        journal->connected(AudioFormat::MP3, "http://two/", SessionJournal::clock());
        journal->audio(mp3.data(), mp3.size(), SessionJournal::clock());
        journal->cut(mp3.size() - cutAt, -0.5, false, 0, "B - Two", SessionJournal::clock());
        journal->fileCompleted(first, SessionJournal::clock());
        journal->fileCompleted(second, SessionJournal::clock());
    }
    Node* two = station("Radio Two", "http://two/");
    two->setProperty(Value(Array{Dictionary{{"STREAMTITLE", "A - One"}, {"location", first}},
                                 Dictionary{{"STREAMTITLE", "B - Two"}, {"location", second}}}),
                     np::NP_HISTORY);
    list().selectNodes({two});
    history->setNode(two);

    history->adjustCutOfRow(1);
    auto* editor = history->findChild<ui::CutEditor*>(QStringLiteral("cutEditor"));
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    ui::CutWaveform* waveform = editor->waveform();
    const bool gapMarked =
        std::any_of(waveform->gaps().begin(), waveform->gaps().end(), [](const auto& gap) {
            return gap.first <= 310 && gap.second >= 340; // 3.1 to 3.4 s
        });
    EXPECT_TRUE(gapMarked) << "the silence is shaded";
    // The whole stretch fits the view from its start: x follows the seconds.
    const double perSecond = waveform->width() / waveform->visibleSeconds();
    const int cutX = static_cast<int>(std::lround(2.4 * perSecond));
    const int gapX = static_cast<int>(std::lround(3.25 * perSecond));
    QTest::mousePress(waveform, Qt::LeftButton, {}, QPoint(cutX, 40));
    QMouseEvent drag(QEvent::MouseMove, QPointF(gapX, 40), waveform->mapToGlobal(QPointF(gapX, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(waveform, &drag);
    QTest::mouseRelease(waveform, Qt::LeftButton, {}, QPoint(gapX, 40));
    EXPECT_NEAR(waveform->offsetSeconds(), 0.85, 2.0 / perSecond + 0.03);
    QTest::mouseClick(editor->findChild<QPushButton*>(QStringLiteral("applyCut")), Qt::LeftButton);

    auto audioOf = [&](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        ByteVector bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        return ByteVector(bytes.begin() + static_cast<long>(tag.size()), bytes.end());
    };
    ByteVector pair = audioOf(first);
    const ByteVector rest = audioOf(second);
    EXPECT_NEAR(static_cast<double>(pair.size()), static_cast<double>(cutAt) + 0.85 * 16000, 1000);
    pair.insert(pair.end(), rest.begin(), rest.end());
    EXPECT_TRUE(pair == mp3) << "every frame once, in order";
    const auto offsets = two->propertyForKey(np::NP_SPLIT_OFFSETS);
    ASSERT_TRUE(offsets && offsets->isArray() && offsets->toArray().size() == 1);
    EXPECT_NEAR(offsets->toArray()[0].toReal(), -0.5 + 0.85, 0.05) << "the station learns it";

    // The station's own menu opens the editor on the cut before its newest song.
    auto openEditor = [&] {
        return history->findChild<ui::CutEditor*>(QStringLiteral("cutEditor"));
    };
    QTRY_VERIFY(openEditor() == nullptr);
    QAction* adjustLast = window().action(QStringLiteral("adjustLastCut"));
    window().updateToolbarControls();
    ASSERT_TRUE(adjustLast->isEnabled());
    adjustLast->trigger();
    QTRY_VERIFY(openEditor() != nullptr && openEditor()->isVisible());
    openEditor()->close();

    std::filesystem::remove_all(SessionJournal::defaultSessionsFolder());
    history->adjustCutOfRow(1);
    auto* alert = history->findChild<QMessageBox*>(QStringLiteral("adjustCutAlert"));
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->text().contains(QStringLiteral("No journal holds")))
        << alert->text().toStdString();
}

TEST_F(PreferencesWindowTest, EveryControlReadsAndWritesItsKey)
{
    for (const char* key : {"useid3v1", "replacestreamname", "IgnoreDuplicateRecordings",
                            "ignorefilesize", "diskspacesafety", "MilitaryTimeInFilenames",
                            "PlaylistDeleteSource", "LowSpeedDisconnect", "AutoReconnect",
                            "searchports", "WakeFromSleep", "WakeFromSleepWarnIfQuitting"}) {
        QCheckBox* box = prefsWindow->checkBox(key);
        ASSERT_NE(box, nullptr) << key;
        EXPECT_EQ(box->isChecked(), prefs->boolForKey(key)) << key;
        box->setChecked(!box->isChecked());
        EXPECT_EQ(prefs->boolForKey(key), box->isChecked()) << key;
    }
    const struct
    {
        const char* key;
        int value;
    } numbers[] = {{"ignorefilesizekb", 250},
                   {"LowSpeedLimitSeconds", 30},
                   {"AutoReconnectWaitSeconds", 9},
                   {"JournalDays", 7},
                   {"JournalBudgetMB", 512}};
    for (const auto& n : numbers) {
        QSpinBox* field = prefsWindow->spinBox(n.key);
        ASSERT_NE(field, nullptr) << n.key;
        field->setValue(n.value);
        emit field->editingFinished();
        EXPECT_EQ(prefs->integerForKey(n.key), n.value) << n.key;
    }
    prefsWindow->playerChoice()->setCurrentIndex(1);
    emit prefsWindow->playerChoice()->activated(1);
    EXPECT_EQ(prefs->integerForKey(prefs::kListenWithApplication), 1);
}

TEST_F(PreferencesWindowTest, TheFolderLayoutIsTwoMasksWithAnExamplePath)
{
    EXPECT_TRUE(prefsWindow->layoutBox(false, prefs::kLayoutStream)->isChecked()) << "26 at first";
    EXPECT_TRUE(prefsWindow->layoutBox(false, prefs::kLayoutArtist)->isChecked());
    EXPECT_TRUE(prefsWindow->layoutBox(false, prefs::kLayoutAlbum)->isChecked());
    EXPECT_EQ(prefsWindow->layoutBox(false, prefs::kLayoutScheduledName), nullptr)
        << "the plain layout has no scheduled-name level";
    EXPECT_TRUE(prefsWindow->layoutExample(false)->text().contains(
        QStringLiteral("/Radio Example [128 Kbps]/Artist/Album/")))
        << prefsWindow->layoutExample(false)->text().toStdString();
    for (int bit : {prefs::kLayoutStream, prefs::kLayoutArtist, prefs::kLayoutAlbum})
        prefsWindow->layoutBox(false, bit)->setChecked(false);
    EXPECT_EQ(prefs->integerForKey(prefs::kDirLayout), 0);
    EXPECT_TRUE(prefsWindow->layoutExample(false)->text().endsWith(
        QString::fromStdString(music()) + QStringLiteral("/Artist - Title.mp3")))
        << "straight into the folder: " << prefsWindow->layoutExample(false)->text().toStdString();
    prefsWindow->layoutBox(true, prefs::kLayoutGenre)->setChecked(true);
    EXPECT_EQ(prefs->integerForKey(prefs::kScheduledDirLayout), 38 | prefs::kLayoutGenre);
    EXPECT_TRUE(prefsWindow->layoutExample(true)->text().contains(QStringLiteral("/Jazz/")));
}

TEST_F(PreferencesWindowTest, FoldersThatCannotTakeRecordingsAndInvalidValuesAreRefused)
{
    const std::string before = prefs->stringForKey(prefs::kDownloadPath);
    EXPECT_FALSE(prefsWindow->chooseDownloadPath(QString::fromStdString(m_dir.file("nowhere"))));
    EXPECT_TRUE(prefsWindow->downloadPathProblem()->isHidden() == false);
    EXPECT_TRUE(prefsWindow->downloadPathProblem()->text().contains(QStringLiteral("nowhere")));
    writeFile(m_dir.file("a-file"), "x");
    EXPECT_FALSE(prefsWindow->chooseDownloadPath(QString::fromStdString(m_dir.file("a-file"))));
    std::filesystem::create_directories(m_dir.file("locked"));
    ::chmod(m_dir.file("locked").c_str(), 0500);
    if (::access(m_dir.file("locked").c_str(), W_OK) != 0) { // root may write anyway
        EXPECT_FALSE(prefsWindow->chooseDownloadPath(QString::fromStdString(m_dir.file("locked"))));
    }
    ::chmod(m_dir.file("locked").c_str(), 0700);
    EXPECT_EQ(prefs->stringForKey(prefs::kDownloadPath), before) << "nothing stored";
    std::filesystem::create_directories(m_dir.file("Recordings"));
    EXPECT_TRUE(prefsWindow->chooseDownloadPath(QString::fromStdString(m_dir.file("Recordings"))));
    EXPECT_EQ(prefs->stringForKey(prefs::kDownloadPath), m_dir.file("Recordings"));
    EXPECT_TRUE(prefsWindow->downloadPathProblem()->isHidden());

    // Ports take only 1 to 65535: nothing is cut to 16 bits behind the user's back.
    EXPECT_EQ(prefsWindow->relayPortField()->maximum(), 65535);
    EXPECT_EQ(prefsWindow->relayPortField()->minimum(), 1);
    EXPECT_EQ(prefsWindow->proxyPortField()->maximum(), 65535);
    prefsWindow->relayPortField()->setValue(70000);
    EXPECT_EQ(prefsWindow->relayPortField()->value(), 65535);

    // A proxy without a host is not turned on.
    prefsWindow->proxyHostField()->clear();
    prefsWindow->useProxyBox()->setChecked(true);
    EXPECT_FALSE(prefs->boolForKey(prefs::kUseProxy));
    EXPECT_FALSE(prefsWindow->useProxyBox()->isChecked());
    EXPECT_TRUE(prefsWindow->proxyProblem()->isHidden() == false);
    prefsWindow->proxyHostField()->setText(QStringLiteral("proxy.example"));
    prefsWindow->proxyPortField()->setValue(3128);
    prefsWindow->useProxyBox()->setChecked(true);
    EXPECT_TRUE(prefs->boolForKey(prefs::kUseProxy));
    EXPECT_EQ(prefs->stringForKey(prefs::kProxyHost), "proxy.example");
    EXPECT_EQ(prefs->integerForKey(prefs::kProxyPort), 3128);

    // The station directory takes a web address or nothing (the public one).
    prefsWindow->stationDirectoryField()->setText(QStringLiteral("http://127.0.0.1:8080"));
    emit prefsWindow->stationDirectoryField()->editingFinished();
    EXPECT_EQ(prefs->stringForKey(prefs::kStationDirectory), "http://127.0.0.1:8080");
    prefsWindow->stationDirectoryField()->setText(QStringLiteral("ftp://elsewhere"));
    emit prefsWindow->stationDirectoryField()->editingFinished();
    EXPECT_EQ(prefs->stringForKey(prefs::kStationDirectory), "http://127.0.0.1:8080");
    EXPECT_EQ(prefsWindow->stationDirectoryField()->text(), "http://127.0.0.1:8080");
    prefsWindow->stationDirectoryField()->clear();
    emit prefsWindow->stationDirectoryField()->editingFinished();
    EXPECT_EQ(prefs->stringForKey(prefs::kStationDirectory), "");

    // A recording into a folder that cannot take files does not start, and says why.
    prefs->setPrefs(Value(m_dir.file("a-file")), prefs::kDownloadPath);
    Node* node = station("Nowhere", "http://127.0.0.1:9/");
    EXPECT_FALSE(controller().startRecordingForNode(node, MainController::kSourceUser));
    EXPECT_NE(node->valueForKey("alertMessage").value_or("").find("a-file"), std::string::npos);
    EXPECT_FALSE(node->isRecording());
}

TEST_F(PreferencesWindowTest, ANewRelayPortMovesTheRelayWhileAPlayerListens)
{
    desktop.reset();
    tester.reset();
    const auto first = unusedLoopbackPort();
    prefs->setPrefs(Value(static_cast<std::int64_t>(first)), prefs::kRelayPort);
    start();
    window().showPreferences();
    prefsWindow = &window().preferencesWindow();
    auto relay = controller().relay();
    ASSERT_TRUE(relay);
    ASSERT_TRUE(relay->launch());
    ASSERT_TRUE(relay->waitForState(RelayThread::kListening, 5s));
    const int player = connectToLoopback(first);
    ASSERT_GE(player, 0);
    const std::string request = "GET " + relay->servedPath() + " HTTP/1.0\r\n\r\n";
    ASSERT_EQ(::send(player, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    ASSERT_TRUE(spinUntil([&] { return relay->isValidConnection(); }, 5s));

    const auto second = unusedLoopbackPort();
    prefsWindow->relayPortField()->setValue(second);
    emit prefsWindow->relayPortField()->editingFinished();
    EXPECT_EQ(prefs->integerForKey(prefs::kRelayPort), second);
    EXPECT_EQ(relay->relayPort(), second) << "the relay moved at once";
    // The player's connection was closed; the relay serves the new port.
    char byte;
    timeval wait{5, 0};
    ::setsockopt(player, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ssize_t got = 0;
    do {
        got = ::recv(player, &byte, 1, 0);
    } while (got > 0);
    EXPECT_EQ(got, 0) << "closed";
    ::close(player);
    ASSERT_TRUE(relay->launch());
    ASSERT_TRUE(relay->waitForState(RelayThread::kListening, 5s));
    const int again = connectToLoopback(second);
    EXPECT_GE(again, 0);
    if (again >= 0)
        ::close(again);
    EXPECT_LT(connectToLoopback(first), 0) << "the old port is free again";
}
