#pragma once

// The stream as received, kept beside the recording for a few days: the audio bytes of a
// session in the order they came (no metadata), and an index of what happened at which
// byte. A cut a second off can then be moved afterwards, from the audio itself.
//
// A session is a folder under $XDG_CACHE_HOME/Orvanta/sessions holding "audio" and
// "index". The index is text, one event per line, tab-separated, each line written whole
// with one append:
//
//   session 1 <station>          the first line
//   connect <offset> <time> <format> <url>
//   time <offset> <time>         at most one a second
//   title <offset> <time> <stream title>
//   cut <offset> <time> <from title s> <gap 0|1> <gap s> <title of the song it starts>
//   file <offset> <time> <path>  a finished file (offset: where the audio had got to)
//   drop <offset> <time> <why>
//
// Offsets count audio bytes from the start of the session; times are epoch seconds. Both
// files are only ever appended to and flushed to the disc every few seconds, so after a
// crash the index may lag the audio but never names audio that is not there (a reader
// ignores a cut-off last line). A write that fails (a full disc) stops the journal for the
// rest of the session; the recording never notices.
//
// The budget: sessions older than a number of days go, then the oldest until all fit the
// disc budget; a session being written (its index locked) is never removed.
//
// Thread: one at a time (the recording's worker); the budget may be enforced from any.

#include "AudioFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

class SessionJournal
{
public:
    struct Budget
    {
        int days = 3;
        std::uint64_t bytes = std::uint64_t{2048} << 20;
        bool enabled() const { return days > 0 && bytes > 0; }
    };

    /// The wall clock, in epoch seconds: the index's times.
    static double clock();

    /// $XDG_CACHE_HOME/Orvanta/sessions (~/.cache without the variable); empty without either.
    static std::string defaultSessionsFolder();

    /// A new session for station under sessionsFolder (made when missing), after the budget
    /// has removed what is too old or too much. Nothing when the budget is off or the
    /// session cannot be made.
    static std::unique_ptr<SessionJournal>
    open(const std::string& sessionsFolder, const std::string& station, Budget budget, double now);
    ~SessionJournal();
    SessionJournal(const SessionJournal&) = delete;
    SessionJournal& operator=(const SessionJournal&) = delete;

    void connected(AudioFormat format, const std::string& url, double now);
    void audio(const std::uint8_t* data, std::size_t length, double now);
    /// A title change aheadBytes after the audio received so far.
    void title(const std::string& streamTitle, double now, std::uint64_t aheadBytes = 0);
    /// A cut carriedBytes before the audio received so far.
    void cut(std::uint64_t carriedBytes, double fromTitleSeconds, bool gapFound, double gapSeconds,
             const std::string& songTitle, double now);
    void fileCompleted(const std::string& path, double now);
    void dropped(const std::string& why, double now);

    std::uint64_t audioBytes() const { return m_audioBytes; }
    /// A write failed, or the session outgrew the budget: nothing more is kept.
    bool stopped() const { return m_stopped; }
    const std::string& folder() const { return m_folder; }

    /// Removes sessions older than the budget's days, then the oldest until the rest fit.
    static void enforceBudget(const std::string& sessionsFolder, Budget budget, double now);

private:
    SessionJournal(std::string folder, int audio, int index, Budget budget,
                   std::string sessionsFolder);
    void appendLine(const std::string& line, double now);
    void stop(const char* why);
    void flushIfDue(double now);

    std::string m_folder;
    std::string m_sessionsFolder;
    int m_audio = -1;
    int m_index = -1;
    Budget m_budget;
    std::uint64_t m_audioBytes = 0;
    std::uint64_t m_bytesSinceBudgetCheck = 0;
    double m_lastTime = -1;
    double m_lastFlush = 0;
    bool m_stopped = false;
};

/// Writes all of data, again after interruptions; false when the file takes no more (the
/// journal's appends and the cut correction's new files).
bool writeWhole(int fd, const void* data, std::size_t length);

/// One session read back.
struct JournalSession
{
    struct Event
    {
        std::string kind; // connect, time, title, cut, file, drop
        std::uint64_t offset = 0;
        double time = 0;
        std::vector<std::string> fields; // what follows the time
    };

    std::string folder;
    std::string station;
    std::vector<Event> events;
    std::uint64_t audioBytes = 0; // the size of "audio"

    /// Nothing when folder holds no readable session.
    static std::optional<JournalSession> read(const std::string& folder);
    /// Every session under sessionsFolder, oldest first.
    static std::vector<JournalSession> readAll(const std::string& sessionsFolder);

    /// The format of the connection the audio at offset came by.
    std::optional<AudioFormat> formatAt(std::uint64_t offset) const;
    /// The time the audio at offset came, from the nearest time events.
    double timeAt(std::uint64_t offset) const;
    /// Bytes of audio from offset on, at most length.
    std::vector<std::uint8_t> audioAt(std::uint64_t offset, std::size_t length) const;
};

} // namespace orvanta
