// MainController end to end: real stations on the local ICY test server, real libcurl, real
// files, the music-player scripts as small fixture programs, and a fake front end. The test
// thread is the main thread and spins the Qt event loop while it waits.

#include "MainController.h"
#include "FrontEnd.h"
#include "GenericServer.h"
#include "HistoryRules.h"
#include "IcyTestServer.h"
#include "M3UServer.h"
#include "Mp3Fixtures.h"
#include "MyOLVController.h"
#include "MyPresetsDataSource.h"
#include "NodePropertyKeys.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "PresetsController.h"
#include "RelayThread.h"
#include "ScheduleEntry.h"
#include "ScheduleFixtures.h"
#include "ScriptFixtures.h"
#include "ScriptRunner.h"
#include "TempDir.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "EventLoopWait.h"
#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

constexpr int kMetaint = 16000; // one second of audio at 128 kbit/s

void spinFor(std::chrono::milliseconds duration)
{
    spinUntil([] { return false; }, duration);
}

void useTimeZone(const char* zone)
{
    setenv("TZ", zone, 1);
    tzset();
}

Date utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return Date{static_cast<double>(timegm(&fields))};
}

/// Three two-second songs with a second of silence between them, encoded once per run.
const ByteVector& threeSongs()
{
    static const ByteVector audio = [] {
        TempDir scratch;
        return encodeWithLame(pcmSongs({2.0, 2.0, 2.0}, 1.0), scratch);
    }();
    return audio;
}

/// Each title arrives at the end of the silence before its song.
IcyMount titledMount(const std::string& prefix, std::uint64_t bytesPerSecond, bool loop)
{
    IcyMount mount;
    mount.audio = threeSongs();
    mount.metaint = kMetaint;
    mount.titles = {{0, prefix + "A - One"},
                    {3 * kMetaint, prefix + "B - Two"},
                    {6 * kMetaint, prefix + "C - Three"}};
    mount.bytesPerSecond = bytesPerSecond;
    mount.loop = loop;
    return mount;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

class FakeFrontEnd : public FrontEnd
{
public:
    void reloadItem(Node* node) override
    {
        if (std::this_thread::get_id() != mainThread)
            ++offMainThreadCalls;
        reloaded.push_back(node);
    }
    void updateToolbarControls() override
    {
        if (std::this_thread::get_id() != mainThread)
            ++offMainThreadCalls;
        ++toolbarUpdates;
    }
    void setStatusLines(const StatusLines& lines) override { statusLines.push_back(lines); }
    void historyNeedsDisplay() override { ++historyDisplays; }
    void scheduledRecordingFailed(Node* node, const std::string& alert) override
    {
        scheduleFailures.emplace_back(node, alert);
    }
    void updateTimerViewWithNode(Node* node) override { timerViewUpdates.push_back(node); }
    void heardAudioSaved(const std::string& path) override { savedHeard.push_back(path); }
    void showAlert(const Alert& alert) override { alerts.emplace_back(alert.title, alert.message); }
    bool askQuestion(const std::string& title, const std::string& message,
                     const std::string& defaultButton, const std::string& alternateButton) override
    {
        questions.push_back(title + "|" + message + "|" + defaultButton + "|" + alternateButton);
        return answer;
    }

    std::thread::id mainThread = std::this_thread::get_id();
    int offMainThreadCalls = 0;
    std::vector<Node*> reloaded;
    int toolbarUpdates = 0;
    std::vector<StatusLines> statusLines;
    int historyDisplays = 0;
    std::vector<std::pair<std::string, std::string>> alerts;
    std::vector<std::string> questions;
    std::vector<std::pair<Node*, std::string>> scheduleFailures;
    std::vector<Node*> timerViewUpdates;
    std::vector<std::string> savedHeard;
    bool answer = true;
};

std::string makeFolder(const TempDir& dir, const std::string& name)
{
    const std::string path = dir.file(name);
    std::filesystem::create_directories(path);
    return path;
}

class MainControllerTest : public ::testing::Test
{
protected:
    MainControllerTest()
    {
        useTimeZone("UTC");
        prefs.setPrefs(Value(downloads), prefs::kDownloadPath);
        prefs.setPrefs(Value(false), prefs::kAutoReconnect);
        prefs.setPrefs(Value(0), prefs::kAutoReconnectWaitSeconds);
        prefs.setPrefs(Value(false), prefs::kReplaceStreamName);
        prefs.setPrefs(Value(false), prefs::kPlaylistDeleteSource);
        prefs.setPrefs(Value(false), prefs::kDiskSpaceSafety);
        prefs.setPrefs(Value(false), prefs::kUseProxy);
        presets.setDataSource(std::make_shared<MyPresetsDataSource>(support));
        m_observer = center.addObserver(OVRecordingFileCompleted, [this](const Notification& n) {
            std::lock_guard lock(m_reportsMutex);
            ++m_reports[static_cast<std::int32_t>(n.object.toInteger())];
        });
    }

    ~MainControllerTest() override
    {
        if (controller) {
            controller->applicationWillTerminate();
            EXPECT_EQ(controller->runningThreadCount(), 0u) << "recording threads left behind";
            controller.reset();
        }
        center.removeObserver(m_observer);
    }

    MainController& start()
    {
        controller = std::make_unique<MainController>(MainControllerParts{
            center, prefs, olv, presets, scripts, front, [this] { return Date{now.load()}; },
            std::chrono::hours(1), wakeToolIsValid, scheduleWake});
        controller->awakeFromNib();
        return *controller;
    }

    Node* station(const std::string& name, const std::vector<std::string>& urls)
    {
        Node* node = olv.addChild(Node::kStream, name, urls.front());
        Array list;
        for (const auto& url : urls)
            list.append(Value(url));
        node->setProperty(Value(list), np::NP_URLS);
        return node;
    }

    void usePreset(Node* node, const Dictionary& values, const std::string& name)
    {
        node->setProperty(Value(presets.addPreset(values, name)), np::NP_PRESET_ID);
    }

    int reportsFor(std::int32_t tag)
    {
        std::lock_guard lock(m_reportsMutex);
        return m_reports[tag];
    }

    /// Listening goes to a music player that writes each call's arguments as a line of the
    /// log returned.
    std::string useLoggingPlayer()
    {
        prefs.setPrefs(Value(1), prefs::kListenWithApplication);
        const std::string log = dir.file("player.log");
        writeScript(scriptsFolder, "listenToStream",
                    "printf '%s|' \"$@\" >> '" + log + "'; echo >> '" + log + "'");
        return log;
    }

    static Array history(const Node* node)
    {
        const auto value = node->propertyForKey(np::NP_HISTORY);
        return value && value->isArray() ? value->toArray() : Array{};
    }

    static std::string alert(const Node* node)
    {
        return node->valueForKey("alertMessage").value_or("");
    }

    static std::string currentSong(MainController& c, const Node* node)
    {
        const auto server = c.serverForTag(node->tag());
        return server ? server->currentSong() : std::string();
    }

    TempDir dir;
    std::string downloads = makeFolder(dir, "downloads");
    std::string support = makeFolder(dir, "support");
    std::string scriptsFolder = makeFolder(dir, "scripts");
    IcyTestServer server;
    PrefsController prefs{dir.file("prefs.plist")};
    MyOLVController olv{&prefs, support};
    PresetsController presets;
    ScriptRunner scripts{scriptsFolder, std::nullopt};
    FakeFrontEnd front;
    NotificationCenter center;
    std::atomic<double> now{utc(2026, 5, 1, 20, 0).secondsSince1970};
    std::function<bool()> wakeToolIsValid;
    std::function<int(Date)> scheduleWake;
    std::unique_ptr<MainController> controller;

private:
    NotificationCenter::Token m_observer = 0;
    std::mutex m_reportsMutex;
    std::map<std::int32_t, int> m_reports;
};

} // namespace

