// The next scheduled start for every frequency, and across daylight-saving changes.

#include "NextScheduledRecording.h"
#include "ScheduleTestSupport.h"
#include "Scheduler.h"

#include "DictionaryExtensions.h"

#include <optional>
#include <string>
#include <vector>

namespace orvanta {
namespace {

using namespace orvanta::test;

Date utc(int year, int month, int day, int hour, int minute)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    return Date{static_cast<double>(timegm(&fields))};
}

std::optional<Date> nextFor(const Dictionary& entry, Date now)
{
    NodePtr node = streamWithSchedule(Array{Value(entry)});
    return computeDateOfNextScheduledRecording({node.get()}, now);
}

class NextScheduledRecording : public ::testing::Test
{
protected:
    void SetUp() override { useBerlinTime(); }
};

struct NextCase
{
    const char* what;
    Dictionary entry;
    Date now;
    std::optional<Date> expected;
};

TEST_F(NextScheduledRecording, NextStartForEveryFrequency)
{
    const Date friNoon = inWeek(kFriday, 12, 0);
    const Date satNoon = inWeek(kSaturday, 12, 0);
    const Date sunNoon = inWeek(kSunday, 12, 0);
    const Date monNoon = inWeek(kMonday, 12, 0);
    const std::vector<NextCase> cases = {
        {"daily later today", recurring(kDaily, 13, 0, 14, 0), friNoon, inWeek(kFriday, 13, 0)},
        {"daily past start", recurring(kDaily, 11, 0, 14, 0), friNoon, inWeek(kSaturday, 11, 0)},
        {"daily started earlier this minute", recurring(kDaily, 12, 0, 14, 0),
         local(2026, 1, 9, 12, 0, 30), inWeek(kSaturday, 12, 0)},
        {"daily in progress gives its next start", recurring(kDaily, 22, 0, 2, 0),
         inWeek(kSaturday, 23, 0), local(2026, 1, 11, 22, 0)},
        {"weekly Wednesday asked Friday", recurring(kWeekly, 9, 0, 10, 0, 3), friNoon,
         local(2026, 1, 14, 9, 0)},
        {"weekly Saturday asked Friday", recurring(kWeekly, 9, 0, 10, 0, 6), friNoon,
         inWeek(kSaturday, 9, 0)},
        {"weekly today, later", recurring(kWeekly, 13, 0, 14, 0, 5), friNoon,
         inWeek(kFriday, 13, 0)},
        {"weekly today, past", recurring(kWeekly, 10, 0, 11, 0, 5), friNoon,
         local(2026, 1, 16, 10, 0)},
        {"weekdays Friday past", recurring(kWeekdays, 11, 0, 12, 0), friNoon,
         local(2026, 1, 12, 11, 0)},
        {"weekdays Friday later", recurring(kWeekdays, 13, 0, 14, 0), friNoon,
         inWeek(kFriday, 13, 0)},
        {"weekdays Monday past", recurring(kWeekdays, 11, 0, 12, 0), monNoon,
         inWeek(kTuesday, 11, 0)},
        {"weekdays on Saturday", recurring(kWeekdays, 13, 0, 14, 0), satNoon,
         local(2026, 1, 12, 13, 0)},
        {"weekdays on Sunday", recurring(kWeekdays, 11, 0, 12, 0), sunNoon, inWeek(kMonday, 11, 0)},
        {"weekends on Friday", recurring(kWeekends, 11, 0, 12, 0), friNoon,
         inWeek(kSaturday, 11, 0)},
        {"weekends on Monday", recurring(kWeekends, 11, 0, 12, 0), monNoon,
         inWeek(kSaturday, 11, 0)},
        {"weekends Saturday past", recurring(kWeekends, 11, 0, 12, 0), satNoon,
         local(2026, 1, 11, 11, 0)},
        {"weekends Sunday past", recurring(kWeekends, 11, 0, 12, 0), sunNoon,
         inWeek(kSaturday, 11, 0)},
        {"weekends Sunday later", recurring(kWeekends, 13, 0, 14, 0), sunNoon,
         inWeek(kSunday, 13, 0)},
        {"once ahead", once(local(2026, 2, 1, 8, 0), local(2026, 2, 1, 9, 0)), friNoon,
         local(2026, 2, 1, 8, 0)},
        {"once in progress", once(inWeek(kFriday, 11, 0), inWeek(kFriday, 13, 0)), friNoon,
         std::nullopt},
        {"unknown frequency", recurring(5, 13, 0, 14, 0), friNoon, std::nullopt},
    };
    for (const NextCase& c : cases) {
        EXPECT_EQ(nextFor(c.entry, c.now), c.expected) << c.what;
    }
}

TEST_F(NextScheduledRecording, EarliestActiveEntryOfAllStreams)
{
    Dictionary inactive = recurring(kDaily, 12, 30, 13, 0);
    setBool(inactive, false, schedkey::ACTIVE);
    NodePtr first =
        streamWithSchedule(Array{Value(inactive), Value(recurring(kDaily, 15, 0, 16, 0))});
    NodePtr second = streamWithSchedule(Array{Value(recurring(kWeekly, 14, 0, 15, 0, 5))});
    NodePtr none = Node::nodeWithName("Plain", "http://example.invalid/", Node::kStream);
    const Date now = inWeek(kFriday, 12, 0);
    EXPECT_EQ(computeDateOfNextScheduledRecording({first.get(), none.get(), second.get()}, now),
              inWeek(kFriday, 14, 0));
    // A running recording plays no part.
    second->setTimerStatus(TimerStatus::Scheduled);
    EXPECT_EQ(computeDateOfNextScheduledRecording({second.get()}, now), inWeek(kFriday, 14, 0));
    EXPECT_EQ(computeDateOfNextScheduledRecording({none.get()}, now), std::nullopt);
    EXPECT_EQ(computeDateOfNextScheduledRecording({}, now), std::nullopt);
}

TEST_F(NextScheduledRecording, DayAdditionsKeepTheWallClockAcrossDaylightSaving)
{
    // Berlin 2026: clocks go 02:00 → 03:00 on 29 March, 03:00 → 02:00 on 25 October.
    const std::vector<NextCase> cases = {
        {"daily into the short day", recurring(kDaily, 9, 0, 10, 0), local(2026, 3, 28, 10, 0),
         utc(2026, 3, 29, 7, 0)},
        {"weekly over the short day", recurring(kWeekly, 9, 0, 10, 0, 1), local(2026, 3, 27, 10, 0),
         utc(2026, 3, 30, 7, 0)},
        {"weekly Sunday into the long day", recurring(kWeekly, 9, 0, 10, 0, 0),
         local(2026, 10, 23, 12, 0), utc(2026, 10, 25, 8, 0)},
        {"weekends from Sunday to the Saturday after the change", recurring(kWeekends, 9, 0, 10, 0),
         local(2026, 10, 25, 12, 0), utc(2026, 10, 31, 8, 0)},
        {"start inside the skipped hour moves past it", recurring(kDaily, 2, 30, 4, 0),
         local(2026, 3, 28, 12, 0), utc(2026, 3, 29, 1, 30)},
        {"skipped start later the same morning", recurring(kDaily, 2, 30, 4, 0),
         utc(2026, 3, 29, 1, 10), utc(2026, 3, 29, 1, 30)},
        {"start inside the repeated hour takes its first occurrence",
         recurring(kDaily, 2, 30, 4, 0), local(2026, 10, 24, 12, 0), utc(2026, 10, 25, 0, 30)},
    };
    for (const NextCase& c : cases) {
        EXPECT_EQ(nextFor(c.entry, c.now), c.expected) << c.what;
    }
}

std::vector<std::string> stopsAndStarts(Node& node, Date from, int minutes, int& minutesRecorded)
{
    std::vector<std::string> events;
    minutesRecorded = 0;
    std::vector<Node*> streams{&node};
    for (int i = 0; i < minutes; ++i) {
        const Date now{from.secondsSince1970 + i * 60.0};
        for (const SchedulerDecision& decision : runSchedulerTick(streams, now)) {
            const bool start = decision.kind == SchedulerDecision::Kind::Start;
            node.setTimerStatus(start ? TimerStatus::Scheduled : TimerStatus::Off);
            const LocalMoment m = LocalMoment::fromDate(now);
            events.push_back(std::to_string(m.minuteOfDay / 60) + ":" +
                             std::to_string(m.minuteOfDay % 60) + (start ? " start" : " stop"));
        }
        minutesRecorded += node.timerStatus() == TimerStatus::Scheduled ? 1 : 0;
    }
    return events;
}

TEST_F(NextScheduledRecording, OvernightWindowAcrossDaylightSavingNights)
{
    int recorded = 0;
    NodePtr spring = streamWithSchedule(Array{Value(recurring(kDaily, 22, 0, 2, 0))});
    EXPECT_EQ(stopsAndStarts(*spring, local(2026, 3, 28, 21, 0), 8 * 60, recorded),
              (std::vector<std::string>{"22:0 start", "3:0 stop"}))
        << "02:00 never shows; the first minute past it ends the window";
    EXPECT_EQ(recorded, 4 * 60) << "02:00 winter time is 03:00 summer time";

    NodePtr autumn = streamWithSchedule(Array{Value(recurring(kDaily, 22, 0, 2, 0))});
    EXPECT_EQ(stopsAndStarts(*autumn, local(2026, 10, 24, 21, 0), 8 * 60, recorded),
              (std::vector<std::string>{"22:0 start", "2:0 stop"}))
        << "the repeated 02:00-03:00 hour does not start it again";
    EXPECT_EQ(recorded, 4 * 60);
}

} // namespace
} // namespace orvanta
