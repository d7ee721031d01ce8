#include "RelaySockets.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvanta::relay {

namespace {

int remainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

int bindTo(int fd, int family, std::uint16_t port)
{
    sockaddr_storage address{};
    const std::size_t size = loopbackAddress(family, port, &address);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), static_cast<socklen_t>(size));
}

std::uint16_t boundPort(int fd)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

UniqueFd tcpSocket(int family)
{
    UniqueFd fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return fd;
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
        fd.reset();
    return fd;
}

bool noIPv6(int error)
{
    return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT;
}

} // namespace

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_fd.valid())
        throw std::system_error(errno, std::generic_category(), "eventfd");
}

void WakeEvent::signal()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_fd.get(), &one, sizeof one);
}

void WakeEvent::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd.get(), &count, sizeof count);
}

std::uint16_t portOf(const void* storage)
{
    sockaddr_storage address{};
    std::memcpy(&address, storage, sizeof address);
    if (address.ss_family == AF_INET6) {
        sockaddr_in6 v6{};
        std::memcpy(&v6, &address, sizeof v6);
        return ntohs(v6.sin6_port);
    }
    if (address.ss_family == AF_INET) {
        sockaddr_in v4{};
        std::memcpy(&v4, &address, sizeof v4);
        return ntohs(v4.sin_port);
    }
    return 0;
}

std::size_t loopbackAddress(int family, std::uint16_t port, void* storage)
{
    if (family == AF_INET6) {
        auto* address = static_cast<sockaddr_in6*>(storage);
        *address = sockaddr_in6{};
        address->sin6_family = AF_INET6;
        address->sin6_port = htons(port);
        address->sin6_addr = in6addr_loopback;
        return sizeof *address;
    }
    auto* address = static_cast<sockaddr_in*>(storage);
    *address = sockaddr_in{};
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sizeof *address;
}

BindResult bindLoopbackListeners(std::uint16_t port, Listeners* out, int* error)
{
    // With port 0 the IPv6 half may find the system's pick taken; a few fresh picks settle it.
    for (int attempt = 0; attempt < (port == 0 ? 8 : 1); ++attempt) {
        UniqueFd ipv4 = tcpSocket(AF_INET);
        if (!ipv4.valid()) {
            *error = errno;
            return BindResult::SocketFailed;
        }
        if (bindTo(ipv4.get(), AF_INET, port) != 0) {
            *error = errno;
            return BindResult::BindFailed;
        }
        const std::uint16_t bound = boundPort(ipv4.get());
        UniqueFd ipv6 = tcpSocket(AF_INET6);
        if (ipv6.valid() && bindTo(ipv6.get(), AF_INET6, bound) != 0) {
            const int ipv6Error = errno;
            ipv6.reset();
            if (!noIPv6(ipv6Error)) {
                *error = ipv6Error;
                if (port == 0)
                    continue;
                return BindResult::BindFailed;
            }
        }
        out->ipv4 = std::move(ipv4);
        out->ipv6 = std::move(ipv6);
        out->port = bound;
        return BindResult::Bound;
    }
    return BindResult::BindFailed;
}

UniqueFd bindLoopbackUDP(int family, std::uint16_t port, int* error)
{
    UniqueFd fd(::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        *error = errno;
        return fd;
    }
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (bindTo(fd.get(), family, port) != 0) {
        *error = errno;
        fd.reset();
    }
    return fd;
}

int sendAll(int fd, const void* data, std::size_t length, Clock::time_point deadline, int wakeFd)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t sent = ::send(fd, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes += sent;
            length -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, remainingMs(deadline));
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        if (wakeFd >= 0 && (fds[1].revents & POLLIN))
            return ECANCELED;
    }
    return 0;
}

bool waitReadable(int fd, int wakeFd, int timeoutMs)
{
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (fds[1].revents & POLLIN))
            return false;
        return true;
    }
}

int socketFamily(int fd)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return AF_INET;
    return address.ss_family;
}

} // namespace orvanta::relay
