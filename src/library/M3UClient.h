#pragma once

// Records a playlist source: fetches an M3U list, then downloads each of its MP3 entries in
// turn into a file of its own, with history reports, duplicate marking, skipping, relaying
// to the listener and (with AutoReconnect) retries of a failed entry.
//
// Thread: made on its client thread, which serves the server's calls; run() and the
// transfer callbacks run on the worker thread. The flags are atomics; the status line and
// the rate meter sit behind m_stateMutex; the file writer has its own lock.

#include "GenericClient.h"
#include "MyFileWriter.h"
#include "TransferRateCalculator.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

/// One recordable line of a playlist, with the title in force for it (empty when none).
struct M3UEntry
{
    std::string address;
    std::string title;

    bool operator==(const M3UEntry&) const = default;
};

class M3UClient : public GenericClient
{
public:
    /// Receives the body of a transfer; false refuses the data and fails the transfer.
    using BodyReceiver = std::function<bool(const std::uint8_t* data, std::size_t length)>;

    /// A playlist larger than this is not a playlist (an endless stream, say).
    static constexpr std::size_t kMaxPlaylistBytes = 4 * 1024 * 1024;

    M3UClient(std::int32_t tag, std::shared_ptr<ServerProxy> server, RecordingContext context);
    ~M3UClient() override;

    static void launchClientThreadWithTag(std::int32_t tag, std::shared_ptr<GenericServer> server,
                                          const RecordingContext& context);

    /// The entries of a playlist's text, in order: http:// or https:// addresses ending in
    /// ".mp3" (any case). Titles come from "#EXTINF:" lines, and only after "#EXTM3U"; a
    /// title stays in force until the next "#EXTINF:" line. Thread-safe.
    static std::vector<M3UEntry> entriesOfPlaylist(std::string_view text);

    // Client thread (through the server's proxy); currentSong() is thread-safe, since the
    // relay reads it from its own threads.
    void setProperties(Dictionary properties) override;
    void runClientInNewThread() override;
    void shutDown() override;
    double transferRate() override;
    std::string currentSong() override;
    bool canSkipTrack() override { return true; }
    void skipTrack() override;
    std::string completePath() override;
    void listen(bool on) override;

    // Worker thread.
    void run();
    /// An empty message clears the station's alert. Thread-safe.
    void postAlertMessage(const std::string& message, bool fatal);
    /// One blocking transfer into receiver: nothing on success, else the error text (an
    /// error status fails it, so no error page is taken for a playlist or a song).
    std::optional<std::string> download(const std::string& address, const BodyReceiver& receiver);
    /// Body receiver of an entry: false once a skip or stop is asked for.
    bool writeMP3Data(const std::uint8_t* data, std::size_t length);
    /// Progress of the current transfer (bytes so far): false aborts it.
    bool progressCallback(std::int64_t downloadedNow);

private:
    enum class EntryOutcome { Next, Stop };

    std::optional<std::string> recordingFolder() const;
    bool configureFileWriter(const std::string& folder);
    bool fetchPlaylist(const std::string& address, std::string& text);
    EntryOutcome recordEntry(const M3UEntry& entry, const std::string& folder);
    Dictionary fileTagsForEntry(const std::string& address, const std::string& folder) const;
    bool historyHoldsCompleted(const std::string& address) const;
    bool waitBeforeRetry();
    void moveListenerToNextEntry();
    void setCurrentSong(std::string song);

    // Settings, from setProperties (read by the worker once it runs). The low-speed rule is
    // read from the preferences at every download instead, so a change applies at once.
    mutable std::mutex m_settingsMutex;
    Dictionary _properties;
    std::vector<std::string> _urls;
    std::optional<std::vector<std::string>> _scheduledRecordingPath;
    bool _numberRecordings = false;

    // Worker only.
    std::string m3uContentsData;
    bool m_playlistTooLarge = false;
    bool m_entryTransfer = false; // a skip ends entries only, never the playlist fetch
    std::optional<std::string> _trackName;

    // Shared with the client thread.
    std::atomic<bool> relayFlag{false};
    std::atomic<bool> skipTrackFlag{false};
    std::atomic<bool> shutDownFlag{false};
    std::mutex m_stateMutex; // guards the status line and the rate meter
    std::string m_currentSong;
    TransferRateCalculator _transferRateCalculator;
    const std::shared_ptr<MyFileWriter> fileWriter;

    std::mutex m_waitMutex; // the retry wait, woken by shutDown() and skipTrack()
    std::condition_variable m_waitCondition;
};

} // namespace orvanta
