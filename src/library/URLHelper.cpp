#include "URLHelper.h"

#include "Easy.h"
#include "IcyHeaders.h"
#include "MyProxyUtil.h"
#include "StringExtensions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>

namespace orvanta {

namespace {

// An ICY server's status line. libcurl hands it over as body (HTTP/0.9 allowed), so the body
// shows whether a playlist-looking address actually answered with a stream.
constexpr std::string_view kIcyStatus = "ICY 200 OK";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// How much leading body a playlist signature may take to show up in; audio never starts with
// one, so an undecided body this long is a stream.
constexpr std::size_t kSniffLimit = 1024;

bool isWebAddress(std::string_view address)
{
    return startsWithIgnoringCase(address, "http://") ||
           startsWithIgnoringCase(address, "https://");
}

PlaylistKind playlistKindOfAddress(std::string_view address)
{
    if (endsWithIgnoringCase(address, ".pls"))
        return PlaylistKind::PLS;
    if (endsWithIgnoringCase(address, ".m3u"))
        return PlaylistKind::M3U;
    return PlaylistKind::None;
}

std::string_view withoutLeadingBlanks(std::string_view text)
{
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    const auto first = text.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

enum class Sniff { Playlist, NotPlaylist, TooShort };

Sniff sniffPlaylist(std::string_view body)
{
    const std::string_view text = withoutLeadingBlanks(body);
    if (URLHelper::playlistKindOfContent(text) != PlaylistKind::None)
        return Sniff::Playlist;
    if (body.size() >= kSniffLimit)
        return Sniff::NotPlaylist;
    if (text.empty())
        return Sniff::TooShort;
    for (const std::string_view signature : {"[playlist]", "#EXTM3U"}) {
        if (text.size() < signature.size() && startsWithIgnoringCase(signature, text))
            return Sniff::TooShort;
    }
    return Sniff::NotPlaylist;
}

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < utf8.size(); ++count)
        decodeUtf8(utf8, pos);
    return count;
}

// Collects the headers and body of one resolution transfer. Lives on the stack of the
// resolving call; libcurl calls it on that thread only.
class Resolution final : public curl::Handler
{
public:
    Resolution(const curl::Easy& easy, std::string address)
        : m_easy(easy), m_location(std::move(address))
    {}

    bool onHeader(std::string_view line) override
    {
        if (startsWithIgnoringCase(line, "HTTP/")) {
            // A new response: the type of a redirect's page says nothing about the target.
            m_contentType.reset();
            return true;
        }
        const auto header = parseHeaderLine(line);
        if (!header)
            return true;
        if (header->name == "location")
            m_location = URLHelper::resolveLocation(currentUrl(), header->value);
        else if (header->name == "content-type")
            m_contentType = stringByTrimmingWhitespaceAndNewline(header->value);
        return true;
    }

    bool onData(const std::uint8_t* data, std::size_t length) override
    {
        const std::size_t room = URLHelper::kMaxPlaylistBytes - m_body.size();
        const bool overflow = length > room;
        m_body.append(reinterpret_cast<const char*>(data), std::min(length, room));
        if (m_body.starts_with(kIcyStatus)) {
            m_contentType = "audio/mpeg";
            stopAsStream();
            return false;
        }
        if (m_body.size() < kIcyStatus.size() && kIcyStatus.starts_with(m_body))
            return true;
        if (m_kind == Kind::Undecided)
            m_kind = decide(false);
        if (m_kind == Kind::Stream) {
            stopAsStream();
            return false;
        }
        if (overflow)
            return false; // the first kMaxPlaylistBytes stay as a partial playlist
        return true;
    }

    bool onProgress(std::int64_t) override { return true; }

    std::optional<Dictionary> result()
    {
        if (m_kind == Kind::Undecided && !m_body.empty() && decide(true) == Kind::Stream)
            stopAsStream();
        Dictionary answer{{"location", m_location}};
        if (m_contentType)
            answer.set("content-type", *m_contentType);
        if (m_shutdown)
            answer.set("shutdown", "YES");
        else if (!m_body.empty())
            answer.set("content", utf8OrLatin1(m_body));
        if (!m_shutdown && m_body.empty())
            return std::nullopt;
        return answer;
    }

private:
    enum class Kind { Undecided, Playlist, Stream };

    // The content type or the address ending name a playlist; failing both, the body's first
    // line may (servers often send playlists as text/plain from addresses like /listen).
    Kind decide(bool atEnd) const
    {
        const bool named = URLHelper::playlistKindOfContentType(m_contentType.value_or("")) !=
                               PlaylistKind::None ||
                           playlistKindOfAddress(m_location) != PlaylistKind::None;
        if (named)
            return Kind::Playlist;
        switch (sniffPlaylist(m_body)) {
        case Sniff::Playlist:
            return Kind::Playlist;
        case Sniff::TooShort:
            return atEnd ? Kind::Stream : Kind::Undecided;
        case Sniff::NotPlaylist:
            break;
        }
        return Kind::Stream;
    }

    void stopAsStream()
    {
        m_kind = Kind::Stream;
        m_shutdown = true;
        m_body.clear();
    }

    std::string currentUrl() const
    {
        char* url = nullptr;
        m_easy.getInfo(CURLINFO_EFFECTIVE_URL, &url);
        return url ? std::string(url) : m_location;
    }

