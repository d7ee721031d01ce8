#include "SessionJournal.h"

#include "Log.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {

namespace {

constexpr const char* kAudioName = "audio";
constexpr const char* kIndexName = "index";
constexpr double kFlushSeconds = 5;
// The budget is looked at again after this much audio (about an hour at 128 kbit/s).
constexpr std::uint64_t kBudgetCheckBytes = std::uint64_t{64} << 20;

/// Tabs and line ends would break the line apart.
std::string field(const std::string& text)
{
    std::string clean = text;
    std::replace_if(
        clean.begin(), clean.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; },
        ' ');
    return clean;
}

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

/// The index names a format as messages do, in lower case ("mp3", "aac", "ogg").
std::string formatTag(AudioFormat format)
{
    std::string tag(formatName(format));
    std::transform(tag.begin(), tag.end(), tag.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tag;
}

std::optional<AudioFormat> formatFromTag(const std::string& tag)
{
    for (const AudioFormat format : {AudioFormat::MP3, AudioFormat::AAC, AudioFormat::Ogg})
        if (formatTag(format) == tag)
            return format;
    return std::nullopt;
}

std::string sessionName(const std::string& station, double now)
{
    const auto seconds = static_cast<std::time_t>(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string slug;
    for (const char c : station) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (plain)
            slug += c;
        else if (!slug.empty() && slug.back() != '_')
            slug += '_';
        if (slug.size() >= 40)
            break;
    }
    // Recordings of one process starting in the same second (of stations of one name, or
    // of none) each get a session of their own.
    static std::atomic<unsigned> sequence{0};
    return std::string(stamp) + "_" + std::to_string(::getpid()) + "-" +
           std::to_string(++sequence) + "_" + slug;
}

struct Stored
{
    std::filesystem::path folder;
    std::uint64_t bytes = 0;
    double modified = 0;
};

/// The session folders (not links) under folder; another recording may remove one meanwhile.
std::vector<std::filesystem::path> subfolders(const std::string& folder)
{
    std::vector<std::filesystem::path> found;
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
            found.push_back(entry->path());
    }
    return found;
}

