#include "RelayThread.h"

#include "GenericClient.h"
#include "Localization.h"
#include "Log.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "PreferencesReader.h"
#include "PrefsKeys.h"
#include "RelayProtocol.h"
#include "Version.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace orvanta {

namespace {

constexpr std::uint16_t kFirstSearchedPort = 1025;
constexpr std::uint16_t kLastSearchedPort = 60000;
constexpr int kAcceptRetryMs = 100;
// Connections waiting to say what they want, and those the system queues before we take
// them: enough for a player that reconnects while others are still at the door.
constexpr std::size_t kMaxWaitingConnections = 16;
constexpr int kListenBacklog = 16;

std::string systemError(int error)
{
    return std::generic_category().message(error);
}

// 128 random bits as hex digits, from the kernel's generator.
std::string randomToken()
{
    std::random_device source; // /dev/urandom on Linux
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(source()));
        token += part;
    }
    return token;
}

} // namespace

std::shared_ptr<RelayThread> RelayThread::instance(const PreferencesReader& prefs,
                                                   NotificationCenter& center)
{
    // Never destroyed: its threads may outlive static destruction at exit.
    static std::mutex mutex;
    static auto* shared = new std::shared_ptr<RelayThread>();
    std::lock_guard lock(mutex);
    if (!*shared) {
        const Value stored = prefs.getPrefsForKey(prefs::kRelayPort);
        const auto port = static_cast<std::uint16_t>(
            stored.isNull() ? kDefaultRelayPort : prefs.integerForKey(prefs::kRelayPort));
        if (port != 0)
            *shared = std::make_shared<RelayThread>(port, center, prefs);
    }
    return *shared;
}

RelayThread::RelayThread(std::uint16_t port, NotificationCenter& center,
                         const PreferencesReader& prefs)
    : m_center(center), m_prefs(prefs), m_relayPort(port), m_servedPath("/" + randomToken())
{}

RelayThread::~RelayThread()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_destroying = true;
    }
    m_stateChanged.notify_all();
    m_wake.signal();
    closeCurrentConnection();
    std::lock_guard lock(m_threadMutex);
    if (m_relayThread.joinable())
        m_relayThread.join();
}

// ---- control --------------------------------------------------------------------------------

bool RelayThread::launch()
{
    std::lock_guard threadLock(m_threadMutex);
    {
        std::lock_guard lock(m_stateMutex);
        if (m_state != kIdle || m_destroying)
            return false;
        m_state = kStarting;
    }
    if (m_relayThread.joinable())
        m_relayThread.join(); // the previous thread has ended: it set kIdle last
    try {
        m_relayThread = std::thread([this] { launchRelayThread(); });
    } catch (const std::system_error& error) {
        logMessage("RelayThread::launch", std::string("cannot start the relay: ") + error.what());
        setState(kIdle);
        return false;
    }
    return true;
}

bool RelayThread::isValidConnection() const
{
    std::lock_guard lock(m_stateMutex);
    return m_state == kConnected;
}

bool RelayThread::closeCurrentConnection()
{
    {
        std::lock_guard lock(m_stateMutex);
        if (m_state != kConnected)
            return false;
        // Wakes a send blocked on the player; the relay thread closes the descriptor once
        // the feeder has let go of it. It cannot be closed yet: only the relay thread closes
        // it, and only after it sees kClosed.
        ::shutdown(relaySocketFD.load(), SHUT_RDWR);
        m_state = kClosed;
    }
    m_stateChanged.notify_all();
    m_center.post(OVRelayConnectionClosedNotification);
    return true;
}

bool RelayThread::killRelayThread()
{
    relayShutDown = true;
    const bool closed = closeCurrentConnection();
    if (closed) {
        std::unique_lock lock(m_stateMutex);
        m_stateChanged.wait(lock, [this] { return m_state == kIdle; });
    }
    return closed;
}

bool RelayThread::changeRelayPort(std::uint16_t port)
{
    if (port == 0)
        return false;
    killRelayThread();
    std::lock_guard lock(m_stateMutex);
    if (m_state != kIdle)
        return false;
    m_relayPort = port;
    return true;
}

RelayThread::State RelayThread::state() const
{
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

bool RelayThread::waitForState(State wanted, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_stateMutex);
    return m_stateChanged.wait_for(lock, timeout, [&] { return m_state == wanted; });
}

void RelayThread::setState(State state)
{
    {
        std::lock_guard lock(m_stateMutex);
        m_state = state;
    }
    m_stateChanged.notify_all();
}

void RelayThread::setDelegate(std::weak_ptr<GenericClient> client)
{
    std::weak_ptr<GenericClient> previous;
    std::lock_guard lock(m_delegateMutex);
    previous = std::exchange(_delegate, std::move(client));
}

