#include "SplitOffsetLearner.h"

#include "Localization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvanta {

namespace {
// Fewer clear splits than this say too little about a station.
constexpr std::size_t kAgreeingSplits = 3;
// The offsets agree when half of them lie this close to their median.
constexpr double kAgreementSeconds = 1.0;
// Offsets closer than this to the title change count as on time.
constexpr double kOnTimeSeconds = 0.25;
// The narrowed search still allows for this much around the learned offset.
constexpr double kNarrowestSeconds = 2.0;
constexpr double kSpreadFactor = 3.0;
} // namespace

SplitOffsetLearner::SplitOffsetLearner(double searchSeconds, std::vector<double> offsets)
    : m_searchSeconds(std::max(0.0, searchSeconds))
{
    for (double offset : offsets)
        add(offset);
}

void SplitOffsetLearner::add(double offsetSeconds)
{
    if (!std::isfinite(offsetSeconds))
        return;
    m_offsets.push_back(offsetSeconds);
    while (m_offsets.size() > kKept)
        m_offsets.pop_front();
}

double SplitOffsetLearner::median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

SplitOffsetLearner::Estimate SplitOffsetLearner::estimate() const
{
    Estimate wide{false, 0, m_searchSeconds};
    if (m_offsets.size() < kAgreeingSplits)
        return wide;
    const double centre = median(offsets());
    std::vector<double> deviations;
    for (double offset : m_offsets)
        deviations.push_back(std::abs(offset - centre));
    const double spread = median(deviations);
    if (spread > kAgreementSeconds)
        return wide;
    const double radius = std::clamp(kNarrowestSeconds + kSpreadFactor * spread, kNarrowestSeconds,
                                     std::max(kNarrowestSeconds, m_searchSeconds));
    return Estimate{true, centre, radius};
}

} // namespace orvanta

namespace orvanta {

std::string SplitOffsetLearner::describe() const
{
    auto filled = [](std::string text, const std::string& value) {
        if (const auto at = text.find("%1"); at != std::string::npos)
            text.replace(at, 2, value);
        return text;
    };
    const std::string count = std::to_string(m_offsets.size());
    if (m_offsets.empty())
        return Orvanta::tr("Nothing learned yet");
    const Estimate learned = estimate();
    if (!learned.learned)
        return filled(Orvanta::tr("Still learning (%1 songs so far)"), count);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", std::abs(learned.centreSeconds));
    std::string text;
    if (std::abs(learned.centreSeconds) < kOnTimeSeconds)
        text = Orvanta::tr("Titles change in the gap between songs");
    else if (learned.centreSeconds < 0)
        text = filled(Orvanta::tr("Titles change %1 s after the gap between songs"), seconds);
    else
        text = filled(Orvanta::tr("Titles change %1 s before the gap between songs"), seconds);
    return text + " " + filled(Orvanta::tr("(learned from %1 songs)"), count);
}

} // namespace orvanta
