#pragma once

// What independent readers make of a recorded AAC or Ogg file: ffprobe and ffmpeg (codec,
// errors, the duration the container states and the audio that decodes) and mutagen (tags).

#include <map>
#include <string>

namespace orvanta::test {

struct AudioCheck
{
    std::string codec;
    std::string errors;                      // empty when both read it all without a word
    double container = 0;                    // seconds
    double decoded = 0;                      // seconds
    double frame = 0;                        // the codec's longest frame, in seconds: the tolerance
    std::map<std::string, std::string> tags; // upper-case names (ID3 frame ids for AAC)
};

/// Runs audio_check.py over the file; fails the current test when it cannot.
AudioCheck checkAudio(const std::string& path);

} // namespace orvanta::test
