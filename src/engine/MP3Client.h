#pragma once

// Records one direct stream: connects to each of the station's addresses in turn, reads the
// ICY response headers, tells the audio format (MP3, AAC or Ogg) from the content type and
// the first bytes, separates the audio from the in-band metadata, starts a new file at the
// quietest point around each title change (at each new logical stream for Ogg, or by time
// or size when the stream has no titles), reconnects when told to, and reports by
// notifications.
//
// Thread: made on its client thread, which serves the server's calls; run() and the
// transfer callbacks run on the worker thread. Fields both threads touch are atomics or
// sit behind m_stateMutex; the file writer has its own lock.

#include "AudioFormat.h"
#include "GapSplitter.h"
#include "GenericClient.h"
#include "HlsStationReader.h"
#include "HttpTransfer.h"
#include "ListeningBuffer.h"
#include "MyFileWriter.h"
#include "OggChainSplitter.h"
#include "SessionJournal.h"
#include "StreamTitle.h"
#include "TrackNaming.h"
#include "TransferRateCalculator.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class MP3Client : public GenericClient
{
public:
    MP3Client(std::int32_t tag, std::shared_ptr<ServerProxy> server, RecordingContext context);
    ~MP3Client() override;

    static void launchClientThreadWithTag(std::int32_t tag, std::shared_ptr<GenericServer> server,
                                          const RecordingContext& context);

    // Client thread (through the server's proxy).
    void setProperties(Dictionary properties) override;
    void runClientInNewThread() override;
    void shutDown() override;
    double transferRate() override;
    std::string currentSong() override;
    bool canSkipTrack() override;
    void skipTrack() override;
    std::string completePath() override;
    void listen(bool on) override;
    bool recordFromBuffer() override;
    std::optional<HeardAudio> heardAudio() override;

    /// The recording property that makes a client listen without recording, keeping that
    /// many seconds of what it hears for recordFromBuffer() and heardAudio().
    static constexpr std::string_view kListenBufferSecondsKey = "listenBufferSeconds";
    /// The recording property listing the station's addresses that are HLS playlists
    /// (besides those whose name ends in ".m3u8").
    static constexpr std::string_view kHlsAddressesKey = "hlsAddresses";

    // Worker thread.
    void run();
    void setIVarsFromProperties();
    /// Header callback: one line with its line end.
    void parseReqHeaders(std::string_view line);
    /// Body callback: false aborts the transfer.
    bool writeShoutCastData(const std::uint8_t* data, std::size_t length);
    /// Progress callback: false aborts the transfer (a stop request).
    bool progressCallback(std::int64_t downloadedNow);

    /// Seconds of monotonic time, for split timing (tests replace it).
    using SecondsClock = std::function<std::int64_t()>;
    void setSecondsClock(SecondsClock clock) { m_seconds = std::move(clock); }

private:
    struct Connection; // per-connection state, see MP3Client.cpp

    void runConnectionCycle();
    void resetForConnection();
    void finishConnection(int result, bool proxyInUse, const std::string& curlError);
    std::int64_t leadingContentLength() const;
    bool waitBeforeReconnecting();
    void setCurrentSong(std::string song);
    void postAlert(const std::string& message);
    void closeFileForStop();
    /// After a stop: true while what had arrived is still being read from the socket;
    /// otherwise closes the file and ends the transfer.
    bool drainAfterStop();
    void flushMetadataBuffer();

    bool settleFormatAndReplay();
    std::optional<AudioFormat> chooseFormat() const;
    Bytes sniffedAudio() const;
    bool writeBody(const std::uint8_t* data, std::size_t length);
    void writeAudio(const std::uint8_t* data, std::size_t length);
    /// The stream's audio to the open file, in the order it came: the journal keeps the same.
    void writeStreamAudio(const std::uint8_t* data, std::size_t length);
    /// The recording's session journal, as the preferences' budget allows.
    void openJournal();
    /// The journal's events, when there is a journal.
    void journalTitle(const std::string& streamTitle, std::uint64_t aheadBytes = 0);
    /// Audio of a stream with titles: held for the wide split search, or written at once.
    void emitAudio(const std::uint8_t* data, std::size_t length);
    /// The connection's first file, made when its first metadata block has told the title.
    void startDeferredFile();
    void startFileAtCut(GapSplitter::Cut& cut);
    void applyRequestedSkip();
    void splitWithoutTitles();
    void publishStreamFormat(std::string contentType, Bytes header);
    Dictionary startOggFile(const OggStreamInfo& info,
                            const std::optional<VorbisComments>& newStreamComments);
    bool firstBlockOfConnection();
    void writeMetadataBranch(const std::uint8_t* data, std::size_t length);
    void handleFullBuffer();
    void writeNoMetadataBranch(const std::uint8_t* data, std::size_t length);
    void createNewFileInSession();
    void createNewFileInSessionForTags(Dictionary tags);
    std::unique_ptr<StreamTitle> titleFromMetadata(const std::uint8_t* block, std::size_t length);
    /// A title that names another song than the one playing.
    bool isNewTrack(const StreamTitle* title) const;

    // Listening without recording (MP3ClientListening.cpp).
    bool hearBody(const std::uint8_t* data, std::size_t length);
    void hear(const std::uint8_t* data, std::size_t length);
    void heardMetadata();
    void startRecordingFromBuffer();
    /// Where the current song begins in what was heard: the cut at the gap around its title
    /// change, or the start of it all when the change came before.
    std::uint64_t songStartIn(const ListeningBuffer::Snapshot& heard);

    // Settings (worker only, read in setIVarsFromProperties).
    Dictionary _properties;
    std::vector<std::string> urls;
    bool ignoreMetaint = false;
    int manualSplitMethod = 0;
    std::uint64_t splitByTimeOfSeconds = 0;
    std::uint64_t splitByFileSizeOfBytes = 0;
    double rewindSeconds = 0;
    int splitEarlierOrLater = 0;
    double splitLaterSeconds = 0;
    double splitSearchSeconds = 8; // 0: only the metadata periods around the change
    std::vector<double> m_learnedOffsets;
    bool numberRecordings = false;
    bool numberRecordingsTrack = false;
    unsigned languageEncoding = 5;
    bool _useID3v1 = false;
    bool _useID3v2 = true;
    bool _replaceStreamName = false;
    bool _lowSpeedDisconnect = true;
    std::int64_t _lowSpeedLimitSeconds = 10;
    bool _ignoreDuplicates = false;
    std::string _userpwd;

    // From the response headers (worker); the rest live in m_naming.
    std::string icy_url;
    std::string icy_notice1;
    std::string icy_notice2;

    // Per connection (worker).
    std::optional<std::string> content_length;
    std::uint64_t m_connectionBytes = 0;
    std::uint64_t contentLengthCounter = 0;
    bool notFirstPass = false;
    bool m_haveIcyName = false;
    bool m_haveIcyGenre = false;
    std::vector<std::uint8_t> bufp;
    std::int64_t bytecount = 0;
    std::int64_t metaoffset = 0;
    int _streamTitleChangedCounter = 0;
    std::deque<std::int64_t> splitLaterArray; // due seconds of delayed splits
    std::int64_t stopWatch = 0;
    bool m_stopHandled = false;
    std::optional<std::chrono::steady_clock::time_point> m_stopSeenAt;
    // A station sending faster than it is read would keep the socket full for ever.
    static constexpr std::chrono::milliseconds kStopDrainLimit{500};
    HttpTransfer* m_transfer = nullptr; // the transfer running now (worker only)
    bool _receivedResponseHeader = false;
    std::optional<std::string> errorMessage;
    std::optional<StatusLine> m_httpError; // the connection's answer was an error status
    bool m_noAudio = false;                // the body was searched in vain for audio frames
    std::optional<std::string> m_contentType;
    std::optional<AudioFormat> m_format; // settled from the first bytes of the body
    bool m_unknownFormat = false;        // the body is of a format not recorded here
    std::vector<Bytes> m_sniffedChunks;  // the body's first blocks, held until settled
    std::size_t m_sniffedBytes = 0;
    OggChainSplitter m_ogg;
    OggChainSplitter m_heardOgg; // while listening: only for the headers a player needs first
    std::optional<Dictionary> m_oggTrackTags; // the Ogg stream's own artist, title, album
    std::string m_oggStreamTitle;
    std::uint64_t m_publishedOggHeaders = 0;
    bool m_connectionHadAudio = false;
    bool m_firstFileDeferred = false; // until the first metadata block names it
    GapSplitter m_gapSplitter;
    bool m_writerConfigured = false;
    std::unique_ptr<SessionJournal> m_journal; // the recording's session, across connections
    std::vector<std::string> m_hlsAddresses;
    std::unique_ptr<hls::HlsStationReader> m_hls;          // the HLS station, across connections
    std::optional<std::int64_t> m_hlsVariantBitsPerSecond; // none: the highest
    std::string m_connectionUrl;
    // While listening (worker): the audio bytes until the next metadata block, and what is
    // left of the block being read (-1: none).
    std::int64_t m_heardUntilBlock = 0;
    std::int64_t m_heardBlockLeft = -1;
    Bytes m_heardBlock;

    // Shared with the client thread.
    std::atomic<bool> shutDownFlag{false};
    std::atomic<bool> relayFlag{false};
    std::atomic<bool> m_wideSearch{false};    // this connection's splits use the gap splitter
    std::atomic<bool> m_skipRequested{false}; // a skip the worker applies (wide search)
    std::atomic<std::int64_t> metaint{0};
    std::shared_ptr<ListeningBuffer> m_heard; // made before the worker starts, when listening
    double m_listenBufferSeconds = 0;
    std::atomic<bool> m_listening{false}; // heard, not recorded (yet)
    std::atomic<bool> m_recordRequested{false};
    std::mutex m_stateMutex; // guards currentSong, the rate meter, _streamTitle's text
    std::string m_currentSong;
    std::string m_relayContentType = "audio/mpeg"; // what a listening player is told
    Bytes m_relayHeader;
    bool m_currentSongSet = false;
    TransferRateCalculator _transferRateCalculator;
    std::unique_ptr<StreamTitle> _streamTitle; // worker only
    const std::shared_ptr<MyFileWriter> fileWriter;
    TrackNaming m_naming; // worker only

    std::mutex m_waitMutex; // the reconnection wait, woken by shutDown()
    std::condition_variable m_waitCondition;

    SecondsClock m_seconds;
};

} // namespace orvanta
