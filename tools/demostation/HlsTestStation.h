#pragma once

// An HLS station of our own for the tests and the demo: a programme of AAC (ADTS) audio cut
// into segments at frame boundaries, served by an IcyTestServer as packed audio (each
// segment an ID3 tag with its 90 kHz timestamp in front of its frames), with the songs
// named by EXT-X-DATERANGE at their exact times against EXT-X-PROGRAM-DATE-TIME. The media
// playlist is either the whole programme (ended, for quick tests) or a live window that
// slides on as the clock goes (publish() moves it), with a master playlist over it.
//
// Plain C++: no Qt, no Orvanta library. Thread: publish() from one thread at a time; the
// server answers on its own.

#include "DemoAudio.h"
#include "IcyTestServer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::test {

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
    /// "/hls/seg-N.aac").
    HlsTestStation(IcyTestServer& server, std::string prefix, const ByteVector& adts,
                   int sampleRate, double segmentSeconds, std::vector<HlsSong> songs);

    /// Encrypts every segment with AES-128 (CBC, PKCS#7, the IV its sequence number) under
    /// keyHex (32 hex digits), served as "key.bin" and named by the playlists. Uses the
    /// openssl program, working in folder. Throws std::runtime_error when it fails.
    void encrypt(const std::string& keyHex, const std::string& folder);
    /// The whole programme, ended (#EXT-X-ENDLIST).
    void publishWhole();
    /// A live window of windowSegments ending with segment last (0-based), not ended.
    void publishWindow(std::size_t last, std::size_t windowSegments);

    std::size_t segmentCount() const { return m_segments.size(); }
    double segmentSeconds(std::size_t index) const;
    std::string masterUrl() const;
    std::string mediaUrl() const;

private:
    struct Segment
    {
        std::size_t firstFrame;
        std::size_t frameCount;
        std::string bytes; // tag and frames
    };
    std::string mediaPlaylist(std::size_t first, std::size_t end, bool ended) const;
    double startOf(std::size_t segment) const;

    IcyTestServer& m_server;
    std::string m_prefix;
    int m_sampleRate;
    std::vector<Segment> m_segments;
    std::vector<HlsSong> m_songs;
    bool m_encrypted = false;
};

} // namespace orvanta::test
