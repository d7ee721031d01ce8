#include "StationResolution.h"

#include "HlsPlaylist.h"
#include "Localization.h"
#include "PlaylistHelpers.h"
#include "StringExtensions.h"
#include "URLHelper.h"

namespace orvanta {

StationResolution resolveStationURLs(const std::vector<std::string>& urls,
                                     const std::optional<std::string>& credentials,
                                     const PreferencesReader& prefs,
                                     const std::atomic<bool>& cancelled,
                                     const std::function<void(const std::string&)>& trying)
{
    StationResolution result;
    for (const std::string& url : urls) {
        if (cancelled)
            break;
        if (trying)
            trying(url);
        const auto answer =
            URLHelper::finalLocationOfRedirection(url, credentials, prefs, &cancelled);
        if (!answer)
            continue;
        if (const Value* error = answer->find("error")) {
            result.errorText = Orvanta::tr("Connection Failure - %1", {error->toString()});
            continue;
        }
        const std::string location = answer->get("location").toString();
        const std::string content = answer->get("content").toString();
        // A playlist that lists itself would be fetched as a stream again and again.
        const auto refersToItself = [&](const std::string& entry) {
            const std::string address = stringByTrimmingWhitespaceAndNewline(entry);
            return address == location || address == stringByTrimmingWhitespaceAndNewline(url);
        };
        const std::string selfReference =
            Orvanta::tr("Connection Failure - The playlist refers to itself");
        switch (URLHelper::playlistKindOfResult(*answer)) {
        case PlaylistKind::PLS: {
            auto entries = PLSHelper::parse(content);
            const auto parsed = entries.size();
            std::erase_if(entries, refersToItself);
            if (!entries.empty()) {
                result.resolved.insert(result.resolved.end(), entries.begin(), entries.end());
            } else if (parsed > 0) {
                result.errorText = selfReference;
            } else if (content.find("numberofentries=0") != std::string::npos) {
                result.errorText = Orvanta::tr("Connection Failure - Playlist is empty");
            } else {
                result.errorText = Orvanta::tr("Connection Failure - Playlist is invalid");
            }
            break;
        }
        case PlaylistKind::M3U:
            // An HLS playlist is the station itself, read segment by segment.
            if (hls::isHlsPlaylistText(content)) {
                result.resolved.push_back(location);
                result.hlsSources.insert(location);
            } else if (auto stream = M3UHelper::redirectsToRawStream(content)) {
                if (refersToItself(*stream))
                    result.errorText = selfReference;
                else
                    result.resolved.push_back(*stream);
            } else {
                result.resolved.push_back(location);
                result.playlistSources.insert(location);
            }
            break;
        case PlaylistKind::None:
            result.resolved.push_back(location);
            break;
        }
    }
    return result;
}

} // namespace orvanta
