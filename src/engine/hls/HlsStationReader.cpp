#include "HlsStationReader.h"

#include "Aes128.h"
#include "HttpFetch.h"
#include "Localization.h"
#include "Log.h"
#include "SegmentAudio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace orvanta::hls {

namespace {
constexpr std::size_t kMaxPlaylistBytes = 1 << 20;
constexpr std::size_t kMaxSegmentBytes = 32 << 20;
constexpr std::size_t kMaxKeyBytes = 64;
constexpr long kSegmentTimeoutSeconds = 60;
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

Bytes bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

/// The ICY metadata block naming title (an empty block without one).
Bytes metadataBlock(const std::string& title)
{
    if (title.empty())
        return Bytes{0};
    std::string text = "StreamTitle='" + title.substr(0, 200) + "';";
    text.resize((text.size() + 15) / 16 * 16, '\0');
    Bytes block{static_cast<std::uint8_t>(text.size() / 16)};
    block.insert(block.end(), text.begin(), text.end());
    return block;
}

/// The song a date range names, by the attributes stations use for it.
std::string titleOfDateRange(const DateRange& range)
{
    auto value = [&](const char* name) {
        const auto it = range.attributes.find(name);
        return it == range.attributes.end() ? std::string() : it->second;
    };
    if (const std::string stream = value("X-STREAMTITLE"); !stream.empty())
        return stream;
    const std::string title = value("X-TITLE");
    const std::string artist = value("X-ARTIST");
    return artist.empty() || title.empty() ? artist + title : artist + " - " + title;
}

crypto::Block sequenceIv(std::int64_t sequence)
{
    crypto::Block iv{};
    auto value = static_cast<std::uint64_t>(sequence);
    for (std::size_t i = 16; i-- > 8;) {
        iv[i] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
    return iv;
}
} // namespace

HlsStationReader::HlsStationReader(const PreferencesReader* prefs,
                                   std::optional<std::string> credentials, std::string stationName,
                                   bool withTitles,
                                   std::optional<std::int64_t> variantBitsPerSecond)
    : m_prefs(prefs), m_credentials(std::move(credentials)), m_stationName(std::move(stationName)),
      m_withTitles(withTitles), m_variantBitsPerSecond(variantBitsPerSecond)
{}

HlsStationReader::Fetched HlsStationReader::fetch(const std::string& url,
                                                  const std::optional<ByteRange>& range,
                                                  std::size_t maxBytes,
                                                  const std::atomic<bool>& stop)
{
    HttpRequest request;
    request.url = url;
    request.credentials = m_credentials;
    request.lowSpeedTimeSeconds = 10;
    request.totalTimeoutSeconds = kSegmentTimeoutSeconds;
    if (range)
        request.headers.push_back("Range: bytes=" + std::to_string(range->offset) + "-" +
                                  std::to_string(range->offset + range->length - 1));
    HttpFetchResult result = fetchHttpBody(request, m_prefs, maxBytes, &stop);
    if (!result.ok()) {
        m_error = result.error;
        return {};
    }
    // A server that ignores the range sends the whole file: the range is taken from it.
    if (range && result.status == 200 && result.body.size() > range->length) {
        if (range->offset + range->length > result.body.size()) {
            m_error = Orvanta::tr("The station's server sent less than the playlist's byte range");
            return {};
        }
        result.body = result.body.substr(range->offset, range->length);
    }
    return Fetched{true, std::move(result.body)};
}

std::optional<MediaPlaylist> HlsStationReader::loadMediaPlaylist(const std::string& url,
                                                                 const std::atomic<bool>& stop)
{
    const Fetched fetched = fetch(url, std::nullopt, kMaxPlaylistBytes, stop);
    if (!fetched.ok)
        return std::nullopt;
    std::string error;
    auto playlist = parsePlaylist(fetched.body, url, error);
    if (!playlist) {
        m_error = error;
        return std::nullopt;
    }
    if (auto* media = std::get_if<MediaPlaylist>(&*playlist))
        return std::move(*media);
    m_error = Orvanta::tr("The variant's address answers with another master playlist");
    return std::nullopt;
}

CURLcode HlsStationReader::perform(const std::string& url, curl::Handler& handler,
                                   const std::atomic<bool>& stop)
{
    m_error.clear();
    m_headersSent = false;
    m_untilBlock = kMetaint;
    m_delivered = 0;
    // A new connection hears the song that is on in its first block, as from an ICY station.
    m_pendingTitle = m_lastTitle;
    if (!m_mediaUrl) {
        const Fetched fetched = fetch(url, std::nullopt, kMaxPlaylistBytes, stop);
        if (!fetched.ok)
            return CURLE_COULDNT_CONNECT;
        std::string error;
        const auto playlist = parsePlaylist(fetched.body, url, error);
        if (!playlist) {
            m_error = error;
            return CURLE_RECV_ERROR;
        }
        if (const auto* master = std::get_if<MasterPlaylist>(&*playlist)) {
            const auto variant = chooseVariant(*master, m_variantBitsPerSecond, error);
            if (!variant) {
                m_error = error;
                return CURLE_RECV_ERROR;
            }
            m_mediaUrl = variant->uri;
            m_kilobitsPerSecond = variant->bandwidth / 1000;
        } else {
            m_mediaUrl = url;
        }
    }
    bool listedAny = false;
    for (;;) {
        if (stop)
            return CURLE_ABORTED_BY_CALLBACK;
        const auto playlist = loadMediaPlaylist(*m_mediaUrl, stop);
        if (!playlist)
            return stop ? CURLE_ABORTED_BY_CALLBACK : CURLE_RECV_ERROR;
        const SegmentSequencer::Update update = m_sequencer.update(*playlist);
        if (update.missed > 0)
            logFormat("HLS: %lld segments left the playlist before they could be fetched",
                      static_cast<long long>(update.missed));
        listedAny = listedAny || !playlist->segments.empty();
        for (const Segment& segment : update.fresh) {
            if (!readSegment(segment, *playlist, handler, stop)) {
                m_sequencer.resumeAt(segment.sequence);
                return stop || m_error.empty() ? CURLE_ABORTED_BY_CALLBACK : CURLE_RECV_ERROR;
            }
        }
        if (m_sequencer.finished())
            return CURLE_OK;
        if (!listedAny && m_sequencer.unchangedReloads() >= 3) {
            m_error = Orvanta::tr("The station's playlist lists no segment");
            return CURLE_RECV_ERROR;
        }
        if (m_sequencer.stalled()) {
            m_error = Orvanta::tr("The station's playlist has stopped changing");
            return CURLE_RECV_ERROR;
        }
        if (!wait(m_sequencer.reloadDelaySeconds(), handler, stop))
            return CURLE_ABORTED_BY_CALLBACK;
    }
}

std::optional<Bytes> HlsStationReader::keyFor(const Key& key, const std::atomic<bool>& stop)
{
    if (const auto known = m_keys.find(key.uri); known != m_keys.end())
        return known->second;
    const Fetched fetched = fetch(key.uri, std::nullopt, kMaxKeyBytes, stop);
    if (!fetched.ok)
        return std::nullopt;
    if (fetched.body.size() != 16) {
        m_error = Orvanta::tr("The station's key is no AES-128 key");
        return std::nullopt;
    }
    return m_keys[key.uri] = bytesOf(fetched.body);
}

bool HlsStationReader::readSegment(const Segment& segment, const MediaPlaylist& playlist,
                                   curl::Handler& handler, const std::atomic<bool>& stop)
{
    if (segment.key.method == Key::Method::Other) {
        Bytes nothing; // refused before anything is fetched
        return decrypt(nothing, segment.key, 0, stop);
    }
    Fetched data;
    for (int attempt = 0; attempt < kSegmentTries && !data.ok && !stop; ++attempt)
        data = fetch(segment.uri, segment.range, kMaxSegmentBytes, stop);
    if (!data.ok)
        return false;
    Bytes bytes = bytesOf(data.body);
    if (!decrypt(bytes, segment.key, segment.sequence, stop))
        return false;
    if (segment.init) {
        const InitSection& section = *segment.init;
        const std::string name = section.uri + "#" +
                                 (section.range ? std::to_string(section.range->offset) : "") +
                                 "#" + section.key.uri;
        auto known = m_initSections.find(name);
        if (known == m_initSections.end()) {
            const Fetched init = fetch(section.uri, section.range, kMaxSegmentBytes, stop);
            if (!init.ok)
                return false;
            Bytes initBytes = bytesOf(init.body);
            // A section has no sequence number to stand in for the IV: the playlist must name one.
            if (section.key.method == Key::Method::Aes128 && !section.key.iv) {
                m_error = Orvanta::tr(
                    "The station's encrypted initialisation section comes without its IV");
                return false;
            }
            if (!decrypt(initBytes, section.key, 0, stop))
                return false;
            known = m_initSections.emplace(name, std::move(initBytes)).first;
        }
        bytes.insert(bytes.begin(), known->second.begin(), known->second.end());
    }
    std::string error;
    const auto audio = audioOfSegment(bytes, error);
    if (!audio) {
        // Before any audio the station cannot be recorded; later, one bad segment is left
        // out rather than the recording stopped.
        if (!m_headersSent) {
            m_error = error;
            return false;
        }
        logMessage("HLS", "Segment " + std::to_string(segment.sequence) + " left out: " + error);
        return true;
    }
    if (!m_headersSent &&
        !emitHeaders(audio->format == AudioFormat::AAC ? "audio/aac" : "audio/mpeg", handler))
        return false;

    // Where the songs named for this segment begin in its audio.
    std::vector<std::pair<std::size_t, std::string>> titles;
    const double duration = segment.duration > 0 ? segment.duration : playlist.targetDuration;
    auto byteAt = [&](double seconds) {
        const double share = duration > 0 ? std::clamp(seconds / duration, 0.0, 1.0) : 0.0;
        return static_cast<std::size_t>(
            std::llround(share * static_cast<double>(audio->frames.size())));
    };
    for (const TitleInSegment& title : audio->titles)
        titles.emplace_back(byteAt(title.seconds), title.title);
    if (segment.programDateTime) {
        for (const DateRange& range : playlist.dateRanges) {
            const double into = range.start - *segment.programDateTime;
            const std::string title = titleOfDateRange(range);
            if (into >= 0 && into < duration && !title.empty())
                titles.emplace_back(byteAt(into), title);
        }
    }
    std::stable_sort(titles.begin(), titles.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::erase_if(titles, [this](const auto& title) {
        if (title.second == m_lastTitle)
            return true;
        m_lastTitle = title.second;
        return false;
    });
    return handOver(audio->frames, std::move(titles), handler);
}

bool HlsStationReader::decrypt(Bytes& bytes, const Key& key, std::int64_t sequence,
                               const std::atomic<bool>& stop)
{
    if (key.method == Key::Method::Other) {
        m_error = Orvanta::tr("The station encrypts its segments with %1, which Orvanta cannot "
                              "decrypt",
                              {key.methodName});
        return false;
    }
    if (key.method != Key::Method::Aes128)
        return true;
    const auto keyBytes = keyFor(key, stop);
    if (!keyBytes)
        return false;
    crypto::Block keyBlock{};
    std::copy(keyBytes->begin(), keyBytes->end(), keyBlock.begin());
    auto plain = crypto::decryptAes128Cbc(bytes.data(), bytes.size(), keyBlock,
                                          key.iv.value_or(sequenceIv(sequence)), m_error);
    if (!plain)
        return false;
    bytes = std::move(*plain);
    return true;
}

bool HlsStationReader::emitHeaders(const char* contentType, curl::Handler& handler)
{
    m_headersSent = true;
    std::vector<std::string> lines{"HTTP/1.0 200 OK\r\n",
                                   std::string("content-type: ") + contentType + "\r\n"};
    if (m_withTitles)
        lines.push_back("icy-metaint: " + std::to_string(kMetaint) + "\r\n");
    if (!m_stationName.empty())
        lines.push_back("icy-name: " + m_stationName + "\r\n");
    if (m_kilobitsPerSecond > 0)
        lines.push_back("icy-br: " + std::to_string(m_kilobitsPerSecond) + "\r\n");
    lines.push_back("\r\n");
    for (const std::string& line : lines)
        if (!handler.onHeader(line))
            return false;
    return true;
}

bool HlsStationReader::handOver(const Bytes& frames,
                                std::vector<std::pair<std::size_t, std::string>> titles,
                                curl::Handler& handler)
{
    if (!m_withTitles) {
        m_delivered += static_cast<std::int64_t>(frames.size());
        return handler.onData(frames.data(), frames.size()) && handler.onProgress(m_delivered);
    }
    std::size_t at = 0;
    std::size_t next = 0;
    while (at < frames.size()) {
        const auto part = std::min(frames.size() - at, static_cast<std::size_t>(m_untilBlock));
        if (!handler.onData(frames.data() + at, part))
            return false;
        at += part;
        m_delivered += static_cast<std::int64_t>(part);
        m_untilBlock -= static_cast<std::int64_t>(part);
        while (next < titles.size() && titles[next].first <= at)
            m_pendingTitle = titles[next++].second;
        if (m_untilBlock == 0) {
            const Bytes block = metadataBlock(std::exchange(m_pendingTitle, std::string()));
            if (!handler.onData(block.data(), block.size()))
                return false;
            m_untilBlock = kMetaint;
        }
    }
    while (next < titles.size())
        m_pendingTitle = titles[next++].second;
    return handler.onProgress(m_delivered);
}

bool HlsStationReader::wait(double seconds, curl::Handler& handler, const std::atomic<bool>& stop)
{
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    while (std::chrono::steady_clock::now() < until) {
        if (stop || !handler.onProgress(m_delivered))
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            kProgressInterval, until - std::chrono::steady_clock::now()));
    }
    return !stop;
}

} // namespace orvanta::hls
