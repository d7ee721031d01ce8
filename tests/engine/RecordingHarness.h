#pragma once

// Runs a stream recording the way the application does (server on this thread, client and
// worker threads of their own) against the test ICY server, and collects what it reports.

#include "GenericServer.h"
#include "Mailbox.h"
#include "Mp3Fixtures.h"
#include "NotificationCenter.h"
#include "OwnedThreads.h"
#include "PreferencesReader.h"
#include "TempDir.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace orvanta::test {

/// Preferences a test can change while recordings read them.
class TestPrefs : public PreferencesReader
{
public:
    explicit TestPrefs(const std::string& downloadPath);
    Value getPrefsForKey(std::string_view key) const override;
    void set(std::string_view key, Value value);

private:
    mutable std::mutex m_mutex;
    Dictionary m_values;
};

class Recording
{
public:
    Recording(TestPrefs& prefs, Dictionary properties);
    ~Recording();

    /// Starts with MP3Client, or with a client of the factory's making.
    void start();
    void startWithSecondsClock(std::function<std::int64_t()> clock);
    bool waitFinished(std::chrono::milliseconds timeout);
    /// Serves this thread's calls until condition holds (checked at every notification).
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
    void stop();

    MP3Server& server() { return *m_server; }
    bool finished() const;
    std::vector<Dictionary> completedFiles() const;
    std::vector<std::string> alerts() const; // non-empty error alerts
    std::vector<Notification> notifications() const;

private:
    TestPrefs& m_prefs;
    NotificationCenter m_center;
    Mailbox m_main;
    OwnedThreads m_threads;
    std::shared_ptr<MP3Server> m_server;
    mutable std::mutex m_mutex;
    std::vector<Notification> m_posted;
    bool m_finished = false;
};

/// An MP3 stream and where its songs' silences lie.
struct SongStream
{
    ByteVector audio;                                              // starts on a frame header
    std::vector<std::pair<std::uint64_t, std::uint64_t>> silences; // byte ranges
};

/// Songs of the given seconds, separated by one second of silence, at 128 kbit/s.
const SongStream& songStream(const std::vector<double>& songSeconds);

/// The audio of a recorded file, without its ID3v2 tag.
ByteVector audioOfFile(const std::string& path);

} // namespace orvanta::test
