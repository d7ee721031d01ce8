#include "MyProxyUtil.h"

#include "PrefsKeys.h"
#include "SystemProxy.h"

#include <cstdlib>

namespace orvanta {

namespace {

std::string trim(std::string s)
{
    const auto first = s.find_first_not_of(" \t\r\n'\"");
    const auto last = s.find_last_not_of(" \t\r\n'\"");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

// What libproxy answers when the desktop names no proxy: any address at all serves.
constexpr const char* kAnyAddress = "http://www.example.org/";

} // namespace

std::optional<std::string> MyProxyUtil::getOrvantaProxy(const PreferencesReader& prefs,
                                                        const std::string& url)
{
    if (prefs.boolForKey(prefs::kUseProxy)) {
        const auto port =
            static_cast<std::uint16_t>(prefs.integerForKey(prefs::kProxyPort) & 0xFFFF);
        return prefs.stringForKey(prefs::kProxyHost) + ":" + std::to_string(port);
    }
    return getSCFProxyHTTP(url);
}

std::optional<std::string> MyProxyUtil::getSCFProxyHTTP(const std::string& url)
{
    const std::vector<std::string> answer =
        proxy::systemProxiesFor(url.empty() ? std::string(kAnyAddress) : url);
    if (!answer.empty())
        return proxyFromSystemAnswer(answer);
    // Without libproxy's answer the environment still counts.
    for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return hostAndPortFromProxyUrl(value);
    }
    return std::nullopt;
}

std::optional<std::string>
MyProxyUtil::proxyFromSystemAnswer(const std::vector<std::string>& answer)
{
    for (const std::string& entry : answer) {
        const auto scheme = entry.find("://");
        const std::string kind =
            scheme == std::string::npos ? std::string() : entry.substr(0, scheme);
        const std::string rest = scheme == std::string::npos ? entry : entry.substr(scheme + 3);
        if (kind == "direct")
            return std::nullopt;
        if (kind == "http") {
            if (auto address = hostAndPortFromProxyUrl(entry))
                return address;
        } else if (kind == "https" && !rest.empty()) {
            return entry; // libcurl speaks TLS to the proxy itself
        } else if ((kind == "socks" || kind == "socks5") && !rest.empty()) {
            return "socks5h://" + rest; // the proxy resolves the station's name
        } else if (kind == "socks4" && !rest.empty()) {
            return "socks4a://" + rest;
        }
        // Anything else (a scheme libcurl cannot use) passes to the next choice.
    }
    return std::nullopt;
}

std::optional<std::string> MyProxyUtil::hostAndPortFromProxyUrl(const std::string& url)
{
    std::string rest = trim(url);
    if (const auto scheme = rest.find("://"); scheme != std::string::npos)
        rest = rest.substr(scheme + 3);
    if (const auto slash = rest.find('/'); slash != std::string::npos)
        rest = rest.substr(0, slash);
    if (const auto at = rest.rfind('@'); at != std::string::npos)
        rest = rest.substr(at + 1); // credentials are not part of the address
    if (rest.empty() || rest.front() == ':')
        return std::nullopt;
    const bool bracketed = rest.front() == '[';
    const auto closing = bracketed ? rest.find(']') : std::string::npos;
    const auto colon = rest.rfind(':');
    const bool hasPort = colon != std::string::npos && (!bracketed || colon > closing);
    return hasPort ? rest : rest + ":80";
}

} // namespace orvanta
