#pragma once

// The one controller of the application: start-up and shut-down, the actions on every
// notification the recordings post, starting and stopping recordings, the scheduler and
// the status display. It shows itself only through a FrontEnd (the desktop window or the
// command line).
//
// A recording is known by its tag. nodePool maps the tag to the station from the start
// request until the recording's finished notification (or until a stop while its addresses
// are being resolved); threadPool maps it to the server once the client is launched.
//
// Threads: everything here runs on the main thread, which must run a Qt event loop.
// Resolving a station's addresses happens on a worker thread of its own; the worker reads
// nothing of the station tree and hands its result to the main thread, which decides there
// whether (and what) to launch. Client threads reach their servers through mainMailbox(),
// which the event loop serves. Every thread the controller starts (resolution, recording
// clients and their workers, script hand-overs) belongs to it and is joined before it goes,
// so what they use needs to outlive only the controller.

#include "FrontEnd.h"
#include "Mailbox.h"
#include "Node.h"
#include "NotificationBridge.h"
#include "OwnedThreads.h"
#include "PresetsController.h"
#include "RecordingHandOver.h"
#include "ResolutionAttempt.h"
#include "Scheduler.h"
#include "StationResolution.h"
#include "Value.h"
#include "WakeUpReceiver.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QTimer>

namespace orvanta {

class MP3Server;
class MyOLVController;
class NotificationCenter;
class PowerEventToolLoader;
class PrefsController;
class PresetsController;
class RelayThread;
class ScriptRunner;

/// What the controller works with; everything must outlive it.
struct MainControllerParts
{
    NotificationCenter& center;
    PrefsController& prefs;
    MyOLVController& olvController;
    PresetsController& presets;
    const ScriptRunner& scripts;
    FrontEnd& frontEnd;
    /// The time the scheduler, the quit question and the sleep handler go by.
    std::function<Date()> clock = &Date::now;
    std::chrono::milliseconds schedulerInterval = Scheduler::kTickInterval;
    /// The wake-up service of the system (none: waking is not possible). validTool tells
    /// whether it may be used; scheduleWake sets the wake time and returns 0 on success.
    std::function<bool()> wakeToolIsValid = {};
    std::function<int(Date)> scheduleWakeFromSleep = {};
    /// The wake-up helper's installer, for the wake-from-sleep setting (none: the setting
    /// is only stored).
    PowerEventToolLoader* wakeTool = nullptr;
};

class MainController : public SchedulerActions, public PresetsControllerDelegate
{
public:
    /// How long shut-down waits for running recordings to write their last files.
    static constexpr std::chrono::seconds kShutdownWait{5};
    /// How long shut-down lets the music player's scripts finish before they are killed.
    static constexpr std::chrono::seconds kScriptShutdownWait{3};
    /// Where `source` of startRecordingForNode comes from.
    static constexpr int kSourceUser = 0;
    static constexpr int kSourceScheduler = 1;

    explicit MainController(MainControllerParts parts);
    ~MainController() override;
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // Start-up and shut-down ---------------------------------------------------------------

    /// The start-up script that comes with the program.
    static std::string startupScriptPath();
    /// Runs script with /bin/bash and waits for it; its exit status is only logged.
    static void runStartupScript(const std::string& script);
    /// <application data>/Orvanta, created when missing; nothing (after an alert) when the
    /// user has no application-data folder.
    std::optional<std::string> applicationSupportFolder();

    /// Wiring once the front end exists: notification bridge and observers, status timer,
    /// scheduler.
    void awakeFromNib();
    /// Whether quitting may go ahead now (asks when a scheduled recording is near).
    bool applicationShouldTerminate();
    /// The shut-down sequence; the library and the preferences are saved.
    void applicationWillTerminate();
    /// The wake-from-sleep setting against the helper it needs: off, the helper is removed;
    /// on without a valid helper, the user is asked to set it up, and the setting goes off
    /// when they say later or the set-up fails.
    void verifyWakeFromSleep();
    /// The setting was changed (in the preferences).
    void toggleWakeFromSleep() { verifyWakeFromSleep(); }
    /// The system is about to sleep: stops the recordings and sets the wake-up time for the
    /// next scheduled recording. Returns the wake time that was asked for, if any.
    std::optional<Date> systemWillSleep();

    // Recording control --------------------------------------------------------------------

    /// The Record/Stop button over a selection of the library.
    void record(const std::vector<Node*>& selection);
    /// False when the node is recording already, or when the recordings folder cannot take
    /// files (the station's alert then says why).
    bool startRecordingForNode(Node* node, int source);
    void stopRecordingForTag(std::int32_t tag);
    /// Stops every launched recording, setting (or, without message, clearing) its alert.
    void stopRecordingForAllWithAlertMessage(const std::optional<std::string>& message);
    /// Skips the rest of the current track of the shown station.
    void skipTrack();