std::string RelayThread::currentTitle() const
{
    std::shared_ptr<GenericClient> delegate;
    {
        std::lock_guard lock(m_delegateMutex);
        delegate = _delegate.lock();
    }
    return relay::titleOrUnknown(delegate ? delegate->currentSong() : std::string());
}

void RelayThread::postError(const std::string& message)
{
    logMessage("RelayThread::launchRelayThread", message);
    m_center.post(OVRelayConnectionErrorNotification, Value(message));
}

// ---- relay thread ---------------------------------------------------------------------------

void RelayThread::launchRelayThread()
{
    setState(kStarting);
    try {
        relayShutDown = false;
        relay::Listeners listeners;
        if (openListeners(&listeners))
            serveConnections(listeners);
    } catch (const std::exception& error) {
        logMessage("RelayThread::launchRelayThread", error.what());
    } catch (...) {
        logMessage("RelayThread::launchRelayThread", "the relay ended on an unknown error");
    }
    relayShutDown = false;
    setDelegate({});
    setState(kIdle);
}

bool RelayThread::openListeners(relay::Listeners* listeners)
{
    const bool searchPorts = m_prefs.boolForKey(prefs::kSearchPorts);
    const std::uint16_t port = m_relayPort;
    int error = 0;
    relay::BindResult result = relay::bindLoopbackListeners(port, listeners, &error);
    if (result == relay::BindResult::BindFailed && searchPorts) {
        for (int candidate = kFirstSearchedPort; candidate <= kLastSearchedPort; ++candidate) {
            result = relay::bindLoopbackListeners(static_cast<std::uint16_t>(candidate), listeners,
                                                  &error);
            if (result != relay::BindResult::BindFailed)
                break;
        }
        if (result == relay::BindResult::BindFailed) {
            postError(Orvanta::tr("Could not establish connection with the player on any port "
                                  "number within the range 1024-65535."));
            return false;
        }
    }
    if (result == relay::BindResult::SocketFailed) {
        postError(Orvanta::tr("Could not establish connection with the player."));
        return false;
    }
    if (result == relay::BindResult::BindFailed) {
        postError(Orvanta::tr("Could not establish connection with the player on port number "
                              "%1.  This port may already be in use.",
                              {std::to_string(port)}));
        return false;
    }
    m_relayPort = listeners->port;
    for (const relay::UniqueFd* fd : {&listeners->ipv4, &listeners->ipv6}) {
        if (fd->valid() && ::listen(fd->get(), kListenBacklog) != 0) {
            logMessage("RelayThread::launchRelayThread", "listen: " + systemError(errno));
            return false;
        }
    }
    return true;
}

void RelayThread::serveConnections(const relay::Listeners& listeners)
{
    while (!relayShutDown) {
        {
            std::lock_guard lock(m_stateMutex);
            if (m_destroying)
                return;
            m_state = kListening;
        }
        m_stateChanged.notify_all();
        if (auto arrival = acceptPlayer(listeners))
            servePlayer(std::move(*arrival));
    }
}

std::optional<relay::Arrival> RelayThread::acceptPlayer(const relay::Listeners& listeners)
{
    // Connections that have not sent their request yet wait together, so that one that
    // never does cannot keep a player out.
    relay::WaitingRoom room(kMaxWaitingConnections, kRequestTimeout, relay::kMaxRequestBytes);
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign({{m_wake.fd(), POLLIN, 0},
                    {listeners.ipv4.get(), POLLIN, 0},
                    {listeners.ipv6.get(), POLLIN, 0}}); // poll() skips a negative descriptor
        room.appendPollEntries(fds);
        if (::poll(fds.data(), fds.size(), room.pollTimeoutMs(relay::Clock::now())) < 0) {
            if (errno != EINTR)
                relay::waitReadable(m_wake.fd(), -1, kAcceptRetryMs);
            if (relayShutDown)
                return std::nullopt;
            continue;
        }
        if (fds[0].revents & POLLIN)
            return std::nullopt;
        bool retrySoon = false;
        for (int i = 1; i < 3; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & POLLIN))
                continue;
            relay::UniqueFd player(
                ::accept4(fds[i].fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (player.valid()) {
                room.admit(std::move(player), relay::Clock::now());
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
                       errno != ECONNABORTED) {
                logMessage("RelayThread::launchRelayThread", "accept: " + systemError(errno));
                retrySoon = true;
            }
        }
        if (auto arrival = room.collect(fds, 3, relay::Clock::now()))
            return arrival;
        if (retrySoon) // a failing accept or a listener in error: no busy loop
            relay::waitReadable(m_wake.fd(), -1, kAcceptRetryMs);
    }
}

