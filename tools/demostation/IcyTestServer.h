#pragma once

// A test ICY (Shoutcast/Icecast) streaming server, a minimal HTTP forward proxy and a
// helper for "connection refused" tests. Plain C++20 and POSIX sockets (no Qt, no gtest):
// one accept thread per server plus one thread per client connection, all listening on
// 127.0.0.1 only. Every wait also watches a stop event, so destruction is prompt.
//
// Responses: one request per connection, HTTP/1.0 style ("Connection: close" semantics).
// Request heads over 16 KiB get 400, unknown paths 404, methods other than GET and HEAD 405.
// The query string is ignored when looking a path up.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvanta::test {

struct IcyTitle
{
    std::uint64_t atAudioByte = 0; // title in force from this audio byte offset on; it is sent
                                   // in the first metadata block at or after that offset
    std::string text;              // sent as StreamTitle='text';StreamUrl=''; (unless raw)
    bool raw = false;              // true: text is sent as the metadata block's bytes exactly
};

// One stream ("mount point"). Notes beyond the field comments:
// - Metadata schedule (per connection): the block after the audio bytes [k·metaint, (k+1)·metaint)
//   carries the title with the greatest atAudioByte ≤ (k+1)·metaint that has not been sent on
//   this connection (with repeatTitle: the current title, whether sent or not); else L = 0.
//   Titles are sorted by atAudioByte when the mount is added. A block follows every complete
//   period, also the last one of a finite body.
// - With loop, atAudioByte counts from the start of `audio` and the schedule starts again on
//   every pass (before a pass's first title, the previous pass's last title is current).
// - A wrapped title longer than 4080 bytes has its text cut so that the whole
//   StreamTitle='…';StreamUrl=''; is 4080 bytes (L = 255); a raw text is cut to 4080 bytes.
//   Blocks are zero-padded to a multiple of 16 bytes. A raw title with empty text gives L = 0.
// - icy-name, icy-genre and icy-url are left out when empty, icy-br when bitrate ≤ 0.
// - The icy-metaint header goes out when the connection is offered metadata: (metaint > 0 or
//   metaintHeaderValue non-empty) and ("Icy-MetaData: 1" was sent or !metadataOnlyWhenAsked).
// - Error, 401 and redirect responses use "HTTP/1.0 <code> <reason>" in both styles, with a
//   short text/html body and Content-Length; extraHeaders go out on every response of the mount.
//   The order of checks: headerDelayMs, authentication, redirectTo, statusCode, the stream.
//   A redirect uses statusCode when that is 301, 302, 303, 307 or 308, else 302.
// - sendContentLength with loop: the size of one pass (audio plus its metadata blocks).
// - Pacing: t seconds after the response head, at most bytesPerSecond × t body bytes have gone
//   out (no initial burst). The server sends when min(sendChunk, bytesPerSecond / 4) bytes are
//   due, so a paced connection wakes about four times a second (16000 bytes/s: 4000-byte sends).
// - stallAfterBodyBytes / closeAfterBodyBytes count body bytes (audio and metadata). A stalled
//   connection ends when the client closes it, dropAllConnections() or the server stops.
struct IcyMount
{
    enum class Style { Shoutcast, Icecast };
    Style style = Style::Shoutcast;  // Shoutcast: "ICY 200 OK"; Icecast: "HTTP/1.0 200 OK" + icy-*
    std::vector<std::uint8_t> audio; // body audio bytes
    bool loop = false; // repeat audio forever (until the client goes or the server stops)
    int metaint = 0;   // 0: no metadata framing and no icy-metaint header
    bool metadataOnlyWhenAsked =
        true;                     // frame metadata only when the request carried "Icy-MetaData: 1"
    std::vector<IcyTitle> titles; // in increasing atAudioByte
    bool repeatTitle = false;     // false: a title goes out once (later blocks have L = 0);
                                  // true: every block repeats the current title
    std::string name = "Test Station", genre = "Test", url;
    int bitrate = 128;                             // icy-br
    std::string metaintHeaderName = "icy-metaint"; // e.g. "Icy-MetaInt" (case-insensitive parsing)
    std::string metaintHeaderValue; // non-empty: sent instead of the real number (e.g. "0",
                                    // "70000", "abc"); the body is framed by `metaint` only if
                                    // the value is the real one
    std::vector<std::string> extraHeaders; // raw header lines without line end
    bool sendContentLength = false; // Content-Length = size of the whole body (audio plus metadata)
    std::string user, password;     // non-empty: require HTTP basic authentication, else 401
    std::string redirectTo;         // non-empty: answer "302 Found" with this Location
    int statusCode = 200;           // e.g. 404 or 503 to answer with that error and a short body
    bool errorBody = true;          // false: the error answer has no body (Content-Length: 0)
    std::string contentType = "audio/mpeg";
    std::uint64_t bytesPerSecond = 0;               // 0: as fast as the socket takes it; else paced
    std::uint64_t stallAfterBodyBytes = UINT64_MAX; // stop sending (connection stays open)
    std::uint64_t closeAfterBodyBytes =
        UINT64_MAX;               // close the connection after this many body bytes
    std::size_t sendChunk = 4096; // bytes per send() (at most)
    int headerDelayMs = 0;        // wait before answering
};

