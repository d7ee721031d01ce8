#include "MyProxyUtil.h"

#include "PrefsKeys.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <unistd.h>

namespace orvanta {

namespace {

std::string trim(std::string s)
{
    const auto first = s.find_first_not_of(" \t\r\n'\"");
    const auto last = s.find_last_not_of(" \t\r\n'\"");
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

std::optional<std::string> runGsettings(const std::string& schema, const std::string& key)
{
    const std::string command = "gsettings get " + schema + " " + key + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        out += buffer.data();
    if (::pclose(pipe) != 0)
        return std::nullopt;
    return trim(out);
}

bool hasGsettings()
{
    static const bool found = ::access("/usr/bin/gsettings", X_OK) == 0;
    return found;
}

// GNOME's settings come from a process; keep the answer for a while instead of asking at
// every connection.
std::optional<std::string> gnomeProxy()
{
    static std::mutex mutex;
    static std::optional<std::string> cached;
    static std::chrono::steady_clock::time_point readAt;
    static bool haveReading = false;
    std::lock_guard lock(mutex);
    const auto now = std::chrono::steady_clock::now();
    if (haveReading && now - readAt < std::chrono::seconds(30))
        return cached;
    cached.reset();
    if (hasGsettings() && runGsettings("org.gnome.system.proxy", "mode") == "manual") {
        const auto host = runGsettings("org.gnome.system.proxy.http", "host");
        const auto port = runGsettings("org.gnome.system.proxy.http", "port");
        if (host && !host->empty() && port)
            cached = *host + ":" + *port;
    }
    readAt = now;
    haveReading = true;
    return cached;
}

} // namespace

std::optional<std::string> MyProxyUtil::getOrvantaProxy(const PreferencesReader& prefs)
{
    if (prefs.boolForKey(prefs::kUseProxy)) {
        const auto port =
            static_cast<std::uint16_t>(prefs.integerForKey(prefs::kProxyPort) & 0xFFFF);
        return prefs.stringForKey(prefs::kProxyHost) + ":" + std::to_string(port);
    }
    return getSCFProxyHTTP();
}

std::optional<std::string> MyProxyUtil::getSCFProxyHTTP()
{
    for (const char* name : {"http_proxy", "HTTP_PROXY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return hostAndPortFromProxyUrl(value);
    }
    return gnomeProxy();
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
