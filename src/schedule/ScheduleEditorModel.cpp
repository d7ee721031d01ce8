#include "ScheduleEditorModel.h"

#include "DictionaryExtensions.h"
#include "Localization.h"

#include <cstdio>
#include <ctime>

namespace orvanta {

namespace {

bool isOvernight(int sh, int sm, int eh, int em)
{
    return sh > eh || (sh == eh && sm >= em);
}

std::string replacePlaceholder(std::string format, const std::string& value)
{
    const std::size_t at = format.find("%1");
    if (at != std::string::npos) {
        format.replace(at, 2, value);
    }
    return format;
}

std::string dayPartForFrequency(const ScheduleEditorValues& values)
{
    switch (values.frequency) {
    case kDaily:
        return Orvanta::tr("Daily");
    case kWeekly:
        return replacePlaceholder(Orvanta::tr("Every %1"), values.weekdayTitle);
    case kWeekdays:
        return Orvanta::tr("Weekdays");
    default:
        return Orvanta::tr("Weekends");
    }
}

std::string dayPartForDate(Date start)
{
    return localizedDateTime(static_cast<double>(wholeSeconds(start)), "ddd, dd MMM yyyy");
}

// One end of the time range as the time control shows it: "9PM", "1:30AM".
std::string timeText(int hour, int minute, const ScheduleClockStyle& style)
{
    int shown = hour;
    if (style.twelveHourClock) {
        shown = hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour);
    }
    std::string text = std::to_string(shown);
    if (minute > 0) {
        char minutes[16] = {};
        std::snprintf(minutes, sizeof minutes, ":%02d", minute);
        text += minutes;
    }
    // A 24-hour clock has no designations: "22PM" would be plainly wrong.
    if (!style.twelveHourClock)
        return text;
    return text + (hour > 11 ? style.pmString : style.amString);
}

Dictionary withoutEditorOnlyKeys(const Dictionary& schedule, const Dictionary& from)
{
    Dictionary copy;
    for (const auto& [key, value] : schedule) {
        copy.set(key, value);
    }
    for (std::string_view key : {schedkey::ACTIVE, schedkey::DESCRIPTION}) {
        if (const Value* value = from.find(key)) {
            copy.set(key, *value);
        } else {
            copy.remove(key);
        }
    }
    return copy;
}

} // namespace

Dictionary createScheduleModelFromDisplay(const ScheduleEditorValues& values,
                                          const ScheduleClockStyle& style)
{
    const int sh = values.startHour;
    const int sm = values.startMinute;
    const int eh = values.stopHour;
    const int em = values.stopMinute;
    const bool overnight = isOvernight(sh, sm, eh, em);

    Dictionary entry;
    entry.set(schedkey::NAME, Value(values.name));
    setBool(entry, false, schedkey::ACTIVE);

    std::string dayPart;
    if (values.recurring && values.frequency != kOnce) {
        entry.set(schedkey::FREQUENCY, Value(values.frequency));
        if (values.frequency == kWeekly) {
            entry.set(schedkey::WEEKLY, Value(values.weekday));
        }
        dayPart = dayPartForFrequency(values);
    } else {
        int startDays = 0;
        int stopDays = overnight ? 1 : 0;
        if (values.recurring) {
            // Once on the next chosen weekday, counted from the calendar's day included.
            int d = values.weekday - values.calendarDay.dayOfWeek();
            if (d < 0) {
                d += 7;
            }
            startDays = d;
            stopDays += d;
        }
        const Date start = localInstant(values.calendarDay, startDays, sh, sm);
        const Date stop = localInstant(values.calendarDay, stopDays, eh, em);
        entry.set(schedkey::FREQUENCY, Value(static_cast<int>(kOnce)));
        entry.set(schedkey::START, Value(start));
        entry.set(schedkey::STOP, Value(stop));
        dayPart = dayPartForDate(start);
    }
    entry.set(schedkey::STARTHOURS, Value(sh));
    entry.set(schedkey::STARTMINS, Value(sm));
    entry.set(schedkey::STOPHOURS, Value(eh));
    entry.set(schedkey::STOPMINS, Value(em));

    const std::string description = dayPart + ", " + timeText(sh, sm, style) + "-" +
                                    timeText(eh, em, style) + " " +
                                    (overnight ? Orvanta::tr("(next day)") : std::string());
    entry.set(schedkey::DESCRIPTION, Value(description));
    return entry;
}

ScheduleEditorValues editorValuesFromScheduleModel(const Dictionary& entry)
{
    const ScheduleTimes t = ScheduleTimes::fromEntry(entry);
    ScheduleEditorValues values;
    values.name = entry.get(schedkey::NAME).toString();
    values.frequency = static_cast<int>(t.frequency);
    values.recurring = t.frequency != kOnce;
    if (values.recurring) {
        if (entry.contains(schedkey::WEEKLY)) {
            values.weekday = static_cast<int>(t.weekly);
        }
        values.startHour = static_cast<int>(t.startHours);
        values.startMinute = static_cast<int>(t.startMins);
        values.stopHour = static_cast<int>(t.stopHours);
        values.stopMinute = static_cast<int>(t.stopMins);
        return values;
    }
    const Date start = entry.get(schedkey::START).toDate();
    const Date stop = entry.get(schedkey::STOP).toDate();
    const LocalMoment startMoment = LocalMoment::fromDate(start);
    const LocalMoment stopMoment = LocalMoment::fromDate(stop);
    values.calendarDay = LocalDay::fromDate(start);
    values.startHour = static_cast<int>(startMoment.minuteOfDay / 60);
    values.startMinute = static_cast<int>(startMoment.minuteOfDay % 60);
    values.stopHour = static_cast<int>(stopMoment.minuteOfDay / 60);
    values.stopMinute = static_cast<int>(stopMoment.minuteOfDay % 60);
    return values;
}

bool scheduleAlreadyExists(const Array& list, const Dictionary& schedule)
{
    for (const Value& item : list) {
        if (!item.isDictionary()) {
            continue;
        }
        const Dictionary existing = item.toDictionary();
        if (withoutEditorOnlyKeys(schedule, existing) == existing) {
            return true;
        }
    }
    return false;
}

ScheduleListEdit addSchedule(Array& list, const Dictionary& entry)
{
    if (scheduleAlreadyExists(list, entry)) {
        return ScheduleListEdit::AlreadyExists;
    }
    list.append(Value(entry));
    return ScheduleListEdit::Done;
}

ScheduleListEdit modifySchedule(Array& list, std::optional<std::size_t> selected, Dictionary entry)
{
    if (scheduleAlreadyExists(list, entry)) {
        return ScheduleListEdit::AlreadyExists;
    }
    if (!selected || *selected >= list.size()) {
        return ScheduleListEdit::NoSelection;
    }
    const Dictionary old = list.at(*selected).toDictionary();
    setBool(entry, boolForKey(old, schedkey::ACTIVE), schedkey::ACTIVE);
    list.at(*selected) = Value(entry);
    return ScheduleListEdit::Done;
}

std::string failedToCreateScheduleTitle()
{
    return Orvanta::tr("Failed to create new schedule");
}

std::string failedToModifyScheduleTitle()
{
    return Orvanta::tr("Failed to modify schedule");
}

std::string scheduleAlreadyExistsMessage()
{
    return Orvanta::tr("The schedule already exists.  Please try again with different values.");
}

std::string normalizedScheduleName(const std::string& name)
{
    const std::size_t first = name.find_first_not_of(" \t\n\r\v\f");
    if (first == std::string::npos) {
        return Orvanta::tr("No name");
    }
    return name;
}

} // namespace orvanta
