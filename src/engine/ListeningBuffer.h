#pragma once

// The last minutes of a station heard but not recorded: its audio as received (metadata
// removed) and where the titles changed in it. Record can then start at the current song's
// beginning instead of at the press, and the user can save what was just heard.
//
// Memory is bounded by the capacity plus one appended block: the oldest blocks go first,
// and with them the title changes they held.
//
// Thread: appended to by the recording's worker; snapshots may be taken from any thread.

#include "Value.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace orvanta {

class ListeningBuffer
{
public:
    struct TitleChange
    {
        std::uint64_t position = 0; // audio bytes from the snapshot's start
        Bytes metadata;             // the metadata block that announced it, as sent
    };
    struct Snapshot
    {
        Bytes audio;
        std::vector<TitleChange> titles; // oldest first
    };

    explicit ListeningBuffer(std::uint64_t capacityBytes) : m_capacity(capacityBytes) {}

    /// The bytes of seconds of a stream of that bit rate; an unknown rate (0) counts as the
    /// highest MP3 rate, so that the time is kept whatever the stream.
    static std::uint64_t bytesFor(double seconds, std::int64_t kilobitsPerSecond);
    void setCapacity(std::uint64_t bytes);

    void append(const std::uint8_t* data, std::size_t length);
    /// A title change at the end of the audio so far.
    void titleChanged(Bytes metadata);

    Snapshot snapshot() const;
    /// Takes everything out, leaving the buffer empty.
    Snapshot take();
    std::uint64_t size() const;

private:
    struct Mark
    {
        std::uint64_t position; // since the buffer was made
        Bytes metadata;
    };
    Snapshot snapshotLocked() const;
    void trimLocked();

    mutable std::mutex m_mutex;
    std::uint64_t m_capacity;
    std::deque<Bytes> m_blocks;
    std::uint64_t m_start = 0; // position of the first byte kept
    std::uint64_t m_end = 0;
    std::deque<Mark> m_marks;
};

} // namespace orvanta
