#include "MyFileWriter.h"

#include "AdtsFrames.h"
#include "AtomicFile.h"
#include "AudioFormat.h"
#include "DictionaryExtensions.h"
#include "FileManagerExtensions.h"
#include "FreeSpace.h"
#include "ID3v2Helper.h"
#include "Localization.h"
#include "Log.h"
#include "MyID3Util.h"
#include "MyMP3Util.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "StringExtensions.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace orvanta {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

std::string replaceFirst(std::string text, std::string_view placeholder, const std::string& value)
{
    if (auto pos = text.find(placeholder); pos != std::string::npos)
        text.replace(pos, placeholder.size(), value);
    return text;
}

Dictionary shallowCopy(const Dictionary& source)
{
    Dictionary copy;
    for (const auto& [key, value] : source)
        copy.set(key, value);
    return copy;
}

} // namespace

// Collects notifications while the writer's lock is held and posts them after it is
// released: declared before the lock guard, it is destroyed after the guard.
class MyFileWriter::PostQueue
{
public:
    explicit PostQueue(NotificationCenter& center) : m_center(center) {}
    ~PostQueue()
    {
        for (const auto& n : m_notifications)
            m_center.postNotification(n);
        for (const auto& [observer, report] : m_completions)
            observer(report);
    }
    void completed(const CompletionObserver& observer, const Dictionary& report)
    {
        if (observer)
            m_completions.emplace_back(observer, report);
    }
    void add(std::string_view name, Value object, Value userInfo)
    {
        m_notifications.push_back(
            Notification{std::string(name), std::move(object), std::move(userInfo)});
    }

private:
    NotificationCenter& m_center;
    std::vector<Notification> m_notifications;
    std::vector<std::pair<CompletionObserver, Dictionary>> m_completions;
};

MyFileWriter::MyFileWriter(NotificationCenter& center)
    : m_center(center), m_freeSpace(freeSpaceOfOpenFile)
{}

MyFileWriter::MyFileWriter() : MyFileWriter(NotificationCenter::defaultCenter()) {}

MyFileWriter::~MyFileWriter()
{
    std::lock_guard lock(m_mutex);
    stopCurrentFileLocked();
}

void MyFileWriter::setTag(std::int32_t value)
{
    std::lock_guard lock(m_mutex);
    tag = value;
}

void MyFileWriter::setCallbackWriter(std::shared_ptr<RawDataWriter> writer)
{
    std::lock_guard lock(m_mutex);
    callbackWriter = std::move(writer);
}

void MyFileWriter::setDiskSpaceSafety(bool on)
{
    std::lock_guard lock(m_mutex);
    _diskSpaceSafety = on;
}

void MyFileWriter::setIgnoreFileSizeBytes(std::uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    ignoreFileSizeBytes = bytes;
}

void MyFileWriter::setIgnoreDuplicateRecordings(bool on)
{
    std::lock_guard lock(m_mutex);
    _ignoreDuplicates = on;
}

void MyFileWriter::setAudioFormat(AudioFormat format, std::string extension)
{
    std::lock_guard lock(m_mutex);
    m_format = format;
    m_extension = std::move(extension);
}

void MyFileWriter::setUseID3v1()
{
    std::lock_guard lock(m_mutex);
    _useID3v1 = true;
}

void MyFileWriter::setUseID3v2()
{
    std::lock_guard lock(m_mutex);
    _useID3v2 = true;
}

void MyFileWriter::setUseFileCounter()
{
    std::lock_guard lock(m_mutex);
    useFileCounter = true;
    fileCounter = 1;
}

void MyFileWriter::decFileCounter()
{
    std::lock_guard lock(m_mutex);
    --fileCounter;
}

void MyFileWriter::addNewFileTags(Dictionary fileInformation)
{
    std::lock_guard lock(m_mutex);
    _newFileTags.push_back(std::move(fileInformation));
}

