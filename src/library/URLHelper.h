#pragma once

// Finds where a station address finally leads and what it serves: follows redirects, fetches a
// playlist body, and stops at the first audio data of a stream.
//
// Stateless: class operations only; every call builds its own libcurl transfer and result, so
// calls may run on any thread at once (libcurl's global set-up must be done beforehand).
// finalLocationOfRedirection blocks the calling thread for the whole transfer: call it off
// the main thread.

#include "PreferencesReader.h"
#include "Value.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

enum class PlaylistKind { None, PLS, M3U };

class URLHelper
{
public:
    /// Upper bound of a playlist body kept in `content`; the transfer stops there.
    static constexpr std::size_t kMaxPlaylistBytes = 1024 * 1024;
    static constexpr long kConnectTimeoutSeconds = 10;
    /// A transfer that receives nothing for this long is given up.
    static constexpr long kStallTimeoutSeconds = 30;
    static constexpr long kMaxRedirects = 10;

    /// finalLocationOfRedirection without credentials.
    static std::optional<Dictionary> finalLocationOfRedirection(std::string_view address,
                                                                const PreferencesReader& prefs);

    /// Resolves an http or https address with one transfer through the proxy the preferences
    /// choose. The result holds "location" (the final absolute address), "content-type" when
    /// known, and either "content" (the playlist text, UTF-8; ISO 8859-1 bytes are converted)
    /// or "shutdown" = "YES" (the target is an audio stream; the transfer stopped at its first
    /// body data). Nothing when neither came back: unreachable host, connection not opened
    /// within 10 s, too many redirects, no body, or an address that is not http or https.
    /// userPassword is "user:password"; 2 characters or fewer send no authentication.
    /// A server that answers with an error status gives "location" and "error" (the text
    /// for the user) only. Setting *cancelled ends the transfer within about a second, with
    /// nothing as the answer.
    static std::optional<Dictionary> finalLocationOfRedirection(
        std::string_view address, const std::optional<std::string>& userPassword,
        const PreferencesReader& prefs, const std::atomic<bool>* cancelled = nullptr);

    /// The playlist kind a Content-Type value names by its media type (parameters and case
    /// ignored); None for anything else.
    static PlaylistKind playlistKindOfContentType(std::string_view contentType);

    /// The playlist kind of a text by its opening line ("[playlist]", "#EXTM3U"); None when
    /// it has neither.
    static PlaylistKind playlistKindOfContent(std::string_view content);

    /// What a resolution result holds, for choosing the playlist reader: None without
    /// "content"; otherwise the text's opening line decides, then the content type, then the
    /// address ending (".pls", ".m3u"), and None when none of them tells.
    static PlaylistKind playlistKindOfResult(const Dictionary& result);

    /// location resolved against base, the address whose response named it: "http://" and
    /// "https://" targets stand as written, anything else is resolved as a relative reference
    /// ("x", "../x", "/x", "//host/x"). location, trimmed, when it cannot be resolved.
    static std::string resolveLocation(std::string_view base, std::string_view location);
};

} // namespace orvanta
