#include "IcyTestServer.h"

#include "IcyTestNet.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvanta::test {

using namespace net;

// -------------------------------------------------------------------------------------------------
// IcyTestProxy

namespace {

// Connects to 127.x.x.x:port without blocking past the stop event; -1 on failure.
int connectUpstream(in_addr address, std::uint16_t port, int stopFd)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in target = loopbackAddress(port);
    target.sin_addr = address;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        if (errno != EINPROGRESS ||
            waitFd(fd, POLLOUT, stopFd, Clock::now() + std::chrono::seconds(10)) != Wake::Ready) {
            ::close(fd);
            return -1;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            ::close(fd);
            return -1;
        }
    }
    setNoDelay(fd);
    return fd;
}

// Copies bytes both ways until either side closes or the proxy stops.
void relay(int client, int upstream, int stopFd)
{
    std::vector<char> buffer(16 * 1024);
    for (;;) {
        pollfd fds[3] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int r = ::poll(fds, 3, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[2].revents)
            return;
        for (int side = 0; side < 2; ++side) {
            if (!fds[side].revents)
                continue;
            const int from = side == 0 ? client : upstream;
            const int to = side == 0 ? upstream : client;
            const ssize_t n = ::recv(from, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n == 0)
                return;
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)
                    continue;
                return;
            }
            if (!sendAll(to, stopFd, buffer.data(), static_cast<std::size_t>(n)))
                return;
        }
    }
}

} // namespace

struct IcyTestProxy::Impl
{
    Impl() : listener(0) {}

    void handle(int fd, int stopFd)
    {
        std::string head, rest;
        bool tooLarge = false;
        if (!readHead(fd, stopFd, &head, &rest, &tooLarge))
            return;
        Request request;
        if (tooLarge || !parseRequest(head, &request)) {
            sendAll(fd, stopFd, simpleResponse(400));
            return;
        }
        {
            std::lock_guard lock(mutex);
            ++count;
            urls.push_back(request.target);
        }
        if (!startsWithNoCase(request.target, "http://")) {
            sendAll(fd, stopFd, simpleResponse(startsWithNoCase(request.target, "/") ? 400 : 403));
            return;
        }
        // http://[user@]host[:port][/path]
        const std::string rest0 = request.target.substr(7);
        const auto slash = rest0.find_first_of("/?#");
        std::string authority = rest0.substr(0, slash);
        std::string path = slash == std::string::npos ? "/" : rest0.substr(slash);
        if (path.front() != '/')
            path = "/" + path;
        if (const auto at = authority.rfind('@'); at != std::string::npos)
            authority = authority.substr(at + 1);
        std::string host = authority;
        std::uint16_t port = 80;
        if (const auto colon = authority.rfind(':');
            colon != std::string::npos && authority.find(']') == std::string::npos) {
            host = authority.substr(0, colon);
            const std::string portText = authority.substr(colon + 1);
            if (portText.empty() || portText.size() > 5 ||
                portText.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(portText) > 65535) {
                sendAll(fd, stopFd, simpleResponse(400));
                return;
            }
            port = static_cast<std::uint16_t>(std::stoul(portText));
        }
        in_addr address{};
        if (lower(host) == "localhost")
            address.s_addr = htonl(INADDR_LOOPBACK);
        else if (::inet_pton(AF_INET, host.c_str(), &address) != 1 ||
                 (ntohl(address.s_addr) >> 24) != 127) {
            sendAll(fd, stopFd, simpleResponse(403));
            return;
        }
        const int upstream = connectUpstream(address, port, stopFd);
        if (upstream < 0) {
            sendAll(fd, stopFd, simpleResponse(502));
            return;
        }
        std::string forward = request.method + " " + path + " " + request.version + "\r\n";
        {
            // Copy the header lines as sent, leaving out the hop-by-hop ones.
            std::size_t start = head.find('\n') + 1;
            while (start < head.size()) {
                auto end = head.find('\n', start);
                if (end == std::string::npos)
                    end = head.size();
                std::string line = head.substr(start, end - start);
                start = end + 1;
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.empty())
                    break;
                const std::string name = lower(trim(line.substr(0, line.find(':'))));
                if (name == "connection" || name == "proxy-connection" || name == "keep-alive" ||
                    name == "proxy-authorization")
                    continue;
                forward += line + "\r\n";
            }
        }
        forward += "Connection: close\r\n\r\n";
        forward += rest;
        if (sendAll(upstream, stopFd, forward))
            relay(fd, upstream, stopFd);
        ::shutdown(upstream, SHUT_RDWR);
        ::close(upstream);
    }

    Listener listener;
    mutable std::mutex mutex;
    int count = 0;
    std::vector<std::string> urls;
};

IcyTestProxy::IcyTestProxy() : m_impl(std::make_unique<Impl>())
{
    Impl* impl = m_impl.get();
    m_impl->listener.start([impl](int fd, int stopFd) { impl->handle(fd, stopFd); });
}

IcyTestProxy::~IcyTestProxy()
{
    m_impl->listener.stop();
}

std::uint16_t IcyTestProxy::port() const
{
    return m_impl->listener.port();
}

std::string IcyTestProxy::hostAndPort() const
{
    return "127.0.0.1:" + std::to_string(port());
}

int IcyTestProxy::requestCount() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->count;
}

std::vector<std::string> IcyTestProxy::requestedUrls() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->urls;
}

// -------------------------------------------------------------------------------------------------

std::uint16_t unusedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(std::string("bind: ") + std::strerror(error));
    }
    ::close(fd); // bound but never listening: connections are refused, before and after
    return ntohs(address.sin_port);
}

int connectToLoopback(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace orvanta::test
