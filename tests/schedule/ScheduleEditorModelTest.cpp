// The editor's mapping between its values and schedule entries, and the duplicate test.

#include "ScheduleEditorModel.h"
#include "ScheduleTestSupport.h"

#include "DictionaryExtensions.h"

#include <string>
#include <vector>

namespace orvanta {
namespace {

using namespace orvanta::test;

class ScheduleEditorModel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useBerlinTime();
        setlocale(LC_TIME, "C");
    }

    static ScheduleEditorValues values(bool recurringMode, int frequency, int sh, int sm, int eh,
                                       int em)
    {
        ScheduleEditorValues v;
        v.name = "Show";
        v.recurring = recurringMode;
        v.frequency = frequency;
        v.calendarDay = LocalDay{2026, 1, 7}; // a Wednesday
        v.startHour = sh;
        v.startMinute = sm;
        v.stopHour = eh;
        v.stopMinute = em;
        return v;
    }

    ScheduleClockStyle twelveHour;
};

TEST_F(ScheduleEditorModel, RecurringEntriesAndTheirDescriptions)
{
    ScheduleEditorValues daily = values(true, kDaily, 21, 0, 1, 30);
    Dictionary entry = createScheduleModelFromDisplay(daily, twelveHour);
    EXPECT_EQ(entry.get(schedkey::DESCRIPTION).toString(), "Daily, 9PM-1:30AM (next day)");
    EXPECT_EQ(entry.get(schedkey::NAME).toString(), "Show");
    EXPECT_FALSE(boolForKey(entry, schedkey::ACTIVE)) << "new entries are inactive";
    EXPECT_TRUE(entry.find(schedkey::ACTIVE)->isBool());
    EXPECT_FALSE(entry.contains(schedkey::WEEKLY));
    EXPECT_FALSE(entry.contains(schedkey::START));

    ScheduleEditorValues weekly = values(true, kWeekly, 23, 0, 1, 0);
    weekly.weekday = 6;
    weekly.weekdayTitle = "Saturday";
    entry = createScheduleModelFromDisplay(weekly, twelveHour);
    EXPECT_EQ(entry,
              (Dictionary{{schedkey::NAME, Value("Show")},
                          {schedkey::ACTIVE, Value(false)},
                          {schedkey::FREQUENCY, Value(2)},
                          {schedkey::WEEKLY, Value(6)},
                          {schedkey::STARTHOURS, Value(23)},
                          {schedkey::STARTMINS, Value(0)},
                          {schedkey::STOPHOURS, Value(1)},
                          {schedkey::STOPMINS, Value(0)},
                          {schedkey::DESCRIPTION, Value("Every Saturday, 11PM-1AM (next day)")}}));

    struct Case
    {
        ScheduleEditorValues values;
        const char* description;
    };
    const std::vector<Case> cases = {
        {values(true, kWeekdays, 9, 0, 10, 5), "Weekdays, 9AM-10:05AM "},
        {values(true, kWeekends, 0, 0, 12, 0), "Weekends, 12AM-12PM "},
        {values(true, kDaily, 12, 30, 12, 30), "Daily, 12:30PM-12:30PM (next day)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(createScheduleModelFromDisplay(c.values, twelveHour)
                      .get(schedkey::DESCRIPTION)
                      .toString(),
                  c.description);
    }

    const ScheduleClockStyle twentyFour{false, "", ""};
    EXPECT_EQ(createScheduleModelFromDisplay(values(true, kDaily, 0, 5, 23, 0), twentyFour)
                  .get(schedkey::DESCRIPTION)
                  .toString(),
              "Daily, 0:05-23 ");
    // A 24-hour clock shows no designations even when the locale has them.
    const ScheduleClockStyle twentyFourWithDesignations{false, "AM", "PM"};
    EXPECT_EQ(createScheduleModelFromDisplay(values(true, kDaily, 22, 0, 1, 0),
                                             twentyFourWithDesignations)
                  .get(schedkey::DESCRIPTION)
                  .toString(),
              "Daily, 22-1 (next day)");
}

struct OnceCase
{
    const char* what;
    bool recurringMode;
    int weekday;
    LocalDay day;
    int sh, sm, eh, em;
    Date start;
    Date stop;
    const char* description;
};