void MyFileWriter::discardQueuedFileTags()
{
    std::lock_guard lock(m_mutex);
    const std::size_t keep = fileHandle >= 0 && !_newFileTags.empty() ? 1 : 0;
    _newFileTags.resize(keep);
}

void MyFileWriter::setCompletionObserver(CompletionObserver observer)
{
    std::lock_guard lock(m_mutex);
    m_completionObserver = std::move(observer);
}

void MyFileWriter::setFreeSpaceProbe(FreeSpaceProbe probe)
{
    std::lock_guard lock(m_mutex);
    m_freeSpace = std::move(probe);
}

// ---- files ------------------------------------------------------------------------------

bool MyFileWriter::createNewFile()
{
    PostQueue posts(m_center);
    std::lock_guard lock(m_mutex);
    return createNewFileLocked(posts);
}

bool MyFileWriter::createNewFileLocked(PostQueue& posts)
{
    finishCurrentFileLocked(true, posts);
    frameBuffer.clear();
    if (_newFileTags.empty()) {
        logMessage("MyFileWriter::createNewFile", "No file information queued for the next file");
        return false;
    }
    const Dictionary& info = _newFileTags.front();
    const std::string baseDir = info.get("completeBaseDir").toString();
    const std::string incompleteDir = baseDir + "/incomplete";
    std::string stem = stripInvalidFilenameCharacters(info.get("filename").toString());
    if (stem.empty())
        stem = Orvanta::tr("Unknown Track");
    std::string prefix;
    if (useFileCounter) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d - ", fileCounter++);
        prefix = number;
    }

    if (!createDirectoriesAtPath(incompleteDir)) {
        postFatalAlert(posts, replaceFirst(Orvanta::tr("Could not create the folder \"%1\""), "%1",
                                           incompleteDir));
        return false;
    }
    // Exclusive creation: a file of the same name, ours or another program's, is never reused.
    for (int number = 0;; ++number) {
        const std::string name = fileNameFor(prefix, stem, number, m_extension);
        const std::string path = incompleteDir + "/" + name;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            fileHandle = fd;
            m_incompleteFilePath = path;
            m_completeFilePath = baseDir + "/" + name;
            m_namePrefix = prefix;
            m_nameStem = stem;
            m_nameNumber = number;
            m_nameExtension = m_extension;
            break;
        }
        if (errno != EEXIST || number >= 100000) {
            const std::string reason = std::strerror(errno);
            postFatalAlert(posts, Orvanta::tr("Could not create the recording file \"%1\": %2",
                                              {path, reason}));
            return false;
        }
    }
    m_fatalAlertPosted = false;
    m_searchedWithoutFrames = 0;
    m_audioStart = 0;
    if (_useID3v2 && m_format != AudioFormat::Ogg) {
        const Bytes tagBytes = createID3v2TagFromDictionary(info.get("ID3TAGS").toDictionary());
        if (!writeAllLocked(tagBytes.data(), tagBytes.size()))
            postFatalAlert(posts, Orvanta::tr("Out of disk space!"));
        m_audioStart = currentFileSizeLocked();
    }
    if (!_rewindBuffer.empty()) {
        frameBuffer = std::move(_rewindBuffer);
        _rewindBuffer.clear();
    }
    if (!m_carried.empty()) {
        // Written at once: the stream may end before any more audio comes.
        const Bytes carried = std::move(m_carried);
        m_carried.clear();
        writeAudioLocked(carried.data(), carried.size(), posts);
    }
    return true;
}

bool MyFileWriter::finishCurrentFileAndMove(bool move)
{
    PostQueue posts(m_center);
    std::lock_guard lock(m_mutex);
    return finishCurrentFileLocked(move, posts);
}

bool MyFileWriter::discardFileWithoutAudioLocked()
{
    if (fileHandle < 0 || writtenData)
        return false;
    stopCurrentFileLocked();
    ::unlink(m_incompleteFilePath.c_str());
    return true;
}

