#pragma once

// The schedule editor's mapping between its controls and schedule entries, without
// widgets: editor values → entry (with its DESCRIPTION), entry → editor values, and the
// duplicate test that keeps a schedule list free of repeats.
//
// Thread: free functions on values; the main thread in practice.

#include "ScheduleEntry.h"
#include "Value.h"

#include <cstddef>
#include <optional>
#include <string>

namespace orvanta {

/// What the editor's controls hold.
struct ScheduleEditorValues
{
    std::string name;
    /// Recurring mode; false is date mode (one chosen calendar day).
    bool recurring = true;
    /// Index of the frequency choice, which is the FREQUENCY value (0 once on the next
    /// chosen weekday).
    int frequency = kDaily;
    /// Index of the weekday choice, 0 Sunday ... 6 Saturday, and its title.
    int weekday = 0;
    std::string weekdayTitle;
    /// The calendar's day.
    LocalDay calendarDay;
    int startHour = 12;
    int startMinute = 0;
    int stopHour = 12;
    int stopMinute = 0;
};

/// How the time controls show hours, and the user's AM/PM designations.
struct ScheduleClockStyle
{
    bool twelveHourClock = true;
    std::string amString = "AM";
    std::string pmString = "PM";
};

/// A new inactive entry from the editor's values, with its DESCRIPTION.
Dictionary createScheduleModelFromDisplay(const ScheduleEditorValues& values,
                                          const ScheduleClockStyle& style);

/// The editor's values for an entry. A once entry shows in date mode with START's day and
/// the times of START and STOP; the weekday title is left to the caller.
ScheduleEditorValues editorValuesFromScheduleModel(const Dictionary& entry);

/// Whether list holds an entry equal to schedule apart from ACTIVE and DESCRIPTION.
bool scheduleAlreadyExists(const Array& list, const Dictionary& schedule);

/// Outcome of adding or modifying an entry of a schedule list.
enum class ScheduleListEdit {
    Done,
    AlreadyExists, // nothing changed; the editor shows the duplicate alert
    NoSelection    // modify without a selected row: nothing changed
};

/// Appends entry (as built, inactive) unless the list already holds it.
ScheduleListEdit addSchedule(Array& list, const Dictionary& entry);

/// Replaces the entry at selected with entry, which takes over the old entry's ACTIVE, unless
/// the list already holds entry. The replacement is a new dictionary object, so a recording
/// the old entry started is stopped at the scheduler's next tick.
ScheduleListEdit modifySchedule(Array& list, std::optional<std::size_t> selected, Dictionary entry);

/// Alert titles and the message for a refused duplicate, localised.
std::string failedToCreateScheduleTitle();
std::string failedToModifyScheduleTitle();
std::string scheduleAlreadyExistsMessage();

/// The name as stored: blank after trimming white space and line breaks becomes
/// the localised "No name".
std::string normalizedScheduleName(const std::string& name);

} // namespace orvanta