TEST_F(ScheduleEditorModel, OnceEntriesFromDateModeAndFromRecurringModeFrequencyZero)
{
    const std::vector<OnceCase> cases = {
        {"date mode",
         false,
         0,
         {2026, 1, 7},
         9,
         0,
         10,
         0,
         local(2026, 1, 7, 9, 0),
         local(2026, 1, 7, 10, 0),
         "Wed, 07 Jan 2026, 9AM-10AM "},
        {"date mode overnight at a month's end",
         false,
         0,
         {2026, 1, 31},
         22,
         0,
         6,
         0,
         local(2026, 1, 31, 22, 0),
         local(2026, 2, 1, 6, 0),
         "Sat, 31 Jan 2026, 10PM-6AM (next day)"},
        {"date mode equal times last 24 hours",
         false,
         0,
         {2026, 1, 7},
         10,
         0,
         10,
         0,
         local(2026, 1, 7, 10, 0),
         local(2026, 1, 8, 10, 0),
         "Wed, 07 Jan 2026, 10AM-10AM (next day)"},
        {"next chosen weekday is the calendar day itself",
         true,
         3,
         {2026, 1, 7},
         9,
         0,
         10,
         0,
         local(2026, 1, 7, 9, 0),
         local(2026, 1, 7, 10, 0),
         "Wed, 07 Jan 2026, 9AM-10AM "},
        {"next chosen weekday later in the week",
         true,
         5,
         {2026, 1, 7},
         23,
         0,
         1,
         0,
         local(2026, 1, 9, 23, 0),
         local(2026, 1, 10, 1, 0),
         "Fri, 09 Jan 2026, 11PM-1AM (next day)"},
        {"next chosen weekday in the following week",
         true,
         1,
         {2026, 1, 7},
         9,
         0,
         10,
         0,
         local(2026, 1, 12, 9, 0),
         local(2026, 1, 12, 10, 0),
         "Mon, 12 Jan 2026, 9AM-10AM "},
        {"overnight across the spring change keeps wall-clock times",
         false,
         0,
         {2026, 3, 28},
         22,
         0,
         6,
         0,
         local(2026, 3, 28, 22, 0),
         local(2026, 3, 29, 6, 0),
         "Sat, 28 Mar 2026, 10PM-6AM (next day)"},
    };
    for (const OnceCase& c : cases) {
        ScheduleEditorValues v = values(c.recurringMode, kOnce, c.sh, c.sm, c.eh, c.em);
        v.calendarDay = c.day;
        v.weekday = c.weekday;
        const Dictionary entry = createScheduleModelFromDisplay(v, twelveHour);
        EXPECT_EQ(entry.get(schedkey::FREQUENCY), Value(0)) << c.what;
        EXPECT_EQ(entry.get(schedkey::START), Value(c.start)) << c.what;
        EXPECT_EQ(entry.get(schedkey::STOP), Value(c.stop)) << c.what;
        EXPECT_EQ(entry.get(schedkey::STARTHOURS), Value(c.sh)) << c.what;
        EXPECT_EQ(entry.get(schedkey::STOPMINS), Value(c.em)) << c.what;
        EXPECT_EQ(entry.get(schedkey::DESCRIPTION).toString(), c.description) << c.what;
    }
    // 22:00 CET to 06:00 CEST is seven hours.
    EXPECT_EQ(local(2026, 3, 29, 6, 0).secondsSince1970 -
                  local(2026, 3, 28, 22, 0).secondsSince1970,
              7 * 3600);
}

TEST_F(ScheduleEditorModel, EntriesShowBackInTheEditor)
{
    ScheduleEditorValues weekly = values(true, kWeekly, 23, 15, 1, 45);
    weekly.weekday = 6;
    ScheduleEditorValues shown =
        editorValuesFromScheduleModel(createScheduleModelFromDisplay(weekly, twelveHour));
    EXPECT_TRUE(shown.recurring);
    EXPECT_EQ(shown.frequency, kWeekly);
    EXPECT_EQ(shown.weekday, 6);
    EXPECT_EQ(shown.name, "Show");
    EXPECT_EQ(
        (std::vector<int>{shown.startHour, shown.startMinute, shown.stopHour, shown.stopMinute}),
        (std::vector<int>{23, 15, 1, 45}));

    // A once entry made in recurring mode shows back in date mode on its own day.
    ScheduleEditorValues onceOnFriday = values(true, kOnce, 22, 0, 6, 30);
    onceOnFriday.weekday = 5;
    shown = editorValuesFromScheduleModel(createScheduleModelFromDisplay(onceOnFriday, twelveHour));
    EXPECT_FALSE(shown.recurring);
    EXPECT_EQ(shown.frequency, kOnce);
    EXPECT_EQ(shown.calendarDay.day, 9);
    EXPECT_EQ(
        (std::vector<int>{shown.startHour, shown.startMinute, shown.stopHour, shown.stopMinute}),
        (std::vector<int>{22, 0, 6, 30}));
}