TEST_F(MainControllerTest, RecordsAStationFromStartToStopWithStatusAndHistory)
{
    server.addMount("/live", titledMount("", 64000, false));
    Node* node = station("Live", {server.url("/live")});
    MainController& c = start();
    c.setVisibleNode(node);

    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    EXPECT_EQ(node->rippingStatus(), RippingStatus::Connecting);
    EXPECT_EQ(node->tag(), 1);
    EXPECT_EQ(c.activeRecordingCount(), 1u);
    EXPECT_EQ(c.nodeForTag(1), node);
    const StatusLines connecting = c.currentStatusLines();
    EXPECT_EQ(connecting.status, "Connecting...");
    EXPECT_TRUE(connecting.spinning);
    EXPECT_FALSE(front.reloaded.empty());
    EXPECT_EQ(front.reloaded.back(), node);

    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    ASSERT_NE(c.serverForTag(1), nullptr);
    EXPECT_EQ(node->valueForKey("connectingURL").value_or(""), server.url("/live"));
    const auto toVisit = node->propertyForKey(np::NP_URLS_TO_VISIT);
    ASSERT_TRUE(toVisit && toVisit->isArray());
    ASSERT_EQ(toVisit->toArray().size(), 1u);
    EXPECT_EQ(toVisit->toArray().at(0).toString(), server.url("/live"));

    ASSERT_TRUE(spinUntil([&] { return currentSong(c, node) == "A - One"; }, 5s));
    // Long enough for the status timer to have fired at least once while recording.
    spinFor(1100ms);
    const StatusLines running = c.currentStatusLines();
    EXPECT_EQ(running.song, currentSong(c, node));
    EXPECT_TRUE(running.spinning);
    const std::regex elapsed(R"(Elapsed Time: \d+:\d\d  \[ *\d+\.\d Kb/s\])");
    EXPECT_TRUE(std::regex_match(running.status, elapsed)) << running.status;
    bool timerShowedIt = false;
    for (const auto& shown : front.statusLines)
        timerShowedIt = timerShowedIt || std::regex_match(shown.status, elapsed);
    EXPECT_TRUE(timerShowedIt) << "the status timer feeds the front end";
    c.setVisibleNode(nullptr);
    EXPECT_EQ(c.currentStatusLines(), (StatusLines{"Recording 1 stream...", "", true}));
    c.setVisibleNode(node);

    ASSERT_TRUE(spinUntil([&] { return currentSong(c, node) == "C - Three"; }, 8s));
    // Show Music opens the folder the recording is writing into.
    const auto writing = c.musicToShow(*node);
    ASSERT_TRUE(writing);
    EXPECT_TRUE(writing->folder);
    EXPECT_TRUE(std::filesystem::is_directory(writing->path)) << writing->path;
    EXPECT_EQ(writing->path.rfind(downloads, 0), 0u) << writing->path;
    c.stopRecordingForTag(1);
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(node->tag(), 0);
    EXPECT_EQ(c.activeRecordingCount(), 1u) << "the pools are cleaned when the client finishes";

    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 5s));
    EXPECT_EQ(c.serverForTag(1), nullptr);
    EXPECT_EQ(c.nodeForTag(1), nullptr);
    EXPECT_EQ(c.currentStatusLines(), StatusLines{});
    EXPECT_EQ(alert(node), "");

    const Array entries = history(node);
    EXPECT_EQ(static_cast<int>(entries.size()), reportsFor(1)) << "one entry per reported file";
    std::vector<std::string> completedTitles;
    for (const Value& item : entries) {
        const Dictionary entry = item.toDictionary();
        if (!entry.contains(fileinfo::kDateCompleted))
            continue;
        completedTitles.push_back(entry.get(fileinfo::kStreamTitle).toString());
        const std::string location = entry.get(fileinfo::kLocation).toString();
        EXPECT_TRUE(fileExists(location)) << location;
        EXPECT_EQ(location.rfind(downloads, 0), 0u) << location;
    }
    EXPECT_NE(std::find(completedTitles.begin(), completedTitles.end(), "A - One"),
              completedTitles.end());
    EXPECT_NE(std::find(completedTitles.begin(), completedTitles.end(), "B - Two"),
              completedTitles.end());
    // Stopped: the station's newest file.
    const auto recorded = c.musicToShow(*node);
    ASSERT_TRUE(recorded);
    EXPECT_FALSE(recorded->folder);
    EXPECT_TRUE(fileExists(recorded->path)) << recorded->path;
    EXPECT_TRUE(c.toolbarState().showMusicEnabled) << "a stopped station's files can be shown";
    EXPECT_GT(front.historyDisplays, 0);
    EXPECT_EQ(front.offMainThreadCalls, 0);
}

TEST_F(MainControllerTest, TagsAreNeverReusedAndAnOldFinishLeavesTheNewRecordingAlone)
{
    server.addMount("/loop", titledMount("", 32000, true));
    Node* first = station("First", {server.url("/loop")});
    Node* second = station("Second", {server.url("/loop")});
    Node* idle = station("Idle", {server.url("/loop")});
    MainController& c = start();

    ASSERT_TRUE(c.startRecordingForNode(first, MainController::kSourceUser));
    EXPECT_FALSE(c.startRecordingForNode(first, MainController::kSourceUser))
        << "a running recording is not started twice";
    ASSERT_TRUE(c.startRecordingForNode(second, MainController::kSourceScheduler));
    EXPECT_EQ(first->tag(), 1);
    EXPECT_EQ(second->tag(), 2);
    EXPECT_EQ(second->timerStatus(), TimerStatus::Scheduled);
    EXPECT_EQ(c.threadTagCounter(), 2);
    ASSERT_TRUE(spinUntil(
        [&] {
            return first->rippingStatus() == RippingStatus::Running &&
                   second->rippingStatus() == RippingStatus::Running;
        },
        5s));
    ASSERT_TRUE(spinUntil([&] { return !currentSong(c, first).empty(); }, 5s));

    // Restart before the old client's finished report has come in.
    c.stopRecordingForTag(1);
    ASSERT_TRUE(c.startRecordingForNode(first, MainController::kSourceUser));
    EXPECT_EQ(first->tag(), 3);
    EXPECT_EQ(c.threadTagCounter(), 3);
    ASSERT_TRUE(spinUntil(
        [&] {
            return c.nodeForTag(1) == nullptr && first->rippingStatus() == RippingStatus::Running;
        },
        5s));
    spinFor(200ms);
    EXPECT_EQ(first->status(), RecordingStatus::Recording);
    EXPECT_EQ(first->tag(), 3);
    EXPECT_NE(c.serverForTag(3), nullptr);
    EXPECT_EQ(c.serverForTag(1), nullptr);
    EXPECT_EQ(c.activeRecordingCount(), 2u);
    EXPECT_EQ(c.currentStatusLines(), (StatusLines{"Recording 2 streams...", "", true}));

    // Skip acts on the shown station's recording only.
    c.setVisibleNode(second);
    ASSERT_TRUE(spinUntil(
        [&] {
            const std::string song = currentSong(c, second);
            return song == "A - One" || song == "B - Two" || song == "C - Three";
        },
        5s));
    c.skipTrack();
    EXPECT_EQ(currentSong(c, second).rfind("(Skipping) ", 0), 0u) << currentSong(c, second);
    EXPECT_EQ(currentSong(c, first).find("(Skipping)"), std::string::npos);

    // The Record/Stop button with a recording station shown stops only recording stations.
    c.setVisibleNode(first);
    c.record({first, second, idle});
    EXPECT_EQ(first->status(), RecordingStatus::Idle);
    EXPECT_EQ(second->status(), RecordingStatus::Idle);
    EXPECT_EQ(second->timerStatus(), TimerStatus::Off);
    EXPECT_EQ(idle->status(), RecordingStatus::Idle);
    EXPECT_EQ(c.threadTagCounter(), 3) << "the idle station was not started";
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 5s));

    // With an idle station shown the same button starts the idle ones.
    c.setVisibleNode(idle);
    c.record({idle});
    EXPECT_EQ(idle->status(), RecordingStatus::Recording);
    EXPECT_EQ(idle->tag(), 4);
}

