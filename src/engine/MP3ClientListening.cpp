// Listening through the client without recording: what is heard goes to the player through
// the relay and into the listening buffer. Record then turns the same connection into the
// recording, starting its first file where the current song began, at the gap around its
// title change, so nothing of the song is lost by pressing Record late.

#include "MP3Client.h"

#include "Log.h"
#include "RelayInput.h"

#include <algorithm>

namespace orvanta {

namespace {
// The search radius when the station's style turns the wide search off: the song's start
// still lies in a gap near its title change.
constexpr double kShortSearchSeconds = 2;
// The blocks the song-start search reads, like the blocks a connection brings.
constexpr std::size_t kSearchBlock = 4096;
} // namespace

bool MP3Client::recordFromBuffer()
{
    if (!m_listening)
        return false;
    m_recordRequested = true;
    return true;
}

std::optional<HeardAudio> MP3Client::heardAudio()
{
    if (!m_heard || !m_listening)
        return std::nullopt;
    HeardAudio heard;
    heard.audio = m_heard->snapshot().audio;
    std::lock_guard lock(m_stateMutex);
    heard.format = formatForContentType(m_relayContentType).value_or(AudioFormat::MP3);
    heard.streamHeader = m_relayHeader;
    heard.song = m_currentSong;
    return heard;
}

bool MP3Client::hearBody(const std::uint8_t* data, std::size_t length)
{
    if (!notFirstPass) {
        notFirstPass = true;
        m_heardUntilBlock = metaint;
        m_heardBlockLeft = -1;
        setCurrentSong(m_naming.icy_name);
        if (m_naming.icy_br > 0)
            m_heard->setCapacity(ListeningBuffer::bytesFor(m_listenBufferSeconds, m_naming.icy_br));
    }
    const std::int64_t interval = metaint;
    while (length > 0) {
        // The recording takes over between metadata blocks, where its own reader starts.
        if (m_recordRequested && m_heardBlockLeft < 0) {
            startRecordingFromBuffer();
            return writeBody(data, length);
        }
        if (interval == 0 || (m_heardBlockLeft < 0 && m_heardUntilBlock > 0)) {
            const std::size_t audio =
                interval == 0 ? length
                              : std::min(length, static_cast<std::size_t>(m_heardUntilBlock));
            hear(data, audio);
            if (interval != 0)
                m_heardUntilBlock -= static_cast<std::int64_t>(audio);
            data += audio;
            length -= audio;
            continue;
        }
        if (m_heardBlockLeft < 0) {
            m_heardBlockLeft = static_cast<std::int64_t>(*data) * 16;
            m_heardBlock.clear();
            ++data;
            --length;
        } else {
            const std::size_t part = std::min(length, static_cast<std::size_t>(m_heardBlockLeft));
            m_heardBlock.insert(m_heardBlock.end(), data, data + part);
            m_heardBlockLeft -= static_cast<std::int64_t>(part);
            data += part;
            length -= part;
        }
        if (m_heardBlockLeft == 0) {
            heardMetadata();
            m_heardBlockLeft = -1;
            m_heardUntilBlock = interval;
        }
    }
    if (m_recordRequested && m_heardBlockLeft < 0)
        startRecordingFromBuffer();
    return true;
}

void MP3Client::hear(const std::uint8_t* data, std::size_t length)
{
    m_heard->append(data, length);
    if (relayFlag && m_context.relay)
        m_context.relay->writeRawData(data, length);
    if (*m_format != AudioFormat::Ogg)
        return;
    m_heardOgg.feed(data, length);
    if (m_heardOgg.headerGeneration() != m_publishedOggHeaders) {
        m_publishedOggHeaders = m_heardOgg.headerGeneration();
        publishStreamFormat(std::string(contentTypeOf(AudioFormat::Ogg)), m_heardOgg.headerPages());
    }
}

void MP3Client::heardMetadata()
{
    std::unique_ptr<StreamTitle> title =
        m_heardBlock.empty() ? nullptr
                             : titleFromMetadata(m_heardBlock.data(), m_heardBlock.size());
    if (!isNewTrack(title.get()))
        return;
    _streamTitle = std::move(title);
    setCurrentSong(_streamTitle->streamTitle());
    m_heard->titleChanged(m_heardBlock);
}

void MP3Client::startRecordingFromBuffer()
{
    m_recordRequested = false;
    m_listening = false;
    ListeningBuffer::Snapshot heard = m_heard->take();
    openJournal();
    // The recording starts as a connection does, its metadata reader where listening left off.
    notFirstPass = false;
    firstBlockOfConnection();
    // The player has heard all this already.
    fileWriter->setCallbackWriter(nullptr);
    if (metaint == 0) {
        // Without titles nothing tells where the song began: the recording starts now.
        writeNoMetadataBranch(nullptr, 0);
        return;
    }
    bytecount = 0;
    metaoffset = m_heardUntilBlock;
    writeMetadataBranch(nullptr, 0);
    if (*m_format == AudioFormat::Ogg) {
        // An Ogg file begins with its stream's headers; its songs start at new streams.
        const Bytes headers = m_heardOgg.headerPages();
        writeAudio(headers.data(), headers.size());
        return;
    }
    const std::uint64_t start = songStartIn(heard);
    m_firstFileDeferred = false;
    if (_streamTitle) {
        ++_streamTitleChangedCounter;
        setCurrentSong(_streamTitle->streamTitle());
        journalTitle(_streamTitle->streamTitle());
    }
    createNewFileInSession();
    logFormat("Recording from the song's start: %.1f s of what was heard",
              static_cast<double>(heard.audio.size() - start) /
                  static_cast<double>(
                      std::max<std::uint64_t>(1, ListeningBuffer::bytesFor(1, m_naming.icy_br))));
    emitAudio(heard.audio.data() + start, static_cast<std::size_t>(heard.audio.size() - start));
}

std::uint64_t MP3Client::songStartIn(const ListeningBuffer::Snapshot& heard)
{
    if (heard.titles.empty())
        return 0;
    const ListeningBuffer::TitleChange& change = heard.titles.back();
    std::uint64_t fed = 0;
    std::optional<std::uint64_t> cutAt;
    GapSplitter search([&](GapSplitter::Cut& cut) {
        if (!cutAt)
            cutAt = fed - std::min<std::uint64_t>(fed, cut.carried.size());
    });
    search.configure(*m_format, splitSearchSeconds > 0 ? splitSearchSeconds : kShortSearchSeconds,
                     splitEarlierOrLater == 0 ? -rewindSeconds : rewindSeconds, m_learnedOffsets);
    search.startConnection(*m_format);
    auto feedUpTo = [&](std::uint64_t end) {
        while (fed < end) {
            const std::uint64_t at = fed;
            fed += std::min<std::uint64_t>(end - at, kSearchBlock);
            search.observe(heard.audio.data() + at, static_cast<std::size_t>(fed - at));
        }
    };
    feedUpTo(change.position);
    search.titleChanged(titleFromMetadata(change.metadata.data(), change.metadata.size()));
    feedUpTo(heard.audio.size());
    search.flush();
    return std::min<std::uint64_t>(cutAt.value_or(change.position), heard.audio.size());
}

} // namespace orvanta
