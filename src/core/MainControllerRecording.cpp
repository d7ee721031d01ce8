// Starting and stopping recordings: address resolution on a worker, the launch of the
// recording client on the main thread, stops, skips and the compilation hand-over.

#include "MainController.h"

#include "FileManagerExtensions.h"

#include "GenericClient.h"
#include "GenericServer.h"
#include "Localization.h"
#include "M3UClient.h"
#include "M3UServer.h"
#include "MP3Client.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "PresetsController.h"
#include "RelayThread.h"
#include "StationDirectory.h"
#include "StringExtensions.h"

#include <algorithm>
#include <thread>

namespace orvanta {

namespace {
std::vector<std::string> stringsOf(const std::optional<Value>& value)
{
    std::vector<std::string> strings;
    if (!value || !value->isArray())
        return strings;
    for (const Value& item : value->toArray()) {
        if (item.isString())
            strings.push_back(item.toString());
    }
    return strings;
}

std::string lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string compilationAlbumLabel(Date start)
{
    return Orvanta::tr("Compilation") + " (" +
           MainController::localTimeText(start, "%Y-%m-%d %H:%M:%S") + ")";
}
} // namespace

void MainController::record(const std::vector<Node*>& selection)
{
    const RecordingStatus visibleStatus =
        m_visibleNode ? m_visibleNode->status() : RecordingStatus::Idle;
    for (Node* node : m_parts.olvController.getAllSelectedStreams(selection)) {
        if (node->status() != visibleStatus)
            continue;
        if (visibleStatus == RecordingStatus::Idle)
            startRecordingForNode(node, kSourceUser);
        else
            stopRecordingForTag(node->tag());
    }
}

bool MainController::startRecordingForNode(Node* node, int source)
{
    if (!node || node->isRecording())
        return false;
    // Said once, here, rather than by every file the recording would fail to write.
    if (const auto problem =
            recordingFolderProblem(m_parts.prefs.stringForKey(prefs::kDownloadPath), true)) {
        setAlertMessageForNode(*problem, node);
        refresh(node);
        return false;
    }
    node->setStatus(RecordingStatus::Recording);
    if (source == kSourceScheduler)
        node->setTimerStatus(TimerStatus::Scheduled);
    setAlertMessageForNode("", node);
    if (recordWhatIsHeard(*node)) {
        countDirectoryClick(*node);
        return true;
    }
    const std::int32_t tag = ++m_threadTagCounter;
    m_nodePool[tag] = node->shared_from_this();
    node->setTag(tag);
    node->setRippingStatus(RippingStatus::Connecting);
    node->setCancelStatus(false);
    refresh(node);

    auto attempt = resolutionAttemptFor(*node, tag);
    m_attempts[tag] = attempt;
    spawnRecordingClient(attempt);
    countDirectoryClick(*node);
    return true;
}

std::shared_ptr<ResolutionAttempt> MainController::resolutionAttemptFor(Node& node,
                                                                        std::int32_t tag)
{
    auto attempt = std::make_shared<ResolutionAttempt>();
    attempt->tag = tag;
    attempt->node = node.weak_from_this();
    attempt->urls = stringsOf(node.propertyForKey(np::NP_URLS));
    const std::string user = node.propertyForKey(np::NP_USERNAME).value_or(Value()).toString();
    const std::string password = node.propertyForKey(np::NP_PASSWORD).value_or(Value()).toString();
    if (!user.empty() && !password.empty())
        attempt->credentials = user + ":" + password;
    return attempt;
}

void MainController::countDirectoryClick(const Node& node)
{
    const auto uuid = node.propertyForKey(np::NP_DIRECTORY_UUID);
    if (!uuid || !uuid->isString() || uuid->toString().empty())
        return;
    const PreferencesReader& prefs = m_parts.prefs;
    m_threads.start("MainController::countDirectoryClick", [this, &prefs, uuid = uuid->toString()] {
        StationDirectory(prefs).countClick(uuid, nullptr, &m_endingThreads);
    });
}

void MainController::spawnRecordingClient(const std::shared_ptr<ResolutionAttempt>& attempt)
{
    const PreferencesReader& prefs = m_parts.prefs;
    // The worker reaches this controller only through the mailbox: once the controller
    // goes, its calls fail and it ends quietly (and it is joined before that).
    m_threads.start("MainController::spawnRecordingClient", [this, attempt, &prefs] {
        for (;;) {
            const StationResolution resolution =
                resolveStationURLs(attempt->urls, attempt->credentials, prefs, attempt->cancelled,
                                   [&attempt](const std::string& url) {
                                       if (auto node = attempt->node.lock())
                                           node->setValueForKey(url, "connectingURL");
                                   });
            const auto retry = callSync(*m_mainMailbox, [this, &attempt, &resolution] {
                return finishResolution(attempt, resolution);
            });
            if (!retry.value_or(false))
                break;
            if (!attempt->waitBeforeRetry(prefs.integerForKey(prefs::kAutoReconnectWaitSeconds))) {
                // Stopped while waiting: the main thread has reset the station already.
                break;
            }
        }
    });
}

bool MainController::finishResolution(const std::shared_ptr<ResolutionAttempt>& attempt,
                                      const StationResolution& resolution)
{
    const NodePtr node = attempt->node.lock();
    // A stop (or a newer recording of the station) has taken over: nothing to do here.
    if (attempt->cancelled || !node || node->tag() != attempt->tag || !node->isRecording() ||
        m_terminated)
        return false;
    if (!resolution.resolved.empty()) {
        m_attempts.erase(attempt->tag);
        launchRecordingClient(node, attempt->tag, resolution);
        return false;
    }
    setAlertMessageForNode(
        resolution.errorText.empty()
            ? Orvanta::tr("Connection Failure - Busy station or invalid web address")
            : resolution.errorText,
        node.get());
    if (m_parts.prefs.boolForKey(prefs::kAutoReconnect))
        return true; // the station stays in recording state, showing its alert, and retries
    m_attempts.erase(attempt->tag);
    m_nodePool.erase(attempt->tag);
    resetNode(*node);
    refresh(node.get());
    m_parts.frontEnd.recordingEndedWithAlert(node.get(),
                                             node->valueForKey("alertMessage").value_or(""));
    return false;
}

bool MainController::isPlaylistSource(const StationResolution& resolution)
{
    const std::string start = stringByTrimmingWhitespaceAndNewline(resolution.resolved.front());
    return lowercase(start).ends_with(".m3u") || resolution.playlistSources.count(start) > 0;
}

void MainController::launchRecordingClient(const NodePtr& node, std::int32_t tag,
                                           const StationResolution& resolution)
{
    node->setRippingStatus(RippingStatus::Launching);
    m_threadPool[tag] = launchClient(node, tag, resolution, {});
    node->setRippingStatus(RippingStatus::Running);
    refresh(node.get());
}

std::shared_ptr<MP3Server> MainController::launchClient(const NodePtr& node, std::int32_t tag,
                                                        const StationResolution& resolution,
                                                        const Dictionary& extraProperties)
{
    const std::string start = stringByTrimmingWhitespaceAndNewline(resolution.resolved.front());
    node->setValueForKey(start, "connectingURL");
    const bool playlistSource = isPlaylistSource(resolution);

    const Value& schedule = node->activeSchedule();
    if (schedule.isDictionary()) {
        const Dictionary entry = schedule.toDictionary();
        const Value name = entry.get("NAME");
        Array path{Value(name.isString() && !name.toString().empty() ? name.toString()
                                                                     : Orvanta::tr("No name"))};
        if (entry.contains("DESCRIPTION"))
            path.append(entry.get("DESCRIPTION"));
        node->setProperty(Value(path), np::NP_SCHEDULED_RECORDING_PATH);
    } else {
        node->removePropertyForKey(np::NP_SCHEDULED_RECORDING_PATH);
    }
    Array urls;
    for (const std::string& url : resolution.resolved)
        urls.append(Value(url));
    node->setProperty(Value(urls), np::NP_URLS_TO_VISIT);
    const std::string presetID =
        node->propertyForKey(np::NP_PRESET_ID).value_or(Value()).toString();
    node->addPropertiesFromDictionary(m_parts.presets.presetForID(presetID));
    if (node->propertyForKey(np::NP_COMPILATION_FLAG).value_or(Value(false)).toBool())
        node->setProperty(Value(compilationAlbumLabel(m_parts.clock())),
                          np::NP_COMPILATION_ALBUM_LABEL);

    // A playlist of files gets the client that records it entry by entry.
    Dictionary properties = node->recordingPropertiesCopy();
    for (const auto& [key, value] : extraProperties)
        properties.set(key, value);
    Array hls;
    for (const std::string& address : resolution.hlsSources)
        hls.append(Value(address));
    properties.set(MP3Client::kHlsAddressesKey, Value(hls));
    const std::shared_ptr<MP3Server> server = playlistSource
                                                  ? std::make_shared<M3UServer>(properties)
                                                  : std::make_shared<MP3Server>(properties);
    const RecordingContext context{m_parts.center, m_parts.prefs, *m_mainMailbox, m_threads,
                                   m_relay};
    GenericClient::launchClientThreadWithTag(
        tag, server, context,
        [playlistSource](std::int32_t clientTag, std::shared_ptr<ServerProxy> proxy,
                         const RecordingContext& c) -> std::shared_ptr<GenericClient> {
            if (playlistSource)
                return std::make_shared<M3UClient>(clientTag, std::move(proxy), c);
            return std::make_shared<MP3Client>(clientTag, std::move(proxy), c);
        });
    return server;
}

void MainController::stopRecordingForTag(std::int32_t tag)
{
    const auto it = m_nodePool.find(tag);
    if (it == m_nodePool.end())
        return;
    const NodePtr node = it->second;
    // An older recording's tag must never stop the station's newer recording.
    if (!node->isRecording() || node->tag() != tag) {
        refresh(node.get());
        return;
    }
    stopListeningTo(*node);
    switch (node->rippingStatus()) {
    case RippingStatus::Connecting:
        if (const auto attempt = m_attempts.find(tag); attempt != m_attempts.end()) {
            attempt->second->cancel();
            m_attempts.erase(attempt);
        }
        m_nodePool.erase(tag);
        setAlertMessageForNode("", node.get());
        resetNode(*node);
        break;
    case RippingStatus::Running:
        if (const auto server = serverForTag(tag))
            server->terminate();
        resetNode(*node);
        break;
    case RippingStatus::Launching:
        break; // launching happens in one step on this thread, so never seen here
    }
    if (node->propertyForKey(np::NP_COMPILATION_FLAG).value_or(Value(false)).toBool()) {
        const auto label = node->propertyForKey(np::NP_COMPILATION_ALBUM_LABEL);
        if (label && label->isString())
            m_handOver.setCompletedTracksAsCompilation(label->toString());
        node->removePropertyForKey(np::NP_COMPILATION_ALBUM_LABEL);
    }
    refresh(node.get());
}

void MainController::stopRecordingForAllWithAlertMessage(const std::optional<std::string>& message)
{
    // Every recording launched, those still resolving their station's address too. One
    // already stopped (waiting for its finished report) is left alone: its station may be
    // recording again under a newer tag.
    std::vector<std::int32_t> tags;
    for (const auto& [tag, node] : m_nodePool)
        if (node->tag() == tag)
            tags.push_back(tag);
    for (std::int32_t tag : tags) {
        setAlertMessageForTag(message.value_or(""), tag);
        stopRecordingForTag(tag);
    }
}

void MainController::skipTrack()
{
    if (!m_visibleNode)
        return;
    if (const auto server = serverForTag(m_visibleNode->tag()))
        server->skipTrack();
}

void MainController::resetNode(Node& node)
{
    node.setCancelStatus(false);
    node.setStatus(RecordingStatus::Idle);
    node.setTimerStatus(TimerStatus::Off);
    node.setTag(0);
}

} // namespace orvanta