TEST_F(MainControllerTest, ResolutionFailuresEndIdleWithTheirAlertAndAPlaylistIsFollowed)
{
    server.addMount("/live", titledMount("", 64000, true));
    server.addFile("/empty.pls", "audio/x-scpls", "[playlist]\nnumberofentries=0\nVersion=2\n");
    server.addFile("/invalid.pls", "audio/x-scpls", "[playlist]\nTitle1=Nothing here\n");
    server.addFile("/good.pls", "audio/x-scpls",
                   "[playlist]\nnumberofentries=1\nFile1=" + server.url("/live") +
                       "\nTitle1=Live\nLength1=-1\nVersion=2\n");
    const std::string refused = "http://127.0.0.1:" + std::to_string(unusedLoopbackPort()) + "/";
    Node* dead = station("Dead", {refused});
    Node* empty = station("Empty", {server.url("/empty.pls")});
    Node* invalid = station("Invalid", {server.url("/invalid.pls")});
    Node* deadThenEmpty = station("DeadThenEmpty", {refused, server.url("/empty.pls")});
    Node* emptyThenLive = station("EmptyThenLive", {server.url("/empty.pls"), server.url("/live")});
    Node* viaPlaylist = station("ViaPlaylist", {server.url("/good.pls")});
    MainController& c = start();
    for (Node* node : {dead, empty, invalid, deadThenEmpty, emptyThenLive, viaPlaylist})
        ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));

    const std::vector<Node*> failing = {dead, empty, invalid, deadThenEmpty};
    ASSERT_TRUE(spinUntil(
        [&] {
            for (Node* node : failing) {
                if (node->status() != RecordingStatus::Idle)
                    return false;
            }
            return viaPlaylist->rippingStatus() == RippingStatus::Running &&
                   emptyThenLive->rippingStatus() == RippingStatus::Running;
        },
        10s));
    EXPECT_EQ(alert(dead), "Connection Failure - Busy station or invalid web address");
    EXPECT_EQ(alert(empty), "Connection Failure - Playlist is empty");
    EXPECT_EQ(alert(invalid), "Connection Failure - Playlist is invalid");
    EXPECT_EQ(alert(deadThenEmpty), "Connection Failure - Playlist is empty");
    for (Node* node : failing)
        EXPECT_EQ(node->tag(), 0) << node->name();
    for (std::int32_t tag = 1; tag <= 4; ++tag)
        EXPECT_EQ(c.serverForTag(tag), nullptr) << "tag " << tag;
    EXPECT_EQ(c.activeRecordingCount(), 2u);
    EXPECT_EQ(alert(emptyThenLive), "") << "a later address that works is no failure";

    c.setVisibleNode(empty);
    EXPECT_EQ(c.currentStatusLines(),
              (StatusLines{"", "Connection Failure - Playlist is empty", false}));

    const auto toVisit = viaPlaylist->propertyForKey(np::NP_URLS_TO_VISIT);
    ASSERT_TRUE(toVisit && toVisit->isArray());
    ASSERT_EQ(toVisit->toArray().size(), 1u);
    EXPECT_EQ(toVisit->toArray().at(0).toString(), server.url("/live"));
    EXPECT_EQ(viaPlaylist->valueForKey("connectingURL").value_or(""), server.url("/live"));
    EXPECT_TRUE(spinUntil([&] { return currentSong(c, viaPlaylist) == "A - One"; }, 5s))
        << "the playlist's stream is recorded";
}

TEST_F(MainControllerTest, AutoReconnectRetriesUntilStoppedAndTheStopEndsIdle)
{
    prefs.setPrefs(Value(true), prefs::kAutoReconnect);
    prefs.setPrefs(Value(0), prefs::kAutoReconnectWaitSeconds);
    server.addFile("/empty.pls", "audio/x-scpls", "[playlist]\nnumberofentries=0\n");
    Node* node = station("Retrying", {server.url("/empty.pls")});
    MainController& c = start();
    c.setVisibleNode(node);
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));

    ASSERT_TRUE(spinUntil([&] { return server.connectionCount() >= 4; }, 5s)) << "it retries";
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    EXPECT_EQ(node->rippingStatus(), RippingStatus::Connecting);
    EXPECT_EQ(alert(node), "Connection Failure - Playlist is empty");
    EXPECT_EQ(c.activeRecordingCount(), 1u);
    EXPECT_EQ(c.currentStatusLines().status, "Connecting...");

    c.stopRecordingForTag(node->tag());
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(node->tag(), 0);
    EXPECT_EQ(alert(node), "");
    EXPECT_EQ(c.activeRecordingCount(), 0u);
    const int afterStop = server.connectionCount();
    EXPECT_TRUE(c.waitForRecordingThreads(5s));
    spinFor(300ms);
    EXPECT_LE(server.connectionCount(), afterStop + 1) << "the retries end with the stop";
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(alert(node), "");

    // With a wait between attempts the stop also ends the wait at once.
    prefs.setPrefs(Value(30), prefs::kAutoReconnectWaitSeconds);
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return !alert(node).empty(); }, 5s));
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    c.stopRecordingForTag(node->tag());
    EXPECT_TRUE(c.waitForRecordingThreads(3s)) << "the waiting worker ends with the stop";
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
}

TEST_F(MainControllerTest, AStopDuringResolutionStartsNoClient)
{
    IcyMount slow = titledMount("", 64000, true);
    slow.headerDelayMs = 600;
    server.addMount("/slow", slow);
    Node* node = station("Slow", {server.url("/slow")});
    MainController& c = start();
    c.setVisibleNode(node);

    // Stopped before the worker could even begin.
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    c.stopRecordingForTag(1);
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(alert(node), "");
    EXPECT_EQ(c.activeRecordingCount(), 0u);
    ASSERT_TRUE(c.waitForRecordingThreads(5s));
    spinFor(100ms);
    EXPECT_EQ(c.serverForTag(1), nullptr);
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    const int before = server.connectionCount();

    // Stopped while the server is still answering.
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return server.connectionCount() > before; }, 5s));
    EXPECT_EQ(c.currentStatusLines(), (StatusLines{"Connecting...", server.url("/slow"), true}));
    c.stopRecordingForTag(2);
    ASSERT_TRUE(c.waitForRecordingThreads(5s));
    spinFor(200ms);
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(node->tag(), 0);
    EXPECT_EQ(alert(node), "");
    EXPECT_EQ(c.serverForTag(2), nullptr);
    EXPECT_EQ(c.activeRecordingCount(), 0u);
    EXPECT_EQ(server.connectionCount(), before + 1) << "no client connected";
    EXPECT_TRUE(filesBelow(downloads).empty());

    // Stopped and started again while the first attempt is still resolving: only the new
    // attempt launches a client.
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return server.connectionCount() > before + 1; }, 5s));
    c.stopRecordingForTag(3);
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    EXPECT_EQ(node->tag(), 4);
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    spinFor(800ms); // the old attempt's answer has come in meanwhile
    EXPECT_EQ(c.serverForTag(3), nullptr);
    EXPECT_NE(c.serverForTag(4), nullptr);
    EXPECT_EQ(c.activeRecordingCount(), 1u);
    EXPECT_EQ(node->tag(), 4);
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
}

