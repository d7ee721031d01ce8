#include "IcyTestServer.h"

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

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxHeadBytes = 16 * 1024;
constexpr std::size_t kMaxMetadataBytes = 255 * 16;
constexpr auto kLingerTime = std::chrono::milliseconds(200);
constexpr int kReapIntervalMs = 250;

// ---------------------------------------------------------------------------------------------
// Small text helpers

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool startsWithNoCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && lower(text.substr(0, prefix.size())) == lower(prefix);
}

std::string base64(const std::string& in)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8) |
                           static_cast<unsigned char>(in[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == in.size()) {
        const unsigned v = static_cast<unsigned char>(in[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) |
                           (static_cast<unsigned char>(in[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

const char* reasonPhrase(int code)
{
    switch (code) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Error";
    }
}

// A complete HTTP/1.0 response with a short HTML body.
std::string simpleResponse(int code, const std::vector<std::string>& headers = {})
{
    const std::string status = std::to_string(code) + " " + reasonPhrase(code);
    const std::string body = "<html><body><h1>" + status + "</h1></body></html>\n";
    std::string out = "HTTP/1.0 " + status + "\r\n";
    out += "Content-Type: text/html\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto& line : headers)
        out += line + "\r\n";
    out += "\r\n";
    return out + body;
}

// ---------------------------------------------------------------------------------------------
// Socket helpers. Every socket is non-blocking; every wait also watches the stop event.

enum class Wake { Ready, Timeout, Stop };

// Waits until fd reports one of events (or an error or hang-up), the stop event fires or the
// deadline passes. fd < 0: waits for the stop event or the deadline only.
Wake waitFd(int fd, short events, int stopFd, std::optional<Clock::time_point> deadline,
            short* revents = nullptr)
{
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = *deadline - Clock::now();
            if (left <= Clock::duration::zero()) {
                timeoutMs = 0;
            } else {
                const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
                timeoutMs = static_cast<int>(std::min<long long>(ms, 60'000));
            }
        }
        pollfd fds[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Wake::Stop;
        }
        if (fds[1].revents)
            return Wake::Stop;
        if (fds[0].revents) {
            if (revents)
                *revents = fds[0].revents;
            return Wake::Ready;
        }
        if (deadline && Clock::now() >= *deadline)
            return Wake::Timeout;
    }
}

// Sends everything; false when the peer is gone or the server stops.
bool sendAll(int fd, int stopFd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t r = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) {
            data += r;
            size -= static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFd(fd, POLLOUT, stopFd, std::nullopt) == Wake::Stop)
                return false;
            continue;
        }
        return false;
    }
    return true;
}

bool sendAll(int fd, int stopFd, const std::string& text)
{
    return sendAll(fd, stopFd, text.data(), text.size());
}

// Reads a request head up to the blank line. Returns false when the client went away or the
// server stops before a whole head (or more than kMaxHeadBytes) arrived; *tooLarge tells
// that the head is over the limit (head then holds what was read).
bool readHead(int fd, int stopFd, std::string* head, std::string* rest, bool* tooLarge)
{
    *tooLarge = false;
    char buffer[2048];
    std::string data;
    for (;;) {
        const ssize_t r = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r > 0) {
            const std::size_t searchFrom = data.size() >= 3 ? data.size() - 3 : 0;
            data.append(buffer, static_cast<std::size_t>(r));
            std::size_t end = std::string::npos;
            const auto crlf = data.find("\r\n\r\n", searchFrom);
            const auto lf = data.find("\n\n", searchFrom);
            if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf))
                end = crlf + 4;
            else if (lf != std::string::npos)
                end = lf + 2;
            if (end != std::string::npos) {
                *head = data.substr(0, end);
                *rest = data.substr(end);
                *tooLarge = end > kMaxHeadBytes;
                return true;
            }
            if (data.size() > kMaxHeadBytes) {
                *head = std::move(data);
                *tooLarge = true;
                return true;
            }
            continue;
        }
        if (r == 0)
            return false;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        if (waitFd(fd, POLLIN, stopFd, std::nullopt) == Wake::Stop)
            return false;
    }
}

// Ends a connection: FIN after the data already queued, then a short wait that reads and
// discards what the client still sends (so that close() does not answer with a reset that
// could destroy data the client has not read yet), then close().
void closeGracefully(int fd, int stopFd)
{
    ::shutdown(fd, SHUT_WR);
    const auto deadline = Clock::now() + kLingerTime;
    char buffer[512];
    while (waitFd(fd, POLLIN, stopFd, deadline) == Wake::Ready) {
        const ssize_t r = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            break;
    }
    ::close(fd);
}