bool MyFileWriter::finishCurrentFileLocked(bool move, PostQueue& posts)
{
    if (fileHandle < 0 || discardFileWithoutAudioLocked())
        return true;
    Dictionary report = shallowCopy(_newFileTags.front());
    trimPartialFrameLocked();
    if (_useID3v1 && m_format != AudioFormat::Ogg) {
        const Bytes v1 = createID3v1TagFromDictionary(report.get("ID3TAGS").toDictionary());
        writeAllLocked(v1.data(), v1.size());
    }
    const std::uint64_t size = currentFileSizeLocked();
    const bool duplicate = boolForKey(report, "duplicate");
    stopCurrentFileLocked();

    if (size < ignoreFileSizeBytes) {
        report.set("tooSmall", 1);
        report.set("ignored", 1);
        ::unlink(m_incompleteFilePath.c_str());
    } else if (!move) {
        report.set("incomplete", 1);
        report.set("location", m_incompleteFilePath);
    } else if (duplicate && _ignoreDuplicates) {
        report.set("ignored", 1);
        ::unlink(m_incompleteFilePath.c_str());
    } else if (!moveToCompleteFolder(report)) {
        // The recording is still there: say where, rather than losing track of it.
        report.set("incomplete", 1);
        report.set("location", m_incompleteFilePath);
    }
    if (report.contains("dateCompleted"))
        posts.completed(m_completionObserver, report);
    posts.add(OVRecordingFileCompleted, tag, report);
    return true;
}

bool MyFileWriter::moveToCompleteFolder(Dictionary& report)
{
    const std::string baseDir = m_completeFilePath.substr(0, m_completeFilePath.rfind('/'));
    if (!createDirectoriesAtPath(baseDir)) {
        logMessage("MyFileWriter::finishCurrentFileAndMove", "Could not create " + baseDir);
        return false;
    }
    // An existing file at the complete path is never replaced: take the next free name.
    for (int number = m_nameNumber; number < m_nameNumber + 100000; ++number) {
        const std::string target =
            number == m_nameNumber
                ? m_completeFilePath
                : baseDir + "/" + fileNameFor(m_namePrefix, m_nameStem, number, m_nameExtension);
        if (renameWithoutReplacing(m_incompleteFilePath, target)) {
            m_completeFilePath = target;
            report.set("location", target);
            report.set("dateCompleted", Date::now());
            return true;
        }
        if (errno != EEXIST) {
            logMessage("MyFileWriter::finishCurrentFileAndMove",
                       "Could not move " + m_incompleteFilePath + " to " + target + ": " +
                           std::strerror(errno));
            return false;
        }
    }
    return false;
}

void MyFileWriter::skipCurrentFile()
{
    PostQueue posts(m_center);
    std::lock_guard lock(m_mutex);
    // Without an open file, entry 0 belongs to a file still to come: nothing is skipped.
    if (fileHandle < 0)
        return;
    Dictionary report = shallowCopy(_newFileTags.front());
    // The skip is the user's and is reported; a file that got no audio yet is not kept.
    if (!discardFileWithoutAudioLocked())
        stopCurrentFileLocked();
    report.set("skipped", 1);
    report.set("ignored", 1);
    posts.add(OVRecordingFileCompleted, tag, report);
}

void MyFileWriter::stopCurrentFile()
{
    std::lock_guard lock(m_mutex);
    if (!discardFileWithoutAudioLocked()) {
        trimPartialFrameLocked();
        stopCurrentFileLocked();
    }
}

void MyFileWriter::endAtWholeFrame()
{
    std::lock_guard lock(m_mutex);
    m_endAtWholeFrame = true;
}