    void setAlertMessageForNode(const std::string& message, Node* node);
    /// Keeps a split's offset from the title change to the gap with the station (the newest
    /// kKeptSplitOffsets), for its next splits and recordings to centre on.
    void rememberSplitOffset(Node& node, double seconds);
    static constexpr std::size_t kKeptSplitOffsets = 12;
    void setAlertMessageForTag(const std::string& message, std::int32_t tag);
    /// Hands an alert to the front end, which shows it when it can.
    void raiseAlertWithTitle(const std::string& title, const std::string& message,
                             bool fatal = false);

    // The preset store's changes -----------------------------------------------------------

    /// Stations that recorded in the deleted style record in the standard one.
    void deletedPresetID(PresetsController& controller, const std::string& identifier) override;
    void renamedPresetID(PresetsController& controller, const std::string& identifier) override;
    void savedAsPresetID(PresetsController& controller, const std::string& identifier) override;

    // Listening ---------------------------------------------------------------------------

    /// The Listen button for the shown station: its address goes to the user's player when
    /// it is not recording; a recording is heard through the relay. Pressed again on the
    /// station being heard, it stops listening.
    void listen();
    /// Serves the recording of node through the relay without starting a player; the
    /// relay's address, or nothing when there is no relay or node is not recording.
    std::optional<std::string> serveThroughRelay(Node* node);
    /// "http://localhost:PORT" of the relay; empty without relay.
    std::string relayURL() const;
    std::shared_ptr<RelayThread> relay() const { return m_relay; }
    /// What "Show Music" shows for a station: the newest file of its history that is still
    /// on disc; nothing when it has none.
    std::optional<std::string> lastRecordedFile(const Node& node) const;
    /// What Show Music shows for the station: the folder of the file its recording is
    /// writing, else its newest recorded file; nothing when it has neither.
    struct MusicToShow
    {
        std::string path;
        bool folder = false;
    };
    std::optional<MusicToShow> musicToShow(const Node& node) const;
    Node* listeningNode() const { return m_listeningNode.get(); }
    /// Whether the built-in player plays this station, which is not recording.
    bool isPlayingStation(const Node* node) const;
    /// The station heard now: a recording through the relay, or a station played itself;
    /// nothing when none is.
    Node* playingNode() const;
    /// The song node's stream names now, from its recording or the client it is heard
    /// through; empty when it names none (or nothing reads the stream).
    std::string currentSongOf(const Node* node) const;
    /// The minutes kept of the station heard (not recorded) through Orvanta's own client,
    /// which "Save the last N minutes" writes; 0 when it is not heard so.
    std::int64_t heardMinutes(const Node* node) const;
    /// Writes what was heard of node into one file in the recordings folder (on a worker;
    /// the front end hears when it is saved); false, after an alert, when nothing can be.
    bool saveHeardAudio(Node* node);

    // Station import ----------------------------------------------------------------------

    /// Imports the music player's radio stations as a new group at the root; false (and
    /// nothing started) while an import runs.
    bool importRadio();
    bool importInProgress() const { return m_importInProgress; }
    /// A group of streams from a flat list of four strings per station (name, bitrate,
    /// comment, address); nothing for fewer than four. Returns the group added.
    Node* addImportedData(const std::vector<std::string>& items, const std::string& groupName);
    /// "Rhythmbox Radio - Tue 08 Dec, 04:05AM" for now.
    std::string importedGroupName() const;

    // Scheduler ---------------------------------------------------------------------------

    void startScheduledRecording(Node& node, Dictionary entry) override;
    void stopScheduledRecording(Node& node) override;
    std::optional<Date> computeDateOfNextScheduledRecording() const;
    Scheduler& scheduler() { return *m_scheduler; }

    // Status display ----------------------------------------------------------------------

    void setVisibleNode(Node* node);
    Node* visibleNode() const { return m_visibleNode.get(); }
    /// What the status display shows now.
    StatusLines currentStatusLines() const;
    /// The status line of a running recording: elapsed time (minutes and seconds up to
    /// 59:59, then hours) and transfer rate in Kb/s.
    static std::string runningStatusText(std::int64_t elapsedSeconds, double rate);
    /// What the record, skip, listen and show-music controls show for the shown station;
    /// answered from the main thread's own bookkeeping, without asking a recording thread.
    ToolbarState toolbarState() const;
    void startStatusTimer();
    void stopStatusTimer();

    // State -------------------------------------------------------------------------------

    /// date in local time, by strftime's format.
    static std::string localTimeText(Date date, const char* format);

    std::size_t activeRecordingCount() const { return m_nodePool.size(); }
    Node* nodeForTag(std::int32_t tag) const;
    std::shared_ptr<MP3Server> serverForTag(std::int32_t tag) const;
    std::int32_t threadTagCounter() const { return m_threadTagCounter; }
    Mailbox& mainMailbox() { return *m_mainMailbox; }
    NotificationBridge& bridge() { return m_bridge; }
    RecordingHandOver& handOver() { return m_handOver; }
    /// Serves the main thread's calls until no recording thread or address resolution is
    /// left; false when the time ran out first.
    bool waitForRecordingThreads(std::chrono::milliseconds timeout);
    /// Recording clients, their workers and address resolutions still running.
    std::size_t runningThreadCount() const { return m_threads.running(); }

private:
    /// A scheduled start found nothing to record into: tells the desktop, once per window.
    void noteFailedScheduledStart(Node& node);
    void processNotification(const Notification& notification);
    void handleFinished(std::int32_t tag);
    void handleFileCompleted(std::int32_t tag, const Dictionary& entry);
    std::string playlistNameForCompletedFile(const Node& node, const Dictionary& entry) const;

