#pragma once

// Socket plumbing of the listening relay: descriptors that close themselves, a wake-up
// event for threads blocked in poll(), loopback listeners and bounded sends and reads.
// The relay serves a player on this computer only, so everything binds the loopback
// addresses: 127.0.0.1 and, where this computer has it, ::1.
//
// Thread-safe: pure functions over descriptors; a UniqueFd belongs to one owner.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace orvanta::relay {

using Clock = std::chrono::steady_clock;

class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

/// An eventfd that wakes every poll() watching it until it is cleared.
class WakeEvent
{
public:
    WakeEvent();
    int fd() const { return m_fd.get(); }
    void signal();
    void clear();

private:
    UniqueFd m_fd;
};

/// The relay's TCP listeners, one per loopback address, on one port.
struct Listeners
{
    UniqueFd ipv4;
    UniqueFd ipv6; // invalid when this computer has no IPv6 loopback
    std::uint16_t port = 0;
};

enum class BindResult { Bound, SocketFailed, BindFailed };

/// Opens TCP listeners (SO_REUSEADDR and TCP_NODELAY on) bound to port on 127.0.0.1 and
/// ::1; port 0 takes a port the system picks. A port counts as busy when either address
/// has it in use. Does not listen yet. error receives errno on failure.
BindResult bindLoopbackListeners(std::uint16_t port, Listeners* out, int* error);

/// A UDP socket bound to port on the loopback address of family (AF_INET or AF_INET6);
/// invalid on failure, with errno in error.
UniqueFd bindLoopbackUDP(int family, std::uint16_t port, int* error);

/// Sends everything, waiting for room until deadline; wakeFd (when >= 0) cuts the wait
/// short. Returns 0 or the errno of the failure (ETIMEDOUT at the deadline). Never raises
/// SIGPIPE.
int sendAll(int fd, const void* data, std::size_t length, Clock::time_point deadline,
            int wakeFd = -1);

/// Waits until fd has something to read or wakeFd fires; false on wakeFd or the deadline.
bool waitReadable(int fd, int wakeFd, int timeoutMs = -1);

/// The family (AF_INET or AF_INET6) of a connected socket.
int socketFamily(int fd);

/// The loopback address of family at port, as a sockaddr filled into storage; its size.
std::size_t loopbackAddress(int family, std::uint16_t port, void* storage);
/// The port of an IPv4 or IPv6 socket address (storage of a sockaddr_storage); 0 for others.
std::uint16_t portOf(const void* storage);

} // namespace orvanta::relay
