// The body callback of MP3Client: the format settled from the first bytes, audio and in-band
// metadata apart, a new file at the quietest point around each title change (at each new
// logical stream of an Ogg stream), splitting by time or size without titles.

#include "MP3Client.h"

#include "Localization.h"
#include "Log.h"
#include "MyMP3Util.h"
#include "NodePropertyKeys.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "PrefsKeys.h"
#include "QuietGap.h"
#include "RelayInput.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace orvanta {

namespace {

constexpr std::size_t kMaxStreamNameCharacters = 60;
// A stream that has sent this much without one run of MP3 frames is not an MP3 stream
// (about 16 s of 128 kbit/s audio; room for a large tag at its start).
constexpr std::uint64_t kMaxBytesWithoutAudio = 256 * 1024;
// The body's first bytes that settle its format: a dozen frames of any format, and more than
// the kernel usually hands over at once (so a stream is rarely held back twice).
constexpr std::size_t kSniffBytes = 16 * 1024;

/// The first count characters of a UTF-8 string.
std::string firstCharacters(const std::string& s, std::size_t count)
{
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < s.size(); ++n) {
        ++pos;
        while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return s.substr(0, pos);
}

bool sameTitleIgnoringCase(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

bool MP3Client::writeShoutCastData(const std::uint8_t* data, std::size_t length)
{
    contentLengthCounter += length;
    m_connectionBytes += length;
    // An error page is no recording: nothing of it reaches a file.
    if (m_stopHandled || m_httpError)
        return false;
    bool goOn;
    if (!m_format) {
        // Held back, in the blocks they came in, until they tell the format.
        m_sniffedChunks.emplace_back(data, data + length);
        m_sniffedBytes += length;
        goOn = m_sniffedBytes < kSniffBytes || settleFormatAndReplay();
    } else {
        goOn = writeBody(data, length);
    }
    if (!shutDownFlag)
        return goOn;
    // What came before the stop is the user's recording too: this block is written, and so
    // is what still waits in the socket.
    if (!goOn) {
        closeFileForStop();
        return false;
    }
    return drainAfterStop();
}

Bytes MP3Client::sniffedAudio() const
{
    Bytes body;
    for (const Bytes& chunk : m_sniffedChunks)
        body.insert(body.end(), chunk.begin(), chunk.end());
    const auto interval = static_cast<std::size_t>(metaint.load());
    if (interval == 0)
        return body;
    // The audio between the metadata blocks.
    Bytes audio;
    std::size_t position = 0;
    while (position < body.size()) {
        const std::size_t end = std::min(body.size(), position + interval);
        audio.insert(audio.end(), body.begin() + static_cast<std::ptrdiff_t>(position),
                     body.begin() + static_cast<std::ptrdiff_t>(end));
        if (end >= body.size())
            break;
        position = end + 1 + static_cast<std::size_t>(body[end]) * 16;
    }
    return audio;
}

std::optional<AudioFormat> MP3Client::chooseFormat() const
{
    const std::optional<AudioFormat> claimed =
        m_contentType ? formatForContentType(*m_contentType) : std::nullopt;
    const Bytes audio = sniffedAudio();
    if (const auto found = sniffFormat(audio.data(), audio.size(), claimed))
        return found;
    if (claimed)
        return claimed; // the search for its frames goes on, and says when there are none
    // A server that names no type, or a web page: searched for MP3 as always.
    if (!m_contentType || m_contentType->rfind("text/", 0) == 0 || m_contentType->empty())
        return AudioFormat::MP3;
    return std::nullopt;
}

bool MP3Client::settleFormatAndReplay()
{
    m_format = chooseFormat();
    std::vector<Bytes> chunks = std::move(m_sniffedChunks);
    m_sniffedChunks.clear();
    m_sniffedBytes = 0;
    if (!m_format) {
        m_unknownFormat = true;
        return false;
    }
    if (m_contentType && formatForContentType(*m_contentType) != m_format)
        logMessage("MP3Client::writeShoutCastData",
                   "The server says \"" + *m_contentType + "\" but sends " +
                       std::string(formatName(*m_format)) + " audio: recording it as such");
    fileWriter->setAudioFormat(*m_format, std::string(fileExtension(*m_format)));
    publishStreamFormat(std::string(contentTypeOf(*m_format)), {});
    for (const Bytes& chunk : chunks)
        if (!writeBody(chunk.data(), chunk.size()))
            return false;
    return true;
}

bool MP3Client::writeBody(const std::uint8_t* data, std::size_t length)
{
    if (m_listening)
        return hearBody(data, length);
    if (!notFirstPass && !firstBlockOfConnection())
        return false;
    fileWriter->setCallbackWriter(relayFlag ? m_context.relay : nullptr);
    applyRequestedSkip();
    if (metaint != 0)
        writeMetadataBranch(data, length);
    else
        writeNoMetadataBranch(data, length);
    if (*m_format == AudioFormat::Ogg) {
        if (m_ogg.unsupportedCodec())
            return false;
        if (m_ogg.bytesWithoutAudio() > kMaxBytesWithoutAudio) {
            m_noAudio = true;
            return false;
        }
    } else if (fileWriter->bytesSearchedWithoutFrames() > kMaxBytesWithoutAudio) {
        m_noAudio = true;
        return false;
    }
    return true;
}

void MP3Client::writeStreamAudio(const std::uint8_t* data, std::size_t length)
{
    if (m_journal)
        m_journal->audio(data, length, SessionJournal::clock());
    fileWriter->writeData(data, length);
}

void MP3Client::journalTitle(const std::string& streamTitle, std::uint64_t aheadBytes)
{
    if (m_journal)
        m_journal->title(streamTitle, SessionJournal::clock(), aheadBytes);
}

void MP3Client::writeAudio(const std::uint8_t* data, std::size_t length)
{
    if (length == 0)
        return;
    if (*m_format != AudioFormat::Ogg) {
        writeStreamAudio(data, length);
        return;
    }
    if (m_journal)
        m_journal->audio(data, length, SessionJournal::clock());
    m_ogg.feed(data, length);
    if (m_ogg.headerGeneration() != m_publishedOggHeaders) {
        m_publishedOggHeaders = m_ogg.headerGeneration();
        publishStreamFormat(std::string(contentTypeOf(AudioFormat::Ogg)), m_ogg.headerPages());
    }
}

void MP3Client::emitAudio(const std::uint8_t* data, std::size_t length)
{
    writeAudio(data, length);
    if (m_wideSearch)
        m_gapSplitter.observe(data, length);
}

void MP3Client::applyRequestedSkip()
{
    if (!m_skipRequested.exchange(false))
        return;
    // A song whose title came but whose cut is still to be made is skipped when it starts.
    if (!m_gapSplitter.skipPendingSong())
        fileWriter->skipCurrentFile();
}

void MP3Client::startDeferredFile()
{
    if (std::exchange(m_firstFileDeferred, false))
        createNewFileInSession();
}

void MP3Client::startFileAtCut(GapSplitter::Cut& cut)
{
    std::string report;
    char text[160];
    if (cut.gapFound)
        std::snprintf(text, sizeof text, "Cut %+.2f s from the title change, in a gap of %.2f s",
                      cut.offsetSeconds, cut.gapSeconds);
    else
        std::snprintf(text, sizeof text,
                      "No gap found: cut at the expected point, %+.2f s from the title change",
                      cut.offsetSeconds);
    report = text;
    const SplitOffsetLearner::Estimate learned = m_gapSplitter.learner().estimate();
    if (learned.learned) {
        std::snprintf(text, sizeof text, "; the station's learned offset is %+.2f s",
                      learned.centreSeconds);
        report += text;
    }
    logMessage("MP3Client::split", report);
    if (cut.clear)
        m_context.center.post(OVSplitOffsetNotification, tag(), cut.offsetSeconds);
    if (m_journal)
        m_journal->cut(cut.carried.size(), cut.offsetSeconds, cut.gapFound, cut.gapSeconds,
                       cut.title ? cut.title->streamTitle() : std::string(),
                       SessionJournal::clock());

    fileWriter->carryTailToNextFile(cut.carried);
    fileWriter->addNewFileTags(m_naming.tagsForStreamTitle(cut.title.get()));
    fileWriter->createNewFile();
    if (cut.skip)
        fileWriter->skipCurrentFile();
}

void MP3Client::publishStreamFormat(std::string contentType, Bytes header)
{
    // Under the state lock, so that listen() never hands the relay an older format.
    std::lock_guard lock(m_stateMutex);
    m_relayContentType = std::move(contentType);
    m_relayHeader = std::move(header);
    if (relayFlag && m_context.relay)
        m_context.relay->setStreamFormat(m_relayContentType, m_relayHeader);
}

void MP3Client::splitWithoutTitles()
{
    if (*m_format == AudioFormat::Ogg)
        m_ogg.requestNewFile(); // at the next page, with the stream's headers
    else
        createNewFileInSession();
}

Dictionary MP3Client::startOggFile(const OggStreamInfo& info,
                                   const std::optional<VorbisComments>& newStreamComments)
{
    fileWriter->setAudioFormat(
        AudioFormat::Ogg,
        info.codec == OggCodec::Opus ? ".opus" : std::string(fileExtension(AudioFormat::Ogg)));
    if (newStreamComments) {
        // A new logical stream is a new song: its comments name it.
        if (info.nominalBitrate > 0)
            m_context.center.post(OVStreamBitrateNotification, tag(),
                                  static_cast<std::int64_t>(info.nominalBitrate / 1000));
        m_context.center.post(OVStreamStereoNotification, tag(), info.channels > 1);
        ++_streamTitleChangedCounter;
        Dictionary found;
        static constexpr std::pair<const char*, const char*> kFields[] = {
            {"ARTIST", "TPE1"}, {"TITLE", "TIT2"}, {"ALBUM", "TALB"}};
        for (const auto& [field, frame] : kFields)
            if (auto text = newStreamComments->value(field); text && !text->empty())
                found.set(frame, *text);
        if (found.contains("TIT2") || found.contains("TPE1")) {
            const std::string artist = found.get("TPE1").toString();
            const std::string title = found.get("TIT2").toString();
            m_oggStreamTitle =
                artist.empty() || title.empty() ? artist + title : artist + " - " + title;
            m_oggTrackTags = std::move(found);
            if (metaint == 0) // with ICY titles, those name the songs
                setCurrentSong(m_oggStreamTitle);
        } else {
            m_oggTrackTags.reset();
        }
    }
    Dictionary fileInformation;
    if (metaint != 0 && _streamTitle)
        fileInformation = m_naming.tagsForStreamTitle(_streamTitle.get());
    else if (m_oggTrackTags)
        fileInformation = m_naming.tagsForKnownTrack(*m_oggTrackTags, m_oggStreamTitle);
    else
        fileInformation = m_naming.tagsForStreamTitle(_streamTitle.get());
    Dictionary tags = fileInformation.get(fileinfo::kID3Tags).toDictionary();
    createNewFileInSessionForTags(std::move(fileInformation));
    return tags;
}

void MP3Client::flushMetadataBuffer()
{
    // The buffer only empties when full; what it holds when a connection ends is the last
    // audio of the recording (up to two periods with their blocks) and is written, not dropped.
    if (metaint == 0)
        return;
    startDeferredFile();
    std::int64_t position = 0;
    std::int64_t lengthByte = metaoffset;
    while (position < bytecount) {
        const std::int64_t audioEnd = std::min(lengthByte, bytecount);
        if (audioEnd > position)
            emitAudio(bufp.data() + position, static_cast<std::size_t>(audioEnd - position));
        if (audioEnd >= bytecount)
            break;
        position =
            audioEnd + 1 + static_cast<std::int64_t>(bufp[static_cast<std::size_t>(audioEnd)]) * 16;
        lengthByte = position + metaint;
    }
    bytecount = 0;
    if (m_wideSearch)
        m_gapSplitter.flush();
}

void MP3Client::closeFileForStop()
{
    if (m_stopHandled)
        return;
    m_stopHandled = true;
    if (!m_format && m_sniffedBytes > 0 && !m_httpError)
        settleFormatAndReplay();
    flushMetadataBuffer();
    // A track that began with a title change in this connection was cut short: it stays
    // incomplete. The first track (or untitled audio) counts as complete.
    bool complete;
    if (m_format == AudioFormat::Ogg && metaint == 0)
        complete = _streamTitleChangedCounter <= 1;
    else if (metaint != 0)
        complete = !(_streamTitle && _streamTitleChangedCounter > 1);
    else
        complete = manualSplitMethod == 0;
    fileWriter->endAtWholeFrame();
    fileWriter->finishCurrentFileAndMove(complete);
}

bool MP3Client::firstBlockOfConnection()
{
    // Clears an earlier alert; not after a stop, whose alert (if any) says why it stopped
    // while what came before it is still being written.
    if (!shutDownFlag)
        postAlert("");
    if (content_length)
        manualSplitMethod = 0;
    if (!m_haveIcyGenre)
        m_naming.icy_genre = Orvanta::tr("Unknown Genre");
    if (!m_haveIcyName) {
        const QString day =
            QLocale().toString(QDate::currentDate(), QStringLiteral("dddd, dd MMM yyyy"));
        m_naming.icy_name = Orvanta::tr("unknown stream %1", {day.toStdString()});
    }
    m_naming.icy_name = firstCharacters(m_naming.icy_name, kMaxStreamNameCharacters);
    if (_replaceStreamName)
        m_context.center.post(OVStreamNameNotification, tag(), m_naming.icy_name);
    m_context.center.post(OVStreamGenreNotification, tag(), m_naming.icy_genre);
    if (metaint != 0)
        m_context.center.post(OVMetaintNotification, tag(), metaint.load());

    if (!m_writerConfigured) {
        m_writerConfigured = true;
        fileWriter->setTag(tag());
        fileWriter->setIgnoreDuplicateRecordings(_ignoreDuplicates);
        if (_useID3v1)
            fileWriter->setUseID3v1();
        if (_useID3v2)
            fileWriter->setUseID3v2();
        if (numberRecordings)
            fileWriter->setUseFileCounter();
    }
    if (!numberRecordingsTrack)
        m_naming.trackCounter = 0;
    if (m_journal && m_format)
        m_journal->connected(*m_format, m_connectionUrl, SessionJournal::clock());
    const PreferencesReader& prefs = m_context.prefs;
    if (prefs.boolForKey(prefs::kDiskSpaceSafety))
        fileWriter->setDiskSpaceSafety(true);
    if (prefs.boolForKey(prefs::kIgnoreFileSize))
        fileWriter->setIgnoreFileSizeBytes(static_cast<std::uint64_t>(std::max<std::int64_t>(
                                               0, prefs.integerForKey(prefs::kIgnoreFileSizeKB))) *
                                           1024);
    m_wideSearch = metaint != 0 && splitSearchSeconds > 0 && *m_format != AudioFormat::Ogg;
    if (m_wideSearch)
        m_gapSplitter.startConnection(*m_format);
    // An Ogg file starts when its stream's headers have come, named from their comments. With
    // titles, the first file waits for the first metadata block: the audio before it belongs
    // to the song that block names, not to a file of its own.
    if (*m_format != AudioFormat::Ogg) {
        if (metaint != 0)
            m_firstFileDeferred = true;
        else
            createNewFileInSession();
    }
    return true;
}

void MP3Client::createNewFileInSession()
{
    createNewFileInSessionForTags(m_naming.tagsForStreamTitle(_streamTitle.get()));
}

void MP3Client::createNewFileInSessionForTags(Dictionary tags)
{
    fileWriter->addNewFileTags(std::move(tags));
    fileWriter->createNewFile();
}

// ---- with metadata ------------------------------------------------------------------------

void MP3Client::writeMetadataBranch(const std::uint8_t* data, std::size_t length)
{
    if (!notFirstPass) {
        notFirstPass = true;
        if (rewindSeconds > 0 && *m_format != AudioFormat::Ogg && !m_wideSearch) {
            const auto bitrate = static_cast<unsigned>(std::max<std::int64_t>(0, m_naming.icy_br));
            if (splitEarlierOrLater == 0) {
                fileWriter->setRewindSeconds(static_cast<float>(rewindSeconds), bitrate);
            } else {
                splitLaterSeconds = std::ceil(rewindSeconds) - rewindSeconds;
                fileWriter->setRewindSeconds(static_cast<float>(splitLaterSeconds), bitrate);
            }
        }
        setCurrentSong(m_naming.icy_name);
        splitLaterArray.clear();
    }
    if (!splitLaterArray.empty() && m_seconds() - splitLaterArray.front() > 0) {
        if (splitLaterSeconds > 0)
            fileWriter->rewind();
        fileWriter->createNewFile();
        splitLaterArray.pop_front();
    }
    const auto bufsize = static_cast<std::int64_t>(bufp.size());
    while (length > 0) {
        const auto room = static_cast<std::size_t>(bufsize - bytecount);
        const std::size_t copy = std::min(length, room);
        std::memcpy(bufp.data() + bytecount, data, copy);
        bytecount += static_cast<std::int64_t>(copy);
        data += copy;
        length -= copy;
        if (bytecount == bufsize)
            handleFullBuffer();
    }
}

std::unique_ptr<StreamTitle> MP3Client::titleFromMetadata(const std::uint8_t* block,
                                                          std::size_t length)
{
    const void* zero = std::memchr(block, 0, length);
    const std::size_t textLength =
        zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - block) : length;
    auto title =
        StreamTitle::initWithMetadata(block, textLength, static_cast<int>(languageEncoding));
    if (!title)
        return nullptr;
    const Dictionary& p = _properties;
    title->setSeparator(p.get(np::NP_STREAMTITLE_SEPARATOR).toString());
    title->setPredefinedPattern(static_cast<int>(p.get(np::NP_STREAMTITLE_PATTERN).toInteger()));
    auto strings = [](const Value& list) {
        std::vector<std::string> result;
        for (const Value& item : list.toArray())
            result.push_back(item.toString());
        return result;
    };
    if (p.get(np::NP_STREAMTITLE_CLEAN).toBool())
        title->setCleanArray(strings(p.get(np::NP_STREAMTITLE_CLEAN_LIST)));
    if (p.get(np::NP_STREAMTITLE_IGNORE).toBool())
        title->setIgnoreArray(strings(p.get(np::NP_STREAMTITLE_IGNORE_LIST)));
    return title;
}

bool MP3Client::isNewTrack(const StreamTitle* title) const
{
    return title && !title->shouldIgnore() && !title->streamTitle().empty() &&
           (!_streamTitle ||
            !sameTitleIgnoringCase(title->streamTitle(), _streamTitle->streamTitle()));
}

void MP3Client::handleFullBuffer()
{
    const std::int64_t interval = metaint;
    const auto bufsize = static_cast<std::int64_t>(bufp.size());
    const std::int64_t blockLength =
        static_cast<std::int64_t>(bufp[static_cast<std::size_t>(metaoffset)]) * 16;
    const std::uint8_t* block = bufp.data() + metaoffset + 1;
    std::unique_ptr<StreamTitle> title =
        blockLength != 0 ? titleFromMetadata(block, static_cast<std::size_t>(blockLength))
                         : nullptr;
    const bool newTrack = isNewTrack(title.get());
    std::int64_t consumed;
    std::int64_t nextMetaoffset;
    const bool firstBlock = std::exchange(m_firstFileDeferred, false);
    if (firstBlock && !newTrack)
        createNewFileInSession();
    if (newTrack && (firstBlock || m_wideSearch)) {
        // The connection's first title names its first file; with the wide search every
        // later one waits in the splitter for the audio around it.
        ++_streamTitleChangedCounter;
        _streamTitle = std::move(title);
        setCurrentSong(_streamTitle->streamTitle());
        if (firstBlock)
            createNewFileInSession();
        emitAudio(bufp.data(), static_cast<std::size_t>(metaoffset));
        journalTitle(_streamTitle->streamTitle());
        // Named when it is cut, so that its duplicate check sees the songs finished before.
        if (!firstBlock)
            m_gapSplitter.titleChanged(
                titleFromMetadata(block, static_cast<std::size_t>(blockLength)));
        consumed = metaoffset + blockLength + 1;
        nextMetaoffset = interval;
    } else if (newTrack && *m_format == AudioFormat::Ogg) {
        // Ogg is cut between pages, each file starting with its stream's headers.
        ++_streamTitleChangedCounter;
        _streamTitle = std::move(title);
        // Before the stream's headers there is no file to end: the first one takes this title.
        const bool fileOpen = m_ogg.hasOpenFile();
        writeAudio(bufp.data(), static_cast<std::size_t>(metaoffset));
        journalTitle(_streamTitle->streamTitle());
        setCurrentSong(_streamTitle->streamTitle());
        if (fileOpen)
            m_ogg.requestNewFile();
        consumed = metaoffset + blockLength + 1;
        nextMetaoffset = interval;
    } else if (newTrack) {
        ++_streamTitleChangedCounter;
        _streamTitle = std::move(title);
        // The audio on both sides of the metadata block, where the split will go.
        std::vector<std::uint8_t> around(bufp.begin(), bufp.begin() + metaoffset);
        const auto after = bufp.begin() + metaoffset + 1 + blockLength;
        around.insert(around.end(), after, after + interval);
        const auto size = static_cast<std::int64_t>(around.size());
        std::int64_t split = findQuietGap(*m_format, around.data(), around.size());
        if (split < 0)
            split = size / 2;
        const FrameRange frame = findFirstFrameRun(*m_format, around.data() + split,
                                                   static_cast<std::size_t>(size - split));
        if (frame.found())
            split += frame.location;
        journalTitle(_streamTitle->streamTitle(), static_cast<std::uint64_t>(metaoffset));
        if (split > 0)
            writeStreamAudio(around.data(), static_cast<std::size_t>(split));
        if (m_journal)
            m_journal->cut(0, 0, false, 0, _streamTitle->streamTitle(), SessionJournal::clock());
        if (splitEarlierOrLater == 0 && rewindSeconds > 0)
            fileWriter->rewind();
        fileWriter->addNewFileTags(m_naming.tagsForStreamTitle(_streamTitle.get()));
        setCurrentSong(_streamTitle->streamTitle());
        if (splitEarlierOrLater == 0 || rewindSeconds == 0)
            fileWriter->createNewFile();
        else
            splitLaterArray.push_back(m_seconds() +
                                      static_cast<std::int64_t>(std::ceil(rewindSeconds)));
        if (split >= metaoffset) {
            consumed = split + blockLength + 1;
            nextMetaoffset = metaoffset + interval - split;
        } else {
            writeStreamAudio(around.data() + split, static_cast<std::size_t>(metaoffset - split));
            consumed = metaoffset + blockLength + 1;
            nextMetaoffset = interval;
        }
    } else {
        emitAudio(bufp.data(), static_cast<std::size_t>(metaoffset));
        consumed = metaoffset + blockLength + 1;
        nextMetaoffset = interval;
    }
    std::memmove(bufp.data(), bufp.data() + consumed, static_cast<std::size_t>(bufsize - consumed));
    bytecount = bufsize - consumed;
    metaoffset = nextMetaoffset;
}

// ---- without metadata -----------------------------------------------------------------------

void MP3Client::writeNoMetadataBranch(const std::uint8_t* data, std::size_t length)
{
    if (!notFirstPass) {
        notFirstPass = true;
        setCurrentSong(Orvanta::tr("(No track data) %1", {m_naming.icy_name}));
        stopWatch = m_seconds();
    }
    writeAudio(data, length);
    const std::uint64_t size = fileWriter->currentFileSize();
    // A limit of 0 means no splitting, not a new file for every block.
    if (manualSplitMethod == 2 && splitByTimeOfSeconds > 0) {
        const auto elapsed =
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_seconds() - stopWatch));
        const auto bitrate = static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_naming.icy_br));
        if (elapsed >= splitByTimeOfSeconds ||
            (bitrate != 0 && size > splitByTimeOfSeconds * bitrate * 128)) {
            stopWatch = m_seconds();
            splitWithoutTitles();
        }
    } else if (manualSplitMethod == 1 && splitByFileSizeOfBytes > 0 &&
               size > splitByFileSizeOfBytes) {
        splitWithoutTitles();
    }
}

} // namespace orvanta
