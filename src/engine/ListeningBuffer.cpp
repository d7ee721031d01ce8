#include "ListeningBuffer.h"

#include <algorithm>

namespace orvanta {

std::uint64_t ListeningBuffer::bytesFor(double seconds, std::int64_t kilobitsPerSecond)
{
    const std::int64_t rate = kilobitsPerSecond > 0 ? kilobitsPerSecond : 320;
    return static_cast<std::uint64_t>(std::max(0.0, seconds) * static_cast<double>(rate) * 125.0);
}

void ListeningBuffer::setCapacity(std::uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    m_capacity = bytes;
    trimLocked();
}

void ListeningBuffer::append(const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    std::lock_guard lock(m_mutex);
    m_blocks.emplace_back(data, data + length);
    m_end += length;
    trimLocked();
}

void ListeningBuffer::titleChanged(Bytes metadata)
{
    std::lock_guard lock(m_mutex);
    m_marks.push_back(Mark{m_end, std::move(metadata)});
}

void ListeningBuffer::trimLocked()
{
    while (!m_blocks.empty() && m_end - m_start - m_blocks.front().size() >= m_capacity) {
        m_start += m_blocks.front().size();
        m_blocks.pop_front();
    }
    // A change at the first byte kept still names the audio that follows it.
    while (!m_marks.empty() && m_marks.front().position < m_start)
        m_marks.pop_front();
}

ListeningBuffer::Snapshot ListeningBuffer::snapshotLocked() const
{
    Snapshot snapshot;
    snapshot.audio.reserve(static_cast<std::size_t>(m_end - m_start));
    for (const Bytes& block : m_blocks)
        snapshot.audio.insert(snapshot.audio.end(), block.begin(), block.end());
    for (const Mark& mark : m_marks)
        snapshot.titles.push_back(TitleChange{mark.position - m_start, mark.metadata});
    return snapshot;
}

ListeningBuffer::Snapshot ListeningBuffer::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return snapshotLocked();
}

ListeningBuffer::Snapshot ListeningBuffer::take()
{
    std::lock_guard lock(m_mutex);
    Snapshot snapshot = snapshotLocked();
    m_blocks.clear();
    m_marks.clear();
    m_start = m_end;
    return snapshot;
}

std::uint64_t ListeningBuffer::size() const
{
    std::lock_guard lock(m_mutex);
    return m_end - m_start;
}

} // namespace orvanta
