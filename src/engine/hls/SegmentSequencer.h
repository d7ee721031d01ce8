#pragma once

// Which segments of a live media playlist are new at each reload, handed out once each and
// in order, and when to reload (RFC 8216, 6.3): the first reload of a live playlist starts
// three target durations from its end; later ones go on from the last segment handed out.
// A playlist that slid past segments before they were fetched says how many were missed.
//
// Thread: one at a time (the recording's worker).

#include "HlsPlaylist.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace orvanta::hls {

class SegmentSequencer
{
public:
    /// A live playlist that brings nothing new for this many target durations has stopped.
    static constexpr double kStalledTargetDurations = 3;

    struct Update
    {
        std::vector<Segment> fresh;
        std::int64_t missed = 0; // segments that left the playlist before they were handed out
    };

    Update update(const MediaPlaylist& playlist);

    /// Seconds until the next reload: the target duration after a change, half of it after
    /// a reload that brought nothing new.
    double reloadDelaySeconds() const;
    /// A live playlist has brought nothing new for kStalledTargetDurations.
    bool stalled() const;
    /// The playlist has ended (end list) and all of it has been handed out (and none of it
    /// handed out again since).
    bool finished() const { return m_endList && m_next && *m_next >= m_end; }
    /// The segment of that number (handed out, but not read) is handed out again next.
    void resumeAt(std::int64_t sequence) { m_next = sequence; }
    /// Reloads since the last one that brought something new.
    int unchangedReloads() const { return m_unchanged; }
    double targetDurationSeconds() const { return m_targetDuration; }

private:
    std::optional<std::int64_t> m_next; // sequence number of the next segment to hand out
    std::int64_t m_end = 0;             // the sequence number after the playlist's last segment
    double m_targetDuration = 0;
    int m_unchanged = 0;
    bool m_endList = false;
};

} // namespace orvanta::hls
