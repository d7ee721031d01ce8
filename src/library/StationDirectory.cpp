#include "StationDirectory.h"

#include "HttpFetch.h"
#include "Localization.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "PreferencesReader.h"
#include "PrefsKeys.h"
#include "Version.h"

#include <algorithm>
#include <random>
#include <set>

#include <netdb.h>
#include <sys/socket.h>

namespace orvanta {

namespace {

constexpr const char* kKnownServers[] = {
    "https://de1.api.radio-browser.info",
    "https://nl1.api.radio-browser.info",
    "https://at1.api.radio-browser.info",
};

std::string withoutTrailingSlash(std::string address)
{
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

bool worthAnotherServer(const HttpFetchResult& result)
{
    return result.status == 0 || result.status >= 500;
}

} // namespace

StationDirectory::StationDirectory(const PreferencesReader& prefs, ServerDiscovery discovery)
    : m_prefs(prefs), m_discovery(std::move(discovery))
{}

std::string StationDirectory::userAgent()
{
    return std::string("Orvanta/") + kBundleVersion;
}

std::vector<std::string> StationDirectory::discoverPublicServers()
{
    std::set<std::string> names;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(kRoundRobinName, "443", &hints, &found) == 0) {
        for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
            char host[NI_MAXHOST];
            if (::getnameinfo(at->ai_addr, at->ai_addrlen, host, sizeof host, nullptr, 0,
                              NI_NAMEREQD) == 0)
                names.insert(std::string("https://") + host);
        }
        ::freeaddrinfo(found);
    }
    std::vector<std::string> servers(names.begin(), names.end());
    if (servers.empty())
        servers.assign(std::begin(kKnownServers), std::end(kKnownServers));
    std::shuffle(servers.begin(), servers.end(), std::mt19937(std::random_device()()));
    return servers;
}

std::vector<std::string> StationDirectory::servers()
{
    const Value configured = m_prefs.getPrefsForKey(prefs::kStationDirectory);
    if (configured.isString() && !configured.toString().empty())
        return {withoutTrailingSlash(configured.toString())};
    std::lock_guard lock(m_mutex);
    if (m_discovered.empty() && m_discovery) {
        for (std::string& server : m_discovery())
            if (!server.empty())
                m_discovered.push_back(withoutTrailingSlash(std::move(server)));
    }
    return m_discovered;
}

HttpFetchResult StationDirectory::get(const std::string& pathAndQuery, bool cached,
                                      const std::atomic<bool>* cancelled, long timeoutSeconds)
{
    const std::vector<std::string> candidates = servers();
    HttpFetchResult result;
    if (candidates.empty()) {
        result.error = Orvanta::tr("No station directory server could be found");
        return result;
    }
    const auto now = std::chrono::steady_clock::now();
    if (cached) {
        std::lock_guard lock(m_mutex);
        for (auto at = m_cache.begin(); at != m_cache.end();)
            at = now - at->second.at > kCacheLifetime ? m_cache.erase(at) : std::next(at);
        for (const std::string& server : candidates) {
            const auto hit = m_cache.find(server + pathAndQuery);
            if (hit != m_cache.end()) {
                result.status = 200;
                result.body = hit->second.body;
                return result;
            }
        }
    }
    HttpRequest request;
    request.userAgent = userAgent();
    request.headers.push_back("Accept: application/json");
    request.connectTimeoutSeconds = kConnectTimeoutSeconds;
    request.totalTimeoutSeconds = timeoutSeconds;
    request.maxRedirects = 3;
    const int tries = std::min<int>(kServersTried, static_cast<int>(candidates.size()));
    for (int attempt = 0; attempt < tries; ++attempt) {
        request.url = candidates[attempt] + pathAndQuery;
        result = fetchHttpBody(request, &m_prefs, kMaxAnswerBytes, cancelled);
        if (result.ok()) {
            if (cached) {
                std::lock_guard lock(m_mutex);
                m_cache[request.url] = CachedAnswer{now, result.body};
            }
            return result;
        }
        logMessage("StationDirectory", request.url + ": " + result.error);
        if (!worthAnotherServer(result) || (cancelled && cancelled->load()))
            break;
    }
    return result;
}

void StationDirectory::forget(const std::string& pathAndQuery)
{
    std::lock_guard lock(m_mutex);
    for (auto at = m_cache.begin(); at != m_cache.end();)
        at = at->first.ends_with(pathAndQuery) ? m_cache.erase(at) : std::next(at);
}

DirectorySearchResult StationDirectory::search(const DirectoryQuery& query,
                                               const std::atomic<bool>* cancelled)
{
    DirectorySearchResult found;
    const HttpFetchResult answer = get(query.path(), true, cancelled);
    if (!answer.ok()) {
        found.error = answer.error;
        return found;
    }
    std::size_t entries = 0;
    auto stations = parseDirectoryStations(answer.body, found.error, &entries);
    if (!stations) {
        forget(query.path());
        return found;
    }
    // A full page, counted before entries that cannot be used were left out.
    found.more = entries >= static_cast<std::size_t>(std::max(1, query.limit));
    if (query.recordableCodecsOnly)
        std::erase_if(*stations, [](const DirectoryStation& s) { return !s.hasRecordableCodec(); });
    found.stations = std::move(*stations);
    return found;
}

std::optional<DirectoryStation> StationDirectory::stationByUuid(const std::string& uuid,
                                                                std::string& error,
                                                                const std::atomic<bool>* cancelled)
{
    const std::string path = "/json/stations/byuuid?uuids=" + percentEncoded(uuid);
    const HttpFetchResult answer = get(path, true, cancelled);
    if (!answer.ok()) {
        error = answer.error;
        return std::nullopt;
    }
    auto stations = parseDirectoryStations(answer.body, error);
    if (!stations) {
        forget(path);
        return std::nullopt;
    }
    for (DirectoryStation& station : *stations)
        if (station.uuid == uuid)
            return std::move(station);
    error = Orvanta::tr("The station directory does not know this station");
    return std::nullopt;
}

bool StationDirectory::countClick(const std::string& uuid, std::string* error,
                                  const std::atomic<bool>* cancelled)
{
    if (uuid.empty())
        return false;
    const HttpFetchResult answer =
        get("/json/url/" + percentEncoded(uuid), false, cancelled, kClickTimeoutSeconds);
    if (!answer.ok() && error)
        *error = answer.error;
    return answer.ok();
}

NodePtr directoryStreamNode(const DirectoryStation& station)
{
    NodePtr node = Node::nodeWithName(station.name, station.streamAddress(), Node::kStream);
    if (const std::string genre = station.genre(); !genre.empty())
        node->setProperty(Value(genre), np::NP_GENRE);
    if (!station.homepage.empty())
        node->setProperty(Value(station.homepage), np::NP_COMMENT);
    if (station.bitrate > 0)
        node->setProperty(Value(static_cast<std::int64_t>(station.bitrate)), np::NP_BITRATE);
    node->setProperty(Value(station.uuid), np::NP_DIRECTORY_UUID);
    if (!station.favicon.empty())
        node->setProperty(Value(station.favicon), np::NP_LOGO_URL);
    return node;
}

} // namespace orvanta