TEST_F(ScheduleEditorModel, DuplicatesIgnoreOnlyActiveAndDescription)
{
    Dictionary existing =
        createScheduleModelFromDisplay(values(true, kDaily, 9, 0, 10, 0), twelveHour);
    setBool(existing, true, schedkey::ACTIVE);
    existing.set(schedkey::DESCRIPTION, Value("edited elsewhere"));
    const Array list{Value(existing)};

    const Dictionary same =
        createScheduleModelFromDisplay(values(true, kDaily, 9, 0, 10, 0), twelveHour);
    EXPECT_TRUE(scheduleAlreadyExists(list, same));
    EXPECT_FALSE(boolForKey(same, schedkey::ACTIVE)) << "the candidate keeps its own values";
    EXPECT_NE(same.get(schedkey::DESCRIPTION).toString(), "edited elsewhere");

    ScheduleEditorValues renamed = values(true, kDaily, 9, 0, 10, 0);
    renamed.name = "Other";
    EXPECT_FALSE(scheduleAlreadyExists(list, createScheduleModelFromDisplay(renamed, twelveHour)));
    EXPECT_FALSE(scheduleAlreadyExists(
        list, createScheduleModelFromDisplay(values(true, kDaily, 9, 1, 10, 0), twelveHour)));
    EXPECT_FALSE(scheduleAlreadyExists(
        list, createScheduleModelFromDisplay(values(true, kWeekdays, 9, 0, 10, 0), twelveHour)));
    EXPECT_FALSE(scheduleAlreadyExists(Array(), same));

    // Once entries differ by their dates even with the same times.
    ScheduleEditorValues day1 = values(false, kOnce, 9, 0, 10, 0);
    ScheduleEditorValues day2 = day1;
    day2.calendarDay = LocalDay{2026, 1, 8};
    const Array onceList{Value(createScheduleModelFromDisplay(day1, twelveHour))};
    EXPECT_TRUE(scheduleAlreadyExists(onceList, createScheduleModelFromDisplay(day1, twelveHour)));
    EXPECT_FALSE(scheduleAlreadyExists(onceList, createScheduleModelFromDisplay(day2, twelveHour)));
}

TEST_F(ScheduleEditorModel, AddAndModifyRefuseDuplicates)
{
    Array list;
    const Dictionary news =
        createScheduleModelFromDisplay(values(true, kDaily, 9, 0, 10, 0), twelveHour);
    EXPECT_EQ(addSchedule(list, news), ScheduleListEdit::Done);
    EXPECT_EQ(addSchedule(list, createScheduleModelFromDisplay(values(true, kDaily, 9, 0, 10, 0),
                                                               twelveHour)),
              ScheduleListEdit::AlreadyExists);
    ASSERT_EQ(list.size(), 1u);
    Dictionary stored = list.at(0).toDictionary();
    setBool(stored, true, schedkey::ACTIVE);

    // Unchanged values are a duplicate of the selected entry itself.
    EXPECT_EQ(
        modifySchedule(
            list, 0, createScheduleModelFromDisplay(values(true, kDaily, 9, 0, 10, 0), twelveHour)),
        ScheduleListEdit::AlreadyExists);
    ScheduleEditorValues renamed = values(true, kDaily, 9, 0, 10, 0);
    renamed.name = "Morning news";
    EXPECT_EQ(
        modifySchedule(list, std::nullopt, createScheduleModelFromDisplay(renamed, twelveHour)),
        ScheduleListEdit::NoSelection);
    EXPECT_TRUE(list.at(0).toDictionary().isSameObject(stored));

    EXPECT_EQ(modifySchedule(list, 0, createScheduleModelFromDisplay(renamed, twelveHour)),
              ScheduleListEdit::Done);
    const Dictionary replaced = list.at(0).toDictionary();
    EXPECT_FALSE(replaced.isSameObject(stored)) << "a new dictionary, so a running one stops";
    EXPECT_EQ(replaced.get(schedkey::NAME).toString(), "Morning news");
    EXPECT_TRUE(boolForKey(replaced, schedkey::ACTIVE)) << "keeps the selected entry's ACTIVE";
    EXPECT_EQ(scheduleAlreadyExistsMessage(),
              "The schedule already exists.  Please try again with different values.");
}

TEST_F(ScheduleEditorModel, BlankNamesBecomeNoName)
{
    EXPECT_EQ(normalizedScheduleName(""), "No name");
    EXPECT_EQ(normalizedScheduleName(" \n\t "), "No name");
    EXPECT_EQ(normalizedScheduleName(" Late show "), " Late show ");
}

} // namespace
} // namespace orvanta
