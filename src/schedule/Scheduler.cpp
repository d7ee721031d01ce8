#include "Scheduler.h"

#include "DictionaryExtensions.h"
#include "Log.h"
#include "NodePropertyKeys.h"
#include "ScheduleEntry.h"

#include <memory>

namespace orvanta {

namespace {

bool isWeekend(int day)
{
    return day == 0 || day == 6;
}

bool onceWindowOpen(const Dictionary& entry, Date now)
{
    const Value* start = entry.find(schedkey::START);
    const Value* stop = entry.find(schedkey::STOP);
    if (start == nullptr || stop == nullptr || !start->isDate() || !stop->isDate()) {
        return false;
    }
    std::int64_t seconds = wholeSeconds(now);
    return wholeSeconds(start->toDate()) <= seconds && wholeSeconds(stop->toDate()) > seconds;
}

bool listContains(const Array& list, const Dictionary& entry)
{
    for (const Value& item : list) {
        if (item.isDictionary() && item.toDictionary() == entry) {
            return true;
        }
    }
    return false;
}

} // namespace

bool isScheduleDue(const Dictionary& entry, Date now)
{
    const ScheduleTimes t = ScheduleTimes::fromEntry(entry);
    if (t.frequency == kOnce) {
        return onceWindowOpen(entry, now);
    }
    const LocalMoment moment = LocalMoment::fromDate(now);
    const std::int64_t n = moment.minuteOfDay;
    const std::int64_t s = t.startMinute();
    const std::int64_t e = t.stopMinute();
    const int d = moment.dayOfWeek;
    const bool overnight = t.overnight();
    const bool zero = t.zeroLength();
    const bool inDayWindow = s <= n && n < e;

    switch (t.frequency) {
    case kDaily:
        return zero || (overnight && n >= s) || inDayWindow;
    case kWeekly:
        if (overnight && d == (t.weekly + 1) % 7) {
            return n < e;
        }
        if (d == t.weekly) {
            return overnight ? n >= s : inDayWindow;
        }
        return false;
    case kWeekdays:
        return (overnight && d >= 2 && d <= 6 && n < e) || (overnight && d == 1 && n >= s) ||
               (!overnight && d == 1 && inDayWindow) ||
               (d >= 2 && d <= 5 && (zero || (overnight && n >= s) || (!overnight && inDayWindow)));
    case kWeekends:
        if (zero) {
            // A 24-hour window from S on Saturday and on Sunday: Saturday from S to Monday
            // before E, the same span the stop rule keeps open.
            return (d == 6 && n >= s) || d == 0 || (d == 1 && n < e);
        }
        return (overnight && (d == 0 || d == 1) && n < e) ||
               (overnight && isWeekend(d) && n >= s) || (isWeekend(d) && inDayWindow);
    default:
        return false;
    }
}

bool shouldStopScheduledRecording(const Array& scheduleList, const Value& active, Date now)
{
    if (!active.isDictionary()) {
        return true;
    }
    Dictionary entry = active.toDictionary();
    if (!listContains(scheduleList, entry) || !boolForKey(entry, schedkey::ACTIVE)) {
        return true;
    }
    const ScheduleTimes t = ScheduleTimes::fromEntry(entry);
    if (t.frequency < kOnce || t.frequency > kWeekends) {
        logMessage("Scheduler::runScheduler", "Invalid schedule type!");
        return false;
    }
    if (t.frequency == kOnce) {
        const Value* stop = entry.find(schedkey::STOP);
        // An entry without a usable STOP can never be due again; end it like a spent one.
        if (stop == nullptr || !stop->isDate() ||
            wholeSeconds(stop->toDate()) <= wholeSeconds(now)) {
            setBool(entry, false, schedkey::ACTIVE);
            return true;
        }
        return false;
    }
    const LocalMoment moment = LocalMoment::fromDate(now);
    const std::int64_t n = moment.minuteOfDay;
    const std::int64_t s = t.startMinute();
    const std::int64_t e = t.stopMinute();
    const int d = moment.dayOfWeek;
    const bool overnight = t.overnight();
    const bool outsideDayWindow = n >= e || n < s;

    switch (t.frequency) {
    case kDaily:
        if (t.zeroLength()) {
            return false;
        }
        return overnight ? (e <= n && n < s) : outsideDayWindow;
    case kWeekly:
        if (overnight && d == (t.weekly + 1) % 7) {
            return n >= e;
        }
        if (!overnight && d == t.weekly) {
            return outsideDayWindow;
        }
        return false;
    case kWeekdays:
        if (d == 0) {
            return true;
        }
        if (d == 6) {
            return overnight ? n >= e : true;
        }
        if (overnight) {
            return d >= 2 && d <= 5 && e <= n && n < s;
        }
        return outsideDayWindow;
    default: // kWeekends
        if (t.zeroLength() && d >= 2 && d <= 5) {
            return true;
        }
        if (overnight) {
            switch (d) {
            case 1:
                return n >= e;
            case 0:
                return e <= n && n < s;
            case 6:
                return n < s;
            default:
                return false;
            }
        }
        return isWeekend(d) && outsideDayWindow;
    }
}

std::vector<SchedulerDecision> runSchedulerTick(const std::vector<Node*>& streams, Date now)
{
    std::vector<SchedulerDecision> decisions;
    for (Node* node : streams) {
        std::optional<Value> property = node->propertyForKey(np::NP_RECORDING_SCHEDULE);
        if (!property || !property->isArray()) {
            continue;
        }
        const Array list = property->toArray();
        if (node->timerStatus() == TimerStatus::Scheduled) {
            if (shouldStopScheduledRecording(list, node->activeSchedule(), now)) {
                node->setActiveSchedule(Value());
                decisions.push_back({node, SchedulerDecision::Kind::Stop, Dictionary()});
            }
            continue;
        }
        for (const Value& item : list) {
            if (!item.isDictionary()) {
                continue;
            }
            Dictionary entry = item.toDictionary();
            if (boolForKey(entry, schedkey::ACTIVE) && isScheduleDue(entry, now)) {
                node->setActiveSchedule(Value(entry));
                decisions.push_back({node, SchedulerDecision::Kind::Start, entry});
                break;
            }
        }
    }
    return decisions;
}

Scheduler::Scheduler(SchedulerActions& actions, StreamsProvider streams, Clock clock,
                     std::chrono::milliseconds interval)
    : m_actions(actions), m_streams(std::move(streams)), m_clock(std::move(clock)),
      m_queue(std::make_unique<QObject>())
{
    m_timer.setInterval(interval);
    m_timer.setSingleShot(false);
    QObject::connect(&m_timer, &QTimer::timeout, m_queue.get(), [this] { runScheduler(); });
}

Scheduler::~Scheduler() = default;

void Scheduler::startSchedulerDaemon()
{
    m_timer.start();
}

void Scheduler::stopSchedulerDaemon()
{
    m_timer.stop();
}

void Scheduler::runScheduler()
{
    for (const SchedulerDecision& decision : runSchedulerTick(m_streams(), m_clock())) {
        // A node removed from the library before the call runs is left alone.
        std::weak_ptr<Node> weak = decision.node->weak_from_this();
        auto call = [this, weak, kind = decision.kind, entry = decision.entry]() {
            NodePtr node = weak.lock();
            if (!node) {
                return;
            }
            if (kind == SchedulerDecision::Kind::Start) {
                m_actions.startScheduledRecording(*node, entry);
            } else {
                m_actions.stopScheduledRecording(*node);
            }
        };
        QMetaObject::invokeMethod(m_queue.get(), std::move(call), Qt::QueuedConnection);
    }
}

} // namespace orvanta
