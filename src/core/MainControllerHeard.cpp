// Listening through Orvanta's own client: a station that is not recording is heard through
// the relay from a client that records nothing yet but keeps the last minutes it heard.
// Record then turns that client into the recording, from the current song's start, and
// "Save the last N minutes" writes what it kept as one file.

#include "MainController.h"

#include "AtomicFile.h"
#include "FileManagerExtensions.h"
#include "GenericServer.h"
#include "ID3v2Helper.h"
#include "Localization.h"
#include "Log.h"
#include "MP3Client.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "RelayThread.h"

namespace orvanta {

namespace {
constexpr std::int64_t kBuiltInPlayer = 0;
// How long the relay may take to listen for a player before the station is played directly.
constexpr std::chrono::milliseconds kRelayStartWait{1000};

/// A station's name as part of a file name.
std::string fileNamePart(std::string name)
{
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '-';
    while (!name.empty() && name.front() == '.')
        name.erase(name.begin());
    return name.empty() ? Orvanta::tr("Orvanta") : name;
}
} // namespace

bool MainController::listenThroughClient(const NodePtr& node)
{
    const std::int64_t minutes = m_parts.prefs.integerForKey(prefs::kListenBufferMinutes);
    if (minutes <= 0 || !m_relay || m_terminated || !node)
        return false;
    // Two clients must never feed the relay at once: a recording being heard stops being so.
    if (m_listeningNode && m_listeningNode != node) {
        if (const auto server = serverForTag(m_listeningNode->tag()))
            server->listen(false);
        m_relay->closeCurrentConnection();
        m_parts.frontEnd.stopBuiltInPlayer();
        m_listeningNode = nullptr;
    }
    const std::int32_t tag = ++m_threadTagCounter;
    auto attempt = resolutionAttemptFor(*node, tag);
    m_heard = HeardStation{node, tag, attempt, minutes};
    const PreferencesReader& prefs = m_parts.prefs;
    m_threads.start("MainController::listenThroughClient", [this, attempt, &prefs] {
        const StationResolution resolution =
            resolveStationURLs(attempt->urls, attempt->credentials, prefs, attempt->cancelled, {});
        callSync(*m_mainMailbox, [this, &attempt, &resolution] {
            finishListeningResolution(attempt, resolution);
            return true;
        });
    });
    return true;
}

void MainController::finishListeningResolution(const std::shared_ptr<ResolutionAttempt>& attempt,
                                               const StationResolution& resolution)
{
    if (!m_heard || m_heard->tag != attempt->tag || attempt->cancelled || m_terminated)
        return;
    const NodePtr node = m_heard->node;
    // A playlist of files is played as it always was: by the player, from its address.
    if (resolution.resolved.empty() || isPlaylistSource(resolution)) {
        listenWithoutClient(node);
        return;
    }
    // A relay that cannot take a player (its port taken) must not cost the user the
    // station: it is then played directly, as without the buffer.
    m_relay->launch();
    if (!m_relay->waitForState(RelayThread::kListening, kRelayStartWait) &&
        m_relay->state() != RelayThread::kConnected) {
        logMessage("MainController::listen", "the relay takes no player: playing directly");
        listenWithoutClient(node);
        return;
    }
    m_threadPool[m_heard->tag] = launchClient(
        node, m_heard->tag, resolution,
        {{MP3Client::kListenBufferSecondsKey, static_cast<double>(m_heard->minutes) * 60.0}});
    m_listeningNode = node;
    if (listenWithApplication() == kBuiltInPlayer) {
        if (!m_parts.frontEnd.startBuiltInPlayer(relayPlaylist()))
            logMessage("MainController::listen", "this front end has no built-in player");
    } else {
        m_listenURL = relayURL();
        listenToOrvantaRelay(m_listenURL);
    }
    m_parts.frontEnd.updateToolbarControls();
}

void MainController::listenWithoutClient(const NodePtr& node)
{
    m_heard.reset();
    if (listenWithApplication() == kBuiltInPlayer)
        startPlayingDirectly(node);
    else
        listenToLocation(firstURLOf(*node), false);
    m_parts.frontEnd.updateToolbarControls();
}

bool MainController::recordWhatIsHeard(Node& node)
{
    if (!m_heard || m_heard->node.get() != &node)
        return false;
    const auto server = serverForTag(m_heard->tag);
    if (!server) {
        // Still finding the station's address: the recording makes its own connection.
        endListeningThroughClient();
        return false;
    }
    const std::int32_t tag = m_heard->tag;
    m_heard.reset();
    m_nodePool[tag] = node.shared_from_this();
    node.setTag(tag);
    node.setCancelStatus(false);
    node.setRippingStatus(RippingStatus::Running);
    // The player goes on: from now on it hears a recording through the relay.
    m_playingStation = nullptr;
    m_listeningNode = node.shared_from_this();
    server->recordFromBuffer();
    refresh(&node);
    return true;
}

void MainController::endListeningThroughClient()
{
    if (!m_heard)
        return;
    const HeardStation heard = std::move(*m_heard);
    m_heard.reset();
    heard.attempt->cancel();
    if (const auto server = serverForTag(heard.tag)) {
        server->listen(false);
        server->terminate(); // its finished report removes it
    }
    if (m_listeningNode == heard.node) {
        m_listeningNode = nullptr;
        if (m_relay)
            m_relay->closeCurrentConnection();
        if (!m_listenURL.empty()) {
            stopListeningToOrvantaRelay(m_listenURL);
            m_listenURL.clear();
        }
    }
    m_parts.frontEnd.updateToolbarControls();
}

void MainController::heardStationEnded()
{
    const NodePtr node = m_heard->node;
    m_heard.reset();
    if (m_playingStation == node)
        stopPlayingStation();
    if (m_listeningNode == node)
        m_listeningNode = nullptr;
    const std::string alert = node->valueForKey("alertMessage").value_or("");
    if (!alert.empty())
        raiseAlertWithTitle(Orvanta::tr("Listen Error"), alert);
    m_parts.frontEnd.updateToolbarControls();
}

bool MainController::isHeardThroughClient(const Node* node) const
{
    return node && m_heard && m_heard->node.get() == node;
}

std::int64_t MainController::heardMinutes(const Node* node) const
{
    return isHeardThroughClient(node) && serverForTag(m_heard->tag) ? m_heard->minutes : 0;
}

bool MainController::saveHeardAudio(Node* node)
{
    if (heardMinutes(node) == 0)
        return false;
    const std::int64_t minutes = m_heard->minutes;
    std::optional<HeardAudio> heard = serverForTag(m_heard->tag)->heardAudio();
    if (!heard || heard->audio.empty()) {
        raiseAlertWithTitle(Orvanta::tr("Nothing to Save"),
                            Orvanta::tr("Nothing of this station has been heard yet."));
        return false;
    }
    const std::string folder = m_parts.prefs.stringForKey(prefs::kDownloadPath);
    if (const auto problem = recordingFolderProblem(folder, true)) {
        raiseAlertWithTitle(Orvanta::tr("Could Not Save"), *problem);
        return false;
    }
    const std::string label = Orvanta::tr("last %1 minutes", {std::to_string(minutes)});
    const std::string title =
        node->name() + " - " + label + " " + localTimeText(m_parts.clock(), "%Y-%m-%d %H.%M.%S");
    const std::string path =
        folder + "/" + fileNamePart(title) + std::string(fileExtension(heard->format));
    m_threads.start("MainController::saveHeardAudio", [this, path, title, station = node->name(),
                                                       heard = std::move(*heard)] {
        Bytes file;
        if (heard.format == AudioFormat::MP3)
            file =
                ID3v2Helper::createTagForDictionary(Dictionary{{"TIT2", title}, {"TPE1", station}});
        file.insert(file.end(), heard.streamHeader.begin(), heard.streamHeader.end());
        file.insert(file.end(), heard.audio.begin(), heard.audio.end());
        std::string error;
        const bool saved = writeFileAtomically(
            path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()), 0644,
            error);
        callSync(*m_mainMailbox, [this, saved, &path, &error] {
            if (saved)
                m_parts.frontEnd.heardAudioSaved(path);
            else
                raiseAlertWithTitle(Orvanta::tr("Could Not Save"), error);
            return true;
        });
    });
    return true;
}

} // namespace orvanta
