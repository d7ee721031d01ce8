// orvanta-cli commands on recording schedules: schedule PATH list|add|remove|activate|
// deactivate, and next.

#include "Cli.h"

#include "Localization.h"
#include "NextScheduledRecording.h"
#include "NodePropertyKeys.h"
#include "ScheduleEditorModel.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <regex>

namespace orvanta::cli {

namespace {

// The days as --weekly takes them (at least their first three letters); the schedule's
// description names the day in the user's language, as the window does.
constexpr std::array<const char*, 7> kWeekdayTitles = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

struct FrequencyOption
{
    const char* option;
    Frequency frequency;
    std::size_t valueCount;
};

constexpr std::array<FrequencyOption, 5> kFrequencyOptions = {{
    {"--once", kOnce, 3},
    {"--daily", kDaily, 2},
    {"--weekly", kWeekly, 3},
    {"--weekdays", kWeekdays, 2},
    {"--weekends", kWeekends, 2},
}};

/// Removes "--name V1 ... Vcount" from args and returns the values.
std::optional<Args> takeOptionValues(Args& args, std::string_view name, std::size_t count)
{
    auto it = std::find(args.begin(), args.end(), name);
    if (it == args.end()) {
        return std::nullopt;
    }
    if (static_cast<std::size_t>(args.end() - it) <= count) {
        throw UsageError(
            Orvanta::tr("%1 needs %2 values", {std::string(name), std::to_string(count)}));
    }
    Args values(it + 1, it + 1 + static_cast<std::ptrdiff_t>(count));
    args.erase(it, it + 1 + static_cast<std::ptrdiff_t>(count));
    return values;
}

void parseTime(const std::string& text, int& hour, int& minute)
{
    static const std::regex kTime("([01]?[0-9]|2[0-3]):([0-5][0-9])");
    std::smatch match;
    if (!std::regex_match(text, match, kTime)) {
        throw UsageError(Orvanta::tr("\"%1\" is not a time (HH:MM, 00:00 to 23:59)", {text}));
    }
    hour = std::stoi(match[1].str());
    minute = std::stoi(match[2].str());
}

LocalDay parseDay(const std::string& text)
{
    static const std::regex kDay("([0-9]{4})-([0-9]{2})-([0-9]{2})");
    std::smatch match;
    if (std::regex_match(text, match, kDay)) {
        const LocalDay day{std::stoi(match[1].str()), std::stoi(match[2].str()),
                           std::stoi(match[3].str())};
        const std::chrono::year_month_day date{std::chrono::year(day.year),
                                               std::chrono::month(static_cast<unsigned>(day.month)),
                                               std::chrono::day(static_cast<unsigned>(day.day))};
        if (date.ok()) {
            return day;
        }
    }
    throw UsageError(Orvanta::tr("\"%1\" is not a date (YYYY-MM-DD)", {text}));
}

int parseWeekday(const std::string& text)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (std::size_t index = 0; index < kWeekdayTitles.size(); ++index) {
        std::string title = kWeekdayTitles[index];
        std::transform(title.begin(), title.end(), title.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.size() >= 3 && title.starts_with(lower)) {
            return static_cast<int>(index);
        }
    }
    throw UsageError(Orvanta::tr("\"%1\" is not a day of the week", {text}));
}

ScheduleEditorValues editorValues(Args& args, const std::string& name)
{
    ScheduleEditorValues values;
    values.name = name;
    std::optional<Args> times;
    for (const FrequencyOption& option : kFrequencyOptions) {
        auto found = takeOptionValues(args, option.option, option.valueCount);
        if (!found) {
            continue;
        }
        if (times) {
            throw UsageError(Orvanta::tr("give exactly one of --once, --daily, --weekly, "
                                         "--weekdays, --weekends"));
        }
        values.recurring = option.frequency != kOnce;
        values.frequency = static_cast<int>(option.frequency);
        if (option.frequency == kOnce) {
            values.calendarDay = parseDay(found->front());
        } else if (option.frequency == kWeekly) {
            values.weekday = parseWeekday(found->front());
            // Our days count from Sunday = 0, QLocale's from Monday = 1 to Sunday = 7.
            values.weekdayTitle =
                QLocale()
                    .dayName(values.weekday == 0 ? 7 : values.weekday, QLocale::LongFormat)
                    .toStdString();
        }
        times = Args(found->end() - 2, found->end());
    }
    if (!times) {
        throw UsageError(
            Orvanta::tr("give one of --once, --daily, --weekly, --weekdays, --weekends"));
    }
    parseTime((*times)[0], values.startHour, values.startMinute);
    parseTime((*times)[1], values.stopHour, values.stopMinute);
    return values;
}

std::string entryName(const Value& entry)
{
    const Value name = entry.isDictionary() ? entry.toDictionary().get(schedkey::NAME) : Value();
    return name.isString() ? name.toString() : std::string();
}

std::size_t indexOfEntry(const Array& list, const std::string& name)
{
    for (std::size_t index = 0; index < list.size(); ++index) {
        if (entryName(list.at(index)) == name) {
            return index;
        }
    }
    throw Failure(Orvanta::tr("no schedule named \"%1\"", {name}));
}

// "active" and "inactive" stay English in every language: scripts read these tab-separated
// lines.
void listSchedules(const Array& list)
{
    for (const Value& entry : list) {
        if (!entry.isDictionary()) {
            continue;
        }
        const Dictionary fields = entry.toDictionary();
        const Value description = fields.get(schedkey::DESCRIPTION);
        std::printf("%s\t%s\t%s\n", entryName(entry).c_str(),
                    fields.get(schedkey::ACTIVE).isBool() && fields.get(schedkey::ACTIVE).toBool()
                        ? "active"
                        : "inactive",
                    description.isString() ? description.toString().c_str() : "");
    }
}

void addEntry(Array& list, Args args)
{
    const auto name = takeOption(args, "--name");
    const bool active = takeFlag(args, "--active");
    if (!name) {
        throw UsageError(Orvanta::tr("schedule add needs --name"));
    }
    ScheduleEditorValues values = editorValues(args, *name);
    rejectUnknownOptions(args);
    if (!args.empty()) {
        throw UsageError(Orvanta::tr("unexpected argument \"%1\"", {args.front()}));
    }
    Dictionary entry = createScheduleModelFromDisplay(values, ScheduleClockStyle{});
    const std::string stored = entryName(Value(entry));
    for (const Value& existing : list) {
        if (entryName(existing) == stored) {
            throw Failure(Orvanta::tr("a schedule named \"%1\" already exists", {stored}));
        }
    }
    if (addSchedule(list, entry) == ScheduleListEdit::AlreadyExists) {
        throw Failure(scheduleAlreadyExistsMessage());
    }
    if (active) {
        list.at(list.size() - 1).toDictionary().set(schedkey::ACTIVE, Value(true));
    }
}

} // namespace

