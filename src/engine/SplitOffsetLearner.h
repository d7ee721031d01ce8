#pragma once

// How far a station's title changes lie from its song gaps, learned from the splits that
// found a clear gap: the median of the last dozen, trusted once a few agree. A station that
// announces its titles seconds late (or early) is then searched around the change plus that
// offset, in a narrower window.
//
// Offsets are seconds from the title change to the gap: negative when the title comes late.
// Thread: one at a time (the recording's worker).

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace orvanta {

class SplitOffsetLearner
{
public:
    static constexpr std::size_t kKept = 12;

    struct Estimate
    {
        bool learned = false;
        double centreSeconds = 0; // where the search centres, from the title change
        double radiusSeconds = 0; // how far around the centre it looks
    };

    /// searchSeconds: the radius before anything is learned (and the widest there is).
    explicit SplitOffsetLearner(double searchSeconds = 8, std::vector<double> offsets = {});

    void add(double offsetSeconds);
    Estimate estimate() const;
    std::vector<double> offsets() const { return {m_offsets.begin(), m_offsets.end()}; }
    double searchSeconds() const { return m_searchSeconds; }

    /// For the user: what the splits learned of the station's title timing.
    std::string describe() const;

    /// The median of a list of offsets (0 for none).
    static double median(std::vector<double> values);

private:
    double m_searchSeconds;
    std::deque<double> m_offsets;
};

} // namespace orvanta
