#pragma once

// An HLS station of our own for the tests and the demo: a programme of AAC (ADTS) audio cut
// into segments at frame boundaries, served by an IcyTestServer in one of the three segment
// kinds stations use: packed audio (each segment an ID3 tag with its 90 kHz timestamp in
// front of its frames), MPEG transport stream (the songs named by timed ID3 tags at their
// exact times) or fragmented MP4 (an initialisation section named by EXT-X-MAP). Packed
// audio and MP4 name the songs by EXT-X-DATERANGE at their exact times against
// EXT-X-PROGRAM-DATE-TIME. The media playlist is either the whole programme (ended, for
// quick tests) or a live window that slides on as the clock goes (publish() moves it),
// with a master playlist over it.
//
// Plain C++ and libavformat: no Qt, no Orvanta library. Thread: publish() from one thread
// at a time; the server answers on its own.

#include "DemoAudio.h"
#include "IcyTestServer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::test {

enum class SegmentKind { PackedAudio, TransportStream, FragmentedMp4 };

struct HlsSong
{
    double startSeconds; // where the title says the song begins
    std::string title;   // "Artist - Title"
};

class HlsTestStation
{
public:
    /// Serves adts (ADTS frames, 1024 samples each at sampleRate) cut into segments of about
    /// segmentSeconds under prefix ("/hls": "/hls/master.m3u8", "/hls/audio.m3u8",
    /// "/hls/seg-N.aac", ".ts" or ".m4s", "/hls/init.mp4").
    HlsTestStation(IcyTestServer& server, std::string prefix, const ByteVector& adts,
                   int sampleRate, double segmentSeconds, std::vector<HlsSong> songs,
                   SegmentKind kind = SegmentKind::PackedAudio);

    /// From segment on the timestamps jump by an hour (packed audio and transport streams),
    /// as when a station splices in another source, and the playlist marks the discontinuity.
    /// Before encrypt() and publishing.
    void discontinuityBefore(std::size_t segment);
    /// Encrypts every segment (and the initialisation section) with AES-128 (CBC, PKCS#7)
    /// under keyHex (32 hex digits), served as "key.bin" and named by the playlists: the IV
    /// each segment's sequence number, or for MP4 one IV given in the playlist (which the
    /// initialisation section needs). Uses the openssl program, working in folder. Throws
    /// std::runtime_error when it fails.
    void encrypt(const std::string& keyHex, const std::string& folder);
    /// The whole programme, ended (#EXT-X-ENDLIST).
    void publishWhole();
    /// A live window of windowSegments ending with segment last (0-based), not ended.
    void publishWindow(std::size_t last, std::size_t windowSegments);

    std::size_t segmentCount() const { return m_segments.size(); }
    double segmentSeconds(std::size_t index) const;
    /// The server's path of segment index ("/hls/seg-3.ts").
    std::string segmentPath(std::size_t index) const;
    std::string masterUrl() const;
    std::string mediaUrl() const;
    /// Every file served so far, written under folder at its path (for another web server),
    /// each renamed into place once whole.
    void writeFiles(const std::string& folder) const;

private:
    struct Segment
    {
        std::size_t firstFrame;
        std::vector<std::string> frames; // whole ADTS frames
        std::string bytes;               // as served
    };
    void package();
    void serve(const std::string& path, const char* type, const std::string& bytes);
    std::string mediaPlaylist(std::size_t first, std::size_t end, bool ended) const;
    /// Where the segment starts in the programme, and on its own clock.
    double startOf(std::size_t segment) const;
    double clockOf(std::size_t segment) const;

    IcyTestServer& m_server;
    std::string m_prefix;
    int m_sampleRate;
    SegmentKind m_kind;
    std::vector<Segment> m_segments;
    std::vector<HlsSong> m_songs;
    std::string m_initialisation;                             // MP4's
    std::vector<std::pair<std::string, std::string>> m_files; // path and bytes
    std::size_t m_discontinuity = static_cast<std::size_t>(-1);
    bool m_encrypted = false;
};

} // namespace orvanta::test
