#include "RelayWaitingRoom.h"

#include <algorithm>
#include <cerrno>

#include <sys/socket.h>

namespace orvanta::relay {

WaitingRoom::WaitingRoom(std::size_t capacity, std::chrono::milliseconds requestTimeout,
                         std::size_t maxRequestBytes)
    : m_capacity(std::max<std::size_t>(1, capacity)), m_requestTimeout(requestTimeout),
      m_maxRequestBytes(maxRequestBytes)
{}

void WaitingRoom::admit(UniqueFd connection, Clock::time_point now)
{
    if (!connection.valid())
        return;
    if (m_waiting.size() >= m_capacity)
        m_waiting.pop_front();
    m_waiting.push_back(Waiting{std::move(connection), {}, now + m_requestTimeout});
}

void WaitingRoom::appendPollEntries(std::vector<pollfd>& entries) const
{
    for (const Waiting& waiting : m_waiting)
        entries.push_back(pollfd{waiting.fd.get(), POLLIN, 0});
}

int WaitingRoom::pollTimeoutMs(Clock::time_point now) const
{
    if (m_waiting.empty())
        return -1;
    Clock::time_point earliest = m_waiting.front().deadline;
    for (const Waiting& waiting : m_waiting)
        earliest = std::min(earliest, waiting.deadline);
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - now).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

std::optional<Arrival> WaitingRoom::collect(const std::vector<pollfd>& entries, std::size_t first,
                                            Clock::time_point now)
{
    std::optional<Arrival> arrived;
    std::deque<Waiting> still;
    for (std::size_t i = 0; i < m_waiting.size(); ++i) {
        Waiting& waiting = m_waiting[i];
        const std::size_t entry = first + i;
        bool open = true;
        const bool readable = entry < entries.size() && entries[entry].fd == waiting.fd.get() &&
                              (entries[entry].revents & (POLLIN | POLLHUP | POLLERR));
        if (readable && waiting.request.size() < m_maxRequestBytes) {
            char buffer[4096];
            const std::size_t room =
                std::min(sizeof buffer, m_maxRequestBytes - waiting.request.size());
            const ssize_t got = ::recv(waiting.fd.get(), buffer, room, MSG_DONTWAIT);
            if (got > 0)
                waiting.request.append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                open = false; // hung up or failed
        }
        const bool complete = waiting.request.find("\r\n\r\n") != std::string::npos ||
                              waiting.request.size() >= m_maxRequestBytes;
        const bool timedOut = now >= waiting.deadline;
        // A whole request is served; so is what a connection said before it hung up or ran
        // out of time (players that end their head oddly still get heard). Silence goes.
        const bool served = complete || ((timedOut || !open) && !waiting.request.empty());
        if (!arrived && served) {
            arrived = Arrival{std::move(waiting.fd), std::move(waiting.request)};
            continue;
        }
        if (open && !timedOut)
            still.push_back(std::move(waiting));
    }
    m_waiting = std::move(still);
    return arrived;
}

} // namespace orvanta::relay
