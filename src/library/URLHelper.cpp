#include "URLHelper.h"

#include "HttpTransfer.h"
#include "IcyHeaders.h"
#include "Log.h"
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
    Resolution(std::string address, const std::atomic<bool>* cancelled)
        : m_location(std::move(address)), m_cancelled(cancelled)
    {}

    void setTransfer(const HttpTransfer* transfer) { m_transfer = transfer; }

    bool onHeader(std::string_view line) override
    {
        if (const auto status = parseStatusLine(line)) {
            // A new response: the type of a redirect's page says nothing about the target.
            m_contentType.reset();
            m_status = status;
            return true;
        }
        if (startsWithIgnoringCase(line, "HTTP/")) {
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
        // An error page is neither a playlist nor a stream.
        if (httpError())
            return false;
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

    bool onProgress(std::int64_t) override { return !(m_cancelled && *m_cancelled); }

    std::optional<Dictionary> result()
    {
        if (httpError())
            return Dictionary{{"location", m_location}, {"error", httpErrorText(*m_status)}};
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

    bool httpError() const { return m_status && m_status->code >= 400; }

    std::string currentUrl() const
    {
        const std::string url = m_transfer ? m_transfer->effectiveUrl() : std::string();
        return url.empty() ? m_location : url;
    }

    const HttpTransfer* m_transfer = nullptr;
    std::string m_location;
    const std::atomic<bool>* m_cancelled;
    std::optional<StatusLine> m_status;
    std::optional<std::string> m_contentType;
    std::string m_body; // raw bytes
    Kind m_kind = Kind::Undecided;
    bool m_shutdown = false;
};

} // namespace

std::optional<Dictionary> URLHelper::finalLocationOfRedirection(std::string_view address,
                                                                const PreferencesReader& prefs)
{
    return finalLocationOfRedirection(address, std::nullopt, prefs, nullptr);
}

std::optional<Dictionary> URLHelper::finalLocationOfRedirection(
    std::string_view address, const std::optional<std::string>& userPassword,
    const PreferencesReader& prefs, const std::atomic<bool>* cancelled)
{
    const std::string start = stringByTrimmingWhitespaceAndNewline(address);
    // libcurl would guess a scheme for a bare host name and speak any protocol it knows.
    if (!isWebAddress(start))
        return std::nullopt;
    Resolution resolution(start, cancelled);
    HttpRequest request;
    request.url = start;
    request.maxRedirects = kMaxRedirects;
    request.connectTimeoutSeconds = kConnectTimeoutSeconds;
    // No limit on the whole transfer (a playlist may come slowly), but a server that stops
    // sending must not hold the caller forever.
    request.lowSpeedTimeSeconds = kStallTimeoutSeconds;
    // ICY servers answer "ICY 200 OK", which libcurl rejects as HTTP/0.9 unless allowed; the
    // body rule then recognises it.
    request.allowHttp09 = true;
    if (userPassword && characterCount(*userPassword) > 2)
        request.credentials = *userPassword;
    std::string error;
    auto transfer = HttpTransfer::create(request, &prefs, resolution, error);
    if (!transfer) {
        logMessage("URLHelper::finalLocationOfRedirection", error);
        return std::nullopt;
    }
    resolution.setTransfer(&*transfer);
    // A failed transfer still answers with what arrived: a partial playlist, or the stop at
    // a stream's first data (which libcurl reports as a write error).
    transfer->perform();
    if (cancelled && *cancelled)
        return std::nullopt;
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
