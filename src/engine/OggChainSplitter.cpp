#include "OggChainSplitter.h"

#include <algorithm>

namespace orvanta {

namespace {

// The largest page: 27 header bytes, 255 lacing values and 255 segments of 255 bytes.
constexpr std::size_t kMaxPageLength = 27 + 255 + 255 * 255;

} // namespace

OggChainSplitter::OggChainSplitter(StartFile startFile, Write write)
    : m_startFile(std::move(startFile)), m_write(std::move(write))
{}

void OggChainSplitter::reset()
{
    m_buffer.clear();
    m_state = State::WaitingForStream;
    m_sawAudioSinceFirstPage = true;
    m_headerReader.clear();
    m_headerPackets.clear();
    m_info.reset();
    m_comments.reset();
    m_newFileRequested = false;
    m_unsupported = false;
    m_bytesWithoutAudio = 0;
    m_pendingHeaders.clear();
}

void OggChainSplitter::feed(const std::uint8_t* data, std::size_t length)
{
    m_bytesWithoutAudio += length;
    m_buffer.insert(m_buffer.end(), data, data + length);
    std::size_t position = 0;
    while (position < m_buffer.size()) {
        std::size_t resume = 0;
        const FrameRange found = OggPages::findFirstPage(m_buffer.data() + position,
                                                         m_buffer.size() - position, &resume);
        if (!found.found()) {
            // Bytes before the resume point can never start a page.
            position += resume;
            break;
        }
        OggPage page;
        const std::uint8_t* start = m_buffer.data() + position + found.location;
        OggPages::pageAt(start, m_buffer.size() - position - found.location, page);
        handlePage(page);
        position += static_cast<std::size_t>(found.location) + page.length;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(position));
    // A page never exceeds kMaxPageLength: a longer unfinished stretch holds none at its start.
    if (m_buffer.size() > kMaxPageLength)
        m_buffer.erase(m_buffer.begin(), m_buffer.end() - kMaxPageLength);
}

void OggChainSplitter::handlePage(const OggPage& page)
{
    // A first-of-stream page between a stream's headers and its audio repeats itself: it
    // would end up in the middle of a file, where no player expects one.
    if (page.firstOfStream() && !m_sawAudioSinceFirstPage && m_state == State::Audio)
        return;
    if (page.firstOfStream() && m_sawAudioSinceFirstPage) {
        // The next link of the chain: its headers follow.
        m_sawAudioSinceFirstPage = false;
        m_serial = page.serial;
        m_headerReader.clear();
        m_headerPackets.clear();
        m_info.reset();
        m_state = State::Headers;
        m_unsupported = false;
    }
    if (page.serial != m_serial)
        return; // not the audio, or before the first stream started
    switch (m_state) {
    case State::WaitingForStream:
    case State::Unsupported:
        m_sawAudioSinceFirstPage = true;
        return;
    case State::Headers:
        handleHeaderPage(page);
        return;
    case State::Audio:
        break;
    }
    m_sawAudioSinceFirstPage = true;
    // A file holds audio before a split: a file of headers alone would play nothing.
    if (m_newFileRequested && m_pendingHeaders.empty())
        startFile(std::nullopt);
    if (!m_pendingHeaders.empty()) {
        m_write(m_pendingHeaders.data(), m_pendingHeaders.size());
        m_pendingHeaders.clear();
    }
    m_pageCopy.assign(page.bytes, page.bytes + page.length);
    OggPages::renumber(m_pageCopy.data(), m_pageCopy.size(), m_sequence++);
    m_write(m_pageCopy.data(), m_pageCopy.size());
    m_bytesWithoutAudio = 0;
}

void OggChainSplitter::handleHeaderPage(const OggPage& page)
{
    m_headerReader.addPage(page);
    std::vector<Bytes>& packets = m_headerReader.packets();
    if (packets.empty())
        return;
    if (!m_info) {
        m_info = OggComments::identify(packets.front());
        if (!m_info) {
            m_state = State::Unsupported;
            m_unsupported = true;
            return;
        }
    }
    const std::size_t needed = OggComments::headerPacketCount(m_info->codec);
    if (packets.size() < needed)
        return;
    // A stream whose comment packet cannot be read still records; its file gets new comments.
    m_comments = OggComments::parse(m_info->codec, packets[1]);
    if (!m_comments)
        m_comments = VorbisComments{};
    m_headerPackets.assign(packets.begin(), packets.begin() + static_cast<std::ptrdiff_t>(needed));
    m_headerReader.clear();
    m_state = State::Audio;
    m_newFileRequested = false;
    startFile(m_comments);
}

void OggChainSplitter::startFile(const std::optional<VorbisComments>& newStreamComments)
{
    m_newFileRequested = false;
    const Dictionary tags = m_startFile(*m_info, newStreamComments);
    std::vector<Bytes> packets = m_headerPackets;
    packets[1] = OggComments::build(m_info->codec, OggComments::withTags(*m_comments, tags));
    // The identification packet alone on the first page, as the codecs require.
    std::size_t pages = 0;
    Bytes headers =
        OggPages::pagesForPackets({packets[0]}, m_serial, 0, OggPage::kFirstOfStream, &pages);
    std::size_t morePages = 0;
    const Bytes rest =
        OggPages::pagesForPackets(std::vector<Bytes>(packets.begin() + 1, packets.end()), m_serial,
                                  static_cast<std::uint32_t>(pages), 0, &morePages);
    headers.insert(headers.end(), rest.begin(), rest.end());
    m_sequence = static_cast<std::uint32_t>(pages + morePages);
    // Written with the first audio page: a stream that ends first leaves the file empty, and
    // an empty file is dropped.
    m_headerPages = headers;
    ++m_headerGeneration;
    m_pendingHeaders = std::move(headers);
}

} // namespace orvanta
