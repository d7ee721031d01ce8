#pragma once

// A radio programme whose song gaps are known to the sample, for measuring where a recorder
// cuts: songs of tuned notes with their own attack and decay, separated by short silences,
// some ending in a fade-out, some with a quiet passage inside, and songs that crossfade into
// the next one without any gap.

#include "DemoAudio.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace orvanta::test {

struct ProgrammeSong
{
    double seconds = 20;            // of music
    double gapAfter = 1.0;          // digital silence after it (none when crossfading)
    bool fadeOut = false;           // its last three seconds fade to nothing
    bool crossfadeIntoNext = false; // its last two seconds overlap the next song's first
    std::vector<std::pair<double, double>> quietPassages; // seconds into the song, 32 dB down
};

/// Where one song ends and the next begins: the silence between them, or the overlap.
struct SongBoundary
{
    double start = 0; // seconds into the programme
    double end = 0;
    bool crossfade = false;
    double centre() const { return (start + end) / 2; }
};

struct Programme
{
    ByteVector pcm; // 44.1 kHz mono, signed 16-bit little-endian (as pcmSongs)
    std::vector<SongBoundary> boundaries;
};

Programme renderProgramme(const std::vector<ProgrammeSong>& songs);

/// songs songs of 20 to 30 s with gaps of 0.3 to 2 s, every third ending in a fade-out and a
/// short silence, every fourth with a quiet passage where a late or early title might seek a
/// gap, and one crossfade in the middle; the same for the same seed.
std::vector<ProgrammeSong> mixedProgramme(int songs, unsigned seed);

} // namespace orvanta::test