    const curl::Easy& m_easy;
    std::string m_location;
    std::optional<std::string> m_contentType;
    std::string m_body; // raw bytes
    Kind m_kind = Kind::Undecided;
    bool m_shutdown = false;
};

} // namespace

std::optional<Dictionary> URLHelper::finalLocationOfRedirection(std::string_view address,
                                                                const PreferencesReader& prefs)
{
    return finalLocationOfRedirection(address, std::nullopt, prefs);
}

std::optional<Dictionary>
URLHelper::finalLocationOfRedirection(std::string_view address,
                                      const std::optional<std::string>& userPassword,
                                      const PreferencesReader& prefs)
{
    const std::string start = stringByTrimmingWhitespaceAndNewline(address);
    // libcurl would guess a scheme for a bare host name and speak any protocol it knows.
    if (!isWebAddress(start))
        return std::nullopt;
    curl::Easy easy;
    if (!easy)
        return std::nullopt;
    Resolution resolution(easy, start);
    const curl::Slist headers{"User-Agent: iTunes/4.5"};

    easy.setOption(CURLOPT_URL, start);
    easy.setOption(CURLOPT_VERBOSE, 0);
    easy.setOption(CURLOPT_NOSIGNAL, 1);
    easy.setOption(CURLOPT_FOLLOWLOCATION, 1);
    easy.setOption(CURLOPT_MAXREDIRS, kMaxRedirects);
    easy.setOption(CURLOPT_PROTOCOLS_STR, std::string_view("http,https"));
    easy.setOption(CURLOPT_REDIR_PROTOCOLS_STR, std::string_view("http,https"));
    // ICY servers answer "ICY 200 OK", which libcurl rejects as HTTP/0.9 unless allowed; the
    // body rule then recognises it.
    easy.setOption(CURLOPT_HTTP09_ALLOWED, 1);
    easy.setOption(CURLOPT_NOPROGRESS, 1);
    easy.setOption(CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    // No limit on the whole transfer (a playlist may come slowly), but a server that stops
    // sending must not hold the caller forever.
    easy.setOption(CURLOPT_LOW_SPEED_LIMIT, 1);
    easy.setOption(CURLOPT_LOW_SPEED_TIME, kStallTimeoutSeconds);
    easy.useErrorBuffer();
    easy.setOption(CURLOPT_HTTPHEADER, headers);
    easy.setOption(CURLOPT_HEADER, 0);
    easy.setHeaderHandler(resolution);
    easy.setWriteHandler(resolution);
    if (const auto proxy = MyProxyUtil::getOrvantaProxy(prefs))
        easy.setOption(CURLOPT_PROXY, *proxy);
    if (userPassword && characterCount(*userPassword) > 2) {
        easy.setOption(CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        easy.setOption(CURLOPT_USERPWD, *userPassword);
    }

    // A failed transfer still answers with what arrived: a partial playlist, or the stop at
    // a stream's first data (which libcurl reports as a write error).
    easy.perform();
    return resolution.result();
}

PlaylistKind URLHelper::playlistKindOfContentType(std::string_view contentType)
{
    static constexpr std::array<std::string_view, 6> kM3U = {"audio/x-mpegurl",  "audio/mpegurl",
                                                             "audio/x-mpeg-url", "audio/mpeg-url",
                                                             "audio/x-m3u",      "audio/m3u"};
    static constexpr std::array<std::string_view, 2> kPLS = {"audio/x-scpls", "audio/scpls"};
    // The media type ends at a blank or at its parameters ("audio/x-mpegurl; charset=utf-8"),
    // and media types ignore case.
    const auto first = contentType.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return PlaylistKind::None;
    contentType.remove_prefix(first);
    const std::string_view word = contentType.substr(0, contentType.find_first_of(" \t;"));
    const auto matches = [word](std::string_view type) {
        return type.size() == word.size() && startsWithIgnoringCase(word, type);
    };
    if (std::any_of(kM3U.begin(), kM3U.end(), matches))
        return PlaylistKind::M3U;
    if (std::any_of(kPLS.begin(), kPLS.end(), matches))
        return PlaylistKind::PLS;
    return PlaylistKind::None;
}

PlaylistKind URLHelper::playlistKindOfContent(std::string_view content)
{
    const std::string_view text = withoutLeadingBlanks(content);
    if (startsWithIgnoringCase(text, "[playlist]"))
        return PlaylistKind::PLS;
    if (startsWithIgnoringCase(text, "#EXTM3U"))
        return PlaylistKind::M3U;
    return PlaylistKind::None;
}

PlaylistKind URLHelper::playlistKindOfResult(const Dictionary& result)
{
    const Value* content = result.find("content");
    if (!content || !content->isString())
        return PlaylistKind::None;
    if (const auto kind = playlistKindOfContent(content->toString()); kind != PlaylistKind::None)
        return kind;
    const auto kind = playlistKindOfContentType(result.get("content-type").toString());
    if (kind != PlaylistKind::None)
        return kind;
    return playlistKindOfAddress(result.get("location").toString());
}

std::string URLHelper::resolveLocation(std::string_view base, std::string_view location)
{
    std::string target = stringByTrimmingWhitespaceAndNewline(location);
    if (isWebAddress(target))
        return target;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), &curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, std::string(base).c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, target.c_str(), 0) != CURLUE_OK)
        return target;
    char* resolved = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK || !resolved)
        return target;
    std::string answer(resolved);
    curl_free(resolved);
    return answer;
}

} // namespace orvanta
