#pragma once

// The connections that have reached the relay but not yet said what they want. The relay
// serves one player at a time, yet a connection that never sends its request must not keep
// the next one out: every waiting connection is read at once, the first with a whole
// request is served, a connection that stays silent past its time is closed, and when too
// many wait, the one waiting longest goes.
//
// Thread: the relay thread.

#include "RelaySockets.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include <poll.h>

namespace orvanta::relay {

/// A connection with the request it sent (the head up to its blank line, or what came
/// before its time ran out).
struct Arrival
{
    UniqueFd fd;
    std::string request;
};

class WaitingRoom
{
public:
    WaitingRoom(std::size_t capacity, std::chrono::milliseconds requestTimeout,
                std::size_t maxRequestBytes);

    /// Takes a new connection; when the room is full, the one waiting longest is closed.
    void admit(UniqueFd connection, Clock::time_point now);
    /// Appends a read poll entry per waiting connection, in the order collect() expects.
    void appendPollEntries(std::vector<pollfd>& entries) const;
    /// How long poll() may wait before a connection's time runs out; -1 when none waits.
    int pollTimeoutMs(Clock::time_point now) const;
    /// Reads what arrived (entries from first on are this room's) and closes connections
    /// that hung up or ran out of time. Returns the first connection whose request is
    /// complete; the others stay waiting.
    std::optional<Arrival> collect(const std::vector<pollfd>& entries, std::size_t first,
                                   Clock::time_point now);
    void clear() { m_waiting.clear(); }
    std::size_t size() const { return m_waiting.size(); }

private:
    struct Waiting
    {
        UniqueFd fd;
        std::string request;
        Clock::time_point deadline;
    };

    std::size_t m_capacity;
    std::chrono::milliseconds m_requestTimeout;
    std::size_t m_maxRequestBytes;
    std::deque<Waiting> m_waiting;
};

} // namespace orvanta::relay
