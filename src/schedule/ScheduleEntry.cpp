#include "ScheduleEntry.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

namespace orvanta {

namespace {

std::int64_t integerForKey(const Dictionary& entry, std::string_view key)
{
    const Value* value = entry.find(key);
    return value != nullptr && value->isNumber() ? value->toInteger() : 0;
}

std::tm localFields(Date date)
{
    std::time_t seconds = static_cast<std::time_t>(std::floor(date.secondsSince1970));
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

std::tm wallClock(LocalDay day, int addDays, int hour, int minute, int isDst)
{
    std::tm fields{};
    fields.tm_year = day.year - 1900;
    fields.tm_mon = day.month - 1;
    fields.tm_mday = day.day + addDays;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_isdst = isDst;
    return fields;
}

bool sameWallClock(const std::tm& a, const std::tm& b)
{
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min;
}

} // namespace

ScheduleTimes ScheduleTimes::fromEntry(const Dictionary& entry)
{
    ScheduleTimes times;
    times.frequency = integerForKey(entry, schedkey::FREQUENCY);
    times.weekly = integerForKey(entry, schedkey::WEEKLY);
    times.startHours = integerForKey(entry, schedkey::STARTHOURS);
    times.startMins = integerForKey(entry, schedkey::STARTMINS);
    times.stopHours = integerForKey(entry, schedkey::STOPHOURS);
    times.stopMins = integerForKey(entry, schedkey::STOPMINS);
    return times;
}

bool ScheduleTimes::overnight() const
{
    return startHours > stopHours || (startHours == stopHours && startMins >= stopMins);
}

LocalMoment LocalMoment::fromDate(Date date)
{
    std::tm fields = localFields(date);
    return LocalMoment{fields.tm_hour * 60 + fields.tm_min, fields.tm_wday};
}

LocalDay LocalDay::fromDate(Date date)
{
    std::tm fields = localFields(date);
    return LocalDay{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

int LocalDay::dayOfWeek() const
{
    return localFields(localInstant(*this, 0, 12, 0)).tm_wday;
}

Date localInstant(LocalDay day, int addDays, int hour, int minute)
{
    // The wall-clock time read with either offset of the zone; the readings that map back
    // to the same wall-clock time are the real instants of that time.
    std::tm target = wallClock(day, addDays, hour, minute, 0);
    std::tm normalized = target;
    normalized.tm_isdst = -1;
    timegm(&normalized); // normalizes day overflow without touching the time zone
    std::optional<std::time_t> best;
    std::time_t latest = 0;
    bool any = false;
    for (int isDst : {0, 1}) {
        std::tm fields = wallClock(day, addDays, hour, minute, isDst);
        std::time_t seconds = std::mktime(&fields);
        if (seconds == static_cast<std::time_t>(-1)) {
            continue;
        }
        latest = any ? std::max(latest, seconds) : seconds;
        any = true;
        if (sameWallClock(localFields(Date{static_cast<double>(seconds)}), normalized)) {
            best = best ? std::min(*best, seconds) : seconds;
        }
    }
    // In a gap neither reading exists; the later one lies past the gap by the same amount.
    return Date{static_cast<double>(best ? *best : latest)};
}

std::int64_t wholeSeconds(Date date)
{
    return static_cast<std::int64_t>(std::floor(date.secondsSince1970));
}

} // namespace orvanta
