#pragma once

// Every HTTP transfer of the program is set up here, so that all of them speak only http
// and https (also after redirects), send the same user agent, use the proxy the
// preferences choose, give up on silent servers, and can be stopped: the stream clients,
// address resolution, playlist downloads and dropped playlists.
//
// An option libcurl refuses makes create() fail with a text that names it, instead of a
// transfer that runs with a setting silently missing.
//
// Ownership: owns the easy handle and the header lists it points to; the handler is not
// owned and must outlive every perform(). Thread: one thread at a time; the handler runs
// on the thread that calls perform().

#include "Easy.h"
#include "Handler.h"
#include "Slist.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class PreferencesReader;

struct HttpRequest
{
    /// What the stations expect of a player (some refuse other agents).
    static constexpr const char* kStreamUserAgent = "iTunes/4.5";

    std::string url;
    std::string userAgent = kStreamUserAgent;
    std::vector<std::string> headers;       // further request header lines
    std::optional<std::string> credentials; // "user:password", sent as basic authentication
    long connectTimeoutSeconds = 10;
    long lowSpeedTimeSeconds = 0; // below 1 byte/s for this long ends it; 0: never
    long totalTimeoutSeconds = 0; // 0: no limit on the whole transfer
    long maxRedirects = 10;
    bool acceptIcyStatusLine = false; // "ICY 200 OK" counts as "HTTP/1.0 200 OK"
    bool allowHttp09 = false;         // a body without a status line is accepted
    bool freshConnection = false;
    std::optional<long> dnsCacheSeconds;
    int receiveLowWater = 0; // SO_RCVLOWAT of the socket; 0 leaves the default
};

class HttpTransfer
{
public:
    /// The connection's socket as libcurl made it, and the low-water mark it gets.
    struct SocketState
    {
        int lowWater = 0;
        curl_socket_t socket = CURL_SOCKET_BAD;
    };

    /// A transfer for request through the proxy prefs choose (no prefs: direct). Nothing,
    /// with error set, when libcurl cannot be set up as asked.
    static std::optional<HttpTransfer> create(const HttpRequest& request,
                                              const PreferencesReader* prefs,
                                              curl::Handler& handler, std::string& error);

    /// Points the transfer at another address (the stream clients try a station's
    /// addresses in turn on one handle), through the proxy chosen for it.
    bool setUrl(const std::string& url);
    /// Runs the transfer; the handler sees headers, body and progress.
    CURLcode perform() { return m_easy.perform(); }

    /// During a transfer: the bytes received by the system that libcurl has not read yet.
    std::size_t bytesWaitingInSocket() const;
    /// During a transfer: libcurl is woken by any byte that arrives, whatever the request's
    /// receiveLowWater (what waits below it is wanted now).
    void wakeOnEveryByte();

    /// The last response's status code (0 before a response).
    long responseCode() const;
    /// The address after all redirects.
    std::string effectiveUrl() const;
    std::string errorText() const { return m_easy.errorText(); }
    bool usesProxy() const { return m_usesProxy; }
    const curl::Easy& easy() const { return m_easy; }

private:
    HttpTransfer() = default;
    /// The proxy the preferences (then the desktop) choose for url; "" for none.
    std::string proxyFor(const std::string& url);

    curl::Easy m_easy;
    curl::Slist m_headers;
    curl::Slist m_aliases;
    std::unique_ptr<SocketState> m_socket; // the socket callback's; stays put when moved
    bool m_usesProxy = false;
    const PreferencesReader* m_prefs = nullptr; // chooses the proxy of each address
};

/// The status code and reason of a status line ("HTTP/1.1 404 Not Found", "ICY 200 OK");
/// nothing for any other line.
struct StatusLine
{
    int code = 0;
    std::string reason;
};
std::optional<StatusLine> parseStatusLine(std::string_view line);

/// What the user reads when a server answers with an error status: "The server answered
/// 404 Not Found".
std::string httpErrorText(const StatusLine& status);

} // namespace orvanta
