#pragma once

// Which proxy transfers use: the one named in the preferences, otherwise the desktop's for
// the address (through libproxy: the environment, GNOME's or KDE's settings, PAC files).
//
// Thread-safe.

#include "PreferencesReader.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class MyProxyUtil
{
public:
    /// The proxy for url as libcurl takes it ("host:port" for an HTTP proxy, a
    /// "socks5h://" or "https://" address for others), or nothing for a direct connection.
    static std::optional<std::string> getOrvantaProxy(const PreferencesReader& prefs,
                                                      const std::string& url = {});
    /// The desktop's proxy for url (any address when empty), as getOrvantaProxy gives it.
    static std::optional<std::string> getSCFProxyHTTP(const std::string& url = {});
    /// The first usable choice of libproxy's answer ("direct://" and what follows it: none).
    static std::optional<std::string> proxyFromSystemAnswer(const std::vector<std::string>& answer);

    /// "host:port" of a proxy address as the environment gives it ("http://user@host:3128/",
    /// "host:3128", "[::1]:3128"); nothing when it names no host.
    static std::optional<std::string> hostAndPortFromProxyUrl(const std::string& url);
};

} // namespace orvanta
