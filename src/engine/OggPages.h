#pragma once

// Ogg pages: reading and checking them, and building new ones (the header pages of a file
// whose comments were rewritten, sequence numbers renumbered) with their checksums.
//
// Thread-safe: no shared state.

#include "MyMP3Util.h"
#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvanta {

struct OggPage
{
    static constexpr std::uint8_t kContinued = 0x01;
    static constexpr std::uint8_t kFirstOfStream = 0x02;
    static constexpr std::uint8_t kLastOfStream = 0x04;
    static constexpr std::size_t kHeaderLength = 27;
    static constexpr std::uint64_t kNoGranule = ~std::uint64_t{0};

    const std::uint8_t* bytes = nullptr; // the whole page
    std::size_t length = 0;
    std::uint8_t flags = 0;
    std::uint64_t granulePosition = 0;
    std::uint32_t serial = 0;
    std::uint32_t sequence = 0;
    const std::uint8_t* segments = nullptr; // the lacing values
    std::size_t segmentCount = 0;
    const std::uint8_t* body = nullptr;
    std::size_t bodyLength = 0;

    bool firstOfStream() const { return (flags & kFirstOfStream) != 0; }
    bool continued() const { return (flags & kContinued) != 0; }
};

class OggPages
{
public:
    enum class Check { Page, NoPage, NeedMore };

    /// Whether a whole, intact page (checksum included) starts at bytes; page receives it.
    static Check pageAt(const std::uint8_t* bytes, std::size_t length, OggPage& page);

    /// The first intact page in the bytes; resumeOffset as for the frame searches.
    static FrameRange findFirstPage(const std::uint8_t* bytes, std::size_t length,
                                    std::size_t* resumeOffset = nullptr);

    static std::uint32_t checksum(const std::uint8_t* bytes, std::size_t length);

    /// Gives a page (held in writable memory) a new sequence number and its checksum.
    static void renumber(std::uint8_t* page, std::size_t length, std::uint32_t sequence);

    /// Pages that hold the packets in order, each packet ending a page (as header packets
    /// must); the first page has flags firstFlags. Sequence numbers count from sequence.
    static Bytes pagesForPackets(const std::vector<Bytes>& packets, std::uint32_t serial,
                                 std::uint32_t sequence, std::uint8_t firstFlags,
                                 std::size_t* pageCount = nullptr);
};

/// Collects the packets of one logical stream from its pages in order.
class OggPacketReader
{
public:
    /// Bounds a packet (a comment packet with pictures can be large; nothing larger is kept).
    static constexpr std::size_t kMaxPacketLength = 4 * 1024 * 1024;

    /// Adds a page's packets; false when a packet grew beyond the bound (it is dropped).
    bool addPage(const OggPage& page);
    std::vector<Bytes>& packets() { return m_packets; }
    void clear();

private:
    std::vector<Bytes> m_packets;
    Bytes m_partial;
    bool m_inPacket = false; // the last segment seen continues its packet
    bool m_dropping = false; // the open packet is not kept
};

} // namespace orvanta
