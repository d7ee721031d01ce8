// The start and stop rules for every frequency, at their boundaries.

#include "ScheduleTestSupport.h"
#include "Scheduler.h"

#include "DictionaryExtensions.h"
#include "Log.h"

#include <string>
#include <vector>

namespace orvanta {
namespace {

using namespace orvanta::test;

class SchedulerRules : public ::testing::Test
{
protected:
    void SetUp() override { useBerlinTime(); }
};

struct RuleCase
{
    const char* what;
    Dictionary entry;
    int day;
    int hour;
    int minute;
    bool expected;
};

TEST_F(SchedulerRules, StartRuleForEveryFrequency)
{
    const Dictionary dailyNight = recurring(kDaily, 22, 0, 2, 0);
    const Dictionary dailyEvening = recurring(kDaily, 20, 0, 21, 0);
    const Dictionary dailyAllDay = recurring(kDaily, 10, 0, 10, 0);
    const Dictionary weeklySatNight = recurring(kWeekly, 23, 0, 1, 0, 6);
    const Dictionary weeklyTue = recurring(kWeekly, 8, 30, 9, 0, 2);
    const Dictionary weekdaysEvening = recurring(kWeekdays, 20, 0, 21, 0);
    const Dictionary weekdaysNight = recurring(kWeekdays, 23, 0, 1, 0);
    const Dictionary weekendsNight = recurring(kWeekends, 23, 0, 1, 0);
    const Dictionary weekendsDay = recurring(kWeekends, 10, 0, 12, 0);
    const std::vector<RuleCase> cases = {
        {"daily overnight at start", dailyNight, kMonday, 22, 0, true},
        {"daily overnight before start", dailyNight, kMonday, 21, 59, false},
        {"daily overnight after midnight, idle", dailyNight, kTuesday, 1, 0, false},
        {"daily day window start", dailyEvening, kMonday, 20, 0, true},
        {"daily day window last minute", dailyEvening, kMonday, 20, 59, true},
        {"daily day window end", dailyEvening, kMonday, 21, 0, false},
        {"daily zero-length any time", dailyAllDay, kFriday, 3, 0, true},
        {"weekly Saturday night at start", weeklySatNight, kSaturday, 23, 0, true},
        {"weekly Saturday night before start", weeklySatNight, kSaturday, 22, 59, false},
        {"weekly Saturday night into Sunday", weeklySatNight, kSunday, 0, 30, true},
        {"weekly Saturday night Sunday at stop", weeklySatNight, kSunday, 1, 0, false},
        {"weekly Saturday night Sunday evening", weeklySatNight, kSunday, 23, 30, false},
        {"weekly Saturday night other day", weeklySatNight, kFriday, 23, 30, false},
        {"weekly Tuesday inside", weeklyTue, kTuesday, 8, 45, true},
        {"weekly Tuesday at stop", weeklyTue, kTuesday, 9, 0, false},
        {"weekly Tuesday on Monday", weeklyTue, kMonday, 8, 45, false},
        {"weekdays Monday", weekdaysEvening, kMonday, 20, 30, true},
        {"weekdays Friday", weekdaysEvening, kFriday, 20, 30, true},
        {"weekdays Saturday", weekdaysEvening, kSaturday, 20, 30, false},
        {"weekdays Sunday", weekdaysEvening, kSunday, 20, 30, false},
        {"weekdays night Monday before 01:00", weekdaysNight, kMonday, 0, 30, false},
        {"weekdays night Monday at start", weekdaysNight, kMonday, 23, 0, true},
        {"weekdays night Tuesday before 01:00", weekdaysNight, kTuesday, 0, 30, true},
        {"weekdays night Saturday before 01:00", weekdaysNight, kSaturday, 0, 59, true},
        {"weekdays night Saturday at start", weekdaysNight, kSaturday, 23, 0, false},
        {"weekdays night Friday at start", weekdaysNight, kFriday, 23, 0, true},
        {"weekends night Saturday at start", weekendsNight, kSaturday, 23, 0, true},
        {"weekends night Sunday at start", weekendsNight, kSunday, 23, 0, true},
        {"weekends night Monday before 01:00", weekendsNight, kMonday, 0, 30, true},
        {"weekends night Monday at 01:00", weekendsNight, kMonday, 1, 0, false},
        {"weekends night Saturday before 01:00", weekendsNight, kSaturday, 0, 30, false},
        {"weekends night Friday at start", weekendsNight, kFriday, 23, 0, false},
        {"weekends day Saturday", weekendsDay, kSaturday, 11, 0, true},
        {"weekends day Sunday at stop", weekendsDay, kSunday, 12, 0, false},
        {"weekends day Monday", weekendsDay, kMonday, 11, 0, false},
        {"unknown frequency", recurring(7, 0, 0, 0, 0), kMonday, 12, 0, false},
    };
    for (const RuleCase& c : cases) {
        EXPECT_EQ(isScheduleDue(c.entry, inWeek(c.day, c.hour, c.minute)), c.expected) << c.what;
    }
}

TEST_F(SchedulerRules, StopRuleForEveryFrequency)
{
    const Dictionary dailyNight = recurring(kDaily, 22, 0, 2, 0);
    const Dictionary dailyEvening = recurring(kDaily, 20, 0, 21, 0);
    const Dictionary dailyAllDay = recurring(kDaily, 10, 0, 10, 0);
    const Dictionary weeklySatNight = recurring(kWeekly, 23, 0, 1, 0, 6);
    const Dictionary weeklyTue = recurring(kWeekly, 8, 30, 9, 0, 2);
    const Dictionary weekdaysEvening = recurring(kWeekdays, 20, 0, 21, 0);
    const Dictionary weekdaysNight = recurring(kWeekdays, 23, 0, 1, 0);
    const Dictionary weekendsNight = recurring(kWeekends, 23, 0, 1, 0);
    const Dictionary weekendsDay = recurring(kWeekends, 10, 0, 12, 0);
    const std::vector<RuleCase> cases = {
        {"daily overnight at 01:59", dailyNight, kTuesday, 1, 59, false},
        {"daily overnight at 02:00", dailyNight, kTuesday, 2, 0, true},
        {"daily overnight at 21:59", dailyNight, kTuesday, 21, 59, true},
        {"daily overnight at 22:00", dailyNight, kTuesday, 22, 0, false},
        {"daily day window inside", dailyEvening, kMonday, 20, 59, false},
        {"daily day window end", dailyEvening, kMonday, 21, 0, true},
        {"daily day window before", dailyEvening, kMonday, 19, 59, true},
        {"daily zero-length never", dailyAllDay, kMonday, 3, 0, false},
        {"weekly Saturday night Sunday 00:59", weeklySatNight, kSunday, 0, 59, false},
        {"weekly Saturday night Sunday 01:00", weeklySatNight, kSunday, 1, 0, true},
        {"weekly overnight on its own day", weeklySatNight, kSaturday, 12, 0, false},
        {"weekly Tuesday at stop", weeklyTue, kTuesday, 9, 0, true},
        {"weekly Tuesday before start", weeklyTue, kTuesday, 8, 29, true},
        {"weekly Tuesday other day", weeklyTue, kWednesday, 9, 30, false},
        {"weekdays Saturday", weekdaysEvening, kSaturday, 20, 30, true},
        {"weekdays Sunday", weekdaysEvening, kSunday, 20, 30, true},
        {"weekdays Friday inside", weekdaysEvening, kFriday, 20, 30, false},
        {"weekdays Friday at stop", weekdaysEvening, kFriday, 21, 0, true},
        {"weekdays night Saturday 00:59", weekdaysNight, kSaturday, 0, 59, false},
        {"weekdays night Saturday 01:00", weekdaysNight, kSaturday, 1, 0, true},
        {"weekdays night Tuesday 01:00", weekdaysNight, kTuesday, 1, 0, true},
        {"weekdays night Tuesday 23:00", weekdaysNight, kTuesday, 23, 0, false},
        {"weekdays night Monday afternoon", weekdaysNight, kMonday, 15, 0, false},
        {"weekdays night Sunday", weekdaysNight, kSunday, 0, 30, true},
        {"weekends night Monday 00:59", weekendsNight, kMonday, 0, 59, false},
        {"weekends night Monday 01:00", weekendsNight, kMonday, 1, 0, true},
        {"weekends night Sunday 01:00", weekendsNight, kSunday, 1, 0, true},
        {"weekends night Sunday 23:00", weekendsNight, kSunday, 23, 0, false},
        {"weekends night Saturday before start", weekendsNight, kSaturday, 22, 59, true},
        {"weekends night Wednesday", weekendsNight, kWednesday, 12, 0, false},
        {"weekends day Saturday at stop", weekendsDay, kSaturday, 12, 0, true},
        {"weekends day Saturday inside", weekendsDay, kSaturday, 11, 0, false},
        {"weekends day on a weekday", weekendsDay, kMonday, 11, 0, false},
    };
    for (const RuleCase& c : cases) {
        Array list{Value(c.entry)};
        EXPECT_EQ(
            shouldStopScheduledRecording(list, Value(c.entry), inWeek(c.day, c.hour, c.minute)),
            c.expected)
            << c.what;
    }
}

TEST_F(SchedulerRules, StopWhenTheActiveEntryIsGoneInactiveOrEdited)
{
    const Dictionary entry = recurring(kDaily, 0, 0, 0, 0); // never stopped by its times
    const Date now = inWeek(kMonday, 12, 0);
    Array list{Value(entry)};
    EXPECT_FALSE(shouldStopScheduledRecording(list, Value(entry), now));
    EXPECT_TRUE(shouldStopScheduledRecording(list, Value(), now)) << "no active entry";
    EXPECT_TRUE(shouldStopScheduledRecording(Array(), Value(entry), now)) << "removed";

    Dictionary renamed = recurring(kDaily, 0, 0, 0, 0);
    renamed.set(schedkey::NAME, Value("Renamed"));
    EXPECT_TRUE(shouldStopScheduledRecording(Array{Value(renamed)}, Value(entry), now));

    // An equal copy (as after saving and loading) still counts as the running entry.
    Dictionary copy = Value(entry).deepCopy().toDictionary();
    EXPECT_FALSE(shouldStopScheduledRecording(Array{Value(copy)}, Value(entry), now));

    Dictionary listed = list.at(0).toDictionary();
    setBool(listed, false, schedkey::ACTIVE);
    EXPECT_TRUE(shouldStopScheduledRecording(list, Value(entry), now)) << "deactivated";
}

TEST_F(SchedulerRules, OnceEntryIsDueToTheSecondAndSpentAfterItsStop)
{
    const Date start = local(2026, 1, 5, 10, 0);
    const Date stop = local(2026, 1, 5, 11, 0);
    Dictionary entry = once(start, stop);
    EXPECT_FALSE(isScheduleDue(entry, local(2026, 1, 5, 9, 59, 59)));
    EXPECT_TRUE(isScheduleDue(entry, start));
    EXPECT_TRUE(isScheduleDue(entry, local(2026, 1, 5, 10, 59, 59)));
    EXPECT_FALSE(isScheduleDue(entry, stop));

    Array list{Value(entry)};
    EXPECT_FALSE(shouldStopScheduledRecording(list, Value(entry), local(2026, 1, 5, 10, 59, 59)));
    EXPECT_TRUE(boolForKey(entry, schedkey::ACTIVE));
    EXPECT_TRUE(shouldStopScheduledRecording(list, Value(entry), stop));
    EXPECT_FALSE(boolForKey(entry, schedkey::ACTIVE)) << "a once entry is spent";
    EXPECT_FALSE(boolForKey(list.at(0).toDictionary(), schedkey::ACTIVE));
}

TEST_F(SchedulerRules, UnknownFrequencyKeepsARunningRecordingAndLogs)
{
    std::vector<std::string> lines;
    setLogSink([&lines](const std::string& line) { lines.push_back(line); });
    const Dictionary entry = recurring(9, 10, 0, 11, 0);
    EXPECT_FALSE(
        shouldStopScheduledRecording(Array{Value(entry)}, Value(entry), inWeek(kMonday, 12, 0)));
    setLogSink(nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Invalid schedule type!"), std::string::npos);
}

TEST_F(SchedulerRules, MissingNumbersReadAsZero)
{
    // Only FREQUENCY daily: 00:00-00:00, a 24-hour window.
    Dictionary entry{{schedkey::ACTIVE, Value(true)}, {schedkey::FREQUENCY, Value(kDaily)}};
    EXPECT_TRUE(isScheduleDue(entry, inWeek(kMonday, 15, 0)));
    // No FREQUENCY: a once entry without dates is never due.
    EXPECT_FALSE(
        isScheduleDue(Dictionary{{schedkey::ACTIVE, Value(true)}}, inWeek(kMonday, 15, 0)));
}

} // namespace
} // namespace orvanta
