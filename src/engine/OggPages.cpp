#include "OggPages.h"

#include <array>
#include <cstring>

namespace orvanta {

namespace {

constexpr std::size_t kMaxSegments = 255;

std::uint32_t readLittle32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void writeLittle32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The Ogg checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, starting from 0.
const std::array<std::uint32_t, 256>& crcTable()
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    return table;
}

} // namespace

std::uint32_t OggPages::checksum(const std::uint8_t* bytes, std::size_t length)
{
    const auto& table = crcTable();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        // The checksum field itself counts as zeros.
        const std::uint8_t byte = (i >= 22 && i < 26) ? 0 : bytes[i];
        crc = (crc << 8) ^ table[((crc >> 24) ^ byte) & 0xFF];
    }
    return crc;
}

OggPages::Check OggPages::pageAt(const std::uint8_t* bytes, std::size_t length, OggPage& page)
{
    static constexpr std::uint8_t kCapture[4] = {'O', 'g', 'g', 'S'};
    const std::size_t known = std::min<std::size_t>(length, 4);
    if (std::memcmp(bytes, kCapture, known) != 0)
        return Check::NoPage;
    if (length < 5)
        return Check::NeedMore;
    if (bytes[4] != 0 || (length > 5 && (bytes[5] & ~0x07) != 0))
        return Check::NoPage; // version 0 and three flags only
    if (length < OggPage::kHeaderLength)
        return Check::NeedMore;
    const std::size_t segmentCount = bytes[26];
    if (length < OggPage::kHeaderLength + segmentCount)
        return Check::NeedMore;
    const std::uint8_t* segments = bytes + OggPage::kHeaderLength;
    std::size_t bodyLength = 0;
    for (std::size_t i = 0; i < segmentCount; ++i)
        bodyLength += segments[i];
    const std::size_t pageLength = OggPage::kHeaderLength + segmentCount + bodyLength;
    if (length < pageLength)
        return Check::NeedMore;
    if (checksum(bytes, pageLength) != readLittle32(bytes + 22))
        return Check::NoPage;
    page.bytes = bytes;
    page.length = pageLength;
    page.flags = bytes[5];
    page.granulePosition = static_cast<std::uint64_t>(readLittle32(bytes + 6)) |
                           static_cast<std::uint64_t>(readLittle32(bytes + 10)) << 32;
    page.serial = readLittle32(bytes + 14);
    page.sequence = readLittle32(bytes + 18);
    page.segments = segments;
    page.segmentCount = segmentCount;
    page.body = segments + segmentCount;
    page.bodyLength = bodyLength;
    return Check::Page;
}

FrameRange OggPages::findFirstPage(const std::uint8_t* bytes, std::size_t length,
                                   std::size_t* resumeOffset)
{
    OggPage page;
    for (std::size_t start = 0; bytes != nullptr && start < length; ++start) {
        if (bytes[start] != 'O')
            continue;
        switch (pageAt(bytes + start, length - start, page)) {
        case Check::Page:
            if (resumeOffset != nullptr)
                *resumeOffset = start;
            return FrameRange{static_cast<std::int64_t>(start),
                              static_cast<std::int64_t>(page.length)};
        case Check::NeedMore:
            if (resumeOffset != nullptr)
                *resumeOffset = start;
            return FrameRange{FrameRange::kNotFound, 0};
        case Check::NoPage:
            break;
        }
    }
    if (resumeOffset != nullptr)
        *resumeOffset = length;
    return FrameRange{FrameRange::kNotFound, 0};
}

void OggPages::renumber(std::uint8_t* page, std::size_t length, std::uint32_t sequence)
{
    writeLittle32(page + 18, sequence);
    writeLittle32(page + 22, checksum(page, length));
}

Bytes OggPages::pagesForPackets(const std::vector<Bytes>& packets, std::uint32_t serial,
                                std::uint32_t sequence, std::uint8_t firstFlags,
                                std::size_t* pageCount)
{
    Bytes out;
    std::size_t pages = 0;
    std::uint8_t flags = firstFlags;
    auto emit = [&](const std::vector<std::uint8_t>& lacing, const std::uint8_t* body,
                    std::size_t bodyLength, bool packetEnds) {
        const std::size_t start = out.size();
        out.resize(start + OggPage::kHeaderLength + lacing.size());
        std::uint8_t* h = out.data() + start;
        std::memcpy(h, "OggS", 4);
        h[4] = 0;
        h[5] = flags;
        // Header packets are at granule 0; a page on which no packet ends has none.
        const std::uint64_t granule = packetEnds ? 0 : OggPage::kNoGranule;
        writeLittle32(h + 6, static_cast<std::uint32_t>(granule));
        writeLittle32(h + 10, static_cast<std::uint32_t>(granule >> 32));
        writeLittle32(h + 14, serial);
        h[26] = static_cast<std::uint8_t>(lacing.size());
        std::memcpy(h + OggPage::kHeaderLength, lacing.data(), lacing.size());
        out.insert(out.end(), body, body + bodyLength);
        renumber(out.data() + start, out.size() - start, sequence++);
        ++pages;
    };
    for (const Bytes& packet : packets) {
        // Lacing: 255 for each full segment, then the remainder (0 after an exact multiple).
        std::size_t offset = 0;
        std::size_t remaining = packet.size();
        bool ended = false;
        while (!ended) {
            std::vector<std::uint8_t> lacing;
            const std::size_t pageStart = offset;
            while (lacing.size() < kMaxSegments && !ended) {
                if (remaining >= 255) {
                    lacing.push_back(255);
                    offset += 255;
                    remaining -= 255;
                } else {
                    lacing.push_back(static_cast<std::uint8_t>(remaining));
                    offset += remaining;
                    remaining = 0;
                    ended = true;
                }
            }
            emit(lacing, packet.data() + pageStart, offset - pageStart, ended);
            flags = ended ? 0 : OggPage::kContinued;
        }
    }
    if (pageCount != nullptr)
        *pageCount = pages;
    return out;
}

void OggPacketReader::clear()
{
    m_packets.clear();
    m_partial.clear();
    m_inPacket = false;
    m_dropping = false;
}

bool OggPacketReader::addPage(const OggPage& page)
{
    // A page that does not continue a packet while one is open (a lost page) drops it; a
    // page that continues a packet whose start was never seen drops that packet's rest.
    if (page.continued() != m_inPacket) {
        m_partial.clear();
        m_dropping = page.continued();
    }
    bool withinBound = true;
    const std::uint8_t* data = page.body;
    for (std::size_t i = 0; i < page.segmentCount; ++i) {
        const std::size_t size = page.segments[i];
        if (!m_dropping && m_partial.size() + size > kMaxPacketLength) {
            withinBound = false;
            m_dropping = true;
            m_partial.clear();
        }
        if (!m_dropping)
            m_partial.insert(m_partial.end(), data, data + size);
        data += size;
        m_inPacket = size == 255;
        if (!m_inPacket) {
            if (!m_dropping)
                m_packets.push_back(std::move(m_partial));
            m_partial.clear();
            m_dropping = false;
        }
    }
    return withinBound;
}

} // namespace orvanta