TEST_F(MainControllerTest, CompletedFilesAreHandedToThePlayerPlaylistNamedByThePreset)
{
    const std::string log = dir.file("playlist.log");
    writeScript(scriptsFolder, "addToUserPlaylist",
                "printf '%s|%s|%s|%s\\n' \"$1\" \"$2\" \"$3\" \"$4\" >> '" + log +
                    "'\n"
                    "if [ \"$3\" = Same ]; then echo \"$2\"; else echo \"/music/$(basename "
                    "\"$2\")\"; fi");
    prefs.setPrefs(Value(true), prefs::kReplaceStreamName);
    std::vector<Node*> nodes;
    for (int i = 1; i <= 4; ++i) {
        const std::string n = std::to_string(i);
        IcyMount mount = titledMount("S" + n + " ", 0, false);
        mount.name = "Icy Name " + n;
        server.addMount("/s" + n, mount);
        nodes.push_back(station("Station " + n, {server.url("/s" + n)}));
    }
    usePreset(nodes[0],
              Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(true)},
                         {presetkeys::NP_PLAYLIST_NAME_TYPE, Value(1)}},
              "By name");
    usePreset(nodes[1],
              Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(true)},
                         {presetkeys::NP_PLAYLIST_NAME_TYPE, Value(2)},
                         {presetkeys::NP_GENRE_TYPE, Value(2)},
                         {presetkeys::NP_GENRE_CUSTOM, Value("Custom Genre")}},
              "By genre");
    usePreset(nodes[2],
              Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(true)},
                         {presetkeys::NP_PLAYLIST_NAME_TYPE, Value(3)},
                         {presetkeys::NP_PLAYLIST_NAME_CUSTOM, Value("Same")}},
              "Custom");
    usePreset(nodes[3], Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(false)}}, "Off");
    MainController& c = start();
    for (Node* node : nodes)
        ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));

    // The finite streams end by themselves.
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 15s));
    auto handedOver = [&] {
        for (int i = 0; i < 3; ++i) {
            for (const Value& item : history(nodes[static_cast<std::size_t>(i)])) {
                const Dictionary entry = item.toDictionary();
                if (entry.contains(fileinfo::kDateCompleted) && !entry.contains("playlist"))
                    return false;
            }
        }
        return true;
    };
    ASSERT_TRUE(spinUntil(handedOver, 10s));
    c.handOver().waitForAll();
    spinFor(100ms);

    const std::vector<std::string> expectedPlaylist = {"Icy Name 1", "Custom Genre", "Same"};
    EXPECT_EQ(nodes[0]->name(), "Icy Name 1") << "the stream name notification renamed it";
    std::size_t handed = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const Array entries = history(nodes[i]);
        EXPECT_EQ(static_cast<int>(entries.size()), reportsFor(static_cast<std::int32_t>(i + 1)));
        int completed = 0;
        for (const Value& item : entries) {
            const Dictionary entry = item.toDictionary();
            const std::string location = entry.get(fileinfo::kLocation).toString();
            if (!entry.contains(fileinfo::kDateCompleted) || i == 3) {
                EXPECT_FALSE(entry.contains("playlist")) << location;
                EXPECT_FALSE(entry.contains("itunesCopy")) << location;
                completed += entry.contains(fileinfo::kDateCompleted) ? 1 : 0;
                continue;
            }
            ++completed;
            ++handed;
            EXPECT_EQ(entry.get("playlist").toString(), expectedPlaylist[i]) << location;
            if (i == 2) {
                EXPECT_FALSE(entry.get("itunesCopy").toBool()) << location;
                EXPECT_TRUE(fileExists(location)) << location;
            } else {
                EXPECT_TRUE(entry.get("itunesCopy").toBool()) << location;
                EXPECT_EQ(location.rfind("/music/", 0), 0u) << location;
            }
        }
        EXPECT_GE(completed, 2) << "station " << i + 1;
    }
    const auto calls = fileExists(log) ? lines(readFile(log)) : std::vector<std::string>{};
    EXPECT_EQ(calls.size(), handed) << "one script run per completed file of stations 1-3";
    for (const auto& call : calls) {
        EXPECT_EQ(call.rfind("addtouserplaylist|" + downloads, 0), 0u) << call;
        EXPECT_EQ(call.substr(call.size() - 2), "|0") << call;
        EXPECT_EQ(call.find("Station 4"), std::string::npos) << call;
        EXPECT_EQ(call.find("S4 "), std::string::npos) << call;
    }
}

TEST_F(MainControllerTest, PlaylistNamingFallsBackAndOnlyCompletedFilesAreHandedOver)
{
    const std::string log = dir.file("playlist.log");
    writeScript(scriptsFolder, "addToUserPlaylist",
                "printf '%s|%s\\n' \"$2\" \"$3\" >> '" + log + "'\necho \"$2\"");
    IcyMount slow = titledMount("", 64000, true);
    slow.headerDelayMs = 1500;
    server.addMount("/slow", slow);
    Node* node = station("Held", {server.url("/slow")});
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    const std::int32_t tag = node->tag();
    node->setProperty(Value(true), presetkeys::NP_ADD_TO_PLAYLIST);
    node->setProperty(Value(2), presetkeys::NP_PLAYLIST_NAME_TYPE);
    const std::string file = dir.file("song.mp3");
    writeFile(file, "not really audio");

    auto post = [&](Dictionary entry) {
        std::thread([&center = center, tag, entry] {
            center.post(OVRecordingFileCompleted, Value(tag), Value(entry));
        }).join();
    };
    // A completed file without a genre tag, then one that never completed.
    post(Dictionary{{fileinfo::kLocation, Value(file)},
                    {fileinfo::kDateCompleted, Value(Date{now.load()})},
                    {fileinfo::kID3Tags, Value(Dictionary{{"TIT2", Value("Song")}})}});
    post(Dictionary{{fileinfo::kLocation, Value(file + ".part")}, {"incomplete", Value(true)}});
    ASSERT_TRUE(spinUntil([&] { return history(node).size() == 2; }, 3s));
    ASSERT_TRUE(
        spinUntil([&] { return history(node).at(0).toDictionary().contains("playlist"); }, 5s));
    EXPECT_EQ(history(node).at(0).toDictionary().get("playlist").toString(), "Orvanta");

    // The schedule's name replaces the playlist name when asked for.
    node->setProperty(Value(true), presetkeys::NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS);
    node->setProperty(Value(Array{Value("Morning Show"), Value("Weekdays")}),
                      np::NP_SCHEDULED_RECORDING_PATH);
    post(Dictionary{{fileinfo::kLocation, Value(file)},
                    {fileinfo::kDateCompleted, Value(Date{now.load()})}});
    ASSERT_TRUE(spinUntil(
        [&] {
            return history(node).size() == 3 &&
                   history(node).at(2).toDictionary().contains("playlist");
        },
        5s));
    EXPECT_EQ(history(node).at(2).toDictionary().get("playlist").toString(), "Morning Show");
    c.handOver().waitForAll();
    EXPECT_FALSE(history(node).at(1).toDictionary().contains("playlist"));
    EXPECT_EQ(lines(readFile(log)),
              (std::vector<std::string>{file + "|Orvanta", file + "|Morning Show"}));
    c.stopRecordingForTag(tag);
}

TEST_F(MainControllerTest, CompilationScriptRunsOnceWithTheStartTimeLabel)
{
    const std::string log = dir.file("compilation.log");
    writeScript(scriptsFolder, "setAlbumAsCompilation",
                "printf '%s|%s\\n' \"$1\" \"$2\" >> '" + log + "'");
    server.addMount("/loop", titledMount("", 64000, true));
    Node* node = station("Compiled", {server.url("/loop")});
    usePreset(node, Dictionary{{presetkeys::NP_COMPILATION_FLAG, Value(true)}}, "Compilation");
    now = utc(2007, 5, 1, 20, 0).secondsSince1970;
    const std::string label = "Compilation (2007-05-01 20:00:00)";
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    now = now + 3600; // the label keeps the start time
    EXPECT_EQ(node->propertyForKey(np::NP_COMPILATION_ALBUM_LABEL).value_or(Value()).toString(),
              label);
    ASSERT_TRUE(spinUntil([&] { return currentSong(c, node) == "B - Two"; }, 5s));

    const std::int32_t tag = node->tag();
    c.stopRecordingForTag(tag);
    c.stopRecordingForTag(tag);
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 5s));
    c.handOver().waitForAll();
    spinFor(100ms);
    ASSERT_TRUE(fileExists(log));
    EXPECT_EQ(lines(readFile(log)), std::vector<std::string>{"setalbumascompilation|" + label});
    EXPECT_FALSE(node->propertyForKey(np::NP_COMPILATION_ALBUM_LABEL).has_value());

    int completed = 0;
    for (const Value& item : history(node)) {
        const Dictionary entry = item.toDictionary();
        if (!entry.contains(fileinfo::kDateCompleted))
            continue;
        ++completed;
        EXPECT_EQ(entry.get(fileinfo::kID3Tags).toDictionary().get("TALB").toString(), label);
    }
    EXPECT_GE(completed, 1);
}