    void spawnRecordingClient(const std::shared_ptr<ResolutionAttempt>& attempt);
    /// Tells the station directory that a station of it is recorded, on a worker.
    void countDirectoryClick(const Node& node);
    /// On the main thread with a worker's result; true when the worker should try again.
    bool finishResolution(const std::shared_ptr<ResolutionAttempt>& attempt,
                          const StationResolution& resolution);
    void launchRecordingClient(const NodePtr& node, std::int32_t tag,
                               const StationResolution& resolution);
    /// The client for node's resolved addresses, launched with extra recording properties.
    std::shared_ptr<MP3Server> launchClient(const NodePtr& node, std::int32_t tag,
                                            const StationResolution& resolution,
                                            const Dictionary& extraProperties);
    static bool isPlaylistSource(const StationResolution& resolution);
    std::shared_ptr<ResolutionAttempt> resolutionAttemptFor(Node& node, std::int32_t tag);
    void resetNode(Node& node);
    void startImport();
    void stopImport();
    /// Asks every thread to end, then joins them all; the destructor's last step.
    void endAllThreads();

    std::int64_t listenWithApplication() const;
    void listenToOrvantaRelay(const std::string& url);
    void listenToLocation(const std::string& location, bool isRelay);
    void stopListeningToOrvantaRelay(const std::string& url);
    void relayConnectionOpened();
    void relayConnectionClosed();
    /// A playlist source moved on to its next entry: the player is told to reconnect.
    void listenAgain(std::int32_t tag);
    /// Stopping the recording that is being heard ends the listening first.
    void stopListeningTo(Node& node);
    void refresh(Node* node);
    /// Stops the built-in player when it plays a station that is not recording.
    void stopPlayingStation();
    static std::string firstURLOf(const Node& node);
    std::string relayPlaylist() const;
    void startPlayingDirectly(const NodePtr& node);

    // Listening through Orvanta's own client (MainControllerHeard.cpp): false when the
    // preferences keep nothing heard or there is no relay.
    bool listenThroughClient(const NodePtr& node);
    void finishListeningResolution(const std::shared_ptr<ResolutionAttempt>& attempt,
                                   const StationResolution& resolution);
    /// The station heard as before the buffer: its address straight to the player.
    void listenWithoutClient(const NodePtr& node);
    /// Record on the station heard: its client becomes the recording; false when node is
    /// not heard so (or its client is not launched yet, which ends the listening).
    bool recordWhatIsHeard(Node& node);
    void endListeningThroughClient();
    /// The client of the station heard has ended by itself.
    void heardStationEnded();
    bool isHeardThroughClient(const Node* node) const;

    MainControllerParts m_parts;
    NotificationBridge m_bridge;
    WakeUpReceiver m_mailboxWakeUp;
    std::shared_ptr<Mailbox> m_mainMailbox;
    RecordingHandOver m_handOver;
    std::unique_ptr<Scheduler> m_scheduler;
    QTimer m_statusTimer;
    bool m_terminated = false;
    bool m_importInProgress = false;

    std::shared_ptr<RelayThread> m_relay; // none when the relay port is 0
    std::string m_listenURL;              // set while an external player is on the relay
    NodePtr m_listeningNode;
    NodePtr m_listeningNodeToKill; // whose relay connection is open
    NodePtr m_playingStation;      // played by the built-in player, not recording
    // The station heard through a client that records nothing yet; its server is in
    // threadPool under the tag once launched.
    struct HeardStation
    {
        NodePtr node;
        std::int32_t tag = 0;
        std::shared_ptr<ResolutionAttempt> attempt;
        std::int64_t minutes = 0;
    };
    std::optional<HeardStation> m_heard;
    NodePtr m_visibleNode;
    mutable std::string m_lastSongLine;
    std::int32_t m_threadTagCounter = 0;
    std::map<std::int32_t, NodePtr> m_nodePool;
    std::map<std::int32_t, std::shared_ptr<MP3Server>> m_threadPool;
    std::map<std::int32_t, std::shared_ptr<ResolutionAttempt>> m_attempts; // resolving recordings
    std::set<std::int32_t> m_skippable; // recordings whose stream has titles to skip between
    // Stations whose scheduled start failed, with the time of the last failed tick.
    std::map<std::weak_ptr<Node>, double, std::owner_less<>> m_failedScheduledStarts;
    // Set when the threads are ended: a click-count transfer gives up at once.
    std::atomic<bool> m_endingThreads{false};
    // Joined in the destructor before any other member goes.
    OwnedThreads m_threads;
};

} // namespace orvanta
