#include "MainController.h"

#include "FileManagerExtensions.h"
#include "GenericServer.h"
#include "Localization.h"
#include "Log.h"
#include "M3UServer.h"
#include "MyOLVController.h"
#include "NextScheduledRecording.h"
#include "NotificationNames.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "RelayThread.h"
#include "Resources.h"

#include <cstdio>
#include <ctime>

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

namespace orvanta {

namespace {
// The wake-up comes this long before the recording, and never sooner than kMinimumWakeDelay
// from now: the wake alarm refuses times that are too close.
constexpr double kWakeLead = 45;
constexpr double kMinimumWakeDelay = 32;
constexpr const char* kLogDateFormat = "%Y-%m-%d %H:%M:%S %z";

// The same wall-clock time on the next calendar day: 23 or 25 hours later across a
// daylight-saving change.
Date oneCalendarDayAfter(Date date)
{
    const auto seconds = static_cast<std::time_t>(date.secondsSince1970);
    std::tm local{};
    localtime_r(&seconds, &local);
    local.tm_mday += 1;
    local.tm_isdst = -1;
    const std::time_t later = std::mktime(&local);
    if (later == static_cast<std::time_t>(-1))
        return Date{date.secondsSince1970 + 24 * 60 * 60};
    return Date{static_cast<double>(later) +
                (date.secondsSince1970 - static_cast<double>(seconds))};
}

} // namespace

MainController::MainController(MainControllerParts parts)
    : m_parts(std::move(parts)),
      m_bridge([this](const Notification& n) { processNotification(n); }),
      m_mailboxWakeUp([this] { m_mainMailbox->serveAll(); }),
      m_mainMailbox(std::make_shared<Mailbox>([this] { m_mailboxWakeUp.post(); })),
      m_handOver(m_parts.scripts, m_parts.prefs)
{
    m_mainMailbox->adoptCurrentThread();
    m_parts.presets.setDelegate(this);
    // The relay is made now, so every recording can feed it, but serves only once someone
    // listens; port 0 turns it off.
    const auto relayPort =
        static_cast<std::uint16_t>(m_parts.prefs.integerForKey(prefs::kRelayPort));
    if (relayPort != 0)
        m_relay = std::make_shared<RelayThread>(relayPort, m_parts.center, m_parts.prefs);
    m_scheduler = std::make_unique<Scheduler>(
        *this, [this] { return m_parts.olvController.getAllStreams(); }, m_parts.clock,
        m_parts.schedulerInterval);
    m_statusTimer.setInterval(1000);
    QObject::connect(&m_statusTimer, &QTimer::timeout,
                     [this] { m_parts.frontEnd.setStatusLines(currentStatusLines()); });
}

MainController::~MainController()
{
    if (!m_terminated) {
        m_scheduler->stopSchedulerDaemon();
        m_statusTimer.stop();
    }
    endAllThreads();
    m_parts.presets.setDelegate(nullptr);
}

void MainController::endAllThreads()
{
    m_endingThreads = true;
    for (auto& [tag, attempt] : m_attempts)
        attempt->cancel();
    if (m_heard)
        m_heard->attempt->cancel();
    // A terminate reaches a client that is still registering when it registers, which
    // needs the mailbox below: it fails, and that client thread ends as well.
    for (auto& [tag, server] : m_threadPool)
        server->terminate();
    // Threads that still want the main thread find the mailbox closed and end without it.
    m_mainMailbox->close();
    if (!m_handOver.waitForAll(kScriptShutdownWait)) {
        logMessage("MainController", "A music-player script is still running; stopping it");
        m_parts.scripts.cancelAll();
    }
    m_threads.joinAll();
}

// ---------------------------------------------------------------------------------------
// Start-up and shut-down

std::string MainController::startupScriptPath()
{
    return resourcesFolder() + "/migrate.sh";
}

void MainController::runStartupScript(const std::string& script)
{
    // Runs to completion before anything else; a failure does not stop the start.
    const int status = QProcess::execute("/bin/bash", {QString::fromStdString(script)});
    if (status != 0)
        logFormat("start-up script %s ended with status %d", script.c_str(), status);
}

std::optional<std::string> MainController::applicationSupportFolder()
{
    const auto support = findSystemFolderType(kApplicationSupportFolderType, FolderDomain::User);
    // Without the folder nothing can be kept; the user is told and the program ends.
    const std::string folder = support ? *support + "/Orvanta" : std::string();
    if (!support || !createDirectoriesAtPath(folder, 0700)) {
        m_parts.frontEnd.showAlert(Alert{Orvanta::tr("Alert"),
                                         Orvanta::tr("Can't find application support folder"), true,
                                         true});
        return std::nullopt;
    }
    return folder;
}

void MainController::awakeFromNib()
{
    verifyWakeFromSleep();
    m_parts.frontEnd.updateToolbarControls();
    m_bridge.setupNotificationThreadingSupport();
    for (std::string_view name : kObservedNotificationNames)
        m_bridge.registerForNotification(m_parts.center, name);
    startStatusTimer();
    m_scheduler->startSchedulerDaemon();
}

bool MainController::applicationShouldTerminate()
{
    if (!m_parts.prefs.boolForKey(prefs::kWakeFromSleep) ||
        !m_parts.prefs.boolForKey(prefs::kWakeFromSleepWarnIfQuitting))
        return true;
    const auto next = computeDateOfNextScheduledRecording();
    if (!next)
        return true;
    if (oneCalendarDayAfter(m_parts.clock()) < *next)
        return true;
    return m_parts.frontEnd.askQuestion(
        Orvanta::tr("Quit Orvanta"),
        Orvanta::tr("A scheduled recording will occur within the next 24 hours.\n\n"
                    "Are you sure you want to quit?"),
        Orvanta::tr("OK"), Orvanta::tr("Cancel"));
}

void MainController::applicationWillTerminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    m_scheduler->stopSchedulerDaemon();
    stopStatusTimer();
    stopRecordingForAllWithAlertMessage(std::nullopt);
    for (auto& [tag, attempt] : m_attempts)
        attempt->cancel();
    if (m_heard)
        m_heard->attempt->cancel();
    // The last files of the recordings are reported before the library is written, so
    // their history entries are saved with it.
    if (!waitForRecordingThreads(kShutdownWait))
        logMessage("MainController", "Recordings still running at shut-down");
    m_bridge.handleMachMessage();
    // A hung music-player script must not hold quitting: it gets a few seconds.
    if (!m_handOver.waitForAll(kScriptShutdownWait)) {
        logMessage("MainController", "A music-player script is still running; stopping it");
        m_parts.scripts.cancelAll();
        m_handOver.waitForAll(std::chrono::seconds(1));
    }
    // The hand-overs' results reach their history entries through queued calls on this
    // thread: let them in before the library is written.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    m_parts.olvController.cleanup(m_parts.frontEnd.expandedGroups());
    m_nodePool.clear();
    m_attempts.clear();
    m_skippable.clear();
    m_parts.prefs.cleanup();
}

