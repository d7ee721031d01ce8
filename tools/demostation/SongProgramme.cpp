#include "SongProgramme.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace orvanta::test {

namespace {

constexpr double kRate = 44100.0;
constexpr double kNoteSeconds = 0.25;
constexpr double kFadeSeconds = 3.0;
constexpr double kCrossfadeSeconds = 2.0;
constexpr double kQuietGain = 0.025; // 32 dB down

/// One song's samples as floats (full scale 1.0).
std::vector<float> renderSong(const ProgrammeSong& song, unsigned index)
{
    static constexpr double kScale[] = {1.0, 9.0 / 8, 5.0 / 4, 3.0 / 2, 5.0 / 3, 2.0};
    const double root = 196.0 * std::pow(2.0, static_cast<double>(index % 5) / 5.0);
    std::mt19937 notes(1000 + index);
    std::normal_distribution<float> hiss(0.0f, 1.0f);
    const auto count = static_cast<std::size_t>(song.seconds * kRate);
    const auto noteLength = static_cast<std::size_t>(kNoteSeconds * kRate);
    std::vector<float> out(count);
    double frequency = root;
    double phase = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t inNote = i % noteLength;
        if (inNote == 0)
            frequency = root * kScale[notes() % std::size(kScale)];
        phase += 2 * M_PI * frequency / kRate;
        const double t = static_cast<double>(inNote) / kRate;
        const double envelope = std::min(1.0, t / 0.01) * (0.6 + 0.4 * std::exp(-t * 8));
        double value =
            0.22 * std::sin(phase) + 0.1 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase);
        value = value * envelope + 0.004 * hiss(notes);
        const double at = static_cast<double>(i) / kRate;
        for (const auto& [from, to] : song.quietPassages)
            if (at >= from && at < to)
                value *= kQuietGain;
        if (song.fadeOut && at > song.seconds - kFadeSeconds)
            value *= (song.seconds - at) / kFadeSeconds;
        out[i] = static_cast<float>(value);
    }
    return out;
}

} // namespace

Programme renderProgramme(const std::vector<ProgrammeSong>& songs)
{
    std::vector<float> mix;
    Programme programme;
    for (std::size_t n = 0; n < songs.size(); ++n) {
        const std::vector<float> song = renderSong(songs[n], static_cast<unsigned>(n));
        // A song that the one before crossfades into starts under its last seconds.
        const bool overlaps = n > 0 && songs[n - 1].crossfadeIntoNext;
        const auto overlap = overlaps ? static_cast<std::size_t>(kCrossfadeSeconds * kRate) : 0;
        const std::size_t start = mix.size() - std::min(overlap, mix.size());
        if (overlaps)
            programme.boundaries.push_back(SongBoundary{
                static_cast<double>(start) / kRate, static_cast<double>(mix.size()) / kRate, true});
        mix.resize(std::max(mix.size(), start + song.size()));
        for (std::size_t i = 0; i < song.size(); ++i) {
            float gain = 1.0f;
            if (i < overlap) {
                gain = static_cast<float>(i) / static_cast<float>(overlap);
                mix[start + i] *= 1.0f - gain;
            }
            mix[start + i] += song[i] * gain;
        }
        if (n + 1 < songs.size() && !songs[n].crossfadeIntoNext) {
            const double gapStart = static_cast<double>(mix.size()) / kRate;
            mix.resize(mix.size() + static_cast<std::size_t>(songs[n].gapAfter * kRate), 0.0f);
            programme.boundaries.push_back(
                SongBoundary{gapStart, static_cast<double>(mix.size()) / kRate, false});
        }
    }
    programme.pcm.reserve(mix.size() * 2);
    for (float value : mix) {
        const auto sample =
            static_cast<std::int16_t>(std::lrint(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
        programme.pcm.push_back(static_cast<std::uint8_t>(sample & 0xFF));
        programme.pcm.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
    }
    return programme;
}

std::vector<ProgrammeSong> mixedProgramme(int songs, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> length(20.0, 30.0);
    std::uniform_real_distribution<double> gap(0.3, 2.0);
    std::uniform_real_distribution<double> shortGap(0.3, 0.5);
    std::uniform_real_distribution<double> passageAt(2.0, 6.0);
    std::vector<ProgrammeSong> programme;
    for (int n = 0; n < songs; ++n) {
        ProgrammeSong song;
        song.seconds = length(random);
        song.fadeOut = n % 3 == 2;
        song.gapAfter = song.fadeOut ? shortGap(random) : gap(random);
        // Quiet passages near both ends, where a title that comes seconds early or late
        // would otherwise find its gap.
        if (n % 4 == 1) {
            const double at = passageAt(random);
            song.quietPassages.emplace_back(at, at + 1.5);
            song.quietPassages.emplace_back(song.seconds - at - 1.5, song.seconds - at);
        }
        song.crossfadeIntoNext = n == songs / 2;
        programme.push_back(song);
    }
    return programme;
}

} // namespace orvanta::test