TEST_F(MainControllerTest, ShutDownStopsRecordingsAndSavesTheirHistory)
{
    server.addMount("/loop", titledMount("", 64000, true));
    Node* node = station("Saved", {server.url("/loop")});
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return currentSong(c, node) == "B - Two"; }, 5s));

    c.applicationWillTerminate();
    EXPECT_EQ(controller->runningThreadCount(), 0u);
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(c.activeRecordingCount(), 0u);
    ASSERT_FALSE(front.statusLines.empty());
    EXPECT_EQ(front.statusLines.back(), StatusLines{}) << "the status display is cleared";
    const Array entries = history(node);
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(static_cast<int>(entries.size()), reportsFor(1))
        << "the last file's report is in before the library is written";

    MyOLVController reloaded(nullptr, support);
    ASSERT_EQ(reloaded.loadOLVData(), MyOLVController::LoadResult::Loaded);
    Node* saved = nullptr;
    for (Node* stream : reloaded.getAllStreams()) {
        if (stream->name() == "Saved")
            saved = stream;
    }
    ASSERT_NE(saved, nullptr);
    const Array savedEntries = history(saved);
    ASSERT_EQ(savedEntries.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(savedEntries.at(i).toDictionary().get(fileinfo::kLocation).toString(),
                  entries.at(i).toDictionary().get(fileinfo::kLocation).toString());
    }
}

TEST_F(MainControllerTest, ShutDownSavesWhereThePlayerKeepsTheLastFiles)
{
    // A slow player: the hand-over of a file completed just before the quit is still
    // running when the shut-down begins.
    writeScript(scriptsFolder, "addToUserPlaylist",
                "sleep 0.4\necho \"/music/$(basename \"$2\")\"");
    server.addMount("/loop", titledMount("", 64000, true));
    Node* node = station("Handed", {server.url("/loop")});
    usePreset(node,
              Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(true)},
                         {presetkeys::NP_PLAYLIST_NAME_TYPE, Value(3)},
                         {presetkeys::NP_PLAYLIST_NAME_CUSTOM, Value("Quit List")}},
              "Quit");
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil(
        [&] { return currentSong(c, node) == "B - Two" && c.handOver().runningCount() > 0; }, 5s));
    c.applicationWillTerminate();

    MyOLVController reloaded(nullptr, support);
    ASSERT_EQ(reloaded.loadOLVData(), MyOLVController::LoadResult::Loaded);
    ASSERT_EQ(reloaded.getAllStreams().size(), 1u);
    int completed = 0;
    for (const Value& item : history(reloaded.getAllStreams().front())) {
        const Dictionary entry = item.toDictionary();
        if (!entry.contains(fileinfo::kDateCompleted))
            continue;
        ++completed;
        EXPECT_EQ(entry.get("playlist").toString(), "Quit List");
        EXPECT_EQ(entry.get(fileinfo::kLocation).toString().rfind("/music/", 0), 0u)
            << entry.get(fileinfo::kLocation).toString();
    }
    EXPECT_GE(completed, 1);
}

TEST_F(MainControllerTest, QuitIsQuestionedOnlyWithAScheduledRecordingWithinADay)
{
    prefs.setPrefs(Value(true), prefs::kWakeFromSleep);
    prefs.setPrefs(Value(true), prefs::kWakeFromSleepWarnIfQuitting);
    Node* scheduled = station("Scheduled", {"http://127.0.0.1:1/"});
    auto scheduleAt = [&](double secondsFromNow) {
        const Date startAt{now.load() + secondsFromNow};
        scheduled->setProperty(
            Value(Array{Value(onceEntry(startAt, Date{startAt.secondsSince1970 + 3600}))}),
            np::NP_RECORDING_SCHEDULE);
    };
    MainController& c = start();

    EXPECT_TRUE(c.applicationShouldTerminate()) << "nothing scheduled";
    EXPECT_TRUE(front.questions.empty());

    scheduleAt(2 * 3600);
    front.answer = false;
    EXPECT_FALSE(c.applicationShouldTerminate());
    ASSERT_EQ(front.questions.size(), 1u);
    EXPECT_EQ(front.questions[0].substr(0, front.questions[0].find('|')), "Quit Orvanta");
    EXPECT_NE(front.questions[0].find("within the next 24 hours"), std::string::npos);
    EXPECT_NE(front.questions[0].find("|Cancel"), std::string::npos);
    front.answer = true;
    EXPECT_TRUE(c.applicationShouldTerminate());
    EXPECT_EQ(front.questions.size(), 2u);

    scheduleAt(24 * 3600);
    front.answer = false;
    EXPECT_FALSE(c.applicationShouldTerminate()) << "exactly a day away still asks";
    scheduleAt(24 * 3600 + 1);
    EXPECT_TRUE(c.applicationShouldTerminate()) << "more than a day away does not ask";
    EXPECT_EQ(front.questions.size(), 3u);

    scheduleAt(3600);
    prefs.setPrefs(Value(false), prefs::kWakeFromSleepWarnIfQuitting);
    EXPECT_TRUE(c.applicationShouldTerminate());
    prefs.setPrefs(Value(true), prefs::kWakeFromSleepWarnIfQuitting);
    prefs.setPrefs(Value(false), prefs::kWakeFromSleep);
    EXPECT_TRUE(c.applicationShouldTerminate());
    EXPECT_EQ(front.questions.size(), 3u) << "never asked without both preferences";
}

TEST_F(MainControllerTest, TheQuitQuestionCountsACalendarDayAcrossTheClockChange)
{
    useTimeZone("Europe/Berlin");
    prefs.setPrefs(Value(true), prefs::kWakeFromSleep);
    prefs.setPrefs(Value(true), prefs::kWakeFromSleepWarnIfQuitting);
    // Saturday 24 October 2026, noon; the clocks go back in the night to Sunday, so Sunday
    // noon is 25 hours later but one calendar day.
    now = localInstant(LocalDay{2026, 10, 24}, 0, 12, 0).secondsSince1970;
    const Date sundayNoon = localInstant(LocalDay{2026, 10, 24}, 1, 12, 0);
    ASSERT_EQ(sundayNoon.secondsSince1970 - now.load(), 25 * 3600.0);
    Node* scheduled = station("Scheduled", {"http://127.0.0.1:1/"});
    scheduled->setProperty(
        Value(Array{Value(onceEntry(sundayNoon, Date{sundayNoon.secondsSince1970 + 3600}))}),
        np::NP_RECORDING_SCHEDULE);
    MainController& c = start();
    front.answer = false;
    EXPECT_FALSE(c.applicationShouldTerminate());
    EXPECT_EQ(front.questions.size(), 1u);
    useTimeZone("UTC");
}

TEST_F(MainControllerTest, AScheduledStartRetriesUntilTheFolderComesAndSaysOnceThatItFailed)
{
    // The recordings disc is not mounted yet: where its folder goes is a plain file.
    const std::string disc = dir.file("disc");
    std::FILE* placeholder = std::fopen(disc.c_str(), "w");
    ASSERT_NE(placeholder, nullptr);
    std::fclose(placeholder);
    prefs.setPrefs(Value(disc), prefs::kDownloadPath);
    server.addMount("/loop", titledMount("", 64000, true));
    Node* node = station("Scheduled", {server.url("/loop")});
    const Date opens{now.load() - 60};
    Dictionary entry = onceEntry(opens, Date{opens.secondsSince1970 + 3600});
    node->setProperty(Value(Array{Value(entry)}), np::NP_RECORDING_SCHEDULE);
    MainController& c = start();
    auto tick = [&] {
        const std::size_t before = front.timerViewUpdates.size();
        c.scheduler().runScheduler();
        return spinUntil([&] { return front.timerViewUpdates.size() > before; }, 5s);
    };

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(tick());
        now = now.load() + 5;
    }
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(node->timerStatus(), TimerStatus::Off) << "no scheduled mark while nothing records";
    EXPECT_NE(alert(node).find("is not a folder"), std::string::npos) << alert(node);
    ASSERT_EQ(front.scheduleFailures.size(), 1u) << "one notification for the window";
    EXPECT_EQ(front.scheduleFailures[0].first, node);
    EXPECT_EQ(front.scheduleFailures[0].second, alert(node));

    // The disc comes: the next tick records the rest of the window.
    std::filesystem::remove(disc);
    std::filesystem::create_directories(disc);
    ASSERT_TRUE(tick());
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    EXPECT_EQ(node->timerStatus(), TimerStatus::Scheduled);
    EXPECT_EQ(alert(node), "");
    EXPECT_EQ(front.scheduleFailures.size(), 1u);

    // The window closes: the once entry is spent and the open editor is told.
    now = opens.secondsSince1970 + 3601;
    ASSERT_TRUE(tick());
    EXPECT_EQ(node->timerStatus(), TimerStatus::Off);
    EXPECT_FALSE(entry.get(schedkey::ACTIVE).toBool());
    EXPECT_EQ(front.timerViewUpdates.back(), node);
}