bool MainController::waitForRecordingThreads(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // Their last calls (registration, finished reports) need the main thread.
        m_mainMailbox->serveUntil([this] { return m_threads.running() == 0; },
                                  std::chrono::milliseconds(20));
        m_bridge.handleMachMessage();
        if (m_threads.running() == 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}

std::optional<Date> MainController::systemWillSleep()
{
    stopRecordingForAllWithAlertMessage(Orvanta::tr("Computer went to sleep"));
    if (!m_parts.prefs.boolForKey(prefs::kWakeFromSleep) || !m_parts.wakeToolIsValid ||
        !m_parts.wakeToolIsValid() || !m_parts.scheduleWakeFromSleep)
        return std::nullopt;
    const auto next = computeDateOfNextScheduledRecording();
    if (!next)
        return std::nullopt;
    const double now = m_parts.clock().secondsSince1970;
    Date wake{next->secondsSince1970 - kWakeLead};
    if (wake.secondsSince1970 - now < kMinimumWakeDelay) {
        wake.secondsSince1970 = now + kMinimumWakeDelay;
        logMessage("MainController", "Orvanta would have returned kIOReturnNotReady so waking up "
                                     "30 seconds for now.");
    }
    const int result = m_parts.scheduleWakeFromSleep(wake);
    if (result == 0) {
        logFormat("Orvanta set to wake up at %s, for the recording event at %s",
                  localTimeText(wake, kLogDateFormat).c_str(),
                  localTimeText(*next, kLogDateFormat).c_str());
    } else {
        logFormat("Orvanta failed to set wake up time due to error %d", result);
    }
    return wake;
}

// ---------------------------------------------------------------------------------------
// Scheduler

void MainController::startScheduledRecording(Node& node, Dictionary)
{
    if (node.isRecording()) {
        // A recording of the user's is running: end it; a later tick starts the schedule.
        stopRecordingForTag(node.tag());
    } else if (startRecordingForNode(&node, kSourceScheduler)) {
        m_failedScheduledStarts.erase(node.weak_from_this());
    } else {
        // Nothing records, so the station is not marked as scheduled: every tick of the
        // open window tries again (a disc mounted late still gets the rest of it). The
        // station's alert says why; the desktop is told once per window.
        node.setTimerStatus(TimerStatus::Off);
        node.setActiveSchedule(Value());
        noteFailedScheduledStart(node);
    }
    refresh(&node);
    m_parts.frontEnd.updateTimerViewWithNode(&node);
}

void MainController::noteFailedScheduledStart(Node& node)
{
    const double now = m_parts.clock().secondsSince1970;
    // Failures a few ticks apart are the same window failing again.
    const double sameWindow = 3.0 * std::chrono::duration<double>(Scheduler::kTickInterval).count();
    auto [it, first] = m_failedScheduledStarts.try_emplace(node.weak_from_this(), now);
    const bool newWindow = first || now - it->second > sameWindow;
    it->second = now;
    if (newWindow)
        m_parts.frontEnd.scheduledRecordingFailed(&node,
                                                  node.valueForKey("alertMessage").value_or(""));
}

void MainController::stopScheduledRecording(Node& node)
{
    node.setTimerStatus(TimerStatus::Off);
    if (node.isRecording())
        stopRecordingForTag(node.tag());
    refresh(&node);
    // The window closed: a spent once entry shows unchecked, and the next start moves on.
    m_parts.frontEnd.updateTimerViewWithNode(&node);
}

std::optional<Date> MainController::computeDateOfNextScheduledRecording() const
{
    return orvanta::computeDateOfNextScheduledRecording(m_parts.olvController.getAllStreams(),
                                                        m_parts.clock());
}

// ---------------------------------------------------------------------------------------
// Status display

void MainController::setVisibleNode(Node* node)
{
    m_visibleNode = node ? node->shared_from_this() : nullptr;
    m_lastSongLine.clear();
    m_parts.frontEnd.updateToolbarControls();
}

void MainController::startStatusTimer()
{
    m_statusTimer.start();
}

void MainController::stopStatusTimer()
{
    m_statusTimer.stop();
    m_parts.frontEnd.setStatusLines({});
}

StatusLines MainController::currentStatusLines() const
{
    auto activeStreams = [this]() -> StatusLines {
        const auto count = static_cast<int>(m_nodePool.size());
        if (count == 0)
            return {};
        std::string text = count > 1
                               ? Orvanta::tr("Recording %1 streams...", {std::to_string(count)})
                               : Orvanta::tr("Recording 1 stream...");
        return {text, {}, true};
    };
    Node* node = m_visibleNode.get();
    if (!node || !node->isRecording() || node->rippingStatus() != RippingStatus::Running)
        m_lastSongLine.clear();
    if (!node)
        return activeStreams();
    const std::string connecting = node->valueForKey("connectingURL").value_or("");
    if (!node->isRecording()) {
        const auto alert = node->valueForKey("alertMessage");
        if (alert && !alert->empty())
            return {{}, *alert, false};
        return activeStreams();
    }
    switch (node->rippingStatus()) {
    case RippingStatus::Connecting:
        return {node->cancelStatus() ? Orvanta::tr("Cancelling...") : Orvanta::tr("Connecting..."),
                connecting, true};
    case RippingStatus::Launching:
        return {Orvanta::tr("Launching..."), connecting, true};
    default:
        break;
    }
    const auto server = serverForTag(node->tag());
    if (!server)
        return {};
    StatusLines lines;
    lines.spinning = true;
    // Between titles the song line keeps showing the last one.
    if (std::string song = server->currentSong(); !song.empty())
        m_lastSongLine = std::move(song);
    lines.song = m_lastSongLine;
    const std::string status = runningStatusText(server->elapsedTime(), server->transferRate());
    lines.status = status;
    return lines;
}

std::string MainController::runningStatusText(std::int64_t t, double rate)
{
    char elapsed[64];
    if (t <= 3599) {
        std::snprintf(elapsed, sizeof elapsed, "%d:%02d", static_cast<int>(t / 60),
                      static_cast<int>(t % 60));
    } else {
        std::snprintf(elapsed, sizeof elapsed, "%d:%02d:%02d", static_cast<int>(t / 3600),
                      static_cast<int>(t / 60 % 60), static_cast<int>(t % 60));
    }
    return Orvanta::tr("Elapsed Time: %1  [%2 Kb/s]", {elapsed, localizedNumber(rate, 1)});
}

ToolbarState MainController::toolbarState() const
{
    const Node* node = m_visibleNode.get();
    if (!node)
        return {};
    ToolbarState state;
    state.enabled = true;
    if (!node->isRecording()) {
        state.listening = isPlayingStation(node) || isHeardThroughClient(node);
        // A stopped station's files can still be shown: its newest one.
        state.showMusicEnabled = lastRecordedFile(*node).has_value();
        return state;
    }
    state.recording = true;
    state.showMusicEnabled = true;
    state.listening = node->listenStatus();
    if (const auto server = serverForTag(node->tag()))
        state.skipEnabled = dynamic_cast<const M3UServer*>(server.get()) != nullptr ||
                            m_skippable.count(node->tag()) > 0;
    return state;
}

// ---------------------------------------------------------------------------------------
// State

std::string MainController::localTimeText(Date date, const char* format)
{
    const auto seconds = static_cast<std::time_t>(date.secondsSince1970);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[128];
    return std::strftime(text, sizeof text, format, &local) > 0 ? text : std::string();
}

Node* MainController::nodeForTag(std::int32_t tag) const
{
    if (m_heard && m_heard->tag == tag)
        return m_heard->node.get();
    const auto it = m_nodePool.find(tag);
    return it == m_nodePool.end() ? nullptr : it->second.get();
}

std::shared_ptr<MP3Server> MainController::serverForTag(std::int32_t tag) const
{
    const auto it = m_threadPool.find(tag);
    return it == m_threadPool.end() ? nullptr : it->second;
}

void MainController::refresh(Node* node)
{
    if (node)
        m_parts.frontEnd.reloadItem(node);
    m_parts.frontEnd.updateToolbarControls();
}

} // namespace orvanta