int runSchedule(Args args)
{
    if (args.size() < 2) {
        throw UsageError(Orvanta::tr("schedule needs a station and an action"));
    }
    const std::string path = args[0];
    const std::string action = args[1];
    args.erase(args.begin(), args.begin() + 2);
    const bool byName = action == "remove" || action == "activate" || action == "deactivate";
    if (action != "list" && action != "add" && !byName) {
        throw UsageError(Orvanta::tr("unknown schedule action \"%1\"", {action}));
    }
    if ((action == "list" && !args.empty()) || (byName && args.size() != 1)) {
        const std::string command = "schedule " + action;
        throw UsageError(byName ? Orvanta::tr("%1 needs one entry name", {command})
                                : Orvanta::tr("%1 takes no arguments", {command}));
    }
    Library library;
    Node* node = library.find(path);
    if (node->nodeType() != Node::kStream) {
        throw Failure(Orvanta::tr("\"%1\" is a group; only stations have schedules", {path}));
    }
    const auto stored = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
    Array list = stored && stored->isArray() ? stored->toArray() : Array();
    if (action == "list") {
        listSchedules(list);
        return kExitOk;
    }
    if (action == "add") {
        addEntry(list, std::move(args));
    } else {
        const std::size_t index = indexOfEntry(list, args[0]);
        if (action == "remove") {
            list.removeAt(index);
        } else {
            list.at(index).toDictionary().set(schedkey::ACTIVE, Value(action == "activate"));
        }
    }
    node->setProperty(Value(list), np::NP_RECORDING_SCHEDULE);
    library.save();
    return kExitOk;
}

int runNext(Args args)
{
    if (!args.empty()) {
        throw UsageError(Orvanta::tr("%1 takes no arguments", {"next"}));
    }
    Library library;
    const auto next =
        computeDateOfNextScheduledRecording(library.controller().getAllStreams(), Date::now());
    if (!next) {
        // Not translated: scripts compare it.
        std::printf("none\n");
        return kExitOk;
    }
    const auto seconds = static_cast<std::time_t>(next->secondsSince1970);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M %Z", &local);
    std::printf("%s\n", text);
    return kExitOk;
}

} // namespace orvanta::cli