/// Whether another recording is writing the session (it holds its index locked).
bool inUse(const std::filesystem::path& folder)
{
    const int fd = ::open((folder / kIndexName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace

bool writeWhole(int fd, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t put = ::write(fd, bytes, length);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes += put;
        length -= static_cast<std::size_t>(put);
    }
    return true;
}

double SessionJournal::clock()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string SessionJournal::defaultSessionsFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return std::string(cache) + "/Orvanta/sessions";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.cache/Orvanta/sessions";
    return {};
}

std::unique_ptr<SessionJournal> SessionJournal::open(const std::string& sessionsFolder,
                                                     const std::string& station, Budget budget,
                                                     double now)
{
    if (!budget.enabled() || sessionsFolder.empty())
        return nullptr;
    std::error_code error;
    std::filesystem::create_directories(sessionsFolder, error);
    enforceBudget(sessionsFolder, budget, now);
    const std::string folder = sessionsFolder + "/" + sessionName(station, now);
    if (::mkdir(folder.c_str(), 0700) != 0) {
        logFormat("SessionJournal : cannot make %s: %s", folder.c_str(), std::strerror(errno));
        return nullptr;
    }
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOFOLLOW;
    const int index = ::open((folder + "/" + kIndexName).c_str(), flags, 0600);
    const int audio = index < 0 ? -1 : ::open((folder + "/" + kAudioName).c_str(), flags, 0600);
    if (audio < 0 || ::flock(index, LOCK_EX | LOCK_NB) != 0) {
        logFormat("SessionJournal : cannot start a session in %s: %s", folder.c_str(),
                  std::strerror(errno));
        if (index >= 0)
            ::close(index);
        if (audio >= 0)
            ::close(audio);
        std::filesystem::remove_all(folder, error);
        return nullptr;
    }
    std::unique_ptr<SessionJournal> journal(
        new SessionJournal(folder, audio, index, budget, sessionsFolder));
    journal->appendLine("session\t1\t" + field(station), now);
    return journal->stopped() ? nullptr : std::move(journal);
}

SessionJournal::SessionJournal(std::string folder, int audio, int index, Budget budget,
                               std::string sessionsFolder)
    : m_folder(std::move(folder)), m_sessionsFolder(std::move(sessionsFolder)), m_audio(audio),
      m_index(index), m_budget(budget)
{}

SessionJournal::~SessionJournal()
{
    for (const int fd : {m_audio, m_index}) {
        if (fd >= 0) {
            ::fdatasync(fd);
            ::close(fd);
        }
    }
}

void SessionJournal::stop(const char* why)
{
    if (m_stopped)
        return;
    m_stopped = true;
    logFormat("SessionJournal : %s is kept no further: %s", m_folder.c_str(), why);
    for (int* fd : {&m_audio, &m_index}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void SessionJournal::flushIfDue(double now)
{
    if (now - m_lastFlush < kFlushSeconds)
        return;
    m_lastFlush = now;
    // The audio first: the index then never names audio the disc does not hold.
    if (::fdatasync(m_audio) != 0 || ::fdatasync(m_index) != 0)
        stop(std::strerror(errno));
}

void SessionJournal::appendLine(const std::string& line, double now)
{
    if (m_stopped)
        return;
    const std::string whole = line + "\n";
    if (!writeWhole(m_index, whole.data(), whole.size())) {
        stop(errno ? std::strerror(errno) : "the index could not be written");
        return;
    }
    flushIfDue(now);
}

void SessionJournal::connected(AudioFormat format, const std::string& url, double now)
{
    appendLine("connect\t" + std::to_string(m_audioBytes) + "\t" + number(now) + "\t" +
                   formatTag(format) + "\t" + field(url),
               now);
}

void SessionJournal::audio(const std::uint8_t* data, std::size_t length, double now)
{
    if (m_stopped || length == 0)
        return;
    if (std::floor(now) != std::floor(m_lastTime)) {
        m_lastTime = now;
        appendLine("time\t" + std::to_string(m_audioBytes) + "\t" + number(now), now);
        if (m_stopped)
            return;
    }
    if (!writeWhole(m_audio, data, length)) {
        stop(errno ? std::strerror(errno) : "the audio could not be written");
        return;
    }
    m_audioBytes += length;
    m_bytesSinceBudgetCheck += length;
    if (m_bytesSinceBudgetCheck >= kBudgetCheckBytes) {
        m_bytesSinceBudgetCheck = 0;
        enforceBudget(m_sessionsFolder, m_budget, now);
        if (m_audioBytes > m_budget.bytes)
            stop("the session alone is larger than the budget");
    }
}

void SessionJournal::title(const std::string& streamTitle, double now, std::uint64_t aheadBytes)
{
    appendLine("title\t" + std::to_string(m_audioBytes + aheadBytes) + "\t" + number(now) + "\t" +
                   field(streamTitle),
               now);
}

void SessionJournal::cut(std::uint64_t carriedBytes, double fromTitleSeconds, bool gapFound,
                         double gapSeconds, const std::string& songTitle, double now)
{
    const std::uint64_t at = m_audioBytes - std::min(carriedBytes, m_audioBytes);
    appendLine("cut\t" + std::to_string(at) + "\t" + number(now) + "\t" + number(fromTitleSeconds) +
                   "\t" + (gapFound ? "1" : "0") + "\t" + number(gapSeconds) + "\t" +
                   field(songTitle),
               now);
}

void SessionJournal::fileCompleted(const std::string& path, double now)
{
    appendLine("file\t" + std::to_string(m_audioBytes) + "\t" + number(now) + "\t" + field(path),
               now);
}

void SessionJournal::dropped(const std::string& why, double now)
{
    appendLine("drop\t" + std::to_string(m_audioBytes) + "\t" + number(now) + "\t" + field(why),
               now);
}

void SessionJournal::enforceBudget(const std::string& sessionsFolder, Budget budget, double now)
{
    std::error_code error;
    std::vector<Stored> sessions;
    for (const std::filesystem::path& folder : subfolders(sessionsFolder)) {
        Stored stored{folder};
        for (const char* name : {kAudioName, kIndexName}) {
            struct stat info
            {};
            if (::lstat((folder / name).c_str(), &info) == 0) {
                stored.bytes += static_cast<std::uint64_t>(info.st_size);
                stored.modified = std::max(stored.modified, static_cast<double>(info.st_mtime));
            }
        }
        sessions.push_back(std::move(stored));
    }
    std::sort(sessions.begin(), sessions.end(),
              [](const Stored& a, const Stored& b) { return a.modified < b.modified; });
    std::uint64_t total = 0;
    for (const Stored& stored : sessions)
        total += stored.bytes;
    const double oldest = now - budget.days * 86400.0;
    for (const Stored& stored : sessions) {
        const bool tooOld = stored.modified < oldest;
        if (!tooOld && total <= budget.bytes)
            break;
        if (inUse(stored.folder))
            continue;
        std::filesystem::remove_all(stored.folder, error);
        if (error) {
            logFormat("SessionJournal : cannot remove %s: %s", stored.folder.c_str(),
                      error.message().c_str());
            continue;
        }
        total -= stored.bytes;
    }
}

// ---- reading back -------------------------------------------------------------------------

std::optional<JournalSession> JournalSession::read(const std::string& folder)
{
    std::ifstream index(folder + "/" + kIndexName);
    std::string line;
    if (!std::getline(index, line) || line.rfind("session\t1\t", 0) != 0)
        return std::nullopt;
    JournalSession session;
    session.folder = folder;
    session.station = line.substr(10);
    struct stat audio
    {};
    if (::stat((folder + "/" + kAudioName).c_str(), &audio) == 0)
        session.audioBytes = static_cast<std::uint64_t>(audio.st_size);
    // A line cut off by a crash has no end: getline at the end of the file sets eof.
    while (std::getline(index, line) && !index.eof()) {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            parts.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (parts.size() < 3)
            continue;
        Event event;
        event.kind = parts[0];
        char* end = nullptr;
        event.offset = std::strtoull(parts[1].c_str(), &end, 10);
        if (*end != '\0' || event.offset > session.audioBytes)
            continue;
        event.time = std::strtod(parts[2].c_str(), &end);
        if (*end != '\0')
            continue;
        event.fields.assign(parts.begin() + 3, parts.end());
        session.events.push_back(std::move(event));
    }
    return session;
}

std::vector<JournalSession> JournalSession::readAll(const std::string& sessionsFolder)
{
    std::vector<JournalSession> sessions;
    for (const std::filesystem::path& folder : subfolders(sessionsFolder)) {
        if (auto session = read(folder.string()))
            sessions.push_back(std::move(*session));
    }
    std::sort(sessions.begin(), sessions.end(),
              [](const JournalSession& a, const JournalSession& b) {
                  const double first = a.events.empty() ? 0 : a.events.front().time;
                  const double second = b.events.empty() ? 0 : b.events.front().time;
                  return first < second;
              });
    return sessions;
}

std::optional<AudioFormat> JournalSession::formatAt(std::uint64_t offset) const
{
    std::optional<AudioFormat> format;
    for (const Event& event : events) {
        if (event.offset > offset)
            break;
        if (event.kind == "connect" && !event.fields.empty())
            format = formatFromTag(event.fields[0]);
    }
    return format;
}

double JournalSession::timeAt(std::uint64_t offset) const
{
    const Event* before = nullptr;
    const Event* after = nullptr;
    for (const Event& event : events) {
        if (event.kind != "time")
            continue;
        if (event.offset <= offset)
            before = &event;
        else if (!after)
            after = &event;
    }
    if (before && after && after->offset > before->offset)
        return before->time + (after->time - before->time) *
                                  static_cast<double>(offset - before->offset) /
                                  static_cast<double>(after->offset - before->offset);
    return before ? before->time : (after ? after->time : 0);
}

std::vector<std::uint8_t> JournalSession::audioAt(std::uint64_t offset, std::size_t length) const
{
    std::vector<std::uint8_t> bytes;
    if (offset >= audioBytes)
        return bytes;
    const int fd = ::open((folder + "/" + kAudioName).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, audioBytes - offset)));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(done);
    return bytes;
}

} // namespace orvanta