void RelayThread::servePlayer(relay::Arrival arrival)
{
    relay::UniqueFd player = std::move(arrival.fd);
    const std::string& request = arrival.request;
    const relay::RelayRequest parsed = relay::parseRelayRequest(request);
    // Another user, or a web page in the user's browser, gets nothing of the recording.
    if (const std::string refusal = relay::refusalFor(parsed, m_servedPath); !refusal.empty()) {
        relay::sendAll(player.get(), refusal.data(), refusal.size(),
                       relay::Clock::now() + std::chrono::seconds(1), m_wake.fd());
        logMessage("RelayThread::servePlayer", "refused a request for " +
                                                   parsed.path.substr(0, 64) + " (host " +
                                                   parsed.host.substr(0, 64) + ")");
        return;
    }
    const int one = 1;
    ::setsockopt(player.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    relaySocketFD = player.get();

    std::string contentType;
    {
        std::lock_guard lock(m_sendMutex);
        _metadataClientPort = parsed.udpPort;
        _metaint = parsed.wantsMetadata ? relay::kMetaint : 0;
        _metaintCounter = 0;
        m_headerOwed = !m_streamHeader.empty();
        contentType = m_contentType;
        m_udpTitles = parsed.usesUDPTitles();
        m_playerFamily = relay::socketFamily(player.get());
    }
    if (m_udpTitles)
        launchUDPServer(m_playerFamily);

    const std::string response =
        relay::relayResponse(parsed, m_relayPort, kBundleVersion, contentType);
    const int error = relay::sendAll(player.get(), response.data(), response.size(),
                                     relay::Clock::now() + m_sendTimeout.load(), m_wake.fd());
    if (error != 0) {
        logMessage("RelayThread::launchRelayThread", "send response: " + systemError(error));
        stopUDPServer();
        dropPlayer(player);
        return;
    }

    bool connected = false;
    {
        std::lock_guard lock(m_stateMutex);
        connected = !m_destroying;
        if (connected)
            m_state = kConnected;
    }
    if (connected) {
        m_stateChanged.notify_all();
        m_center.post(OVRelayConnectionOpenedNotification);
        std::unique_lock lock(m_stateMutex);
        m_stateChanged.wait(lock, [this] { return m_state == kClosed || m_destroying; });
    }
    stopUDPServer();
    dropPlayer(player);
}

void RelayThread::dropPlayer(relay::UniqueFd& player)
{
    std::lock_guard lock(m_sendMutex);
    relaySocketFD = -1;
    player.reset();
}

// ---- audio ----------------------------------------------------------------------------------

bool RelayThread::writeRawData(const std::uint8_t* data, std::size_t length)
{
    if (!isValidConnection())
        return false;
    // Fetched before taking the send lock: the delegate takes locks of its own.
    const std::string title = currentTitle();
    int error = 0;
    {
        std::lock_guard lock(m_sendMutex);
        if (!isValidConnection())
            return false;
        const int fd = relaySocketFD;
        if (fd < 0)
            return true;
        const auto deadline = relay::Clock::now() + m_sendTimeout.load();
        if (m_headerOwed) {
            m_headerOwed = false;
            error = sendAudio(fd, m_streamHeader.data(), m_streamHeader.size(), title, deadline);
        }
        if (error == 0)
            error = sendAudio(fd, data, length, title, deadline);
    }
    if (error == 0)
        return true;
    logMessage("RelayThread::writeRawData", "write data to relay port: " + systemError(error));
    closeCurrentConnection();
    return false;
}

void RelayThread::setStreamFormat(std::string contentType, Bytes streamHeader)
{
    std::lock_guard lock(m_sendMutex);
    m_contentType = std::move(contentType);
    m_streamHeader = std::move(streamHeader);
}

int RelayThread::sendAudio(int fd, const std::uint8_t* data, std::size_t length,
                           const std::string& title, relay::Clock::time_point deadline)
{
    if (_metaint == 0)
        return relay::sendAll(fd, data, length, deadline);
    while (length > 0) {
        const std::size_t piece = std::min<std::size_t>(length, _metaint - _metaintCounter);
        if (const int error = relay::sendAll(fd, data, piece, deadline); error != 0)
            return error;
        data += piece;
        length -= piece;
        _metaintCounter += static_cast<std::uint32_t>(piece);
        if (_metaintCounter != _metaint)
            continue;
        _metaintCounter = 0;
        if (m_udpTitles) {
            sendUDPTitle(title);
        } else {
            const std::string block = relay::metadataBlock(title);
            if (const int error = relay::sendAll(fd, block.data(), block.size(), deadline);
                error != 0)
                return error;
        }
    }
    return 0;
}

} // namespace orvanta