TEST_F(MainControllerTest, SleepStopsRecordingsAndAsksToWakeBeforeTheNextSchedule)
{
    prefs.setPrefs(Value(true), prefs::kWakeFromSleep);
    std::vector<Date> wakeRequests;
    bool toolValid = true;
    wakeToolIsValid = [&] { return toolValid; };
    scheduleWake = [&](Date when) {
        wakeRequests.push_back(when);
        return 0;
    };
    server.addMount("/loop", titledMount("", 64000, true));
    Node* recording = station("Recording", {server.url("/loop")});
    Node* scheduled = station("Scheduled", {"http://127.0.0.1:1/"});
    auto scheduleAt = [&](double secondsFromNow) {
        const Date startAt{now.load() + secondsFromNow};
        scheduled->setProperty(
            Value(Array{Value(onceEntry(startAt, Date{startAt.secondsSince1970 + 3600}))}),
            np::NP_RECORDING_SCHEDULE);
    };
    scheduleAt(60);
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(recording, MainController::kSourceUser));
    ASSERT_TRUE(
        spinUntil([&] { return recording->rippingStatus() == RippingStatus::Running; }, 5s));

    const auto wake = c.systemWillSleep();
    ASSERT_TRUE(wake.has_value());
    EXPECT_EQ(wake->secondsSince1970, now.load() + 32) << "never sooner than 32 s from now";
    ASSERT_EQ(wakeRequests.size(), 1u);
    EXPECT_EQ(wakeRequests[0], *wake);
    EXPECT_EQ(recording->status(), RecordingStatus::Idle);
    EXPECT_EQ(alert(recording), "Computer went to sleep");
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 5s));
    EXPECT_EQ(alert(recording), "Computer went to sleep") << "the finish keeps the alert";

    scheduleAt(600);
    const auto later = c.systemWillSleep();
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->secondsSince1970, now.load() + 600 - 45);

    toolValid = false;
    EXPECT_FALSE(c.systemWillSleep().has_value());
    toolValid = true;
    prefs.setPrefs(Value(false), prefs::kWakeFromSleep);
    EXPECT_FALSE(c.systemWillSleep().has_value());
    EXPECT_EQ(wakeRequests.size(), 2u);
}

TEST_F(MainControllerTest, NotificationsFromOtherThreadsAreActedOnInTheMainThread)
{
    IcyMount slow = titledMount("", 64000, true);
    slow.headerDelayMs = 1500;
    server.addMount("/slow", slow);
    Node* node = station("Target", {server.url("/slow")});
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    const std::int32_t tag = node->tag();
    const std::size_t reloadsBefore = front.reloaded.size();

    std::thread([&center = center, tag] {
        center.post(OVStreamNameNotification, Value(tag), Value("N1"));
        center.post(OVStreamBitrateNotification, Value(tag), Value(192));
        center.post(OVStreamGenreNotification, Value(tag), Value("Jazz"));
        center.post(OVStreamStereoNotification, Value(tag), Value(true));
        center.post(OVErrorAlertNotification, Value(tag),
                    Value(Dictionary{{OVErrorAlertNotificationMessage, Value("Oops")}}));
        center.post(OVStreamNameNotification, Value(tag), Value("N2"));
        center.post(OVStreamNameNotification, Value(tag), Value("N3"));
        // Another recording's tag, and one that never existed, touch nothing.
        center.post(OVStreamNameNotification, Value(tag + 100), Value("Stranger"));
        center.post(OVFinishedNotification, Value(tag + 100));
        center.post(OVRelayConnectionErrorNotification, Value("Relay failed"));
    }).join();
    EXPECT_EQ(node->name(), "Target") << "nothing happens off the main thread";
    ASSERT_TRUE(spinUntil([&] { return !front.alerts.empty(); }, 3s));
    EXPECT_EQ(node->name(), "N3") << "handled in posting order";
    EXPECT_EQ(node->propertyForKey(np::NP_BITRATE).value_or(Value()).toInteger(), 192);
    EXPECT_EQ(node->propertyForKey(np::NP_GENRE).value_or(Value()).toString(), "Jazz");
    EXPECT_TRUE(node->propertyForKey(np::NP_STEREO).value_or(Value()).toBool());
    EXPECT_EQ(alert(node), "Oops");
    EXPECT_EQ(front.alerts[0],
              (std::pair<std::string, std::string>{"Listen Error", "Relay failed"}));
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    EXPECT_EQ(c.activeRecordingCount(), 1u);
    EXPECT_GT(front.reloaded.size(), reloadsBefore);
    EXPECT_EQ(front.offMainThreadCalls, 0);

    std::thread([&center = center, tag] {
        center.post(OVErrorAlertNotification, Value(tag),
                    Value(Dictionary{{OVErrorAlertNotificationMessage, Value("")}}));
        center.post(OVRelayConnectionErrorNotification, Value("Second"));
    }).join();
    ASSERT_TRUE(spinUntil([&] { return front.alerts.size() == 2; }, 3s));
    EXPECT_EQ(alert(node), "") << "an empty alert clears it";

    // A fatal error of the running client stops the recording; its alert stays.
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    std::thread([&center = center, tag] {
        center.post(OVFatalErrorAlertNotification, Value(tag),
                    Value(Dictionary{{OVErrorAlertNotificationMessage, Value("Disk full")}}));
    }).join();
    ASSERT_TRUE(spinUntil([&] { return node->status() == RecordingStatus::Idle; }, 3s));
    EXPECT_EQ(alert(node), "Disk full");
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 5s));
    EXPECT_EQ(alert(node), "Disk full") << "the finish keeps the alert";
    EXPECT_EQ(c.serverForTag(tag), nullptr);
}

