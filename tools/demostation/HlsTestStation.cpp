#include "HlsTestStation.h"

#include "HlsSegmentMuxer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace orvanta::test {

namespace {

constexpr double kProgrammeStart = 1797033600.0; // 2026-12-12T00:00:00Z, the playlist's clock

std::string synchsafe(std::size_t n)
{
    return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
            static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
}

/// The ID3 tag of a packed-audio segment: its start on the 90 kHz clock.
std::string timestampTag(double seconds)
{
    const auto stamp =
        static_cast<std::uint64_t>(std::llround(seconds * 90000)) & ((std::uint64_t{1} << 33) - 1);
    std::string priv = std::string("com.apple.streaming.transportStreamTimestamp") + '\0';
    for (int shift = 56; shift >= 0; shift -= 8)
        priv += static_cast<char>((stamp >> shift) & 0xFF);
    const std::string frame = "PRIV" + synchsafe(priv.size()) + std::string(2, '\0') + priv;
    return std::string("ID3\x04\x00\x00", 6) + synchsafe(frame.size()) + frame;
}

std::string isoDate(double seconds)
{
    const auto whole = static_cast<std::time_t>(std::floor(seconds));
    const int millis = static_cast<int>(std::llround((seconds - std::floor(seconds)) * 1000));
    std::tm utc{};
    gmtime_r(&whole, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

const char* extensionOf(SegmentKind kind)
{
    switch (kind) {
    case SegmentKind::TransportStream:
        return ".ts";
    case SegmentKind::FragmentedMp4:
        return ".m4s";
    case SegmentKind::PackedAudio:
        break;
    }
    return ".aac";
}

const char* typeOf(SegmentKind kind)
{
    switch (kind) {
    case SegmentKind::TransportStream:
        return "video/mp2t";
    case SegmentKind::FragmentedMp4:
        return "audio/mp4";
    case SegmentKind::PackedAudio:
        break;
    }
    return "audio/aac";
}

constexpr double kDiscontinuityJump = 3600.0;
constexpr const char* kMp4Iv = "0x000102030405060708090a0b0c0d0e0f";

std::string aes128(const std::string& plain, const std::string& keyHex, const std::string& iv,
                   const std::string& folder)
{
    const std::string plainFile = folder + "/segment.plain";
    const std::string sealedFile = folder + "/segment.sealed";
    {
        std::ofstream out(plainFile, std::ios::binary);
        out << plain;
    }
    const std::string command = "openssl enc -aes-128-cbc -K " + keyHex + " -iv " + iv + " -in '" +
                                plainFile + "' -out '" + sealedFile + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("HlsTestStation: openssl failed");
    std::ifstream in(sealedFile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

HlsTestStation::HlsTestStation(IcyTestServer& server, std::string prefix, const ByteVector& adts,
                               int sampleRate, double segmentSeconds, std::vector<HlsSong> songs,
                               SegmentKind kind)
    : m_server(server), m_prefix(std::move(prefix)), m_sampleRate(sampleRate), m_kind(kind),
      m_songs(std::move(songs))
{
    std::vector<std::size_t> frameStarts;
    for (std::size_t at = 0; at + 7 <= adts.size();) {
        if (adts[at] != 0xFF || (adts[at + 1] & 0xF6) != 0xF0)
            throw std::runtime_error("HlsTestStation: not ADTS at byte " + std::to_string(at));
        frameStarts.push_back(at);
        at += ((adts[at + 3] & 0x03u) << 11) | (adts[at + 4] << 3) | (adts[at + 5] >> 5);
    }
    frameStarts.push_back(adts.size());
    const auto framesPerSegment =
        static_cast<std::size_t>(std::max(1.0, std::round(segmentSeconds * sampleRate / 1024.0)));
    for (std::size_t first = 0; first + 1 < frameStarts.size(); first += framesPerSegment) {
        const std::size_t end = std::min(first + framesPerSegment, frameStarts.size() - 1);
        Segment segment{first, {}, {}};
        for (std::size_t frame = first; frame < end; ++frame)
            segment.frames.emplace_back(adts.begin() + static_cast<long>(frameStarts[frame]),
                                        adts.begin() + static_cast<long>(frameStarts[frame + 1]));
        m_segments.push_back(std::move(segment));
    }
    package();
    serve("/master.m3u8", "application/vnd.apple.mpegurl",
          "#EXTM3U\n"
          "#EXT-X-STREAM-INF:BANDWIDTH=900000,CODECS=\"avc1.4d401f\"\n"
          "video.m3u8\n"
          "#EXT-X-STREAM-INF:BANDWIDTH=140000,CODECS=\"mp4a.40.2\"\n"
          "audio.m3u8\n"
          "#EXT-X-STREAM-INF:BANDWIDTH=48000,CODECS=\"mp4a.40.5\"\n"
          "low.m3u8\n");
}

void HlsTestStation::package()
{
    std::unique_ptr<FragmentedMp4Writer> mp4;
    if (m_kind == SegmentKind::FragmentedMp4 && !m_segments.empty()) {
        mp4 =
            std::make_unique<FragmentedMp4Writer>(m_segments.front().frames.front(), m_sampleRate);
        m_initialisation = mp4->initialisation();
    }
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        Segment& segment = m_segments[i];
        const double from = startOf(i);
        const double to = from + segmentSeconds(i);
        switch (m_kind) {
        case SegmentKind::PackedAudio:
            segment.bytes = timestampTag(clockOf(i));
            for (const std::string& frame : segment.frames)
                segment.bytes += frame;
            break;
        case SegmentKind::TransportStream: {
            std::vector<TimedTitle> titles;
            for (const HlsSong& song : m_songs)
                if (song.startSeconds >= from && song.startSeconds < to)
                    titles.push_back({clockOf(i) + song.startSeconds - from, song.title});
            segment.bytes =
                transportStreamSegment(segment.frames, clockOf(i), m_sampleRate, titles);
            break;
        }
        case SegmentKind::FragmentedMp4:
            segment.bytes = mp4->fragment(segment.frames);
            break;
        }
    }
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        serve(segmentPath(i).substr(m_prefix.size()), typeOf(m_kind), m_segments[i].bytes);
    if (m_kind == SegmentKind::FragmentedMp4)
        serve("/init.mp4", "audio/mp4", m_initialisation);
}

void HlsTestStation::discontinuityBefore(std::size_t segment)
{
    m_discontinuity = segment;
    package();
}

void HlsTestStation::encrypt(const std::string& keyHex, const std::string& folder)
{
    std::string key;
    for (std::size_t i = 0; i + 1 < keyHex.size(); i += 2)
        key += static_cast<char>(std::stoi(keyHex.substr(i, 2), nullptr, 16));
    serve("/key.bin", "application/octet-stream", key);
    const bool oneIv = m_kind == SegmentKind::FragmentedMp4;
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        char iv[33];
        std::snprintf(iv, sizeof iv, "%032zx", i);
        serve(segmentPath(i).substr(m_prefix.size()), typeOf(m_kind),
              aes128(m_segments[i].bytes, keyHex, oneIv ? kMp4Iv + 2 : iv, folder));
    }
    if (oneIv)
        serve("/init.mp4", "audio/mp4", aes128(m_initialisation, keyHex, kMp4Iv + 2, folder));
    m_encrypted = true;
}

void HlsTestStation::serve(const std::string& path, const char* type, const std::string& bytes)
{
    m_server.addFile(m_prefix + path, type, bytes);
    const auto known = std::find_if(m_files.begin(), m_files.end(),
                                    [&](const auto& file) { return file.first == path; });
    if (known == m_files.end())
        m_files.emplace_back(path, bytes);
    else
        known->second = bytes;
}

void HlsTestStation::writeFiles(const std::string& folder) const
{
    for (const auto& [path, bytes] : m_files) {
        const std::string target = folder + m_prefix + path;
        const std::string part = target + ".part";
        {
            std::ofstream out(part, std::ios::binary);
            out << bytes;
            if (!out.flush())
                throw std::runtime_error("HlsTestStation: cannot write " + part);
        }
        if (std::rename(part.c_str(), target.c_str()) != 0)
            throw std::runtime_error("HlsTestStation: cannot write " + target);
    }
}

std::string HlsTestStation::segmentPath(std::size_t index) const
{
    return m_prefix + "/seg-" + std::to_string(index) + extensionOf(m_kind);
}

double HlsTestStation::clockOf(std::size_t segment) const
{
    return startOf(segment) + (segment >= m_discontinuity ? kDiscontinuityJump : 0.0);
}

double HlsTestStation::startOf(std::size_t segment) const
{
    return static_cast<double>(m_segments[segment].firstFrame) * 1024 / m_sampleRate;
}

double HlsTestStation::segmentSeconds(std::size_t index) const
{
    return static_cast<double>(m_segments[index].frames.size()) * 1024 / m_sampleRate;
}

std::string HlsTestStation::mediaPlaylist(std::size_t first, std::size_t end, bool ended) const
{
    double target = 0;
    for (std::size_t i = first; i < end; ++i)
        target = std::max(target, std::ceil(segmentSeconds(i)));
    std::string text = "#EXTM3U\n#EXT-X-VERSION:6\n#EXT-X-TARGETDURATION:" +
                       std::to_string(static_cast<int>(target)) +
                       "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(first) + "\n";
    if (first < end)
        text += "#EXT-X-PROGRAM-DATE-TIME:" + isoDate(kProgrammeStart + startOf(first)) + "\n";
    const double from = first < end ? startOf(first) : 0;
    const double to = end > 0 ? startOf(end - 1) + segmentSeconds(end - 1) : 0;
    for (std::size_t n = 0; n < m_songs.size() && m_kind != SegmentKind::TransportStream; ++n) {
        const HlsSong& song = m_songs[n];
        if (song.startSeconds < from || song.startSeconds >= to)
            continue;
        text += "#EXT-X-DATERANGE:ID=\"song-" + std::to_string(n) + "\",START-DATE=\"" +
                isoDate(kProgrammeStart + song.startSeconds) + "\",X-STREAMTITLE=\"" + song.title +
                "\"\n";
    }
    if (m_encrypted)
        text += std::string("#EXT-X-KEY:METHOD=AES-128,URI=\"key.bin\"") +
                (m_kind == SegmentKind::FragmentedMp4 ? std::string(",IV=") + kMp4Iv : "") + "\n";
    if (m_kind == SegmentKind::FragmentedMp4)
        text += "#EXT-X-MAP:URI=\"init.mp4\"\n";
    for (std::size_t i = first; i < end; ++i) {
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.5f", segmentSeconds(i));
        if (i == m_discontinuity)
            text += "#EXT-X-DISCONTINUITY\n";
        text += std::string("#EXTINF:") + duration + ",\nseg-" + std::to_string(i) +
                extensionOf(m_kind) + "\n";
    }
    if (ended)
        text += "#EXT-X-ENDLIST\n";
    return text;
}

void HlsTestStation::publishWhole()
{
    serve("/audio.m3u8", "application/vnd.apple.mpegurl",
          mediaPlaylist(0, m_segments.size(), true));
}

void HlsTestStation::publishWindow(std::size_t last, std::size_t windowSegments)
{
    const std::size_t end = std::min(last + 1, m_segments.size());
    const std::size_t first = end > windowSegments ? end - windowSegments : 0;
    serve("/audio.m3u8", "application/vnd.apple.mpegurl", mediaPlaylist(first, end, false));
}

std::string HlsTestStation::masterUrl() const
{
    return m_server.url(m_prefix + "/master.m3u8");
}

std::string HlsTestStation::mediaUrl() const
{
    return m_server.url(m_prefix + "/audio.m3u8");
}

} // namespace orvanta::test
