#pragma once

// Containers for the test HLS station's segments, written by libavformat from ADTS frames
// as they are (nothing re-encoded): MPEG transport stream segments with timed ID3 tags at
// chosen times, and fragmented MP4 (an initialisation section, then one fragment per
// segment, the frames raw with the decoder configuration in the initialisation section).
//
// Plain C++ and libavformat. Thread: any; each object owns its muxer.

#include <memory>
#include <string>
#include <vector>

namespace orvanta::test {

struct TimedTitle
{
    double seconds; // on the segment's clock
    std::string title;
};

/// One transport stream segment (PAT and PMT first, as every segment of a station starts)
/// holding frames (whole ADTS frames of 1024 samples at sampleRate), the first presented at
/// startSeconds, and an ID3 tag naming each title at its time.
std::string transportStreamSegment(const std::vector<std::string>& frames, double startSeconds,
                                   int sampleRate, const std::vector<TimedTitle>& titles);

/// Fragmented MP4 of one AAC stream: initialisation() once, then fragment() for each
/// segment's frames in order.
class FragmentedMp4Writer
{
public:
    /// firstAdtsFrame gives the decoder configuration; sampleRate the time scale.
    FragmentedMp4Writer(const std::string& firstAdtsFrame, int sampleRate);
    ~FragmentedMp4Writer();
    FragmentedMp4Writer(const FragmentedMp4Writer&) = delete;
    FragmentedMp4Writer& operator=(const FragmentedMp4Writer&) = delete;

    const std::string& initialisation() const { return m_initialisation; }
    /// A fragment of frames (whole ADTS frames, their headers left out in the file).
    std::string fragment(const std::vector<std::string>& frames);

private:
    struct Muxer;
    std::unique_ptr<Muxer> m_muxer;
    std::string m_initialisation;
    long long m_samples = 0;
};

} // namespace orvanta::test
