#include "GapSplitter.h"

#include "GapSearch.h"
#include "LoudnessSpan.h"

#include <algorithm>
#include <cmath>

namespace orvanta {

namespace {

// Decoded beyond the radius on both sides, so that a gap at its edge is seen whole.
constexpr double kMarginSeconds = 1.0;
// A search never reaches back into the gap of the cut before.
constexpr double kAfterCutSeconds = 1.5;
// The first look's radius around the change, before anything is learned.
constexpr double kFirstLookSeconds = 2.0;
// More title changes than this waiting for their audio are cut with what has come.
constexpr std::size_t kMostPending = 8;
// Until the frames tell, audio is taken for 128 kbit/s.
constexpr double kAssumedBytesPerSecond = 16000;
constexpr std::size_t kRateSampleBytes = 64 * 1024;
constexpr double kWindowsPerSecond = 1.0 / LoudnessSpan::kWindowSeconds;

std::uint64_t offsetBy(std::uint64_t position, double bytes)
{
    if (bytes < 0)
        return static_cast<double>(position) + bytes <= 0
                   ? 0
                   : position - static_cast<std::uint64_t>(-bytes);
    return position + static_cast<std::uint64_t>(bytes);
}

} // namespace

GapSplitter::GapSplitter(StartFile start) : m_startFile(std::move(start)) {}

void GapSplitter::configure(AudioFormat format, double searchSeconds, double shiftSeconds,
                            std::vector<double> offsets)
{
    m_format = format;
    m_shiftSeconds = shiftSeconds;
    m_learner = SplitOffsetLearner(searchSeconds, std::move(offsets));
}

void GapSplitter::startConnection(AudioFormat format)
{
    m_format = format;
    m_chunks.clear();
    m_pending.clear();
    m_frontUsed = 0;
    m_start = m_end = m_lastCut = 0;
    m_bytesPerSecond = 0;
}

void GapSplitter::observe(const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    m_chunks.emplace_back(data, data + length);
    m_end += length;
    process(false);
}

void GapSplitter::titleChanged(std::shared_ptr<StreamTitle> title)
{
    m_pending.push_back(Pending{m_end, std::move(title)});
    process(false);
}

bool GapSplitter::skipPendingSong()
{
    if (m_pending.empty())
        return false;
    m_pending.back().skip = true;
    return true;
}

void GapSplitter::flush()
{
    process(true);
    forgetUpTo(m_end);
}

double GapSplitter::bytesPerSecond()
{
    if (m_bytesPerSecond > 0)
        return m_bytesPerSecond;
    if (m_end - m_start < kRateSampleBytes / 4)
        return kAssumedBytesPerSecond;
    const Bytes sample = copyOf(m_start, std::min(m_end, m_start + kRateSampleBytes));
    m_bytesPerSecond = bytesPerSecondOfFrames(m_format, sample.data(), sample.size());
    return m_bytesPerSecond > 0 ? m_bytesPerSecond : kAssumedBytesPerSecond;
}

GapSplitter::Window GapSplitter::windowAround(std::uint64_t position, double centreSeconds,
                                              double radiusSeconds) const
{
    const double rate = m_bytesPerSecond > 0 ? m_bytesPerSecond : kAssumedBytesPerSecond;
    const double reach = radiusSeconds + kMarginSeconds;
    Window window{offsetBy(position, (centreSeconds - reach) * rate),
                  offsetBy(position, (centreSeconds + reach) * rate), centreSeconds, radiusSeconds};
    const std::uint64_t earliest =
        std::max(m_start, m_lastCut == 0 ? 0 : offsetBy(m_lastCut, kAfterCutSeconds * rate));
    window.start = std::max(window.start, earliest);
    window.end = std::max(window.end, window.start);
    return window;
}

std::uint64_t GapSplitter::lookBackBytes() const
{
    const double rate = m_bytesPerSecond > 0 ? m_bytesPerSecond : kAssumedBytesPerSecond;
    const SplitOffsetLearner::Estimate learned = m_learner.estimate();
    double seconds = m_learner.searchSeconds() + kMarginSeconds;
    if (learned.learned)
        seconds = std::max(seconds, learned.radiusSeconds + kMarginSeconds - learned.centreSeconds);
    // An earlier cut reaches back further still.
    return static_cast<std::uint64_t>((seconds + std::max(0.0, -m_shiftSeconds)) * rate);
}

GapSplitter::Window GapSplitter::searchSpan(const Pending& split)
{
    Window span = windowAround(split.position, 0, m_learner.searchSeconds());
    const SplitOffsetLearner::Estimate learned = m_learner.estimate();
    if (learned.learned) {
        const Window near =
            windowAround(split.position, learned.centreSeconds, learned.radiusSeconds);
        span.start = std::min(span.start, near.start);
        span.end = std::max(span.end, near.end);
    }
    // A later cut waits for its audio too; an earlier one reaches back.
    const double rate = bytesPerSecond();
    span.end = offsetBy(span.end, std::max(0.0, m_shiftSeconds) * rate);
    span.start = offsetBy(span.start, -std::max(0.0, -m_shiftSeconds) * rate);
    return span;
}

void GapSplitter::process(bool force)
{
    bytesPerSecond();
    while (!m_pending.empty()) {
        if (!force && m_end < searchSpan(m_pending.front()).end && m_pending.size() <= kMostPending)
            break;
        Pending split = std::move(m_pending.front());
        m_pending.pop_front();
        cut(split);
    }
    if (force)
        return;
    // Whatever no search can reach any more is forgotten.
    const std::uint64_t back = lookBackBytes();
    std::uint64_t limit = m_end > back ? m_end - back : 0;
    if (!m_pending.empty())
        limit = std::min(limit, searchSpan(m_pending.front()).start);
    if (limit > m_start)
        forgetUpTo(limit);
}

std::optional<GapSplitter::Cut>
GapSplitter::searchWindow(const Pending& split, const Window& window, std::uint64_t& cutPosition)
{
    const std::uint64_t start = std::max(window.start, m_start);
    const std::uint64_t end = std::min(window.end, m_end);
    if (end <= start)
        return std::nullopt;
    const Bytes bytes = copyOf(start, end);
    const std::optional<LoudnessSpan> span = decodeLoudness(m_format, bytes.data(), bytes.size());
    if (!span || span->levelsDb.empty())
        return std::nullopt;
    // Where the title changed, in windows of the span: exact from its frames when it lies
    // inside, else from the byte rate.
    double titleWindow;
    if (split.position >= start && split.position < end)
        titleWindow = static_cast<double>(
            span->windowAtByte(static_cast<std::size_t>(split.position - start)));
    else
        titleWindow = (static_cast<double>(split.position) - static_cast<double>(start)) /
                      bytesPerSecond() * kWindowsPerSecond;
    const double expected = std::clamp(titleWindow + window.centreSeconds * kWindowsPerSecond, 0.0,
                                       static_cast<double>(span->levelsDb.size() - 1));
    const GapChoice choice =
        chooseGap(span->levelsDb, static_cast<std::size_t>(std::lround(expected)),
                  static_cast<std::size_t>(window.radiusSeconds * kWindowsPerSecond));
    cutPosition = start + span->frameStartNearWindow(choice.cutWindow);
    Cut cut;
    cut.gapFound = choice.found;
    cut.clear = choice.clear;
    cut.offsetSeconds = (static_cast<double>(choice.cutWindow) - titleWindow) / kWindowsPerSecond;
    cut.gapSeconds = static_cast<double>(choice.gapEnd - choice.gapStart) / kWindowsPerSecond;
    cut.depthDb = choice.depthDb;
    return cut;
}

void GapSplitter::cut(Pending& split)
{
    const SplitOffsetLearner::Estimate learned = m_learner.estimate();
    // A short look first, where the gap most likely is (at the learned offset, or at the
    // change itself), then the whole window when that finds no clear gap: most splits
    // decode a third of the audio.
    const double firstRadius = std::min(learned.learned ? learned.radiusSeconds : kFirstLookSeconds,
                                        m_learner.searchSeconds());
    std::uint64_t position = 0;
    std::optional<Cut> found = searchWindow(
        split, windowAround(split.position, learned.centreSeconds, firstRadius), position);
    if (!found || !found->clear) {
        std::uint64_t widePosition = 0;
        std::optional<Cut> wide = searchWindow(
            split, windowAround(split.position, 0, m_learner.searchSeconds()), widePosition);
        // A gap the whole window found beats none; without one, the cut stays at the
        // expected point of the first look.
        const bool firstHasGap = found && found->gapFound;
        if (wide && (!found || wide->clear || (!firstHasGap && wide->gapFound))) {
            found = std::move(wide);
            position = widePosition;
        }
    }
    if (!found) {
        // Nothing decodes: at the expected point, on the first frame from there.
        found.emplace();
        position =
            std::clamp(offsetBy(split.position,
                                learned.learned ? learned.centreSeconds * bytesPerSecond() : 0.0),
                       m_start, m_end);
        const Bytes after = copyOf(position, std::min(m_end, position + 8192));
        const FrameRange frame = findFirstFrameRun(m_format, after.data(), after.size());
        if (frame.found())
            position += static_cast<std::uint64_t>(frame.location);
        found->offsetSeconds =
            (static_cast<double>(position) - static_cast<double>(split.position)) /
            bytesPerSecond();
    }
    if (found->clear)
        m_learner.add(found->offsetSeconds);
    if (m_shiftSeconds != 0) {
        // The user's own correction, on the first frame from there.
        position = std::clamp(offsetBy(position, m_shiftSeconds * bytesPerSecond()),
                              std::max(m_start, m_lastCut), m_end);
        const Bytes after = copyOf(position, std::min(m_end, position + 8192));
        const FrameRange frame = findFirstFrameRun(m_format, after.data(), after.size());
        if (frame.found())
            position += static_cast<std::uint64_t>(frame.location);
    }
    position = std::clamp(position, std::max(m_start, m_lastCut), m_end);
    m_lastCut = position;
    found->carried = copyOf(position, m_end);
    found->title = std::move(split.title);
    found->skip = split.skip;
    m_startFile(*found);
}

void GapSplitter::forgetUpTo(std::uint64_t position)
{
    while (m_start < position && !m_chunks.empty()) {
        Bytes& front = m_chunks.front();
        const std::size_t available = front.size() - m_frontUsed;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(available, position - m_start));
        m_frontUsed += count;
        m_start += count;
        if (m_frontUsed == front.size()) {
            m_chunks.pop_front();
            m_frontUsed = 0;
        }
    }
}

Bytes GapSplitter::copyOf(std::uint64_t start, std::uint64_t end) const
{
    Bytes bytes;
    if (end <= start)
        return bytes;
    bytes.reserve(static_cast<std::size_t>(end - start));
    std::uint64_t chunkStart = m_start - m_frontUsed;
    for (const Bytes& chunk : m_chunks) {
        const std::uint64_t chunkEnd = chunkStart + chunk.size();
        const std::uint64_t from = std::max(start, std::max(chunkStart, m_start));
        const std::uint64_t to = std::min(end, chunkEnd);
        if (from < to)
            bytes.insert(bytes.end(),
                         chunk.begin() + static_cast<std::ptrdiff_t>(from - chunkStart),
                         chunk.begin() + static_cast<std::ptrdiff_t>(to - chunkStart));
        if (chunkEnd >= end)
            break;
        chunkStart = chunkEnd;
    }
    return bytes;
}

} // namespace orvanta