class IcyTestServer
{
public:
    IcyTestServer(); // 127.0.0.1 on a free port, accepting at once
    explicit IcyTestServer(
        std::uint16_t port); // fixed port; throws std::runtime_error if it cannot bind
    ~IcyTestServer();        // stops accepting, closes every connection, joins every thread
    IcyTestServer(const IcyTestServer&) = delete;
    IcyTestServer& operator=(const IcyTestServer&) = delete;

    void addMount(const std::string& path,
                  IcyMount mount); // e.g. "/stream"; replaces an existing one
    void addFile(const std::string& path, std::string contentType,
                 std::string body);           // 200 + Content-Length
    void removePath(const std::string& path); // later requests for it get 404
    void failNextRequests(const std::string& path,
                          int count); // the next count requests for path get 503

    std::uint16_t port() const;
    std::string url(const std::string& path = "/stream") const; // "http://127.0.0.1:PORT/stream"
    int connectionCount() const;               // requests received so far (all paths; counted when
                                               // the request head has arrived, before answering)
    std::vector<std::string> requests() const; // the raw request heads (up to and including the
                                               // blank line), in order
    bool waitForConnections(int count, int timeoutMs) const; // until connectionCount() >= count
    int openConnectionCount() const;                         // client connections open right now
    std::uint64_t audioBytesSent() const; // audio handed to the system for all clients so far
                                          // (metadata blocks and headers not counted)
    void dropAllConnections();            // closes every open client connection now

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A minimal HTTP forward proxy on 127.0.0.1: accepts "GET http://host:port/path HTTP/1.x",
// connects to host:port (loopback only: "localhost" or 127.x.x.x; anything else gets 403, a
// target that is not an absolute http URL 400, an upstream that refuses 502), forwards the
// request in origin form (Proxy-* and Connection headers replaced by "Connection: close") and
// relays bytes both ways until either side closes.
class IcyTestProxy
{
public:
    IcyTestProxy();
    ~IcyTestProxy();
    IcyTestProxy(const IcyTestProxy&) = delete;
    IcyTestProxy& operator=(const IcyTestProxy&) = delete;

    std::uint16_t port() const;
    std::string hostAndPort() const;                // "127.0.0.1:PORT"
    int requestCount() const;                       // parsed requests, refused ones included
    std::vector<std::string> requestedUrls() const; // their request targets, in order

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// A free loopback TCP port with nothing listening on it (for "connection refused" tests).
std::uint16_t unusedLoopbackPort();

/// A blocking TCP socket connected to 127.0.0.1:port, or -1 (errno set) when refused.
int connectToLoopback(std::uint16_t port);

} // namespace orvanta::test
