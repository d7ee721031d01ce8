#include "SegmentSequencer.h"

namespace orvanta::hls {

namespace {
/// Where a client joining a live playlist starts: at least three target durations from the
/// end, so that reloads keep ahead of the station.
std::int64_t liveStart(const MediaPlaylist& playlist)
{
    double fromEnd = 0;
    for (std::size_t i = playlist.segments.size(); i-- > 0;) {
        fromEnd += playlist.segments[i].duration;
        if (fromEnd >= 3 * playlist.targetDuration)
            return playlist.segments[i].sequence;
    }
    return playlist.mediaSequence;
}
} // namespace

SegmentSequencer::Update SegmentSequencer::update(const MediaPlaylist& playlist)
{
    Update update;
    m_targetDuration = playlist.targetDuration;
    m_endList = playlist.endList;
    m_end = playlist.mediaSequence + static_cast<std::int64_t>(playlist.segments.size());
    if (!m_next)
        m_next = playlist.endList ? playlist.mediaSequence : liveStart(playlist);
    if (playlist.mediaSequence > *m_next) {
        update.missed = playlist.mediaSequence - *m_next;
        m_next = playlist.mediaSequence;
    }
    for (const Segment& segment : playlist.segments) {
        if (segment.sequence < *m_next)
            continue;
        update.fresh.push_back(segment);
        m_next = segment.sequence + 1;
    }
    m_unchanged = update.fresh.empty() && update.missed == 0 ? m_unchanged + 1 : 0;
    return update;
}

double SegmentSequencer::reloadDelaySeconds() const
{
    return m_unchanged > 0 ? m_targetDuration / 2 : m_targetDuration;
}

bool SegmentSequencer::stalled() const
{
    // Unchanged reloads come every half target duration.
    return !m_endList && m_unchanged * 0.5 >= kStalledTargetDurations;
}

} // namespace orvanta::hls
