#pragma once

// Where a station's addresses lead: each address is fetched in list order, playlists are
// opened, and the stream addresses found are collected for the recording client. Runs on
// the recording's worker thread; it reads nothing but its arguments.

#include "PreferencesReader.h"

#include <atomic>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvanta {

struct StationResolution
{
    std::vector<std::string> resolved;     // in resolution order; the client starts with the first
    std::set<std::string> playlistSources; // addresses to record as playlist sources
    std::set<std::string> hlsSources;      // addresses of HLS playlists (recorded as streams)
    std::string errorText;                 // the last playlist error, empty when none
};

/// Resolves urls one after the other, stopping early once cancelled is set. credentials is
/// "user:password" when both parts are known. Each address being tried is reported to
/// trying first (for the status display).
StationResolution resolveStationURLs(const std::vector<std::string>& urls,
                                     const std::optional<std::string>& credentials,
                                     const PreferencesReader& prefs,
                                     const std::atomic<bool>& cancelled,
                                     const std::function<void(const std::string&)>& trying);

} // namespace orvanta
