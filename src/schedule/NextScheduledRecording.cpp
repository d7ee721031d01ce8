#include "NextScheduledRecording.h"

#include "DictionaryExtensions.h"
#include "NodePropertyKeys.h"
#include "ScheduleEntry.h"

namespace orvanta {

namespace {

// Days from today to the entry's next start, by FREQUENCY; -1 for an unknown one.
int daysUntilStart(const ScheduleTimes& t, int d, bool pastStart)
{
    const int w = static_cast<int>(t.weekly);
    switch (t.frequency) {
    case kDaily:
        return pastStart ? 1 : 0;
    case kWeekly:
        if (d == w) {
            return pastStart ? 7 : 0;
        }
        return d < w ? w - d : w - d + 7;
    case kWeekdays:
        if (d >= 1 && d <= 5) {
            return pastStart ? (d == 5 ? 3 : 1) : 0;
        }
        return d == 6 ? 2 : 1;
    case kWeekends:
        if (d == 0 || d == 6) {
            return pastStart ? (d == 6 ? 1 : 6) : 0;
        }
        return 6 - d;
    default:
        return -1;
    }
}

} // namespace

std::optional<Date> nextStartCandidate(const Dictionary& entry, Date now)
{
    const ScheduleTimes t = ScheduleTimes::fromEntry(entry);
    if (t.frequency == kOnce) {
        const Value* start = entry.find(schedkey::START);
        if (start == nullptr || !start->isDate()) {
            return std::nullopt;
        }
        return start->toDate();
    }
    const LocalMoment moment = LocalMoment::fromDate(now);
    const LocalDay today = LocalDay::fromDate(now);
    const int hour = static_cast<int>(t.startHours);
    const int minute = static_cast<int>(t.startMins);
    // Past start compares instants rather than minutes: a start earlier in this very
    // minute is over too (so the next one counts), and a start in a skipped hour is not.
    const bool pastStart = localInstant(today, 0, hour, minute) <= now;
    const int days = daysUntilStart(t, moment.dayOfWeek, pastStart);
    if (days < 0) {
        return std::nullopt;
    }
    return localInstant(today, days, hour, minute);
}

std::optional<Date> computeDateOfNextScheduledRecording(const std::vector<Node*>& streams, Date now)
{
    std::optional<Date> earliest;
    for (const Node* node : streams) {
        std::optional<Value> property = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
        if (!property || !property->isArray()) {
            continue;
        }
        for (const Value& item : property->toArray()) {
            if (!item.isDictionary() || !boolForKey(item.toDictionary(), schedkey::ACTIVE)) {
                continue;
            }
            std::optional<Date> candidate = nextStartCandidate(item.toDictionary(), now);
            if (candidate && candidate->secondsSince1970 > now.secondsSince1970 &&
                (!earliest || *candidate < *earliest)) {
                earliest = candidate;
            }
        }
    }
    return earliest;
}

} // namespace orvanta