// Keeps a connection open without sending; returns when the client closes it, it is dropped
// or the server stops. Bytes from the client are read and discarded.
void holdOpen(int fd, int stopFd)
{
    char buffer[512];
    for (;;) {
        if (waitFd(fd, POLLIN, stopFd, std::nullopt) != Wake::Ready)
            return;
        const ssize_t r = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return;
    }
}

// Sleeps until the deadline; false when the server stops or the connection is hung up
// (dropped, or reset by the client) meanwhile.
bool sleepOnConnection(int fd, int stopFd, Clock::time_point deadline)
{
    return waitFd(fd, 0, stopFd, deadline) == Wake::Timeout;
}

void setNoDelay(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

sockaddr_in loopbackAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

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
            const Wake wake = waitFd(m_listenFd, POLLIN, m_stopFd,
                                     Clock::now() + std::chrono::milliseconds(kReapIntervalMs),
                                     &revents);
            if (wake == Wake::Stop)
                return;
            if (wake == Wake::Timeout)
                continue;
            for (;;) {
                const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
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

bool parseRequest(const std::string& head, Request* request)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < head.size()) {
        auto end = head.find('\n', start);
        if (end == std::string::npos)
            end = head.size();
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lines.empty())
        return false;
    // Request line: METHOD SP target SP version
    std::vector<std::string> parts;
    {
        const std::string& line = lines.front();
        std::size_t i = 0;
        while (i < line.size()) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            const std::size_t j = std::min(line.find(' ', i), line.size());
            if (j > i)
                parts.push_back(line.substr(i, j - i));
            i = j;
        }
    }
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    request->method = parts[0];
    request->target = parts[1];
    request->version = parts.size() == 3 ? parts[2] : "HTTP/0.9";
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty())
            break;
        if ((line[0] == ' ' || line[0] == '\t') && !request->headers.empty()) {
            request->headers.back().second += " " + trim(line);
            continue;
        }
        const auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0)
            continue;
        request->headers.emplace_back(lower(trim(line.substr(0, colon))), trim(line.substr(colon + 1)));
    }
    return true;
}

