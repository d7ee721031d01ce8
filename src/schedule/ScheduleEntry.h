#pragma once

// Schedule entries: the keys of one entry of a stream's NP_RECORDING_SCHEDULE list, typed
// reading of an entry, and the local-time arithmetic the scheduler and the editor share.
//
// Local time is the process's time zone (TZ). "A day" is a calendar day: adding days keeps
// the wall-clock time across daylight-saving changes. A wall-clock time that falls into a
// spring-forward gap maps to the instant as many minutes after the gap as it lay inside
// it; a time that occurs twice on a fall-back day maps to its first occurrence.
//
// Thread: free functions on values; an entry must not be edited while it is read.

#include "Value.h"

#include <cstdint>
#include <string_view>

namespace orvanta {

namespace schedkey {
inline constexpr std::string_view NAME = "NAME";
inline constexpr std::string_view DESCRIPTION = "DESCRIPTION";
inline constexpr std::string_view ACTIVE = "ACTIVE";
inline constexpr std::string_view FREQUENCY = "FREQUENCY";
inline constexpr std::string_view WEEKLY = "WEEKLY";
inline constexpr std::string_view STARTHOURS = "STARTHOURS";
inline constexpr std::string_view STARTMINS = "STARTMINS";
inline constexpr std::string_view STOPHOURS = "STOPHOURS";
inline constexpr std::string_view STOPMINS = "STOPMINS";
inline constexpr std::string_view START = "START";
inline constexpr std::string_view STOP = "STOP";
} // namespace schedkey

/// FREQUENCY values.
enum Frequency : std::int64_t { kOnce = 0, kDaily = 1, kWeekly = 2, kWeekdays = 3, kWeekends = 4 };

/// The numbers of an entry that the rules use; missing numeric keys read as 0.
struct ScheduleTimes
{
    std::int64_t frequency = 0;
    std::int64_t weekly = 0;
    std::int64_t startHours = 0;
    std::int64_t startMins = 0;
    std::int64_t stopHours = 0;
    std::int64_t stopMins = 0;

    static ScheduleTimes fromEntry(const Dictionary& entry);

    std::int64_t startMinute() const { return startHours * 60 + startMins; }
    std::int64_t stopMinute() const { return stopHours * 60 + stopMins; }
    /// Stop not later than start on the clock; equal times stand for a 24-hour window.
    bool overnight() const;
    bool zeroLength() const { return startHours == stopHours && startMins == stopMins; }
};

/// Now as the rules see it: minute of the day and day of the week (0 Sunday).
struct LocalMoment
{
    std::int64_t minuteOfDay = 0;
    int dayOfWeek = 0;

    static LocalMoment fromDate(Date date);
};

/// A local calendar day.
struct LocalDay
{
    int year = 1970;
    int month = 1; // 1-12
    int day = 1;   // 1-31

    static LocalDay fromDate(Date date);
    /// Day of the week, 0 Sunday ... 6 Saturday.
    int dayOfWeek() const;
};

/// The instant of hour:minute:00 local time on day + addDays (calendar days; out-of-range
/// days roll into the next month or year).
Date localInstant(LocalDay day, int addDays, int hour, int minute);

/// Whole seconds, for comparisons "to the second".
std::int64_t wholeSeconds(Date date);

} // namespace orvanta
