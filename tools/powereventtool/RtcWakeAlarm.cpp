#include "RtcWakeAlarm.h"

#include "PowerToolMessage.h"
#include "SafePath.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string_view>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace orvanta::powertool {

namespace {

// Beyond this many seconds from 1970 no clock (and no time_t of the C library) goes.
constexpr double kNoClockHolds = 1e15;

bool adjtimeSaysLocal(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    for (int number = 1; number <= 3 && std::getline(in, line); ++number) {
        if (number == 3)
            return line == "LOCAL";
    }
    return false; // no file, or no third line: the RTC keeps UTC
}

/// The whole of a small file, read from its start (sysfs makes the text anew each time).
std::string readFrom(int fd)
{
    char text[64] = {};
    const ssize_t got = fd < 0 ? -1 : ::pread(fd, text, sizeof text - 1, 0);
    return got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string();
}

/// A file's contents replaced. sysfs takes each write whole and has no size to cut.
bool replaceContents(int fd, const std::string& text)
{
    const bool cut = ::ftruncate(fd, 0) == 0;
    static_cast<void>(cut);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put =
            ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

/// Another helper's run ends within moments; one that hangs must not hold this one.
constexpr auto kLockWait = std::chrono::seconds(3);

bool lockWithin(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// The record's folder, root's, made on first use.
int openRecord(const std::string& path)
{
    const std::string folder = power::parentPath(path);
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return -1;
    const int parent = power::openFolderOnlyChangeableBy(0, folder);
    if (parent < 0)
        return -1;
    const int fd = ::openat(parent, power::lastPathComponent(path).c_str(),
                            O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    ::close(parent);
    return fd;
}

} // namespace

RtcWakeAlarm::RtcWakeAlarm(const std::string& alarmPath, const std::string& adjtimePath,
                           const std::string& recordPath)
    : m_alarm(::open(alarmPath.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW)),
      m_record(openRecord(recordPath)), m_rtcKeepsLocalTime(adjtimeSaysLocal(adjtimePath))
{
    if (m_alarm < 0)
        syslog(LOG_ERR, "RtcWakeAlarm : cannot open %s: %m", alarmPath.c_str());
    if (m_record < 0)
        syslog(LOG_ERR, "RtcWakeAlarm : cannot open %s: %m", recordPath.c_str());
    else if (!lockWithin(m_record, kLockWait))
        syslog(LOG_ERR, "RtcWakeAlarm : %s stayed locked; going on without", recordPath.c_str());
}

RtcWakeAlarm::~RtcWakeAlarm()
{
    if (m_alarm >= 0)
        ::close(m_alarm);
    if (m_record >= 0)
        ::close(m_record);
}

std::int64_t RtcWakeAlarm::rtcSecondsFor(orvanta::Date when) const
{
    // Whole seconds, rounded up: waking a moment late could miss the start. A date no clock
    // can hold (or no number at all) becomes one no alarm ever has.
    const double rounded = std::ceil(when.secondsSince1970);
    if (!(std::fabs(rounded) < kNoClockHolds))
        return std::numeric_limits<std::int64_t>::min();
    const auto seconds = static_cast<std::time_t>(rounded);
    if (!m_rtcKeepsLocalTime)
        return seconds;
    std::tm local{};
    localtime_r(&seconds, &local);
    return static_cast<std::int64_t>(seconds) + local.tm_gmtoff;
}

std::optional<std::int64_t> RtcWakeAlarm::currentAlarm() const
{
    const std::string text = readFrom(m_alarm);
    std::string_view digits(text);
    while (!digits.empty() && (digits.back() == '\n' || digits.back() == ' '))
        digits.remove_suffix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        value <= 0)
        return std::nullopt;
    return value;
}

bool RtcWakeAlarm::write(std::int64_t value) const
{
    if (m_alarm < 0)
        return false;
    if (!replaceContents(m_alarm, std::to_string(value) + "\n")) {
        syslog(LOG_ERR, "RtcWakeAlarm : cannot write %lld: %m", static_cast<long long>(value));
        return false;
    }
    return true;
}

std::optional<RtcWakeAlarm::Record> RtcWakeAlarm::record() const
{
    unsigned long setter = 0;
    long long alarm = 0;
    if (std::sscanf(readFrom(m_record).c_str(), "%lu %lld", &setter, &alarm) != 2)
        return std::nullopt;
    return Record{static_cast<uid_t>(setter), alarm};
}

void RtcWakeAlarm::keepRecord(std::optional<Record> record) const
{
    if (m_record < 0)
        return;
    const std::string text =
        record ? std::to_string(record->setter) + " " + std::to_string(record->alarm) + "\n"
               : std::string();
    if (!replaceContents(m_record, text))
        syslog(LOG_ERR, "RtcWakeAlarm : cannot keep the record of who set the alarm: %m");
}

int RtcWakeAlarm::scheduleWake(orvanta::Date when, std::time_t now, uid_t caller)
{
    const double ahead = when.secondsSince1970 - static_cast<double>(now);
    if (!(ahead > 0 && ahead <= static_cast<double>(kLatestWake)))
        return power::kPowerBadArgument;
    const std::int64_t wanted = rtcSecondsFor(when);
    const std::int64_t rtcNow = rtcSecondsFor(orvanta::Date{static_cast<double>(now)});
    if (wanted <= rtcNow)
        return power::kPowerBadArgument;
    if (m_alarm < 0)
        return power::kPowerError;
    const std::optional<std::int64_t> current = currentAlarm();
    const bool currentAhead = current && *current > rtcNow;
    if (currentAhead && *current <= wanted)
        return 0;
    if (current && !write(0))
        return power::kPowerError;
    if (write(wanted) && currentAlarm() == wanted) {
        keepRecord(Record{caller, wanted});
        return 0;
    }
    // Refused: the wake that was set still counts.
    if (currentAhead && !(write(0) && write(*current) && currentAlarm() == current))
        syslog(LOG_ERR, "RtcWakeAlarm : the alarm at %lld could not be put back",
               static_cast<long long>(*current));
    return power::kPowerError;
}

int RtcWakeAlarm::cancelWake(orvanta::Date when, uid_t caller)
{
    const std::optional<std::int64_t> current = currentAlarm();
    if (!current || *current != rtcSecondsFor(when))
        return power::kPowerNotFound;
    const std::optional<Record> setBy = record();
    if (caller != 0 && !(setBy && setBy->setter == caller && setBy->alarm == *current)) {
        syslog(LOG_NOTICE, "RtcWakeAlarm : user %u did not set the alarm at %lld",
               static_cast<unsigned>(caller), static_cast<long long>(*current));
        return power::kPowerNotFound;
    }
    if (!write(0))
        return power::kPowerError;
    keepRecord(std::nullopt);
    return 0;
}

} // namespace orvanta::powertool
