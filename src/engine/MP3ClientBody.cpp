// The body callback of MP3Client: audio and in-band metadata apart, a new file at the
// quietest point around each title change, splitting by time or size without titles.

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
#include <cstring>

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace orvanta {

namespace {

constexpr std::size_t kMaxStreamNameCharacters = 60;
// A stream that has sent this much without one run of MP3 frames is not an MP3 stream
// (about 16 s of 128 kbit/s audio; room for a large tag at its start).
constexpr std::uint64_t kMaxBytesWithoutAudio = 256 * 1024;

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
    if (shutDownFlag) {
        closeFileForStop();
        return false;
    }
    // An error page is no recording: nothing of it reaches a file.
    if (m_httpError)
        return false;
    fileWriter->setCallbackWriter(relayFlag ? m_context.relay : nullptr);
    if (!notFirstPass && !firstBlockOfConnection())
        return false;
    if (metaint != 0)
        writeMetadataBranch(data, length);
    else
        writeNoMetadataBranch(data, length);
    if (fileWriter->bytesSearchedWithoutFrames() > kMaxBytesWithoutAudio) {
        m_noAudio = true;
        return false;
    }
    return true;
}

void MP3Client::flushMetadataBuffer()
{
    // The buffer only empties when full; what it holds when a connection ends is the last
    // audio of the recording (up to two periods with their blocks) and is written, not dropped.
    if (metaint == 0)
        return;
    std::int64_t position = 0;
    std::int64_t lengthByte = metaoffset;
    while (position < bytecount) {
        const std::int64_t audioEnd = std::min(lengthByte, bytecount);
        if (audioEnd > position)
            fileWriter->writeData(bufp.data() + position,
                                  static_cast<std::size_t>(audioEnd - position));
        if (audioEnd >= bytecount)
            break;
        position =
            audioEnd + 1 + static_cast<std::int64_t>(bufp[static_cast<std::size_t>(audioEnd)]) * 16;
        lengthByte = position + metaint;
    }
    bytecount = 0;
}

void MP3Client::closeFileForStop()
{
    if (m_stopHandled)
        return;
    m_stopHandled = true;
    flushMetadataBuffer();
    // A track that began with a title change in this connection was cut short: it stays
    // incomplete. The first track (or untitled audio) counts as complete.
    bool complete;
    if (metaint != 0)
        complete = !(_streamTitle && _streamTitleChangedCounter > 1);
    else
        complete = manualSplitMethod == 0;
    fileWriter->finishCurrentFileAndMove(complete);
}

bool MP3Client::firstBlockOfConnection()
{
    postAlert(""); // clears an earlier alert
    if (content_length)
        manualSplitMethod = 0;
    if (!m_haveIcyGenre)
        m_naming.icy_genre = localizedString("Unknown Genre");
    if (!m_haveIcyName) {
        const QString day =
            QLocale().toString(QDate::currentDate(), QStringLiteral("dddd, dd MMM yyyy"));
        std::string name = localizedString("unknown stream %1");
        name.replace(name.find("%1"), 2, day.toStdString());
        m_naming.icy_name = name;
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
    const PreferencesReader& prefs = m_context.prefs;
    if (prefs.boolForKey(prefs::kDiskSpaceSafety))
        fileWriter->setDiskSpaceSafety(true);
    if (prefs.boolForKey(prefs::kIgnoreFileSize))
        fileWriter->setIgnoreFileSizeBytes(static_cast<std::uint64_t>(std::max<std::int64_t>(
                                               0, prefs.integerForKey(prefs::kIgnoreFileSizeKB))) *
                                           1024);
    createNewFileInSession();
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
        if (rewindSeconds > 0) {
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
    const bool newTrack = title && !title->shouldIgnore() && !title->streamTitle().empty() &&
                          (!_streamTitle || !sameTitleIgnoringCase(title->streamTitle(),
                                                                   _streamTitle->streamTitle()));
    std::int64_t consumed;
    std::int64_t nextMetaoffset;
    if (newTrack) {
        ++_streamTitleChangedCounter;
        _streamTitle = std::move(title);
        // The audio on both sides of the metadata block, where the split will go.
        std::vector<std::uint8_t> around(bufp.begin(), bufp.begin() + metaoffset);
        const auto after = bufp.begin() + metaoffset + 1 + blockLength;
        around.insert(around.end(), after, after + interval);
        const auto size = static_cast<std::int64_t>(around.size());
        std::int64_t split = findQuietGap(around.data(), around.size());
        if (split < 0)
            split = size / 2;
        const FrameRange frame = MyMP3Util::findFirstHeaderInBuffer(
            around.data() + split, static_cast<std::size_t>(size - split));
        if (frame.found())
            split += frame.location;
        if (split > 0)
            fileWriter->writeData(around.data(), static_cast<std::size_t>(split));
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
            fileWriter->writeData(around.data() + split,
                                  static_cast<std::size_t>(metaoffset - split));
            consumed = metaoffset + blockLength + 1;
            nextMetaoffset = interval;
        }
    } else {
        fileWriter->writeData(bufp.data(), static_cast<std::size_t>(metaoffset));
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
        setCurrentSong(localizedString("(No track data)") + " " + m_naming.icy_name);
        stopWatch = m_seconds();
    }
    fileWriter->writeData(data, length);
    const std::uint64_t size = fileWriter->currentFileSize();
    // A limit of 0 means no splitting, not a new file for every block.
    if (manualSplitMethod == 2 && splitByTimeOfSeconds > 0) {
        const auto elapsed =
            static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_seconds() - stopWatch));
        const auto bitrate = static_cast<std::uint64_t>(std::max<std::int64_t>(0, m_naming.icy_br));
        if (elapsed >= splitByTimeOfSeconds ||
            (bitrate != 0 && size > splitByTimeOfSeconds * bitrate * 128)) {
            stopWatch = m_seconds();
            createNewFileInSession();
        }
    } else if (manualSplitMethod == 1 && splitByFileSizeOfBytes > 0 &&
               size > splitByFileSizeOfBytes) {
        createNewFileInSession();
    }
}

} // namespace orvanta
