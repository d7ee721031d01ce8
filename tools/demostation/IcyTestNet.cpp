#include "IcyTestNet.h"

#include <algorithm>

#include <fcntl.h>
#include <netinet/tcp.h>

namespace orvanta::test::net {

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
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 308:
        return "Permanent Redirect";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    case 504:
        return "Gateway Timeout";
    default:
        return "Error";
    }
}

// A complete HTTP/1.0 response with a short HTML body.
std::string simpleResponse(int code, const std::vector<std::string>& headers, bool withBody)
{
    const std::string status = std::to_string(code) + " " + reasonPhrase(code);
    const std::string body =
        withBody ? "<html><body><h1>" + status + "</h1></body></html>\n" : std::string();
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

// Waits until fd reports one of events (or an error or hang-up), the stop event fires or the
// deadline passes. fd < 0: waits for the stop event or the deadline only.
Wake waitFd(int fd, short events, int stopFd, std::optional<Clock::time_point> deadline,
            short* revents)
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
        request->headers.emplace_back(lower(trim(line.substr(0, colon))),
                                      trim(line.substr(colon + 1)));
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

} // namespace orvanta::test::net
