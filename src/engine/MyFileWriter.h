#pragma once

// The files of one recording: each track is written into "<folder>/incomplete", starts on a
// frame boundary of its format (an MPEG or ADTS frame run, an Ogg page), is tagged, and when
// finished is moved to its folder (or dropped when too small or a duplicate, or left
// incomplete). Every finished, dropped or skipped file is reported with
// OVRecordingFileCompleted and its file-information dictionary. A file that never received
// a frame holds nothing but its tag: it is removed without a report.
//
// Thread-safe: the client's worker writes audio while its client thread may skip a file;
// one mutex guards the state, and nothing is called out (relay, notifications) under it.
// Sizes and positions are bytes, 64-bit.

#include "AudioFormat.h"
#include "Value.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

class NotificationCenter;
struct Notification;

/// Receives every audio block a writer is given (the listening relay).
class RawDataWriter
{
public:
    virtual ~RawDataWriter() = default;
    /// Thread: the recording's worker.
    virtual bool writeRawData(const std::uint8_t* data, std::size_t length) = 0;
};

class MyFileWriter
{
public:
    /// Free bytes on the file system of an open file; nothing when unknown.
    using FreeSpaceProbe = std::function<std::optional<std::uint64_t>(int fd)>;

    /// Below this much free space the safety stops the recording.
    static constexpr std::uint64_t kDiskSpaceSafetyBytes = 104857600;

    explicit MyFileWriter(NotificationCenter& center);
    MyFileWriter();
    /// Closes an open file without reporting it.
    ~MyFileWriter();
    MyFileWriter(const MyFileWriter&) = delete;
    MyFileWriter& operator=(const MyFileWriter&) = delete;

    void setTag(std::int32_t tag);
    void setCallbackWriter(std::shared_ptr<RawDataWriter> writer);
    void setDiskSpaceSafety(bool on);
    void setIgnoreFileSizeBytes(std::uint64_t bytes);
    void setIgnoreDuplicateRecordings(bool on);
    /// The format of the audio to come and its files' name extension (".mp3" until set).
    /// Ogg files carry their tags in their own comments, never in ID3 tags.
    void setAudioFormat(AudioFormat format, std::string extension);
    void setUseID3v1();
    void setUseID3v2();
    /// Numbering on, starting at 1.
    void setUseFileCounter();
    void decFileCounter();
    /// Queues the file information of a file to come (entry 0 describes the open file).
    void addNewFileTags(Dictionary fileInformation);
    /// Drops the queued information of files to come, keeping the open file's.
    void discardQueuedFileTags();

    /// Finishes the current file (moving it) and opens the next one from the queue.
    bool createNewFile();
    bool finishCurrentFileAndMove(bool move);
    /// The file finished next ends after its last whole frame (a stop cut it anywhere).
    void endAtWholeFrame();
    void skipCurrentFile();
    void stopCurrentFile();

    bool writeData(const std::uint8_t* data, std::size_t length);
    bool writeRawData(const std::uint8_t* data, std::size_t length);

    /// A cut decided after its audio was written: the open file ends length bytes earlier
    /// (the last bytes it was given, which are bytes), and the next file created starts with
    /// them. Without an open file (a skipped song) they only start the next one.
    void carryTailToNextFile(const Bytes& bytes);

    void setRewindSeconds(float seconds, unsigned bitrateKbps);
    void rewind();
    std::uint64_t currentFileSize() const;
    std::uint64_t rewindSplitNumBytes() const;

    std::string completeFilePath() const;
    std::string incompleteFilePath() const;
    void setCompleteFilePath(std::string path);
    void setIncompleteFilePath(std::string path);
    std::size_t pendingFileTagsCount() const;
    /// Audio held while looking for the first frame run of a file.
    std::size_t bufferedBytes() const;
    /// Audio bytes that went into files, for the life of the writer.
    std::uint64_t audioBytesWritten() const;
    /// Bytes given to the open file since it was created that held no run of MP3 frames.
    std::uint64_t bytesSearchedWithoutFrames() const;

    /// Told of every file moved to its folder, with its report, on the thread that finished it
    /// (the recording's worker), after the writer's lock is released.
    using CompletionObserver = std::function<void(const Dictionary& report)>;
    void setCompletionObserver(CompletionObserver observer);

    /// Replaces the free-space query (tests simulate a full disc with it).
    void setFreeSpaceProbe(FreeSpaceProbe probe);

    static Bytes createID3v1TagFromDictionary(const Dictionary& id3Tags);
    static Bytes createID3v2TagFromDictionary(const Dictionary& id3Tags);

    /// Removes \ / : ? * " < > | ~ and control characters, then leading full stops.
    static std::string stripInvalidFilenameCharacters(std::string_view name);

    /// "prefix stem[ N].mp3" within the file system's 255-byte name limit: only the stem is
    /// shortened, on a character boundary.
    static std::string fileNameFor(const std::string& prefix, const std::string& stem, int number,
                                   std::string_view extension = ".mp3");

private:
    class PostQueue;

    bool createNewFileLocked(PostQueue& posts);
    bool finishCurrentFileLocked(bool move, PostQueue& posts);
    void stopCurrentFileLocked();
    /// Cuts an AAC file after its last whole frame.
    void trimPartialFrameLocked();
    /// Closes and removes an open file that holds no audio; true when it did.
    bool discardFileWithoutAudioLocked();
    bool writeRawDataLocked(const std::uint8_t* data, std::size_t length, PostQueue& posts);
    /// Audio for the open file, which starts on the format's first frame run.
    bool writeAudioLocked(const std::uint8_t* data, std::size_t length, PostQueue& posts);
    bool writeAllLocked(const std::uint8_t* data, std::size_t length);
    std::uint64_t currentFileSizeLocked() const;
    bool moveToCompleteFolder(Dictionary& report);
    void postFatalAlert(PostQueue& posts, std::string message);

    NotificationCenter& m_center;
    mutable std::mutex m_mutex;

    std::int32_t tag = 0;
    Bytes _rewindBuffer;
    Bytes m_carried; // the start of the next file, already written to the one before
    std::uint64_t m_rewindSplitNumBytes = 0;
    std::uint64_t ignoreFileSizeBytes = 0;
    std::shared_ptr<RawDataWriter> callbackWriter;
    bool writtenData = false;       // the open file has its first frame run
    bool m_endAtWholeFrame = false; // an MP3 file's cut last frame goes when it is finished
    std::uint64_t m_audioBytesWritten = 0;
    std::uint64_t m_searchedWithoutFrames = 0;
    bool useFileCounter = false;
    std::int32_t fileCounter = 0;
    int fileHandle = -1;
    Bytes frameBuffer;
    std::string m_completeFilePath;
    std::string m_incompleteFilePath;
    bool _diskSpaceSafety = false;
    bool _useID3v1 = false;
    bool _useID3v2 = false;
    bool _ignoreDuplicates = false;
    std::deque<Dictionary> _newFileTags;

    // The open file's name parts, for taking the next free name in the complete folder.
    std::string m_namePrefix;
    std::string m_nameStem;
    int m_nameNumber = 0;
    std::string m_nameExtension;
    AudioFormat m_format = AudioFormat::MP3;
    std::string m_extension = ".mp3";
    std::uint64_t m_audioStart = 0; // the ID3v2 tag ends here; rewinds never cut into it
    bool m_fatalAlertPosted = false;
    FreeSpaceProbe m_freeSpace;
    CompletionObserver m_completionObserver;
};

} // namespace orvanta
