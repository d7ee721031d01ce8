#pragma once

// Sockets, request parsing and the accept loop shared by the test ICY server and the test
// proxy. Every socket is non-blocking; every wait also watches a stop event.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvanta::test::net {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxHeadBytes = 16 * 1024;
constexpr std::size_t kMaxMetadataBytes = 255 * 16;
constexpr auto kLingerTime = std::chrono::milliseconds(200);
constexpr int kReapIntervalMs = 250;

enum class Wake { Ready, Timeout, Stop };

std::string lower(std::string text);
std::string trim(const std::string& text);
bool startsWithNoCase(const std::string& text, const std::string& prefix);
std::string base64(const std::string& in);
const char* reasonPhrase(int code);
std::string simpleResponse(int code, const std::vector<std::string>& headers = {},
                           bool withBody = true);

// Waits until fd reports one of events (or an error or hang-up), the stop event fires or the
// deadline passes. fd < 0: waits for the stop event or the deadline only.
Wake waitFd(int fd, short events, int stopFd, std::optional<Clock::time_point> deadline,
            short* revents = nullptr);
bool sendAll(int fd, int stopFd, const char* data, std::size_t size);
bool sendAll(int fd, int stopFd, const std::string& text);
bool readHead(int fd, int stopFd, std::string* head, std::string* rest, bool* tooLarge);
void closeGracefully(int fd, int stopFd);
void holdOpen(int fd, int stopFd);
bool sleepOnConnection(int fd, int stopFd, Clock::time_point deadline);
void setNoDelay(int fd);
sockaddr_in loopbackAddress(std::uint16_t port);

// ---------------------------------------------------------------------------------------------
// Listener: a listening socket, an accept thread and one thread per connection.

class Listener
{
public:
    // Handler(fd, stopFd): serves one connection; the listener closes fd afterwards.
    using Handler = std::function<void(int fd, int stopFd)>;

    explicit Listener(std::uint16_t port)
    {
        m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_stopFd < 0)
            throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_listenFd < 0) {
            const int error = errno;
            ::close(m_stopFd);
            throw std::runtime_error(std::string("socket: ") + std::strerror(error));
        }
        const int one = 1;
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address = loopbackAddress(port);
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listenFd, SOMAXCONN) != 0) {
            const int error = errno;
            ::close(m_listenFd);
            ::close(m_stopFd);
            throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                                     std::strerror(error));
        }
        socklen_t length = sizeof address;
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }

    ~Listener()
    {
        stop();
        ::close(m_listenFd);
        ::close(m_stopFd);
    }

    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    void start(Handler handler)
    {
        m_handler = std::move(handler);
        m_acceptThread = std::thread([this] { acceptLoop(); });
    }

    // Stops accepting, wakes every connection and joins every thread. Idempotent.
    void stop()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
        if (m_acceptThread.joinable())
            m_acceptThread.join();
        std::list<std::unique_ptr<Connection>> all;
        {
            std::lock_guard lock(m_mutex);
            all.swap(m_connections);
        }
        for (auto& connection : all)
            connection->thread.join();
    }

    std::uint16_t port() const { return m_port; }

    void dropAll()
    {
        std::lock_guard lock(m_mutex);
        for (auto& connection : m_connections) {
            if (connection->fd >= 0)
                ::shutdown(connection->fd, SHUT_RDWR);
        }
    }

    int openCount() const
    {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(std::count_if(m_connections.begin(), m_connections.end(),
                                              [](const auto& c) { return c->fd >= 0; }));
    }

private:
    struct Connection
    {
        int fd = -1;                   // guarded by m_mutex; -1 once the thread closes it
        std::thread thread;            // touched by the accept thread (and stop() after it)
        std::atomic<bool> done{false}; // the thread has finished its work
    };

    void acceptLoop()
    {
        for (;;) {
            reapFinished();
            short revents = 0;
            const Wake wake =
                waitFd(m_listenFd, POLLIN, m_stopFd,
                       Clock::now() + std::chrono::milliseconds(kReapIntervalMs), &revents);
            if (wake == Wake::Stop)
                return;
            if (wake == Wake::Timeout)
                continue;
            for (;;) {
                const int fd =
                    ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) {
                    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                        // Out of descriptors: back off instead of spinning.
                        if (waitFd(-1, 0, m_stopFd, Clock::now() + std::chrono::milliseconds(50)) ==
                            Wake::Stop)
                            return;
                    }
                    break;
                }
                setNoDelay(fd);
                spawn(fd);
            }
        }
    }

    void spawn(int fd)
    {
        auto connection = std::make_unique<Connection>();
        Connection* raw = connection.get();
        std::lock_guard lock(m_mutex);
        raw->fd = fd;
        m_connections.push_back(std::move(connection));
        try {
            raw->thread = std::thread([this, raw, fd] { serve(raw, fd); });
        } catch (const std::system_error&) {
            m_connections.pop_back();
            ::close(fd);
        }
    }

    void serve(Connection* connection, int fd)
    {
        try {
            m_handler(fd, m_stopFd);
        } catch (...) {
            // A failing handler (out of memory) ends its connection only.
        }
        {
            std::lock_guard lock(m_mutex);
            connection->fd = -1; // dropAll() no longer touches the descriptor
        }
        closeGracefully(fd, m_stopFd);
        connection->done.store(true, std::memory_order_release);
    }

    void reapFinished()
    {
        std::list<std::unique_ptr<Connection>> finished;
        {
            std::lock_guard lock(m_mutex);
            for (auto it = m_connections.begin(); it != m_connections.end();) {
                auto next = std::next(it);
                if ((*it)->done.load(std::memory_order_acquire))
                    finished.splice(finished.end(), m_connections, it);
                it = next;
            }
        }
        for (auto& connection : finished)
            connection->thread.join();
    }

    int m_listenFd = -1;
    int m_stopFd = -1;
    std::uint16_t m_port = 0;
    Handler m_handler;
    std::thread m_acceptThread;
    mutable std::mutex m_mutex;
    std::list<std::unique_ptr<Connection>> m_connections;
};

// ---------------------------------------------------------------------------------------------
// Requests

struct Request
{
    std::string method, target, version;
    std::vector<std::pair<std::string, std::string>> headers; // names in lower case

    std::optional<std::string> header(const std::string& name) const
    {
        const std::string key = lower(name);
        for (const auto& [headerName, value] : headers) {
            if (headerName == key)
                return value;
        }
        return std::nullopt;
    }
};

bool parseRequest(const std::string& head, Request* request);
std::string pathOf(const std::string& target);

} // namespace orvanta::test::net
