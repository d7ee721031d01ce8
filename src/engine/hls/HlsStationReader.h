#pragma once

// An HLS station read as the ICY stream of a station of the other kind: its playlists
// reloaded as the protocol says, each segment fetched once, in order, through the one
// request builder (decrypted when the playlist names an AES-128 key), its audio taken out
// as frames, and the songs its timed ID3 tags or date ranges name put in the stream as
// metadata blocks where they begin. The recording client then records it as it records any
// station: the format settled from the audio, files cut at the gaps around the titles, the
// relay fed, reconnections when something fails.
//
// The reader is kept across the client's connections: after a failure it goes on after
// the last segment it handed over, while the playlist still lists the next one.
//
// Thread: the recording's worker; the handler is called from inside perform().

#include "Handler.h"
#include "HlsPlaylist.h"
#include "SegmentSequencer.h"
#include "Value.h"

#include <atomic>
#include <curl/curl.h>
#include <map>
#include <optional>
#include <string>

namespace orvanta {
class PreferencesReader;
}

namespace orvanta::hls {

class HlsStationReader
{
public:
    /// Audio bytes between two metadata blocks of the stream handed over: a quarter of a
    /// second of 128 kbit/s audio, so that a title is placed near where it begins.
    static constexpr std::int64_t kMetaint = 4096;
    /// Tries of one segment before the connection counts as failed.
    static constexpr int kSegmentTries = 2;

    /// stationName names the stream handed over (its icy-name); without titles the stream
    /// has no metadata blocks (the station is split by time or size instead). Of a master
    /// playlist's variants the one nearest variantBitsPerSecond is read, or the highest.
    HlsStationReader(const PreferencesReader* prefs, std::optional<std::string> credentials,
                     std::string stationName, bool withTitles = true,
                     std::optional<std::int64_t> variantBitsPerSecond = std::nullopt);

    /// Reads the station at url until stop is set, the playlist ends or something fails:
    /// the handler gets the header lines, then the body with its metadata blocks, and
    /// progress. CURLE_OK when the playlist ended; otherwise errorText() says why.
    CURLcode perform(const std::string& url, curl::Handler& handler, const std::atomic<bool>& stop);
    const std::string& errorText() const { return m_error; }
    /// The station's playlist has ended and everything of it was handed over.
    bool finished() const { return m_sequencer.finished(); }
    /// The media playlist's target duration, once it is loaded (0 before).
    double targetDurationSeconds() const { return m_sequencer.targetDurationSeconds(); }

private:
    struct Fetched
    {
        bool ok = false;
        std::string body;
    };
    Fetched fetch(const std::string& url, const std::optional<ByteRange>& range,
                  std::size_t maxBytes, const std::atomic<bool>& stop);
    std::optional<MediaPlaylist> loadMediaPlaylist(const std::string& url,
                                                   const std::atomic<bool>& stop);
    /// One segment as the stream's bytes; false on a failure that ends the connection.
    bool readSegment(const Segment& segment, const MediaPlaylist& playlist, curl::Handler& handler,
                     const std::atomic<bool>& stop);
    std::optional<Bytes> keyFor(const Key& key, const std::atomic<bool>& stop);
    /// Decrypts bytes in place when key says so (where the key names no IV, the sequence
    /// number stands in for it).
    bool decrypt(Bytes& bytes, const Key& key, std::int64_t sequence,
                 const std::atomic<bool>& stop);
    /// Frames to the handler with a metadata block every kMetaint bytes, the titles in
    /// the first block at or after the byte where each begins.
    bool handOver(const Bytes& frames, std::vector<std::pair<std::size_t, std::string>> titles,
                  curl::Handler& handler);
    bool emitHeaders(const char* contentType, curl::Handler& handler);
    /// Waits seconds, telling the handler of progress (where a stop is noticed).
    bool wait(double seconds, curl::Handler& handler, const std::atomic<bool>& stop);

    const PreferencesReader* m_prefs;
    std::optional<std::string> m_credentials;
    std::string m_stationName;
    bool m_withTitles = true;
    std::optional<std::int64_t> m_variantBitsPerSecond;
    std::int64_t m_kilobitsPerSecond = 0;  // of the variant, when the master playlist says
    std::optional<std::string> m_mediaUrl; // the variant chosen, kept across connections
    SegmentSequencer m_sequencer;
    std::map<std::string, Bytes> m_keys;         // by address
    std::map<std::string, Bytes> m_initSections; // by address and range
    std::string m_error;
    std::string m_lastTitle;
    std::string m_pendingTitle; // begins after the last block of the segment before
    bool m_headersSent = false;
    std::int64_t m_untilBlock = kMetaint;
    std::int64_t m_delivered = 0;
};

} // namespace orvanta::hls
