#include "HlsPlaylist.h"

#include "Localization.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace orvanta::hls {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(trimmed(text.substr(0, end)));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

/// The value after "TAG:" when line is that tag.
std::optional<std::string_view> tagValue(std::string_view line, std::string_view tag)
{
    if (line.size() < tag.size() || line.substr(0, tag.size()) != tag)
        return std::nullopt;
    line.remove_prefix(tag.size());
    if (line.empty())
        return line;
    if (line.front() != ':')
        return std::nullopt; // a longer tag of which tag is the start
    return line.substr(1);
}

std::optional<std::int64_t> integerOf(std::string_view text)
{
    std::int64_t value = 0;
    text = trimmed(text);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> numberOf(std::string_view text)
{
    const std::string copy(trimmed(text));
    if (copy.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> dateOf(std::string_view text)
{
    const QDateTime date = QDateTime::fromString(
        QString::fromUtf8(text.data(), static_cast<int>(text.size())), Qt::ISODateWithMs);
    if (!date.isValid())
        return std::nullopt;
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
}

/// "LENGTH[@OFFSET]"; without an offset the range follows the previous one of the same file.
std::optional<ByteRange> byteRangeOf(std::string_view text,
                                     const std::optional<ByteRange>& previous)
{
    const auto at = text.find('@');
    const auto length = integerOf(text.substr(0, at));
    if (!length || *length <= 0)
        return std::nullopt;
    ByteRange range;
    range.length = static_cast<std::uint64_t>(*length);
    if (at != std::string_view::npos) {
        const auto offset = integerOf(text.substr(at + 1));
        if (!offset || *offset < 0)
            return std::nullopt;
        range.offset = static_cast<std::uint64_t>(*offset);
    } else if (previous) {
        range.offset = previous->offset + previous->length;
    }
    return range;
}

std::optional<std::array<std::uint8_t, 16>> ivOf(const std::string& text)
{
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::string digits = text.substr(2);
    if (digits.size() > 32)
        return std::nullopt;
    digits.insert(0, 32 - digits.size(), '0');
    std::array<std::uint8_t, 16> iv{};
    for (std::size_t i = 0; i < 16; ++i) {
        unsigned value = 0;
        const char* from = digits.data() + 2 * i;
        const auto [end, error] = std::from_chars(from, from + 2, value, 16);
        if (error != std::errc() || end != from + 2)
            return std::nullopt;
        iv[i] = static_cast<std::uint8_t>(value);
    }
    return iv;
}

std::string attribute(const std::map<std::string, std::string>& attributes, const char* name)
{
    const auto it = attributes.find(name);
    return it == attributes.end() ? std::string() : it->second;
}

MasterPlaylist parseMaster(const std::vector<std::string_view>& lines, const std::string& base)
{
    MasterPlaylist master;
    std::optional<Variant> pending;
    for (const std::string_view line : lines) {
        if (const auto value = tagValue(line, "#EXT-X-STREAM-INF")) {
            const auto attributes = parseAttributes(*value);
            Variant variant;
            variant.bandwidth = integerOf(attribute(attributes, "BANDWIDTH")).value_or(0);
            variant.averageBandwidth =
                integerOf(attribute(attributes, "AVERAGE-BANDWIDTH")).value_or(0);
            variant.codecs = attribute(attributes, "CODECS");
            variant.audioGroup = attribute(attributes, "AUDIO");
            pending = variant;
        } else if (const auto media = tagValue(line, "#EXT-X-MEDIA")) {
            const auto attributes = parseAttributes(*media);
            if (attribute(attributes, "TYPE") != "AUDIO")
                continue;
            AudioRendition rendition;
            rendition.groupId = attribute(attributes, "GROUP-ID");
            rendition.name = attribute(attributes, "NAME");
            const std::string uri = attribute(attributes, "URI");
            rendition.uri = uri.empty() ? uri : resolveUri(base, uri);
            rendition.isDefault = attribute(attributes, "DEFAULT") == "YES";
            master.audio.push_back(rendition);
        } else if (!line.empty() && line.front() != '#' && pending) {
            pending->uri = resolveUri(base, std::string(line));
            master.variants.push_back(std::move(*pending));
            pending.reset();
        }
    }
    return master;
}

std::optional<MediaPlaylist> parseMedia(const std::vector<std::string_view>& lines,
                                        const std::string& base, std::string& error)
{
    MediaPlaylist playlist;
    bool haveTarget = false;
    std::int64_t discontinuitySequence = 0;
    Segment next;
    Key key;
    std::optional<InitSection> init;
    std::optional<ByteRange> lastRange;
    std::optional<double> nextDate;
    bool first = true;
    for (const std::string_view line : lines) {
        if (const auto value = tagValue(line, "#EXT-X-TARGETDURATION")) {
            const auto seconds = numberOf(*value);
            haveTarget = seconds && *seconds > 0;
            playlist.targetDuration = haveTarget ? *seconds : 0;
        } else if (const auto sequence = tagValue(line, "#EXT-X-MEDIA-SEQUENCE")) {
            playlist.mediaSequence = integerOf(*sequence).value_or(0);
        } else if (const auto dseq = tagValue(line, "#EXT-X-DISCONTINUITY-SEQUENCE")) {
            discontinuitySequence = integerOf(*dseq).value_or(0);
        } else if (const auto info = tagValue(line, "#EXTINF")) {
            const auto comma = info->find(',');
            next.duration = numberOf(info->substr(0, comma)).value_or(0);
            next.title = comma == std::string_view::npos
                             ? std::string()
                             : std::string(trimmed(info->substr(comma + 1)));
        } else if (const auto segmentRange = tagValue(line, "#EXT-X-BYTERANGE")) {
            next.range = byteRangeOf(*segmentRange, lastRange);
        } else if (line == "#EXT-X-DISCONTINUITY") {
            next.discontinuity = true;
            ++discontinuitySequence;
        } else if (const auto keyList = tagValue(line, "#EXT-X-KEY")) {
            const auto attributes = parseAttributes(*keyList);
            key = Key{};
            key.methodName = attribute(attributes, "METHOD");
            key.method = key.methodName == "NONE"      ? Key::Method::None
                         : key.methodName == "AES-128" ? Key::Method::Aes128
                                                       : Key::Method::Other;
            const std::string uri = attribute(attributes, "URI");
            key.uri = uri.empty() ? uri : resolveUri(base, uri);
            key.iv = ivOf(attribute(attributes, "IV"));
        } else if (const auto map = tagValue(line, "#EXT-X-MAP")) {
            const auto attributes = parseAttributes(*map);
            InitSection section;
            section.uri = resolveUri(base, attribute(attributes, "URI"));
            const std::string rangeText = attribute(attributes, "BYTERANGE");
            if (!rangeText.empty())
                section.range = byteRangeOf(rangeText, ByteRange{});
            section.key = key;
            init = section;
        } else if (const auto date = tagValue(line, "#EXT-X-PROGRAM-DATE-TIME")) {
            nextDate = dateOf(*date);
        } else if (const auto dateRange = tagValue(line, "#EXT-X-DATERANGE")) {
            const auto attributes = parseAttributes(*dateRange);
            const auto start = dateOf(attribute(attributes, "START-DATE"));
            if (!start)
                continue;
            DateRange range;
            range.id = attribute(attributes, "ID");
            range.className = attribute(attributes, "CLASS");
            range.start = *start;
            range.duration = numberOf(attribute(attributes, "DURATION"));
            for (const auto& [name, text] : attributes)
                if (name.rfind("X-", 0) == 0)
                    range.attributes[name] = text;
            playlist.dateRanges.push_back(std::move(range));
        } else if (line == "#EXT-X-ENDLIST") {
            playlist.endList = true;
        } else if (!line.empty() && line.front() != '#') {
            next.uri = resolveUri(base, std::string(line));
            next.sequence =
                playlist.mediaSequence + static_cast<std::int64_t>(playlist.segments.size());
            next.discontinuitySequence = discontinuitySequence;
            next.key = key;
            next.init = init;
            if (nextDate) {
                next.programDateTime = nextDate;
            } else if (!first && playlist.segments.back().programDateTime) {
                const Segment& previous = playlist.segments.back();
                next.programDateTime = *previous.programDateTime + previous.duration;
            }
            if (next.range)
                lastRange = next.range;
            else
                lastRange.reset();
            playlist.segments.push_back(std::move(next));
            next = Segment{};
            nextDate.reset();
            first = false;
        }
    }
    if (!haveTarget) {
        error = Orvanta::tr("The media playlist names no target duration");
        return std::nullopt;
    }
    return playlist;
}

} // namespace

bool Variant::mayHaveAudio() const
{
    if (codecs.empty())
        return true;
    for (const char* audio : {"mp4a", "mp3", "ac-3", "ec-3", "opus", "flac", "vorbis"})
        if (codecs.find(audio) != std::string::npos)
            return true;
    return false;
}

std::map<std::string, std::string> parseAttributes(std::string_view list)
{
    std::map<std::string, std::string> attributes;
    std::size_t at = 0;
    while (at < list.size()) {
        const auto equals = list.find('=', at);
        if (equals == std::string_view::npos)
            break;
        const std::string name(trimmed(list.substr(at, equals - at)));
        std::size_t valueStart = equals + 1;
        std::string value;
        if (valueStart < list.size() && list[valueStart] == '"') {
            const auto close = list.find('"', valueStart + 1);
            const auto end = close == std::string_view::npos ? list.size() : close;
            value = std::string(list.substr(valueStart + 1, end - valueStart - 1));
            at = close == std::string_view::npos ? list.size() : close + 1;
            const auto comma = list.find(',', at);
            at = comma == std::string_view::npos ? list.size() : comma + 1;
        } else {
            const auto comma = list.find(',', valueStart);
            const auto end = comma == std::string_view::npos ? list.size() : comma;
            value = std::string(trimmed(list.substr(valueStart, end - valueStart)));
            at = comma == std::string_view::npos ? list.size() : comma + 1;
        }
        if (!name.empty())
            attributes[name] = value;
    }
    return attributes;
}

std::string resolveUri(const std::string& base, const std::string& reference)
{
    const QUrl resolved =
        QUrl(QString::fromStdString(base)).resolved(QUrl(QString::fromStdString(reference)));
    return resolved.toString().toStdString();
}

std::optional<Playlist> parsePlaylist(std::string_view text, const std::string& base,
                                      std::string& error)
{
    // A byte-order mark is tolerated; anything else before #EXTM3U is no playlist.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    const std::vector<std::string_view> lines = linesOf(text);
    if (lines.empty() || lines.front().substr(0, 7) != "#EXTM3U") {
        error = Orvanta::tr("The address does not answer with an HLS playlist");
        return std::nullopt;
    }
    const bool master = std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
        return tagValue(line, "#EXT-X-STREAM-INF").has_value();
    });
    if (master)
        return Playlist(parseMaster(lines, base));
    auto media = parseMedia(lines, base, error);
    if (!media)
        return std::nullopt;
    return Playlist(std::move(*media));
}

