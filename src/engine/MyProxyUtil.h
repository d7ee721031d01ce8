#pragma once

// Which HTTP proxy transfers use: the one named in the preferences, otherwise the system's
// (the http_proxy environment variable, else GNOME's proxy settings where present).
//
// Thread-safe.

#include "PreferencesReader.h"

#include <optional>
#include <string>

namespace orvanta {

class MyProxyUtil
{
public:
    /// "host:port", or nothing for a direct connection.
    static std::optional<std::string> getOrvantaProxy(const PreferencesReader& prefs);
    /// The system's HTTP proxy as "host:port", or nothing.
    static std::optional<std::string> getSCFProxyHTTP();

    /// "host:port" of a proxy address as the environment gives it ("http://user@host:3128/",
    /// "host:3128", "[::1]:3128"); nothing when it names no host.
    static std::optional<std::string> hostAndPortFromProxyUrl(const std::string& url);
};

} // namespace orvanta