namespace {

/// A player on the relay: connects, asks for in-band titles and reads what comes.
class RelayListener
{
public:
    RelayListener(std::uint16_t port, const std::string& path)
    {
        m_fd = connectToLoopback(port);
        connected = m_fd >= 0;
        const std::string request = "GET " + path + " HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n";
        if (connected)
            ::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL);
        timeval timeout{0, 200 * 1000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~RelayListener() { close(); }

    /// Reads what has arrived (waits at most 200 ms).
    void readSome()
    {
        char buffer[16384];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n > 0)
            received.append(buffer, static_cast<std::size_t>(n));
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool connected = false;
    std::string received;

private:
    int m_fd = -1;
};

} // namespace

TEST_F(MainControllerTest, ARecordingIsHeardThroughTheRelayAndTheButtonTogglesIt)
{
    const std::uint16_t relayPort = unusedLoopbackPort();
    prefs.setPrefs(Value(static_cast<std::int64_t>(relayPort)), prefs::kRelayPort);
    const std::string log = useLoggingPlayer();
    server.addMount("/live", titledMount("", 32000, true));
    Node* idle = station("Idle", {"http://idle.example/stream"});
    Node* node = station("Live", {server.url("/live")});
    MainController& c = start();
    ASSERT_NE(c.relay(), nullptr);

    // A station that is not recording goes to the player as it is when nothing heard is kept.
    prefs.setPrefs(Value(0), prefs::kListenBufferMinutes);
    c.setVisibleNode(idle);
    c.listen();
    ASSERT_TRUE(spinUntil([&] { return lines(readFile(log)).size() == 1; }, 5s));
    EXPECT_EQ(lines(readFile(log))[0], "listenwithitunes|http://idle.example/stream|0|");
    EXPECT_EQ(c.listeningNode(), nullptr);

    c.setVisibleNode(node);
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    c.listen();
    EXPECT_EQ(c.listeningNode(), node);
    const auto folder = c.applicationSupportFolder();
    ASSERT_TRUE(folder);
    const std::string playlist = readFile(*folder + "/relay.pls");
    const std::string path = c.relay()->servedPath();
    EXPECT_EQ(path.size(), 33u) << "a token of 128 bits: " << path;
    EXPECT_EQ(playlist,
              "[playlist]\nnumberofentries=1\nFile1=http://localhost:" + std::to_string(relayPort) +
                  path + "\nTitle1=[ORVANTA RELAY RADIO]\nLength1=-1\n");
    ASSERT_TRUE(spinUntil([&] { return lines(readFile(log)).size() == 2; }, 5s));
    EXPECT_EQ(lines(readFile(log))[1], "listenwithitunes|" + *folder + "/relay.pls|1|");

    // The player connects: the recording feeds it audio with the titles in between.
    RelayListener player(relayPort, path);
    ASSERT_TRUE(player.connected);
    ASSERT_TRUE(spinUntil([&] { return node->listenStatus(); }, 5s));
    ASSERT_TRUE(spinUntil(
        [&] {
            player.readSome();
            return player.received.find("StreamTitle='") != std::string::npos;
        },
        10s));
    EXPECT_EQ(player.received.rfind("ICY 200 OK\r\n", 0), 0u);
    EXPECT_NE(player.received.find("icy-metaint:8192\r\n"), std::string::npos);

    // The player leaves: the recording stops feeding the relay and goes on.
    player.close();
    ASSERT_TRUE(spinUntil([&] { return !node->listenStatus(); }, 10s));
    EXPECT_EQ(node->status(), RecordingStatus::Recording);

    // A real player decodes what the relay serves while the recording runs.
    const std::string wav = dir.file("heard.wav");
    std::atomic<bool> playerDone{false};
    int playerStatus = -1;
    std::thread mpg123([&] {
        playerStatus = runCommand("mpg123 -q -n 60 -w '" + wav +
                                  "' http://127.0.0.1:" + std::to_string(relayPort) + path);
        playerDone = true;
    });
    const bool finished = spinUntil([&] { return playerDone.load(); }, 20s);
    mpg123.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(playerStatus, 0);
    // 60 frames of 1152 samples, 16-bit, after the 44-byte header.
    EXPECT_GE(readFile(wav).size(), 44u + 50u * 1152u * 2u);
    EXPECT_EQ(node->status(), RecordingStatus::Recording);

    // Pressed again on the station being heard, listening ends.
    c.listen();
    EXPECT_EQ(c.listeningNode(), nullptr);
}

TEST_F(MainControllerTest, AStationHeardThroughOrvantaIsSavedAndRecordedOnTheSameConnection)
{
    const std::uint16_t relayPort = unusedLoopbackPort();
    prefs.setPrefs(Value(static_cast<std::int64_t>(relayPort)), prefs::kRelayPort);
    const std::string log = useLoggingPlayer();
    server.addMount("/live", titledMount("", 32000, true));
    Node* node = station("Live", {server.url("/live")});
    MainController& c = start();
    c.setVisibleNode(node);

    // Not recording, the station is heard through the relay from a client of Orvanta's.
    c.listen();
    ASSERT_TRUE(spinUntil([&] { return c.heardMinutes(node) == 10; }, 5s));
    const auto folder = c.applicationSupportFolder();
    ASSERT_TRUE(spinUntil([&] { return lines(readFile(log)).size() == 1; }, 5s));
    EXPECT_EQ(lines(readFile(log))[0], "listenwithitunes|" + *folder + "/relay.pls|1|");
    RelayListener player(relayPort, c.relay()->servedPath());
    ASSERT_TRUE(player.connected);
    ASSERT_TRUE(spinUntil(
        [&] {
            player.readSome();
            return player.received.find("StreamTitle='B - Two") != std::string::npos;
        },
        10s));
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_TRUE(c.toolbarState().listening);
    EXPECT_TRUE(std::filesystem::is_empty(downloads)) << "listening records nothing";

    // What was heard is saved as one file.
    ASSERT_TRUE(c.saveHeardAudio(node));
    ASSERT_TRUE(spinUntil([&] { return !front.savedHeard.empty(); }, 5s));
    const std::string saved = downloads + "/Live - last 10 minutes 2026-05-01 20.00.00.mp3";
    EXPECT_EQ(front.savedHeard, std::vector<std::string>{saved});
    EXPECT_EQ(filesBelow(downloads), std::vector<std::string>{saved});
    const std::string savedBytes = readFile(saved);
    EXPECT_EQ(savedBytes.rfind("ID3", 0), 0u);
    EXPECT_GT(savedBytes.size(), 3u * kMetaint);

    // Record takes the connection over: no second one, the player keeps hearing it.
    const int connections = server.connectionCount();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    EXPECT_EQ(node->status(), RecordingStatus::Recording);
    EXPECT_EQ(node->rippingStatus(), RippingStatus::Running);
    EXPECT_EQ(c.listeningNode(), node);
    EXPECT_EQ(c.heardMinutes(node), 0);
    const std::size_t heardSoFar = player.received.size();
    ASSERT_TRUE(spinUntil(
        [&] {
            player.readSome();
            return player.received.size() > heardSoFar + 2 * kMetaint;
        },
        10s));
    ASSERT_TRUE(spinUntil([&] { return history(node).size() >= 1; }, 15s));
    c.stopRecordingForTag(node->tag());
    ASSERT_TRUE(spinUntil([&] { return c.runningThreadCount() == 0; }, 10s));
    EXPECT_EQ(server.connectionCount(), connections);
    EXPECT_TRUE(front.alerts.empty());
}

TEST_F(MainControllerTest, AStationIsHeardDirectlyWhenTheRelayCannotTakeAPlayer)
{
    // Another program holds the relay's port, and the relay may not look for another.
    const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    prefs.setPrefs(Value(static_cast<std::int64_t>(ntohs(address.sin_port))), prefs::kRelayPort);
    prefs.setPrefs(Value(false), prefs::kSearchPorts);
    const std::string log = useLoggingPlayer();
    server.addMount("/live", titledMount("", 32000, true));
    Node* node = station("Live", {server.url("/live")});
    MainController& c = start();
    c.setVisibleNode(node);
    c.listen();
    ASSERT_TRUE(spinUntil([&] { return lines(readFile(log)).size() == 1; }, 10s));
    EXPECT_EQ(lines(readFile(log))[0], "listenwithitunes|" + server.url("/live") + "|0|");
    EXPECT_EQ(c.heardMinutes(node), 0);
    ::close(holder);
}

TEST_F(MainControllerTest, APlaylistOfFilesIsRecordedEntryByEntryThroughTheCore)
{
    const ByteVector& audio = threeSongs();
    const std::string body(audio.begin(), audio.end());
    server.addFile("/one.mp3", "audio/mpeg", body);
    server.addFile("/two.MP3", "audio/mpeg", body);
    server.addFile("/list.m3u", "audio/x-mpegurl",
                   "#EXTM3U\n#EXTINF:6,First Entry\n" + server.url("/one.mp3") +
                       "\n#EXTINF:6,Second Entry\n" + server.url("/two.MP3") + "\n");
    Node* node = station("Files", {server.url("/list.m3u")});
    MainController& c = start();

    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return node->rippingStatus() == RippingStatus::Running; }, 5s));
    EXPECT_NE(std::dynamic_pointer_cast<M3UServer>(c.serverForTag(node->tag())), nullptr)
        << "a playlist that names no stream is recorded as a playlist source";
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 15s));
    EXPECT_EQ(node->status(), RecordingStatus::Idle);
    EXPECT_EQ(alert(node), "");
    const Array entries = history(node);
    ASSERT_EQ(entries.size(), 2u);
    for (const Value& entry : entries) {
        const std::string location = entry.toDictionary().get(fileinfo::kLocation).toString();
        EXPECT_TRUE(entry.toDictionary().contains(fileinfo::kDateCompleted)) << location;
        EXPECT_EQ(readFile(location).size(), body.size()) << location;
    }
}

