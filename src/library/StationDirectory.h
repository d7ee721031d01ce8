#pragma once

// The client of the public station directory: finds its servers, searches it, looks
// stations up and tells it when one is played or recorded (its click count).
//
// The servers: the preference "stationdirectory" when set (one address, tests point it at
// a local server); else the names behind the directory's round-robin DNS name, in a random
// order, falling back to a known list. A server that cannot be reached or fails with a
// server error is followed by the next one.
//
// Every request goes through the one request builder: http and https only, the program's
// user agent, time-outs, answers bounded in size. Search and lookup answers are kept for a
// short while, so paging back and forth or repeating a search asks the directory once.
//
// Threads: every call blocks for its transfers (call it off the main thread) and may run
// on several threads at once.

#include "DirectoryStation.h"
#include "Node.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class PreferencesReader;
struct HttpFetchResult;

struct DirectorySearchResult
{
    std::vector<DirectoryStation> stations;
    std::string error; // empty on success: the text for the user
    bool more = false; // a full page came: the next offset may hold more

    bool ok() const { return error.empty(); }
};

class StationDirectory
{
public:
    /// Base addresses ("https://de1.api.radio-browser.info") of the public servers.
    using ServerDiscovery = std::function<std::vector<std::string>()>;

    static constexpr const char* kRoundRobinName = "all.api.radio-browser.info";
    static constexpr std::size_t kMaxAnswerBytes = 8 * 1024 * 1024;
    static constexpr long kConnectTimeoutSeconds = 5;
    static constexpr long kAnswerTimeoutSeconds = 20;
    static constexpr long kClickTimeoutSeconds = 5;
    static constexpr std::chrono::seconds kCacheLifetime{120};
    static constexpr int kServersTried = 3;

    explicit StationDirectory(const PreferencesReader& prefs,
                              ServerDiscovery discovery = &discoverPublicServers);

    DirectorySearchResult search(const DirectoryQuery& query,
                                 const std::atomic<bool>* cancelled = nullptr);
    /// The station with that identifier; nothing, with error set, when the directory does
    /// not know it or cannot be asked.
    std::optional<DirectoryStation> stationByUuid(const std::string& uuid, std::string& error,
                                                  const std::atomic<bool>* cancelled = nullptr);
    /// Counts a play or recording of the station, as the directory asks of its clients.
    /// Given up after a few seconds: it is worth less than a prompt quit.
    bool countClick(const std::string& uuid, std::string* error = nullptr,
                    const std::atomic<bool>* cancelled = nullptr);

    /// "Orvanta/<version>": how the directory knows the requests of this program.
    static std::string userAgent();
    /// The servers behind the round-robin name (reverse lookups of its addresses), else
    /// the known list; in a random order.
    static std::vector<std::string> discoverPublicServers();

private:
    HttpFetchResult get(const std::string& pathAndQuery, bool cached,
                        const std::atomic<bool>* cancelled,
                        long timeoutSeconds = kAnswerTimeoutSeconds);
    /// Drops a kept answer that turned out unreadable, so that the next call asks again.
    void forget(const std::string& pathAndQuery);
    std::vector<std::string> servers();

    struct CachedAnswer
    {
        std::chrono::steady_clock::time_point at;
        std::string body;
    };

    const PreferencesReader& m_prefs;
    ServerDiscovery m_discovery;
    std::mutex m_mutex; // guards what follows
    std::vector<std::string> m_discovered;
    std::map<std::string, CachedAnswer> m_cache;
};

/// A library stream for a directory station: its name and address, the genre from its
/// tags, its homepage as the comment, its bitrate and its identifier for the click count.
NodePtr directoryStreamNode(const DirectoryStation& station);

} // namespace orvanta
