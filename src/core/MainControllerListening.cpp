// Listening: a station that is not recording goes straight to the user's player; one that
// is recording is heard through the relay, which its client feeds.

#include "MainController.h"

#include "AtomicFile.h"
#include "GenericServer.h"
#include "HistoryRules.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "RelayThread.h"

#include <sys/stat.h>

namespace orvanta {

namespace {
// listenWithApplication: which player listens.
constexpr std::int64_t kBuiltInPlayer = 0;
constexpr std::int64_t kSecondPlayer = 2;

constexpr const char* kListenScript = "listenToStream";
constexpr const char* kSecondPlayerScript = "listenToStreamAudion";

std::string relayPlaylistFor(const std::string& relayURL)
{
    return "[playlist]\nnumberofentries=1\nFile1=" + relayURL +
           "\nTitle1=[ORVANTA RELAY RADIO]\nLength1=-1\n";
}
} // namespace

std::int64_t MainController::listenWithApplication() const
{
    return m_parts.prefs.integerForKey(prefs::kListenWithApplication);
}

std::string MainController::relayURL() const
{
    return m_relay
               ? "http://localhost:" + std::to_string(m_relay->relayPort()) + m_relay->servedPath()
               : std::string();
}

void MainController::listen()
{
    const std::int64_t player = listenWithApplication();
    const bool wasListening = m_listeningNode && m_listeningNode == m_visibleNode;
    if (!m_visibleNode)
        return;
    if (!m_visibleNode->isRecording()) {
        const std::string url = firstURLOf(*m_visibleNode);
        if (player != kBuiltInPlayer) {
            // Pressed again on the station heard through the relay, it stops.
            if (isHeardThroughClient(m_visibleNode.get()))
                endListeningThroughClient();
            else if (!url.empty() && !listenThroughClient(m_visibleNode))
                listenToLocation(url, false);
            return;
        }
        // The built-in player plays the station; pressed again, it stops.
        const bool wasPlaying = isPlayingStation(m_visibleNode.get());
        stopPlayingStation();
        if (!wasPlaying && !url.empty()) {
            if (listenThroughClient(m_visibleNode))
                m_playingStation = m_visibleNode;
            else
                startPlayingDirectly(m_visibleNode);
        }
        m_parts.frontEnd.updateToolbarControls();
        return;
    }
    stopPlayingStation();
    if (!m_relay)
        return;
    m_relay->launch();
    if (m_relay->isValidConnection() && m_listeningNode && !m_listenURL.empty()) {
        m_relay->closeCurrentConnection();
        stopListeningToOrvantaRelay(m_listenURL);
        m_listenURL.clear();
    } else if (m_parts.frontEnd.builtInPlayerIsPlaying()) {
        m_relay->closeCurrentConnection();
        m_parts.frontEnd.stopBuiltInPlayer();
    }
    m_listeningNode = nullptr;
    if (wasListening)
        return; // the button toggles listening off
    if (player == kBuiltInPlayer) {
        if (!m_parts.frontEnd.startBuiltInPlayer(relayPlaylist()))
            logMessage("MainController::listen", "this front end has no built-in player");
        m_listeningNode = m_visibleNode;
    } else {
        m_listeningNode = m_visibleNode;
        m_listenURL = relayURL();
        listenToOrvantaRelay(m_listenURL);
    }
}

std::string MainController::firstURLOf(const Node& node)
{
    const auto urls = node.propertyForKey(np::NP_URLS);
    const bool hasURL =
        urls && urls->isArray() && urls->toArray().size() > 0 && urls->toArray().at(0).isString();
    return hasURL ? urls->toArray().at(0).toString() : std::string();
}

std::string MainController::relayPlaylist() const
{
    return "[playlist]\nnumberofentries=1\nFile1=http://127.0.0.1:" +
           std::to_string(m_relay->relayPort()) + m_relay->servedPath() +
           "\nTitle1=Orvanta Stream\nLength1=-1\n";
}

void MainController::startPlayingDirectly(const NodePtr& node)
{
    const std::string url = firstURLOf(*node);
    if (!url.empty() &&
        m_parts.frontEnd.startBuiltInPlayer("[playlist]\nnumberofentries=1\nFile1=" + url +
                                            "\nTitle1=" + node->name() + "\nLength1=-1\n"))
        m_playingStation = node;
}

std::optional<std::string> MainController::serveThroughRelay(Node* node)
{
    if (!m_relay || !node || !node->isRecording())
        return std::nullopt;
    m_relay->launch();
    m_listeningNode = node->shared_from_this();
    return relayURL();
}

void MainController::listenToOrvantaRelay(const std::string& url)
{
    if (listenWithApplication() == kSecondPlayer) {
        listenToLocation(url, true);
        return;
    }
    const auto folder = applicationSupportFolder();
    if (!folder)
        return;
    const std::string path = *folder + "/relay.pls";
    std::string error;
    if (!writeFileAtomically(path, relayPlaylistFor(url), 0644, error)) {
        logMessage("MainController::listenToOrvantaRelay", error);
        return;
    }
    listenToLocation(path, true);
}

void MainController::listenToLocation(const std::string& location, bool isRelay)
{
    if (listenWithApplication() == kSecondPlayer)
        m_handOver.runHandlerInBackground(kSecondPlayerScript, "listenwithaudion", {location});
    else
        m_handOver.runHandlerInBackground(kListenScript, "listenwithitunes",
                                          {location, isRelay ? "1" : "0"});
}

void MainController::stopListeningToOrvantaRelay(const std::string& url)
{
    if (listenWithApplication() == kSecondPlayer)
        m_handOver.runHandlerInBackground(kSecondPlayerScript, "stoplisteneningwithaudion", {url});
    else
        m_handOver.runHandlerInBackground(kListenScript, "stoplisteningwithitunes", {url});
}

void MainController::relayConnectionOpened()
{
    if (!m_listeningNode)
        return;
    m_listeningNode->setListenStatus(true);
    m_parts.frontEnd.reloadItem(m_listeningNode.get());
    if (const auto server = serverForTag(m_listeningNode->tag()))
        server->listen(true);
    m_listeningNodeToKill = m_listeningNode;
    m_parts.frontEnd.updateToolbarControls();
}

void MainController::relayConnectionClosed()
{
    if (!m_listeningNodeToKill)
        return;
    const NodePtr node = std::move(m_listeningNodeToKill);
    node->setListenStatus(false);
    if (const auto server = serverForTag(node->tag()))
        server->listen(false);
    // The music player that heard a station not recording has gone: nobody hears it now.
    if (isHeardThroughClient(node.get()) && listenWithApplication() != kBuiltInPlayer)
        endListeningThroughClient();
    m_parts.frontEnd.reloadItem(node.get());
    m_parts.frontEnd.updateToolbarControls();
}

void MainController::listenAgain(std::int32_t tag)
{
    if (m_listenURL.empty() || !m_relay || !m_relay->isValidConnection() || !m_listeningNode ||
        m_listeningNode->tag() != tag)
        return;
    m_relay->closeCurrentConnection();
    stopListeningToOrvantaRelay(m_listenURL);
    listenToOrvantaRelay(m_listenURL);
}

void MainController::stopListeningTo(Node& node)
{
    if (m_listeningNode.get() != &node || !m_relay || !m_relay->isValidConnection())
        return;
    if (listenWithApplication() != kBuiltInPlayer) {
        m_relay->closeCurrentConnection();
        stopListeningToOrvantaRelay(m_listenURL);
    } else {
        m_parts.frontEnd.stopBuiltInPlayer();
        m_relay->closeCurrentConnection();
    }
}

void MainController::stopPlayingStation()
{
    endListeningThroughClient();
    if (!m_playingStation)
        return;
    m_playingStation = nullptr;
    m_parts.frontEnd.stopBuiltInPlayer();
}

bool MainController::isPlayingStation(const Node* node) const
{
    return node && m_playingStation.get() == node &&
           (m_parts.frontEnd.builtInPlayerIsPlaying() || isHeardThroughClient(node));
}

Node* MainController::playingNode() const
{
    if (m_listeningNode && m_listeningNode->isRecording())
        return m_listeningNode.get();
    if (isPlayingStation(m_playingStation.get()))
        return m_playingStation.get();
    if (m_heard)
        return m_heard->node.get();
    return nullptr;
}

std::string MainController::currentSongOf(const Node* node) const
{
    if (!node)
        return {};
    const std::int32_t tag = node->isRecording()          ? node->tag()
                             : isHeardThroughClient(node) ? m_heard->tag
                                                          : 0;
    const auto server = tag != 0 ? serverForTag(tag) : nullptr;
    return server ? server->currentSong() : std::string();
}

std::optional<std::string> MainController::lastRecordedFile(const Node& node) const
{
    const auto history = node.propertyForKey(np::NP_HISTORY);
    if (!history || !history->isArray())
        return std::nullopt;
    std::lock_guard lock(historyListLock());
    const Array& entries = history->toArray();
    for (std::size_t i = entries.size(); i-- > 0;) {
        const Value location = entries.at(i).toDictionary().get(fileinfo::kLocation);
        struct stat info
        {};
        if (location.isString() && ::stat(location.toString().c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            return location.toString();
    }
    return std::nullopt;
}

std::optional<MainController::MusicToShow> MainController::musicToShow(const Node& node) const
{
    if (node.isRecording()) {
        if (const auto server = serverForTag(node.tag())) {
            const std::string folder = server->completePath();
            struct stat info
            {};
            if (!folder.empty() && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                return MusicToShow{folder, true};
        }
    }
    if (auto file = lastRecordedFile(node))
        return MusicToShow{std::move(*file), false};
    return std::nullopt;
}

} // namespace orvanta
