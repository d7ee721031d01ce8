#pragma once

// Wake events as the RTC holds them: one alarm at a time, in epoch seconds of the RTC's own
// clock (UTC, or local time when /etc/adjtime says LOCAL). Setting an alarm while one is set
// fails in the kernel, so an alarm is cleared ("0") before a new one is written.
//
// The rules: a wake keeps an alarm that is still ahead and comes no later than the one
// asked for (an earlier wake serves both); otherwise the alarm is replaced and read back,
// and when the kernel refuses the new one the one before is put back. A wake more than
// kLatestWake ahead is refused. A cancel clears the alarm only when it is the one asked for
// and, unless root asks, when the record says the same user set it.
//
// The alarm and the record of who set it (root's, beside the program's state) are opened
// when the object is made, with the helper's privileges, which it then gives up; every
// later read and write goes through those descriptors. The record is locked for the
// object's life, so two helpers never interleave.

#include "Value.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include <sys/types.h>

namespace orvanta::powertool {

class RtcWakeAlarm
{
public:
    /// How far ahead a wake may be set.
    static constexpr std::int64_t kLatestWake = 366LL * 24 * 3600;

    RtcWakeAlarm(const std::string& alarmPath, const std::string& adjtimePath,
                 const std::string& recordPath);
    virtual ~RtcWakeAlarm();
    RtcWakeAlarm(const RtcWakeAlarm&) = delete;
    RtcWakeAlarm& operator=(const RtcWakeAlarm&) = delete;

    /// 0 or a power result (kPowerError, kPowerBadArgument, kPowerNotFound).
    int scheduleWake(orvanta::Date when, std::time_t now, uid_t caller);
    int cancelWake(orvanta::Date when, uid_t caller);

    /// The value the alarm file takes for an instant.
    std::int64_t rtcSecondsFor(orvanta::Date when) const;
    /// The alarm set now, in RTC seconds; nothing when none is.
    std::optional<std::int64_t> currentAlarm() const;

protected:
    /// One value written to the alarm; false when the kernel refuses it.
    virtual bool write(std::int64_t value) const;

private:
    struct Record
    {
        uid_t setter = 0;
        std::int64_t alarm = 0;
    };

    std::optional<Record> record() const;
    void keepRecord(std::optional<Record> record) const;

    int m_alarm = -1;
    int m_record = -1;
    bool m_rtcKeepsLocalTime = false;
};

} // namespace orvanta::powertool