TEST_F(MainControllerTest, ATitleCompletedEarlierInTheSameRecordingIsADuplicate)
{
    IcyMount mount = titledMount("", 64000, false);
    mount.titles = {{0, "A - One"}, {3 * kMetaint, "B - Two"}, {6 * kMetaint, "A - One"}};
    server.addMount("/again", mount);
    prefs.setPrefs(Value(true), prefs::kIgnoreDuplicateRecordings);
    Node* node = station("Again", {server.url("/again")});
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 15s));

    std::vector<std::string> kept;
    int duplicates = 0;
    for (const Value& item : history(node)) {
        const Dictionary entry = item.toDictionary();
        if (entry.get(fileinfo::kDuplicate).toBool()) {
            ++duplicates;
            EXPECT_EQ(entry.get(fileinfo::kStreamTitle).toString(), "A - One");
            EXPECT_FALSE(entry.contains(fileinfo::kLocation)) << "an ignored duplicate is gone";
        } else if (entry.contains(fileinfo::kDateCompleted)) {
            kept.push_back(entry.get(fileinfo::kStreamTitle).toString());
        }
    }
    EXPECT_EQ(duplicates, 1) << "the second A - One was heard in this very recording";
    EXPECT_EQ(kept, (std::vector<std::string>{"A - One", "B - Two"}));
}

TEST_F(MainControllerTest, FiftyStartsAndStopsWhileHistoriesAndSchedulesChange)
{
    server.addMount("/loop", titledMount("", 64000, true));
    std::vector<Node*> nodes;
    for (int i = 0; i < 5; ++i)
        nodes.push_back(station("Busy " + std::to_string(i), {server.url("/loop")}));
    MainController& c = start();
    int started = 0;
    for (int round = 0; round < 10; ++round) {
        for (Node* node : nodes) {
            ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
            ++started;
        }
        // Half the rounds stop while the addresses are resolved, half once the clients run.
        if (round % 2 == 1) {
            ASSERT_TRUE(spinUntil(
                [&] {
                    return std::all_of(nodes.begin(), nodes.end(), [](const Node* n) {
                        return n->rippingStatus() == RippingStatus::Running;
                    });
                },
                10s));
        }
        // What the main thread does meanwhile: history entries come in, schedules are edited
        // in place (as the schedule editor does), while the clients read their copies.
        for (Node* node : nodes) {
            if (!node->propertyForKey(np::NP_HISTORY))
                node->setProperty(Value(Array{}), np::NP_HISTORY);
            {
                std::lock_guard lock(historyListLock());
                node->propertyForKey(np::NP_HISTORY)
                    ->toArray()
                    .append(
                        Dictionary{{fileinfo::kStreamTitle, Value("X - " + std::to_string(round))},
                                   {fileinfo::kDateCompleted, Value(Date::now())}});
            }
            auto schedules = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
            if (!schedules || !schedules->isArray()) {
                node->setProperty(Value(Array{}), np::NP_RECORDING_SCHEDULE);
                schedules = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
            }
            Array list = schedules->toArray();
            list.append(onceEntry(utc(2030, 1, 1, 10, 0), utc(2030, 1, 1, 11, 0)));
            if (list.size() > 3)
                list.removeAt(0);
        }
        spinFor(50ms);
        for (Node* node : nodes)
            c.stopRecordingForTag(node->tag());
    }
    EXPECT_EQ(started, 50);
    ASSERT_TRUE(spinUntil([&] { return c.activeRecordingCount() == 0; }, 20s));
    EXPECT_TRUE(c.waitForRecordingThreads(10s));
    EXPECT_EQ(c.threadTagCounter(), 50);
    for (Node* node : nodes)
        EXPECT_EQ(node->status(), RecordingStatus::Idle);
}

TEST_F(MainControllerTest, QuittingWithAStalledServerAndAHungScriptEndsWithinSeconds)
{
    // The first song completes (and goes to the hung playlist script), then the server
    // stops sending but keeps the connection open.
    IcyMount mount = titledMount("", 64000, false);
    mount.stallAfterBodyBytes = 5 * kMetaint + 500;
    server.addMount("/stall", mount);
    prefs.setPrefs(Value(true), prefs::kLowSpeedDisconnect);
    prefs.setPrefs(Value(600), prefs::kLowSpeedLimitSeconds);
    const std::string started = dir.file("script-started");
    writeScript(scriptsFolder, std::string(handover::kPlaylistScript),
                "touch '" + started + "'; exec sleep 600");
    Node* node = station("Stalled", {server.url("/stall")});
    // Cut at the title change: a wider search would wait for audio the stall never sends.
    usePreset(node,
              Dictionary{{presetkeys::NP_ADD_TO_PLAYLIST, Value(true)},
                         {presetkeys::NP_SPLIT_SEARCH_SECONDS, Value(0.0)}},
              "To the player");
    MainController& c = start();
    ASSERT_TRUE(c.startRecordingForNode(node, MainController::kSourceUser));
    ASSERT_TRUE(spinUntil([&] { return fileExists(started); }, 10s)) << "the script hangs";
    ASSERT_TRUE(spinUntil([&] { return currentSong(c, node) == "B - Two"; }, 10s));

    const auto quitting = std::chrono::steady_clock::now();
    c.applicationWillTerminate();
    controller.reset(); // joins every thread of the controller
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - quitting);
    std::printf("shut-down with a stalled server and a hung script: %lld ms\n",
                static_cast<long long>(took.count()));
    EXPECT_LT(took, 10s);
    // The recording was saved with the library: the finished song is in its history.
    bool finishedSong = false;
    for (const Value& item : history(node))
        finishedSong =
            finishedSong || item.toDictionary().get(fileinfo::kStreamTitle).toString() == "A - One";
    EXPECT_TRUE(finishedSong);
}

TEST_F(MainControllerTest, TheToolbarStateComesFromTheMainThreadsOwnBookkeeping)
{
    server.addMount("/live", titledMount("", 64000, true));
    IcyMount untitled;
    untitled.audio = threeSongs();
    untitled.loop = true;
    untitled.bytesPerSecond = 64000;
    server.addMount("/plain", untitled);
    Node* titled = station("Titled", {server.url("/live")});
    Node* plain = station("Plain", {server.url("/plain")});
    MainController& c = start();
    EXPECT_EQ(c.toolbarState(), ToolbarState{}) << "no station shown: all off";

    c.setVisibleNode(titled);
    EXPECT_EQ(c.toolbarState(), (ToolbarState{true, false, false, false, false}));
    ASSERT_TRUE(c.startRecordingForNode(titled, MainController::kSourceUser));
    EXPECT_EQ(c.toolbarState(), (ToolbarState{true, true, false, false, true}));
    ASSERT_TRUE(spinUntil([&] { return c.toolbarState().skipEnabled; }, 5s))
        << "a stream with titles can skip";

    c.setVisibleNode(plain);
    ASSERT_TRUE(c.startRecordingForNode(plain, MainController::kSourceUser));
    ASSERT_TRUE(
        spinUntil([&] { return currentSong(c, plain).starts_with("(No track data)"); }, 5s));
    EXPECT_FALSE(c.toolbarState().skipEnabled) << "nothing to skip between";
    EXPECT_TRUE(c.toolbarState().recording);
    c.stopRecordingForTag(plain->tag());
    EXPECT_FALSE(c.toolbarState().recording);
    c.stopRecordingForTag(titled->tag());
}