void MyFileWriter::trimPartialFrameLocked()
{
    // An AAC decoder reports a cut last frame as damage, so AAC files always end on a whole
    // frame. MP3 decoders pass over a cut frame; an MP3 file is cut only when a stop ends it
    // (split files end where the next one's audio starts). Ogg arrives in whole pages.
    const bool mp3 = m_format == AudioFormat::MP3 && m_endAtWholeFrame;
    m_endAtWholeFrame = false;
    if ((m_format != AudioFormat::AAC && !mp3) || fileHandle < 0 || !writtenData)
        return;
    const std::size_t headerLength = mp3 ? 4 : AdtsFrames::kHeaderLength;
    // The length of the frame whose header is at bytes; 0 when they are no header.
    auto frameLengthAt = [mp3](const std::uint8_t* bytes) -> std::uint64_t {
        if (mp3) {
            mp3frameheader_t header{};
            return MyMP3Util::decodeFrameHeader(header, bytes) ? header.frameLength : 0;
        }
        const auto header = AdtsFrames::decodeHeader(bytes);
        return header ? header->frameLength : 0;
    };
    const std::uint64_t size = currentFileSizeLocked();
    std::uint64_t position = m_audioStart;
    Bytes block;
    std::uint64_t blockStart = 0;
    while (size - position >= headerLength) {
        if (position < blockStart || position + headerLength > blockStart + block.size()) {
            block.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, size - position)));
            const ssize_t n =
                ::pread(fileHandle, block.data(), block.size(), static_cast<off_t>(position));
            if (n < static_cast<ssize_t>(headerLength))
                return; // a read error: the file stays as it is
            block.resize(static_cast<std::size_t>(n));
            blockStart = position;
        }
        const std::uint64_t frameLength = frameLengthAt(block.data() + (position - blockStart));
        if (frameLength == 0)
            return; // not the frames this file began with: nothing to judge by
        if (frameLength > size - position)
            break;
        position += frameLength;
    }
    if (position < size && ::ftruncate(fileHandle, static_cast<off_t>(position)) == 0)
        ::lseek(fileHandle, 0, SEEK_END);
}

void MyFileWriter::stopCurrentFileLocked()
{
    if (fileHandle >= 0) {
        if (!_newFileTags.empty())
            _newFileTags.pop_front();
        ::close(fileHandle);
        fileHandle = -1;
    }
    writtenData = false;
}

// ---- audio ------------------------------------------------------------------------------

bool MyFileWriter::writeData(const std::uint8_t* data, std::size_t length)
{
    std::shared_ptr<RawDataWriter> relay;
    {
        std::lock_guard lock(m_mutex);
        relay = callbackWriter;
    }
    if (relay)
        relay->writeRawData(data, length);

    PostQueue posts(m_center);
    std::lock_guard lock(m_mutex);
    return writeAudioLocked(data, length, posts);
}

bool MyFileWriter::writeAudioLocked(const std::uint8_t* data, std::size_t length, PostQueue& posts)
{
    if (writtenData)
        return writeRawDataLocked(data, length, posts);
    if (fileHandle < 0)
        return false; // skipped or stopped: the audio went to the relay only
    frameBuffer.insert(frameBuffer.end(), data, data + length);
    std::size_t resume = 0;
    const FrameRange run =
        findFirstFrameRun(m_format, frameBuffer.data(), frameBuffer.size(), &resume);
    if (!run.found()) {
        m_searchedWithoutFrames += length;
        // Bytes before the resume point can never start a run: dropping them keeps the buffer
        // to a few frames however long a stream goes without one.
        frameBuffer.erase(frameBuffer.begin(),
                          frameBuffer.begin() + static_cast<std::ptrdiff_t>(resume));
        return true;
    }
    const auto start = static_cast<std::size_t>(run.location);
    if (tag != 0) {
        const FrameFacts facts =
            factsOfFrameAt(m_format, frameBuffer.data() + start, frameBuffer.size() - start);
        if (facts.bitrateKbps)
            posts.add(OVStreamBitrateNotification, tag, *facts.bitrateKbps);
        if (facts.stereo)
            posts.add(OVStreamStereoNotification, tag, *facts.stereo);
    }
    writtenData = writeRawDataLocked(frameBuffer.data() + start, frameBuffer.size() - start, posts);
    m_searchedWithoutFrames = 0;
    frameBuffer.clear();
    return writtenData;
}

