#pragma once

// Wake events as the RTC holds them: one alarm at a time, in epoch seconds of the RTC's own
// clock (UTC, or local time when /etc/adjtime says LOCAL). Setting an alarm while one is set
// fails in the kernel, so an alarm is cleared ("0") before a new one is written.
//
// The rules: a wake keeps an alarm that is still ahead and comes no later than the one
// asked for (an earlier wake serves both); otherwise the alarm is replaced and read back.
// A cancel clears the alarm only when it is the one asked for.

#include "Value.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace orvanta::powertool {

class RtcWakeAlarm
{
public:
    RtcWakeAlarm(std::string alarmPath, std::string adjtimePath);

    /// 0 or a power result (kPowerError, kPowerBadArgument...).
    int scheduleWake(orvanta::Date when, std::time_t now);
    int cancelWake(orvanta::Date when);

    /// The value the alarm file takes for an instant.
    std::int64_t rtcSecondsFor(orvanta::Date when) const;
    /// The alarm set now, in RTC seconds; nothing when none is.
    std::optional<std::int64_t> currentAlarm() const;

private:
    bool write(std::int64_t value) const;

    std::string m_alarmPath;
    bool m_rtcKeepsLocalTime = false;
};

} // namespace orvanta::powertool
