#pragma once

// The wide split search of a recording with titles. The audio goes to the file writer as it
// comes, and the splitter keeps a copy of the last seconds: when a title changes, the cut
// can still go into a gap that came before the change (a station announcing late) or wait
// for one after it (a station announcing early). Each title change becomes a pending split;
// once the audio around it has come, the stretch is decoded, the gap chosen (GapSearch), and
// the owner told to start the next file there, carrying the audio written since the cut
// over into it. What a split learns of the station's offset narrows the next searches
// (SplitOffsetLearner). Nothing waits in memory that a crash could lose.
//
// Positions are audio bytes of the connection (metadata removed). Memory is bounded: the copy
// spans the search window plus the learned offset, and a backlog of pending splits is cut
// with what has come.
//
// Thread: the recording's worker.

#include "AudioFormat.h"
#include "SplitOffsetLearner.h"
#include "Value.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace orvanta {

class StreamTitle;

class GapSplitter
{
public:
    /// What a split found, for the owner to log and learn from.
    struct Cut
    {
        std::shared_ptr<StreamTitle> title; // of the song that starts at the cut
        bool skip = false;                  // the user skipped that song before it started
        bool gapFound = false;
        bool clear = false;       // fit to learn from (already learned)
        double offsetSeconds = 0; // from the title change to the cut
        double gapSeconds = 0;    // the gap's quietest part
        double depthDb = 0;
        bool usedLearnedOffset = false; // the search centred on a learned offset
        Bytes carried; // the audio written since the cut: the start of the next file
    };
    using StartFile = std::function<void(Cut& cut)>;

    /// start is called at each cut.
    explicit GapSplitter(StartFile start);

    /// searchSeconds: the radius around the title change (> 0); shiftSeconds: the user's
    /// own correction of every cut (later when positive); offsets: what was learned of the
    /// station before. Kept across connections.
    void configure(AudioFormat format, double searchSeconds, double shiftSeconds,
                   std::vector<double> offsets);
    /// A new connection: positions start again at 0 (everything held must be flushed first).
    void startConnection(AudioFormat format);

    /// Audio the writer was just given.
    void observe(const std::uint8_t* data, std::size_t length);
    /// A title change at the end of the audio so far.
    void titleChanged(std::shared_ptr<StreamTitle> title);
    /// Marks the newest pending split's song as skipped; false when no split is pending.
    bool skipPendingSong();
    /// Cuts every pending split with the audio at hand (the connection ends).
    void flush();

    bool hasPendingSplit() const { return !m_pending.empty(); }
    std::size_t keptBytes() const { return static_cast<std::size_t>(m_end - m_start); }
    const SplitOffsetLearner& learner() const { return m_learner; }

private:
    struct Pending
    {
        std::uint64_t position; // of the title change
        std::shared_ptr<StreamTitle> title;
        bool skip = false;
    };
    struct Window
    {
        std::uint64_t start;
        std::uint64_t end;
        double centreSeconds; // from the title change
        double radiusSeconds;
    };

    void process(bool force);
    void cut(Pending& split);
    std::optional<Cut> searchWindow(const Pending& split, const Window& window,
                                    std::uint64_t& cutPosition);
    Window windowAround(std::uint64_t position, double centreSeconds, double radiusSeconds) const;
    /// All the audio a pending split's searches may read: the whole window and the one around
    /// the learned offset, the user's correction included.
    Window searchSpan(const Pending& split);
    std::uint64_t lookBackBytes() const;
    void forgetUpTo(std::uint64_t position);
    Bytes copyOf(std::uint64_t start, std::uint64_t end) const;
    double bytesPerSecond();

    StartFile m_startFile;
    double m_shiftSeconds = 0;
    AudioFormat m_format = AudioFormat::MP3;
    SplitOffsetLearner m_learner;
    std::deque<Bytes> m_chunks;  // the copy of the recent audio, oldest first
    std::size_t m_frontUsed = 0; // bytes of the first chunk no search needs any more
    std::uint64_t m_start = 0;   // position of the first byte kept
    std::uint64_t m_end = 0;     // position after the last byte written
    std::uint64_t m_lastCut = 0;
    std::deque<Pending> m_pending;
    double m_bytesPerSecond = 0;
};

} // namespace orvanta