bool MyFileWriter::writeRawData(const std::uint8_t* data, std::size_t length)
{
    PostQueue posts(m_center);
    std::lock_guard lock(m_mutex);
    // The caller vouches for these bytes being audio.
    const bool written = writeRawDataLocked(data, length, posts);
    writtenData = writtenData || written;
    return written;
}

bool MyFileWriter::writeRawDataLocked(const std::uint8_t* data, std::size_t length,
                                      PostQueue& posts)
{
    if (fileHandle < 0)
        return false;
    if (_diskSpaceSafety && m_freeSpace) {
        const auto free = m_freeSpace(fileHandle);
        if (free && *free < kDiskSpaceSafetyBytes) {
            postFatalAlert(posts,
                           replaceFirst(Orvanta::tr("%1 - Out of disk space, reached safety limit"),
                                        "%1", volumeNameForPath(m_incompleteFilePath)));
            return false;
        }
    }
    if (!writeAllLocked(data, length)) {
        postFatalAlert(posts, Orvanta::tr("Out of disk space!"));
        return false;
    }
    m_audioBytesWritten += length;
    return true;
}

bool MyFileWriter::writeAllLocked(const std::uint8_t* data, std::size_t length)
{
    std::size_t written = 0;
    while (written < length) {
        const ssize_t n = ::write(fileHandle, data + written, length - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

void MyFileWriter::postFatalAlert(PostQueue& posts, std::string message)
{
    // One alert per file: the core stops the recording on the first one.
    if (m_fatalAlertPosted)
        return;
    m_fatalAlertPosted = true;
    logMessage("MyFileWriter", message);
    posts.add(OVFatalErrorAlertNotification, tag,
              Dictionary{{OVErrorAlertNotificationMessage, std::move(message)}});
}

// ---- rewind -----------------------------------------------------------------------------

void MyFileWriter::setRewindSeconds(float seconds, unsigned bitrateKbps)
{
    std::lock_guard lock(m_mutex);
    // Whole milliseconds first, so that 0.01 s is 10 ms and not 9.99999 ms of a float.
    const long long milliseconds = std::llround(static_cast<double>(seconds) * 1000.0);
    m_rewindSplitNumBytes =
        milliseconds > 0 ? std::uint64_t{bitrateKbps / 8} * static_cast<std::uint64_t>(milliseconds)
                         : 0;
}

void MyFileWriter::carryTailToNextFile(const Bytes& bytes)
{
    std::lock_guard lock(m_mutex);
    if (fileHandle >= 0) {
        if (!writtenData) {
            // Still looking for the file's first frames: the tail is among them.
            frameBuffer.clear();
        } else {
            const std::uint64_t size = currentFileSizeLocked();
            const std::uint64_t audio = size > m_audioStart ? size - m_audioStart : 0;
            // Bytes dropped before the first frame run were never written: cut what was.
            const std::uint64_t cut = std::min<std::uint64_t>(audio, bytes.size());
            if (cut > 0 && ::ftruncate(fileHandle, static_cast<off_t>(size - cut)) == 0)
                ::lseek(fileHandle, 0, SEEK_END);
        }
    }
    m_carried = bytes;
}

std::uint64_t MyFileWriter::rewindSplitNumBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_rewindSplitNumBytes;
}

void MyFileWriter::rewind()
{
    std::lock_guard lock(m_mutex);
    _rewindBuffer.clear();
    if (m_rewindSplitNumBytes == 0 || fileHandle < 0)
        return;
    const std::uint64_t size = currentFileSizeLocked();
    // Only audio moves: the cut never reaches into the tag at the start of the file.
    if (size <= m_audioStart || size - m_audioStart <= m_rewindSplitNumBytes)
        return;
    const std::uint64_t position = size - m_rewindSplitNumBytes;
    Bytes tail(m_rewindSplitNumBytes);
    std::size_t got = 0;
    while (got < tail.size()) {
        const ssize_t n = ::pread(fileHandle, tail.data() + got, tail.size() - got,
                                  static_cast<off_t>(position + got));
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return; // a file error: no rewind
        }
        got += static_cast<std::size_t>(n);
    }
    const FrameRange run = findFirstFrameRun(m_format, tail.data(), tail.size());
    const std::uint64_t keep = run.found() ? static_cast<std::uint64_t>(run.location) : 0;
    if (::ftruncate(fileHandle, static_cast<off_t>(position + keep)) != 0 ||
        ::lseek(fileHandle, 0, SEEK_END) < 0)
        return;
    tail.erase(tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(keep));
    _rewindBuffer = std::move(tail);
}

std::uint64_t MyFileWriter::currentFileSize() const
{
    std::lock_guard lock(m_mutex);
    return currentFileSizeLocked();
}

std::uint64_t MyFileWriter::currentFileSizeLocked() const
{
    if (fileHandle < 0)
        return 0;
    const off_t position = ::lseek(fileHandle, 0, SEEK_CUR);
    return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

// ---- accessors ----------------------------------------------------------------------------

std::string MyFileWriter::completeFilePath() const
{
    std::lock_guard lock(m_mutex);
    return m_completeFilePath;
}

std::string MyFileWriter::incompleteFilePath() const
{
    std::lock_guard lock(m_mutex);
    return m_incompleteFilePath;
}

void MyFileWriter::setCompleteFilePath(std::string path)
{
    std::lock_guard lock(m_mutex);
    m_completeFilePath = std::move(path);
}

void MyFileWriter::setIncompleteFilePath(std::string path)
{
    std::lock_guard lock(m_mutex);
    m_incompleteFilePath = std::move(path);
}

std::size_t MyFileWriter::pendingFileTagsCount() const
{
    std::lock_guard lock(m_mutex);
    return _newFileTags.size();
}

std::uint64_t MyFileWriter::audioBytesWritten() const
{
    std::lock_guard lock(m_mutex);
    return m_audioBytesWritten;
}

std::uint64_t MyFileWriter::bytesSearchedWithoutFrames() const
{
    std::lock_guard lock(m_mutex);
    return m_searchedWithoutFrames;
}

std::size_t MyFileWriter::bufferedBytes() const
{
    std::lock_guard lock(m_mutex);
    return frameBuffer.size();
}

// ---- names and tags -------------------------------------------------------------------------

Bytes MyFileWriter::createID3v1TagFromDictionary(const Dictionary& id3Tags)
{
    return orvanta::createID3v1TagFromDictionary(id3Tags);
}

Bytes MyFileWriter::createID3v2TagFromDictionary(const Dictionary& id3Tags)
{
    return ID3v2Helper::createTagForDictionary(id3Tags);
}

std::string MyFileWriter::stripInvalidFilenameCharacters(std::string_view name)
{
    static constexpr std::string_view kInvalid = "\\/:?*\"<>|~";
    std::string result;
    result.reserve(name.size());
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (kInvalid.find(c) != std::string_view::npos || u < 0x20 || u == 0x7F)
            continue;
        result += c;
    }
    const std::size_t firstKept = result.find_first_not_of('.');
    return firstKept == std::string::npos ? std::string() : result.substr(firstKept);
}

std::string MyFileWriter::fileNameFor(const std::string& prefix, const std::string& stem,
                                      int number, std::string_view extension)
{
    const std::string suffix = number > 0 ? " " + std::to_string(number) : std::string();
    const std::size_t fixed = prefix.size() + suffix.size() + extension.size();
    const std::size_t room = fixed < kMaxNameBytes ? kMaxNameBytes - fixed : 0;
    return prefix + truncateUtf8(stem, room) + suffix + std::string(extension);
}

} // namespace orvanta
