#pragma once

// Turns an Ogg Vorbis or Opus station's pages into files. A station starts each song as a
// new logical stream with its own header packets (a chained stream): a new file starts
// exactly there, named from that stream's comments. Every file begins with the header
// packets of its stream, the comment packet rewritten with the file's tags, and its pages
// numbered from there, so that each file is a whole Ogg stream on its own. The audio pages
// themselves are copied unchanged.
//
// Pages that cannot be placed in a file are left out: bytes that are no intact page, pages
// before the first header packets (no player could decode them) and pages of other logical
// streams multiplexed beside the audio. Memory is bounded by one page plus the header
// packets (OggPacketReader's bound).
//
// Thread: the recording's worker.

#include "OggComments.h"
#include "OggPages.h"
#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvanta {

class OggChainSplitter
{
public:
    /// A file starts: the new logical stream's comments, or nothing for a split the owner
    /// asked for; returns the tags (ID3 frame identifiers) to write into the file's comments.
    using StartFile =
        std::function<Dictionary(const OggStreamInfo&, const std::optional<VorbisComments>&)>;
    /// Bytes for the open file.
    using Write = std::function<void(const std::uint8_t*, std::size_t)>;

    OggChainSplitter(StartFile startFile, Write write);

    void feed(const std::uint8_t* data, std::size_t length);
    /// Starts a new file at the next page, with the current stream's headers (once the open
    /// file holds audio).
    void requestNewFile() { m_newFileRequested = true; }
    /// Forgets everything of a connection.
    void reset();

    /// Bytes fed since the last page that went to a file (all of them when none did).
    std::uint64_t bytesWithoutAudio() const { return m_bytesWithoutAudio; }
    /// A file has been started since the connection began (its stream's headers have come).
    bool hasOpenFile() const { return m_state == State::Audio; }
    /// The logical stream's codec is none this recorder handles.
    bool unsupportedCodec() const { return m_unsupported; }
    /// The header pages the open file began with, and how often they changed: what a player
    /// joining in the middle needs first.
    const Bytes& headerPages() const { return m_headerPages; }
    std::uint64_t headerGeneration() const { return m_headerGeneration; }

private:
    enum class State { WaitingForStream, Headers, Audio, Unsupported };

    void handlePage(const OggPage& page);
    void handleHeaderPage(const OggPage& page);
    void startFile(const std::optional<VorbisComments>& newStreamComments);

    StartFile m_startFile;
    Write m_write;
    Bytes m_buffer;
    Bytes m_pageCopy;
    State m_state = State::WaitingForStream;
    bool m_sawAudioSinceFirstPage = true; // a first-of-stream page now opens a new link
    std::uint32_t m_serial = 0;
    OggPacketReader m_headerReader;
    std::vector<Bytes> m_headerPackets;
    std::optional<OggStreamInfo> m_info;
    std::optional<VorbisComments> m_comments;
    Bytes m_pendingHeaders; // the open file's header pages, until its first audio page
    Bytes m_headerPages;
    std::uint64_t m_headerGeneration = 0;
    std::uint32_t m_sequence = 0;
    bool m_newFileRequested = false;
    bool m_unsupported = false;
    std::uint64_t m_bytesWithoutAudio = 0;
};

} // namespace orvanta
