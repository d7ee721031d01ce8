#include "HttpTransfer.h"

#include "Localization.h"
#include "MyProxyUtil.h"

#include <charconv>

#include <sys/ioctl.h>
#include <sys/socket.h>

namespace orvanta {

namespace {

constexpr std::string_view kWebProtocols = "http,https";

// Each connection's socket, as libcurl makes it: its low-water mark set, and kept for
// bytesWaitingInSocket.
int noteSocket(void* state, curl_socket_t socket, curlsocktype purpose)
{
    if (purpose == CURLSOCKTYPE_IPCXN) {
        auto* connection = static_cast<HttpTransfer::SocketState*>(state);
        connection->socket = socket;
        if (connection->lowWater > 0)
            ::setsockopt(socket, SOL_SOCKET, SO_RCVLOWAT, &connection->lowWater,
                         sizeof connection->lowWater);
    }
    return CURL_SOCKOPT_OK;
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

} // namespace

std::optional<HttpTransfer> HttpTransfer::create(const HttpRequest& request,
                                                 const PreferencesReader* prefs,
                                                 curl::Handler& handler, std::string& error)
{
    HttpTransfer transfer;
    curl::Easy& easy = transfer.m_easy;
    if (!easy) {
        error = Orvanta::tr("Could not set up the connection (curl_easy_init failed)");
        return std::nullopt;
    }
    CURLcode failed = CURLE_OK;
    const char* failedOption = nullptr;
    auto set = [&](const char* name, CURLcode result) {
        if (result != CURLE_OK && failed == CURLE_OK) {
            failed = result;
            failedOption = name;
        }
    };
#define ORVANTA_SET(option, value) set(#option, easy.setOption(option, value))

    easy.useErrorBuffer();
    ORVANTA_SET(CURLOPT_URL, request.url);
    ORVANTA_SET(CURLOPT_NOSIGNAL, 1L);
    ORVANTA_SET(CURLOPT_VERBOSE, 0L);
    ORVANTA_SET(CURLOPT_PROTOCOLS_STR, kWebProtocols);
    ORVANTA_SET(CURLOPT_REDIR_PROTOCOLS_STR, kWebProtocols);
    ORVANTA_SET(CURLOPT_FOLLOWLOCATION, request.maxRedirects > 0 ? 1L : 0L);
    ORVANTA_SET(CURLOPT_MAXREDIRS, request.maxRedirects);
    ORVANTA_SET(CURLOPT_CONNECTTIMEOUT, request.connectTimeoutSeconds);
    if (request.lowSpeedTimeSeconds > 0) {
        ORVANTA_SET(CURLOPT_LOW_SPEED_LIMIT, 1L);
        ORVANTA_SET(CURLOPT_LOW_SPEED_TIME, request.lowSpeedTimeSeconds);
    }
    if (request.totalTimeoutSeconds > 0)
        ORVANTA_SET(CURLOPT_TIMEOUT, request.totalTimeoutSeconds);
    if (request.dnsCacheSeconds)
        ORVANTA_SET(CURLOPT_DNS_CACHE_TIMEOUT, *request.dnsCacheSeconds);
    if (request.freshConnection)
        ORVANTA_SET(CURLOPT_FRESH_CONNECT, 1L);
    if (request.allowHttp09)
        ORVANTA_SET(CURLOPT_HTTP09_ALLOWED, 1L);

    for (const std::string& header : request.headers)
        transfer.m_headers.append(header);
    if (!request.userAgent.empty())
        transfer.m_headers.append("User-Agent: " + request.userAgent);
    ORVANTA_SET(CURLOPT_HTTPHEADER, transfer.m_headers);
    if (request.acceptIcyStatusLine) {
        transfer.m_aliases.append("ICY 200 OK");
        ORVANTA_SET(CURLOPT_HTTP200ALIASES, transfer.m_aliases);
    }
    if (request.credentials && request.credentials->size() > 2) {
        ORVANTA_SET(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        ORVANTA_SET(CURLOPT_USERPWD, *request.credentials);
    }
    transfer.m_prefs = prefs;
    if (prefs && !request.url.empty())
        ORVANTA_SET(CURLOPT_PROXY, transfer.proxyFor(request.url));
    transfer.m_socket = std::make_unique<SocketState>();
    transfer.m_socket->lowWater = request.receiveLowWater;
    ORVANTA_SET(CURLOPT_SOCKOPTFUNCTION, &noteSocket);
    ORVANTA_SET(CURLOPT_SOCKOPTDATA, static_cast<void*>(transfer.m_socket.get()));
    ORVANTA_SET(CURLOPT_HEADER, 0L);
    easy.setHeaderHandler(handler);
    easy.setWriteHandler(handler);
    easy.setProgressHandler(handler);
    // The progress callback is how a stop reaches a transfer that receives nothing.
    ORVANTA_SET(CURLOPT_NOPROGRESS, 0L);
#undef ORVANTA_SET

    if (failed != CURLE_OK) {
        error = Orvanta::tr("Could not set up the connection: %1: %2",
                            {failedOption, curl_easy_strerror(failed)});
        return std::nullopt;
    }
    return transfer;
}

bool HttpTransfer::setUrl(const std::string& url)
{
    if (m_easy.setOption(CURLOPT_URL, url) != CURLE_OK)
        return false;
    // Without preferences libcurl chooses (by its own reading of the environment).
    return !m_prefs || m_easy.setOption(CURLOPT_PROXY, proxyFor(url)) == CURLE_OK;
}

std::string HttpTransfer::proxyFor(const std::string& url)
{
    // An empty proxy is a direct connection: libcurl's own reading of http_proxy must not
    // overrule the desktop's answer for this address (its exceptions, its PAC file).
    const auto proxy = MyProxyUtil::getOrvantaProxy(*m_prefs, url);
    m_usesProxy = proxy.has_value();
    return proxy.value_or(std::string());
}

std::size_t HttpTransfer::bytesWaitingInSocket() const
{
    int waiting = 0;
    if (m_socket->socket == CURL_SOCKET_BAD || ::ioctl(m_socket->socket, FIONREAD, &waiting) != 0 ||
        waiting < 0)
        return 0;
    return static_cast<std::size_t>(waiting);
}

void HttpTransfer::wakeOnEveryByte()
{
    if (m_socket->socket == CURL_SOCKET_BAD)
        return;
    const int one = 1;
    ::setsockopt(m_socket->socket, SOL_SOCKET, SO_RCVLOWAT, &one, sizeof one);
}

long HttpTransfer::responseCode() const
{
    long code = 0;
    m_easy.getInfo(CURLINFO_RESPONSE_CODE, &code);
    return code;
}

std::string HttpTransfer::effectiveUrl() const
{
    char* url = nullptr;
    m_easy.getInfo(CURLINFO_EFFECTIVE_URL, &url);
    return url ? std::string(url) : std::string();
}

std::optional<StatusLine> parseStatusLine(std::string_view line)
{
    std::string_view rest;
    if (line.starts_with("HTTP/")) {
        const auto space = line.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        rest = line.substr(space + 1);
    } else if (line.starts_with("ICY ")) {
        rest = line.substr(4);
    } else {
        return std::nullopt;
    }
    if (rest.size() < 3)
        return std::nullopt;
    StatusLine status;
    const auto [end, result] = std::from_chars(rest.data(), rest.data() + 3, status.code);
    if (result != std::errc() || end != rest.data() + 3 || status.code < 100 || status.code > 999)
        return std::nullopt;
    status.reason = trimmed(rest.substr(3));
    return status;
}

std::string httpErrorText(const StatusLine& status)
{
    std::string answer = std::to_string(status.code);
    if (!status.reason.empty())
        answer += " " + status.reason;
    return Orvanta::tr("The server answered %1", {answer});
}

} // namespace orvanta
