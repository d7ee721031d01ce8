#pragma once

// The proxies the desktop asks for, through libproxy: it reads the environment, GNOME's and
// KDE's settings and PAC files (with the plugins installed), and answers per address.
//
// Thread-safe: one libproxy factory for the process, asked under a lock.

#include <string>
#include <vector>

namespace orvanta::proxy {

/// The proxies to try for url, in the desktop's order, as libproxy writes them
/// ("http://host:port", "socks5://host:port", "direct://"). Empty when libproxy cannot
/// be used; "direct://" when no proxy is wanted.
std::vector<std::string> systemProxiesFor(const std::string& url);

} // namespace orvanta::proxy