bool isHlsPlaylistText(std::string_view text)
{
    for (const char* tag : {"#EXT-X-TARGETDURATION", "#EXT-X-STREAM-INF", "#EXT-X-MEDIA-SEQUENCE"})
        if (text.find(tag) != std::string_view::npos)
            return true;
    return false;
}

bool isHlsAddress(const std::string& url)
{
    return QUrl(QString::fromStdString(url))
        .path()
        .endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive);
}

std::optional<Variant> chooseVariant(const MasterPlaylist& master,
                                     std::optional<std::int64_t> nearBitsPerSecond,
                                     std::string& error)
{
    std::optional<Variant> chosen;
    auto rate = [](const Variant& v) {
        return v.averageBandwidth > 0 ? v.averageBandwidth : v.bandwidth;
    };
    for (const Variant& variant : master.variants) {
        if (!variant.mayHaveAudio())
            continue;
        if (!chosen) {
            chosen = variant;
        } else if (nearBitsPerSecond) {
            if (std::llabs(rate(variant) - *nearBitsPerSecond) <
                std::llabs(rate(*chosen) - *nearBitsPerSecond))
                chosen = variant;
        } else if (variant.bandwidth > chosen->bandwidth) {
            chosen = variant;
        }
    }
    if (!chosen)
        error = master.variants.empty()
                    ? Orvanta::tr("The master playlist names no variant")
                    : Orvanta::tr("The station's variants hold video only, no audio");
    return chosen;
}

} // namespace orvanta::hls
