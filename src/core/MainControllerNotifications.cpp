// What the application does on each notification of its recordings. The bridge has already
// brought the notification to the main thread.

#include "MainController.h"

#include "GenericServer.h"
#include "HistoryRules.h"
#include "Localization.h"
#include "MyOLVController.h"
#include "NodePropertyKeys.h"
#include "NotificationNames.h"
#include "PresetsController.h"
#include "SplitOffsets.h"

namespace orvanta {

namespace {
constexpr std::string_view kDefaultPlaylistName = "Orvanta";

std::int32_t tagOf(const Notification& n)
{
    return n.object.isInteger() ? static_cast<std::int32_t>(n.object.toInteger()) : 0;
}

std::string alertTextOf(const Notification& n)
{
    return n.userInfo.toDictionary().get(OVErrorAlertNotificationMessage).toString();
}
} // namespace

void MainController::processNotification(const Notification& n)
{
    const std::int32_t tag = tagOf(n);
    Node* node = nodeForTag(tag);
    auto setNodeProperty = [&](std::string_view key) {
        if (!node)
            return;
        node->setProperty(n.userInfo, key);
        m_parts.frontEnd.reloadItem(node);
    };

    if (n.name == OVFatalErrorAlertNotification) {
        const std::string alert = alertTextOf(n);
        setAlertMessageForTag(alert, tag);
        // The recording ends here, not by the user's stop: the user should hear of it.
        const bool wasRecording = node && node->isRecording() && node->tag() == tag;
        stopRecordingForTag(tag);
        if (wasRecording && !alert.empty())
            m_parts.frontEnd.recordingEndedWithAlert(node, alert);
    } else if (n.name == OVErrorAlertNotification) {
        setAlertMessageForTag(alertTextOf(n), tag);
    } else if (n.name == OVRelayConnectionOpenedNotification) {
        relayConnectionOpened();
    } else if (n.name == OVRelayConnectionClosedNotification) {
        relayConnectionClosed();
    } else if (n.name == OVRelayConnectionErrorNotification) {
        raiseAlertWithTitle(Orvanta::tr("Listen Error"), n.object.toString());
    } else if (n.name == OVStreamBitrateNotification) {
        setNodeProperty(np::NP_BITRATE);
    } else if (n.name == OVStreamStereoNotification) {
        setNodeProperty(np::NP_STEREO);
    } else if (n.name == OVStreamNameNotification) {
        setNodeProperty(np::NP_NAME);
    } else if (n.name == OVStreamGenreNotification) {
        setNodeProperty(np::NP_GENRE);
    } else if (n.name == OVMetaintNotification) {
        // Kept here, so the toolbar never has to ask the recording's thread.
        if (n.userInfo.toInteger() != 0 && node)
            m_skippable.insert(tag);
        m_parts.frontEnd.updateToolbarControls();
    } else if (n.name == OVFinishedNotification) {
        handleFinished(tag);
    } else if (n.name == OVRecordingFileCompleted) {
        handleFileCompleted(tag, n.userInfo.toDictionary());
    } else if (n.name == OVRelayConnectionListenNotification) {
        listenAgain(tag);
    } else if (n.name == OVSplitOffsetNotification) {
        if (node && n.userInfo.isNumber())
            rememberSplitOffset(*node, n.userInfo.toReal());
    }
}

void MainController::rememberSplitOffset(Node& node, double seconds)
{
    orvanta::rememberSplitOffset(node, seconds);
    m_parts.olvController.libraryDidChange();
    m_parts.frontEnd.reloadItem(&node);
}

void MainController::setAlertMessageForNode(const std::string& message, Node* node)
{
    if (!node)
        return;
    node->setValueForKey(message, "alertMessage");
    m_parts.frontEnd.reloadItem(node);
}

void MainController::setAlertMessageForTag(const std::string& message, std::int32_t tag)
{
    setAlertMessageForNode(message, nodeForTag(tag));
}

void MainController::raiseAlertWithTitle(const std::string& title, const std::string& message,
                                         bool fatal)
{
    m_parts.frontEnd.showAlert(Alert{title, message, fatal});
}

void MainController::handleFinished(std::int32_t tag)
{
    if (m_heard && m_heard->tag == tag) {
        m_threadPool.erase(tag);
        heardStationEnded();
        return;
    }
    const NodePtr node = m_nodePool.count(tag) ? m_nodePool[tag] : nullptr;
    // Ended by itself (not by a stop), with something to say: the user should hear of it.
    const bool endedOnItsOwn = node && node->isRecording() && node->tag() == tag;
    stopRecordingForTag(tag);
    if (endedOnItsOwn) {
        const std::string alert = node->valueForKey("alertMessage").value_or("");
        if (!alert.empty())
            m_parts.frontEnd.recordingEndedWithAlert(node.get(), alert);
    }
    m_nodePool.erase(tag);
    m_threadPool.erase(tag);
    m_skippable.erase(tag);
    refresh(node.get());
}

void MainController::handleFileCompleted(std::int32_t tag, const Dictionary& report)
{
    Node* node = nodeForTag(tag);
    if (!node) {
        m_parts.frontEnd.historyNeedsDisplay();
        return;
    }
    auto history = node->propertyForKey(np::NP_HISTORY);
    if (!history || !history->isArray()) {
        node->setProperty(Value(Array{}), np::NP_HISTORY);
        history = node->propertyForKey(np::NP_HISTORY);
    }
    Dictionary entry;
    for (const auto& [key, value] : report)
        entry.set(key, value);
    {
        // The recording's worker reads this list for its duplicate check.
        std::lock_guard lock(historyListLock());
        history->toArray().append(entry);
    }
    m_parts.frontEnd.historyNeedsDisplay();
    // The history is part of the library: keep it on disc as files come in.
    m_parts.olvController.libraryDidChange();

    const Value location = entry.get(fileinfo::kLocation);
    if (!location.isString() || !entry.contains(fileinfo::kDateCompleted) ||
        !node->propertyForKey(presetkeys::NP_ADD_TO_PLAYLIST).value_or(Value(false)).toBool())
        return;
    m_handOver.addCompletedFileToPlaylist(
        Array{location, Value(playlistNameForCompletedFile(*node, entry)), entry},
        [this](const Dictionary&) {
            m_parts.frontEnd.historyNeedsDisplay();
            m_parts.olvController.libraryDidChange();
        });
}

std::string MainController::playlistNameForCompletedFile(const Node& node,
                                                         const Dictionary& entry) const
{
    auto text = [&](std::string_view key) {
        return node.propertyForKey(key).value_or(Value()).toString();
    };
    std::string name;
    switch (node.propertyForKey(presetkeys::NP_PLAYLIST_NAME_TYPE).value_or(Value()).toInteger()) {
    case 1:
        name = text(np::NP_NAME);
        break;
    case 2:
        name = entry.get(fileinfo::kID3Tags).toDictionary().get("TCON").toString();
        break;
    case 3:
        name = text(presetkeys::NP_PLAYLIST_NAME_CUSTOM);
        break;
    default:
        break;
    }
    const bool addScheduleName =
        node.propertyForKey(presetkeys::NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS)
            .value_or(Value(false))
            .toBool();
    const auto path = node.propertyForKey(np::NP_SCHEDULED_RECORDING_PATH);
    if (addScheduleName && path && path->isArray() && path->toArray().size() > 0)
        name = path->toArray().at(0).toString();
    return name.empty() ? std::string(kDefaultPlaylistName) : name;
}

} // namespace orvanta
