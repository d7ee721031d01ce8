#include "GapSearch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvanta {

namespace {

// The music's own level: most windows of a stretch of songs are at least this loud.
constexpr double kReferencePercentile = 0.8;
// A stretch whose music is this quiet says nothing about gaps (talk at a whisper, silence).
constexpr float kQuietestMusicDb = -60.0f;
// A run is a candidate below the music's level by this much, and a gap from this depth on.
constexpr float kCandidateDepthDb = 20.0f;
constexpr float kGapDepthDb = 24.0f;
// A run's quietest part: the windows within this much of its minimum.
constexpr float kQuietestPartDb = 6.0f;
// Deeper than this adds nothing: digital silence and a noisy gap both end a song.
constexpr float kDepthCapDb = 60.0f;
constexpr std::size_t kShortestRunWindows = 3;
// A gap to learn from: deep, long enough to be no accident, and well ahead of any other.
constexpr float kClearDepthDb = 35.0f;
constexpr std::size_t kClearWindows = 15;
constexpr double kClearMargin = 0.75;
// Score weights: depth per 10 dB, length up to two seconds, distance up to the radius.
constexpr double kDepthWeight = 1.0 / 10.0;
constexpr double kLengthWeight = 1.5;
constexpr double kLongestCountedWindows = 200;
constexpr double kDistanceWeight = 2.0;

struct Candidate
{
    std::size_t start = 0; // the quietest part
    std::size_t end = 0;
    float depth = 0;
    double score = 0;
};

float musicLevel(std::vector<float> levels)
{
    const auto rank = static_cast<std::size_t>(kReferencePercentile * (levels.size() - 1));
    std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(rank),
                     levels.end());
    return levels[rank];
}

/// The longest stretch of [start, end) within kQuietestPartDb of the run's minimum, and its
/// mean level.
Candidate quietestPart(const std::vector<float>& levels, std::size_t start, std::size_t end)
{
    const float lowest = *std::min_element(levels.begin() + static_cast<std::ptrdiff_t>(start),
                                           levels.begin() + static_cast<std::ptrdiff_t>(end));
    Candidate best;
    std::size_t runStart = start;
    for (std::size_t i = start; i <= end; ++i) {
        if (i < end && levels[i] <= lowest + kQuietestPartDb)
            continue;
        if (i - runStart > best.end - best.start) {
            best.start = runStart;
            best.end = i;
        }
        runStart = i + 1;
    }
    double sum = 0;
    for (std::size_t i = best.start; i < best.end; ++i)
        sum += levels[i];
    best.depth = static_cast<float>(sum / static_cast<double>(best.end - best.start));
    return best;
}

} // namespace

GapChoice chooseGap(const std::vector<float>& levelsDb, std::size_t expected, std::size_t radius)
{
    GapChoice choice;
    choice.cutWindow = levelsDb.empty() ? 0 : std::min(expected, levelsDb.size() - 1);
    if (levelsDb.size() < kShortestRunWindows * 4)
        return choice;
    const float music = musicLevel(levelsDb);
    if (music < kQuietestMusicDb)
        return choice;
    const float candidateLevel = music - kCandidateDepthDb;
    const double reach = static_cast<double>(std::max<std::size_t>(radius, 1));

    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < levelsDb.size();) {
        if (levelsDb[i] >= candidateLevel) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < levelsDb.size() && levelsDb[end] < candidateLevel)
            ++end;
        if (end - i >= kShortestRunWindows) {
            Candidate c = quietestPart(levelsDb, i, end);
            c.depth = music - c.depth;
            const double middle = static_cast<double>(c.start + c.end) / 2.0;
            const double distance = std::abs(middle - static_cast<double>(expected)) / reach;
            const double length =
                std::min(static_cast<double>(c.end - c.start), kLongestCountedWindows);
            c.score = kDepthWeight * std::min(c.depth, kDepthCapDb) +
                      kLengthWeight * length / kLongestCountedWindows -
                      kDistanceWeight * std::min(distance, 1.5);
            candidates.push_back(c);
        }
        i = end;
    }
    if (candidates.empty())
        return choice;
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
    const Candidate& best = candidates.front();
    if (best.depth < kGapDepthDb)
        return choice;
    choice.found = true;
    choice.gapStart = best.start;
    choice.gapEnd = best.end;
    choice.depthDb = best.depth;
    choice.cutWindow = (best.start + best.end) / 2;
    const bool alone = candidates.size() == 1 || candidates[1].score < best.score - kClearMargin;
    choice.clear = alone && best.depth >= kClearDepthDb && best.end - best.start >= kClearWindows;
    return choice;
}

} // namespace orvanta
