#pragma once

// Helpers for the schedule tests: local instants in a fixed time zone, entries, and a
// stream node carrying a schedule list.

#include "Node.h"
#include "NodePropertyKeys.h"
#include "ScheduleEntry.h"
#include "Value.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace orvanta::test {

/// Every test process runs in one zone with daylight saving (last Sundays of March and
/// October), so that the local-time rules are exercised where they can go wrong.
inline void useBerlinTime()
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
}

/// Local wall-clock instant; seconds added afterwards.
inline Date local(int year, int month, int day, int hour, int minute, int second = 0)
{
    Date date = localInstant(LocalDay{year, month, day}, 0, hour, minute);
    date.secondsSince1970 += second;
    return date;
}

// A reference week in winter time: Sunday 4 January 2026 ... Saturday 10 January.
inline constexpr int kSunday = 4;
inline constexpr int kMonday = 5;
inline constexpr int kTuesday = 6;
inline constexpr int kWednesday = 7;
inline constexpr int kFriday = 9;
inline constexpr int kSaturday = 10;

inline Date inWeek(int day, int hour, int minute)
{
    return local(2026, 1, day, hour, minute);
}

inline Dictionary recurring(int frequency, int sh, int sm, int eh, int em, int weekly = -1)
{
    Dictionary entry{{schedkey::NAME, Value("")},       {schedkey::DESCRIPTION, Value("")},
                     {schedkey::ACTIVE, Value(true)},   {schedkey::FREQUENCY, Value(frequency)},
                     {schedkey::STARTHOURS, Value(sh)}, {schedkey::STARTMINS, Value(sm)},
                     {schedkey::STOPHOURS, Value(eh)},  {schedkey::STOPMINS, Value(em)}};
    if (weekly >= 0) {
        entry.set(schedkey::WEEKLY, Value(weekly));
    }
    return entry;
}

inline Dictionary once(Date start, Date stop)
{
    Dictionary entry = recurring(0, 0, 0, 0, 0);
    entry.set(schedkey::START, Value(start));
    entry.set(schedkey::STOP, Value(stop));
    return entry;
}

inline NodePtr streamWithSchedule(Array schedule)
{
    NodePtr node = Node::nodeWithName("Station", "http://example.invalid/", Node::kStream);
    node->setProperty(Value(schedule), np::NP_RECORDING_SCHEDULE);
    return node;
}

} // namespace orvanta::test
