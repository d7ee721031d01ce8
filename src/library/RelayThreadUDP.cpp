// The relay's UDP title mode: a title thread that answers the player's datagrams, and the
// title messages sent at every metadata point of the audio.

#include "RelayThread.h"

#include "Log.h"
#include "RelayProtocol.h"

#include <system_error>

#include <sys/socket.h>

namespace orvanta {

namespace {

// Goes up by one for every title message built, across all relays of the process.
std::atomic<std::int64_t> g_titleSequenceNumber{0};

constexpr int kMaxAnswersPerSecond = 10;

} // namespace

void RelayThread::launchUDPServer(int family)
{
    int error = 0;
    relay::UniqueFd socket = relay::bindLoopbackUDP(family, m_relayPort, &error);
    if (!socket.valid()) {
        logMessage("RelayThread::launchUDPServer",
                   "no UDP title socket: " + std::generic_category().message(error));
        return;
    }
    {
        std::lock_guard lock(m_sendMutex);
        m_metadataSocket = std::move(socket);
        _metadataSocketFD = m_metadataSocket.get();
    }
    m_udpWake.clear();
    try {
        m_udpThread = std::thread([this] { serveTitleDatagrams(); });
    } catch (const std::system_error& failure) {
        logMessage("RelayThread::launchUDPServer", failure.what());
        std::lock_guard lock(m_sendMutex);
        m_metadataSocket.reset();
        _metadataSocketFD = -1;
    }
}

void RelayThread::stopUDPServer()
{
    // Closing a socket does not wake a thread blocked on it, so the title thread is woken
    // first and the socket closed after it has gone.
    if (m_udpThread.joinable()) {
        m_udpWake.signal();
        m_udpThread.join();
    }
    std::lock_guard lock(m_sendMutex);
    m_metadataSocket.reset();
    _metadataSocketFD = -1;
}

void RelayThread::serveTitleDatagrams()
{
    const int fd = _metadataSocketFD; // fixed until this thread has been joined
    try {
        char buffer[8192];
        while (relay::waitReadable(fd, m_udpWake.fd())) {
            sockaddr_storage sender{};
            socklen_t senderSize = sizeof sender;
            const ssize_t got = ::recvfrom(fd, buffer, sizeof buffer - 1, MSG_DONTWAIT,
                                           reinterpret_cast<sockaddr*>(&sender), &senderSize);
            if (got < 0)
                continue; // nothing after all, or an ICMP error from an earlier send
            // Only the player's title port is answered, and not more often than a player
            // asks: anyone else could use the relay to send datagrams to a third party.
            if (relay::portOf(&sender) != _metadataClientPort)
                continue;
            const auto now = std::chrono::steady_clock::now();
            if (now - m_answerWindowStart >= std::chrono::seconds(1)) {
                m_answerWindowStart = now;
                m_answersInWindow = 0;
            }
            if (++m_answersInWindow > kMaxAnswersPerSecond)
                continue;
            const std::string_view datagram(buffer, static_cast<std::size_t>(got));
            const relay::TitleDatagram parsed = relay::parseTitleDatagram(datagram);
            if (parsed.kind == relay::TitleDatagram::Kind::UDPPort) {
                // The player moves its title port: the title goes there at once.
                if (parsed.port != 0) {
                    _metadataClientPort = parsed.port;
                    sockaddr_storage moved{};
                    const std::size_t size =
                        relay::loopbackAddress(m_playerFamily, parsed.port, &moved);
                    sendTitleMessage(&moved, size, currentTitle());
                } else {
                    sendTitleMessage(&sender, senderSize, currentTitle());
                }
            } else if (parsed.kind == relay::TitleDatagram::Kind::Ping) {
                ::sendto(fd, buffer, static_cast<std::size_t>(got), MSG_NOSIGNAL | MSG_DONTWAIT,
                         reinterpret_cast<const sockaddr*>(&sender), senderSize);
            }
        }
    } catch (const std::exception& failure) {
        logMessage("RelayThread::serveTitleDatagrams", failure.what());
    }
}

void RelayThread::sendUDPTitle(const std::string& title)
{
    const std::uint16_t port = _metadataClientPort;
    if (_metadataSocketFD < 0 || port == 0)
        return;
    sockaddr_storage player{};
    const std::size_t size = relay::loopbackAddress(m_playerFamily, port, &player);
    sendTitleMessage(&player, size, title);
}

void RelayThread::sendTitleMessage(const void* address, std::size_t addressSize,
                                   const std::string& title)
{
    const std::string message =
        relay::udpTitleMessage(g_titleSequenceNumber.fetch_add(1) + 1, title);
    ::sendto(_metadataSocketFD, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
             static_cast<const sockaddr*>(address), static_cast<socklen_t>(addressSize));
}

} // namespace orvanta
