#include "RtcWakeAlarm.h"

#include "PowerToolMessage.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string_view>

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

namespace orvanta::powertool {

namespace {

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

} // namespace

RtcWakeAlarm::RtcWakeAlarm(std::string alarmPath, std::string adjtimePath)
    : m_alarmPath(std::move(alarmPath)), m_rtcKeepsLocalTime(adjtimeSaysLocal(adjtimePath))
{}

std::int64_t RtcWakeAlarm::rtcSecondsFor(orvanta::Date when) const
{
    // Whole seconds, rounded up: waking a moment late could miss the start.
    const auto seconds = static_cast<std::time_t>(std::ceil(when.secondsSince1970));
    if (!m_rtcKeepsLocalTime)
        return seconds;
    std::tm local{};
    localtime_r(&seconds, &local);
    return static_cast<std::int64_t>(seconds) + local.tm_gmtoff;
}

std::optional<std::int64_t> RtcWakeAlarm::currentAlarm() const
{
    const int fd = ::open(m_alarmPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    char text[32] = {};
    const ssize_t got = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (got <= 0)
        return std::nullopt;
    std::string_view digits(text, static_cast<std::size_t>(got));
    while (!digits.empty() && (digits.back() == '\n' || digits.back() == ' '))
        digits.remove_suffix(1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value <= 0)
        return std::nullopt;
    return value;
}

bool RtcWakeAlarm::write(std::int64_t value) const
{
    const int fd = ::open(m_alarmPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        syslog(LOG_ERR, "RtcWakeAlarm : cannot open %s: %m", m_alarmPath.c_str());
        return false;
    }
    const std::string text = std::to_string(value) + "\n";
    const int result = power::writeFully(fd, text.data(), text.size());
    ::close(fd);
    if (result != 0)
        syslog(LOG_ERR, "RtcWakeAlarm : cannot write %s: %s", m_alarmPath.c_str(),
               std::strerror(result));
    return result == 0;
}

int RtcWakeAlarm::scheduleWake(orvanta::Date when, std::time_t now)
{
    const std::int64_t wanted = rtcSecondsFor(when);
    const std::int64_t rtcNow = rtcSecondsFor(orvanta::Date{static_cast<double>(now)});
    if (wanted <= rtcNow)
        return power::kPowerBadArgument;
    const std::optional<std::int64_t> current = currentAlarm();
    if (current && *current > rtcNow && *current <= wanted)
        return 0;
    if (current && !write(0))
        return power::kPowerError;
    if (!write(wanted))
        return power::kPowerError;
    return currentAlarm() == wanted ? 0 : power::kPowerError;
}

int RtcWakeAlarm::cancelWake(orvanta::Date when)
{
    const std::optional<std::int64_t> current = currentAlarm();
    if (!current || *current != rtcSecondsFor(when))
        return power::kPowerNotFound;
    return write(0) ? 0 : power::kPowerError;
}

} // namespace orvanta::powertool