// The path of a request target without scheme, authority, query or fragment.
std::string pathOf(const std::string& target)
{
    std::string path = target;
    const auto scheme = path.find("://");
    if (scheme != std::string::npos && path.find('/') > scheme) {
        const auto slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    path = path.substr(0, std::min(path.find('?'), path.find('#')));
    return path.empty() ? "/" : path;
}

// ---------------------------------------------------------------------------------------------
// Mounts and the body of a stream

struct Resource
{
    bool isFile = false;
    std::string contentType, body; // file
    IcyMount mount;                // stream; titles sorted
    std::vector<std::string> titleBlocks; // per title: length byte + padded text
};

std::string metadataBlock(const IcyTitle& title)
{
    std::string text;
    if (title.raw) {
        text = title.text.substr(0, kMaxMetadataBytes);
    } else {
        static const std::string kPrefix = "StreamTitle='";
        static const std::string kSuffix = "';StreamUrl='';";
        text = kPrefix + title.text.substr(0, kMaxMetadataBytes - kPrefix.size() - kSuffix.size()) +
               kSuffix;
    }
    const std::size_t blocks = (text.size() + 15) / 16;
    std::string out(1, static_cast<char>(blocks));
    out += text;
    out.resize(1 + blocks * 16, '\0');
    return out;
}

const std::string& emptyMetadataBlock()
{
    static const std::string kEmpty(1, '\0');
    return kEmpty;
}

// Produces the body of one connection: audio with metadata blocks every metaint audio bytes.
class BodyGenerator
{
public:
    BodyGenerator(const Resource& resource, bool framing, bool onePass)
        : m_resource(resource)
        , m_metaint(framing ? static_cast<std::uint64_t>(resource.mount.metaint) : 0)
        , m_loop(resource.mount.loop && !onePass)
    {
    }

    // Fills up to max bytes; returns how many (0 only at the end of a finite body).
    std::size_t next(std::uint8_t* out, std::size_t max)
    {
        const auto& audio = m_resource.mount.audio;
        const std::uint64_t size = audio.size();
        std::size_t n = 0;
        while (n < max) {
            if (m_block) {
                const std::size_t take = std::min(max - n, m_block->size() - m_blockPos);
                std::memcpy(out + n, m_block->data() + m_blockPos, take);
                n += take;
                m_blockPos += take;
                if (m_blockPos == m_block->size())
                    m_block = nullptr;
                continue;
            }
            if (m_metaint && m_fill == m_metaint) {
                m_block = &blockAfter(m_audio);
                m_blockPos = 0;
                m_fill = 0;
                continue;
            }
            if (size == 0 || (!m_loop && m_audio >= size))
                break;
            const std::uint64_t position = m_loop ? m_audio % size : m_audio;
            std::uint64_t take = std::min<std::uint64_t>(max - n, size - position);
            if (m_metaint)
                take = std::min(take, m_metaint - m_fill);
            std::memcpy(out + n, audio.data() + position, static_cast<std::size_t>(take));
            n += static_cast<std::size_t>(take);
            m_audio += take;
            m_fill += take;
        }
        return n;
    }

    // The metadata block (length byte first) that follows audio byte end (a multiple of
    // metaint); advances the schedule of titles sent.
    const std::string& blockAfter(std::uint64_t end)
    {
        const auto& titles = m_resource.mount.titles;
        const std::uint64_t size = m_resource.mount.audio.size();
        const std::int64_t count = static_cast<std::int64_t>(titles.size());
        if (count == 0)
            return emptyMetadataBlock();
        std::uint64_t pass = 0;
        std::uint64_t offset = end;
        if (m_loop && size > 0) {
            pass = end / size;
            offset = end % size;
        }
        auto greatestAtOrBefore = [&titles](std::uint64_t at) -> std::int64_t {
            const auto it = std::upper_bound(
                titles.begin(), titles.end(), at,
                [](std::uint64_t value, const IcyTitle& title) { return value < title.atAudioByte; });
            return static_cast<std::int64_t>(it - titles.begin()) - 1;
        };
        std::int64_t index = greatestAtOrBefore(offset);
        if (index < 0 && m_loop && pass > 0 && size > 0) {
            index = greatestAtOrBefore(size - 1); // the previous pass's last title
            --pass;
        }
        if (index < 0)
            return emptyMetadataBlock();
        const std::int64_t event = static_cast<std::int64_t>(pass) * count + index;
        if (!m_resource.mount.repeatTitle) {
            if (event <= m_lastEvent)
                return emptyMetadataBlock();
            m_lastEvent = event;
        }
        return m_resource.titleBlocks[static_cast<std::size_t>(index)];
    }

private:
    const Resource& m_resource;
    const std::uint64_t m_metaint;
    const bool m_loop;
    std::uint64_t m_audio = 0; // audio bytes produced
    std::uint64_t m_fill = 0;  // audio bytes since the last metadata block
    const std::string* m_block = nullptr;
    std::size_t m_blockPos = 0;
    std::int64_t m_lastEvent = -1;
};

std::uint64_t onePassBodySize(const Resource& resource, bool framing)
{
    const std::uint64_t size = resource.mount.audio.size();
    std::uint64_t total = size;
    if (framing && resource.mount.metaint > 0) {
        const auto metaint = static_cast<std::uint64_t>(resource.mount.metaint);
        BodyGenerator generator(resource, true, true);
        for (std::uint64_t end = metaint; end <= size; end += metaint)
            total += generator.blockAfter(end).size();
    }
    return total;
}

// Sends the body of a stream, paced and limited as the mount says.
void streamBody(int fd, int stopFd, const Resource& resource, bool framing)
{
    const IcyMount& mount = resource.mount;
    BodyGenerator generator(resource, framing, false);
    const std::size_t chunk = std::max<std::size_t>(1, mount.sendChunk);
    const std::uint64_t rate = mount.bytesPerSecond;
    const std::uint64_t grain = rate ? std::clamp<std::uint64_t>(rate / 4, 1, chunk) : chunk;
    const std::uint64_t limit = std::min(mount.stallAfterBodyBytes, mount.closeAfterBodyBytes);
    std::vector<std::uint8_t> buffer(chunk);
    std::size_t have = 0;
    std::size_t offset = 0;
    std::uint64_t sent = 0;
    const auto start = Clock::now();

    for (;;) {
        if (sent >= mount.closeAfterBodyBytes)
            return;
        if (sent >= mount.stallAfterBodyBytes) {
            holdOpen(fd, stopFd);
            return;
        }
        if (offset == have) {
            have = generator.next(buffer.data(),
                                  static_cast<std::size_t>(std::min<std::uint64_t>(chunk, limit - sent)));
            offset = 0;
            if (have == 0)
                return; // the end of a finite body
        }
        std::size_t count = have - offset;
        if (rate) {
            using Wide = unsigned __int128;
            const std::uint64_t need = std::min<std::uint64_t>(count, grain);
            const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     Clock::now() - start).count();
            const auto due = static_cast<std::uint64_t>(Wide(elapsed) * rate / 1'000'000'000u);
            if (due < sent + need) {
                const auto at = static_cast<std::int64_t>(
                    (Wide(sent + need) * 1'000'000'000u + rate - 1) / rate);
                if (!sleepOnConnection(fd, stopFd, start + std::chrono::nanoseconds(at)))
                    return;
                continue;
            }
            count = static_cast<std::size_t>(std::min<std::uint64_t>(count, due - sent));
        }
        const ssize_t r = ::send(fd, buffer.data() + offset, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r > 0) {
            offset += static_cast<std::size_t>(r);
            sent += static_cast<std::uint64_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFd(fd, POLLOUT, stopFd, std::nullopt) == Wake::Stop)
                return;
            continue;
        }
        return; // the client is gone
    }
}

void serveMount(int fd, int stopFd, const Resource& resource, const Request& request)
{
    const IcyMount& mount = resource.mount;
    if (mount.headerDelayMs > 0 &&
        !sleepOnConnection(fd, stopFd, Clock::now() + std::chrono::milliseconds(mount.headerDelayMs)))
        return;

    if (!mount.user.empty() || !mount.password.empty()) {
        const std::string expected = base64(mount.user + ":" + mount.password);
        const std::string given = request.header("authorization").value_or("");
        const auto space = given.find(' ');
        const bool ok = space != std::string::npos && lower(given.substr(0, space)) == "basic" &&
                        trim(given.substr(space + 1)) == expected;
        if (!ok) {
            std::vector<std::string> headers = {"WWW-Authenticate: Basic realm=\"Orvanta Test\""};
            headers.insert(headers.end(), mount.extraHeaders.begin(), mount.extraHeaders.end());
            sendAll(fd, stopFd, simpleResponse(401, headers));
            return;
        }
    }
    if (!mount.redirectTo.empty()) {
        const int code = mount.statusCode == 301 || mount.statusCode == 302 || mount.statusCode == 303 ||
                                 mount.statusCode == 307 || mount.statusCode == 308
                             ? mount.statusCode
                             : 302;
        std::vector<std::string> headers = {"Location: " + mount.redirectTo};
        headers.insert(headers.end(), mount.extraHeaders.begin(), mount.extraHeaders.end());
        sendAll(fd, stopFd, simpleResponse(code, headers));
        return;
    }
    if (mount.statusCode != 200) {
        sendAll(fd, stopFd, simpleResponse(mount.statusCode, mount.extraHeaders));
        return;
    }

    const bool asked = trim(request.header("icy-metadata").value_or("")) == "1";
    const bool offered = (mount.metaint > 0 || !mount.metaintHeaderValue.empty()) &&
                         (asked || !mount.metadataOnlyWhenAsked);
    const std::string realMetaint = std::to_string(mount.metaint);
    const bool framing = offered && mount.metaint > 0 &&
                         (mount.metaintHeaderValue.empty() || mount.metaintHeaderValue == realMetaint);
    const std::string metaintLine =
        mount.metaintHeaderName + ":" +
        (mount.metaintHeaderValue.empty() ? realMetaint : mount.metaintHeaderValue) + "\r\n";

    std::string head;
    if (mount.style == IcyMount::Style::Shoutcast) {
        head = "ICY 200 OK\r\n";
        head += "icy-notice1:<BR>This stream requires <a href=\"http://www.winamp.com/\">Winamp</a><BR>\r\n";
        if (!mount.name.empty())
            head += "icy-name:" + mount.name + "\r\n";
        if (!mount.genre.empty())
            head += "icy-genre:" + mount.genre + "\r\n";
        if (!mount.url.empty())
            head += "icy-url:" + mount.url + "\r\n";
        head += "content-type:" + mount.contentType + "\r\n";
        head += "icy-pub:1\r\n";
        if (mount.bitrate > 0)
            head += "icy-br:" + std::to_string(mount.bitrate) + "\r\n";
        if (offered)
            head += metaintLine;
    } else {
        head = "HTTP/1.0 200 OK\r\n";
        head += "Content-Type: " + mount.contentType + "\r\n";
        if (!mount.name.empty())
            head += "icy-name:" + mount.name + "\r\n";
        if (!mount.genre.empty())
            head += "icy-genre:" + mount.genre + "\r\n";
        if (mount.bitrate > 0)
            head += "icy-br:" + std::to_string(mount.bitrate) + "\r\n";
        if (!mount.url.empty())
            head += "icy-url:" + mount.url + "\r\n";
        if (offered)
            head += metaintLine;
        head += "Server: Icecast 2.4.4\r\n";
    }
    if (mount.sendContentLength)
        head += "Content-Length: " + std::to_string(onePassBodySize(resource, framing)) + "\r\n";
    for (const auto& line : mount.extraHeaders)
        head += line + "\r\n";
    head += "\r\n";
    if (!sendAll(fd, stopFd, head) || request.method == "HEAD")
        return;
    streamBody(fd, stopFd, resource, framing);
}

} // namespace

// -------------------------------------------------------------------------------------------------
// IcyTestServer

struct IcyTestServer::Impl
{
    explicit Impl(std::uint16_t port)
        : listener(port)
    {
    }

    void handle(int fd, int stopFd)
    {
        std::string head, rest;
        bool tooLarge = false;
        if (!readHead(fd, stopFd, &head, &rest, &tooLarge))
            return;
        {
            std::lock_guard lock(mutex);
            requests.push_back(head);
            ++connections;
        }
        countChanged.notify_all();
        Request request;
        if (tooLarge || !parseRequest(head, &request)) {
            sendAll(fd, stopFd, simpleResponse(400));
            return;
        }
        if (request.method != "GET" && request.method != "HEAD") {
            sendAll(fd, stopFd, simpleResponse(405, {"Allow: GET, HEAD"}));
            return;
        }
        std::shared_ptr<const Resource> resource;
        {
            std::lock_guard lock(mutex);
            const auto it = resources.find(pathOf(request.target));
            if (it != resources.end())
                resource = it->second;
        }
        if (!resource) {
            sendAll(fd, stopFd, simpleResponse(404));
            return;
        }
        if (resource->isFile) {
            std::string response = "HTTP/1.0 200 OK\r\nContent-Type: " + resource->contentType +
                                   "\r\nContent-Length: " + std::to_string(resource->body.size()) +
                                   "\r\nConnection: close\r\n\r\n";
            if (request.method != "HEAD")
                response += resource->body;
            sendAll(fd, stopFd, response);
            return;
        }
        serveMount(fd, stopFd, *resource, request);
    }

    Listener listener;
    mutable std::mutex mutex;
    mutable std::condition_variable countChanged;
    std::map<std::string, std::shared_ptr<const Resource>> resources;
    std::vector<std::string> requests;
    int connections = 0;
};

IcyTestServer::IcyTestServer()
    : IcyTestServer(0)
{
}

IcyTestServer::IcyTestServer(std::uint16_t port)
    : m_impl(std::make_unique<Impl>(port))
{
    Impl* impl = m_impl.get();
    m_impl->listener.start([impl](int fd, int stopFd) { impl->handle(fd, stopFd); });
}

IcyTestServer::~IcyTestServer()
{
    m_impl->listener.stop();
}

void IcyTestServer::addMount(const std::string& path, IcyMount mount)
{
    auto resource = std::make_shared<Resource>();
    std::stable_sort(mount.titles.begin(), mount.titles.end(),
                     [](const IcyTitle& a, const IcyTitle& b) { return a.atAudioByte < b.atAudioByte; });
    for (const auto& title : mount.titles)
        resource->titleBlocks.push_back(metadataBlock(title));
    resource->mount = std::move(mount);
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources[path] = std::move(resource);
}

void IcyTestServer::addFile(const std::string& path, std::string contentType, std::string body)
{
    auto resource = std::make_shared<Resource>();
    resource->isFile = true;
    resource->contentType = std::move(contentType);
    resource->body = std::move(body);
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources[path] = std::move(resource);
}

void IcyTestServer::removePath(const std::string& path)
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->resources.erase(path);
}

std::uint16_t IcyTestServer::port() const
{
    return m_impl->listener.port();
}

std::string IcyTestServer::url(const std::string& path) const
{
    const std::string slash = !path.empty() && path.front() == '/' ? "" : "/";
    return "http://127.0.0.1:" + std::to_string(port()) + slash + path;
}

int IcyTestServer::connectionCount() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->connections;
}

std::vector<std::string> IcyTestServer::requests() const
{
    std::lock_guard lock(m_impl->mutex);
    return m_impl->requests;
}

bool IcyTestServer::waitForConnections(int count, int timeoutMs) const
{
    std::unique_lock lock(m_impl->mutex);
    return m_impl->countChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&] { return m_impl->connections >= count; });
}

int IcyTestServer::openConnectionCount() const
{
    return m_impl->listener.openCount();
}

void IcyTestServer::dropAllConnections()
{
    m_impl->listener.dropAll();
}

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
    Impl()
        : listener(0)
    {
    }

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

IcyTestProxy::IcyTestProxy()
    : m_impl(std::make_unique<Impl>())
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

} // namespace orvanta::test
