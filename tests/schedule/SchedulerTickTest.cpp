// Scheduler ticks over whole weeks with a fake clock, and the timer-driven scheduler with
// its queued actions.

#include "ScheduleTestSupport.h"
#include "Scheduler.h"

#include "DictionaryExtensions.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <string>
#include <vector>

namespace orvanta {
namespace {

using namespace orvanta::test;

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string label(Date date, const char* what)
{
    const LocalMoment m = LocalMoment::fromDate(date);
    char text[32] = {};
    std::snprintf(text, sizeof text, "%s %02d:%02d %s", kDayNames[m.dayOfWeek],
                  static_cast<int>(m.minuteOfDay / 60), static_cast<int>(m.minuteOfDay % 60), what);
    return text;
}

// Ticks every minute from 'from' for 'minutes', carrying out each tick's decisions after it
// as the core does (start: timerStatus 1; stop: timerStatus 0). Returns "Day hh:mm start" /
// "... stop" events.
std::vector<std::string> simulate(Node& node, Date from, int minutes)
{
    std::vector<std::string> events;
    std::vector<Node*> streams{&node};
    for (int i = 0; i < minutes; ++i) {
        const Date now{from.secondsSince1970 + i * 60.0};
        for (const SchedulerDecision& decision : runSchedulerTick(streams, now)) {
            const bool start = decision.kind == SchedulerDecision::Kind::Start;
            decision.node->setTimerStatus(start ? TimerStatus::Scheduled : TimerStatus::Off);
            events.push_back(label(now, start ? "start" : "stop"));
        }
    }
    return events;
}

constexpr int kWeekMinutes = 8 * 24 * 60; // Sunday 00:00 to the next Monday 00:00

class SchedulerTick : public ::testing::Test
{
protected:
    void SetUp() override { useBerlinTime(); }
};

struct WeekCase
{
    const char* what;
    Dictionary entry;
    std::vector<std::string> events;
};

TEST_F(SchedulerTick, WindowsOverAWeek)
{
    const std::vector<WeekCase> cases = {
        {"weekly Saturday 23:00-01:00",
         recurring(kWeekly, 23, 0, 1, 0, 6),
         {"Sun 00:00 start", "Sun 01:00 stop", "Sat 23:00 start", "Sun 01:00 stop"}},
        {"weekdays 20:00-21:00",
         recurring(kWeekdays, 20, 0, 21, 0),
         {"Mon 20:00 start", "Mon 21:00 stop", "Tue 20:00 start", "Tue 21:00 stop",
          "Wed 20:00 start", "Wed 21:00 stop", "Thu 20:00 start", "Thu 21:00 stop",
          "Fri 20:00 start", "Fri 21:00 stop"}},
        {"weekdays 23:00-01:00",
         recurring(kWeekdays, 23, 0, 1, 0),
         {"Mon 23:00 start", "Tue 01:00 stop", "Tue 23:00 start", "Wed 01:00 stop",
          "Wed 23:00 start", "Thu 01:00 stop", "Thu 23:00 start", "Fri 01:00 stop",
          "Fri 23:00 start", "Sat 01:00 stop"}},
        {"weekends 23:00-01:00",
         recurring(kWeekends, 23, 0, 1, 0),
         {"Sun 00:00 start", "Sun 01:00 stop", "Sun 23:00 start", "Mon 01:00 stop",
          "Sat 23:00 start", "Sun 01:00 stop", "Sun 23:00 start"}},
        {"weekends 10:00-10:00 (a day from Saturday 10:00 to Monday 10:00)",
         recurring(kWeekends, 10, 0, 10, 0),
         {"Sun 00:00 start", "Mon 10:00 stop", "Sat 10:00 start"}},
        {"weekdays 10:00-10:00",
         recurring(kWeekdays, 10, 0, 10, 0),
         {"Mon 10:00 start", "Sat 10:00 stop"}},
        {"weekly Tuesday 10:00-10:00",
         recurring(kWeekly, 10, 0, 10, 0, 2),
         {"Tue 10:00 start", "Wed 10:00 stop"}},
        {"daily 00:00-00:00 never stops", recurring(kDaily, 0, 0, 0, 0), {"Sun 00:00 start"}},
    };
    for (const WeekCase& c : cases) {
        NodePtr node = streamWithSchedule(Array{Value(c.entry)});
        EXPECT_EQ(simulate(*node, inWeek(kSunday, 0, 0), kWeekMinutes), c.events) << c.what;
    }
}

TEST_F(SchedulerTick, DailyOvernightIsNotStartedAfterMidnight)
{
    NodePtr node = streamWithSchedule(Array{Value(recurring(kDaily, 22, 0, 2, 0))});
    // Started at 01:00: nothing until 22:00, which then runs through 01:59.
    EXPECT_EQ(simulate(*node, inWeek(kMonday, 1, 0), 26 * 60),
              (std::vector<std::string>{"Mon 22:00 start", "Tue 02:00 stop"}));
}

TEST_F(SchedulerTick, FirstDueActiveEntryWinsAndActiveScheduleIsTheListObject)
{
    Dictionary inactive = recurring(kDaily, 0, 0, 0, 0);
    setBool(inactive, false, schedkey::ACTIVE);
    Dictionary first = recurring(kDaily, 9, 0, 12, 0);
    Dictionary second = recurring(kDaily, 10, 0, 11, 0);
    NodePtr node = streamWithSchedule(Array{Value(inactive), Value(first), Value(second)});
    std::vector<Node*> streams{node.get()};

    auto decisions = runSchedulerTick(streams, inWeek(kMonday, 10, 30));
    ASSERT_EQ(decisions.size(), 1u);
    EXPECT_EQ(decisions[0].kind, SchedulerDecision::Kind::Start);
    EXPECT_TRUE(decisions[0].entry.isSameObject(first));
    EXPECT_TRUE(node->activeSchedule().toDictionary().isSameObject(first));

    // Nothing is started again while the scheduled recording runs.
    node->setTimerStatus(TimerStatus::Scheduled);
    EXPECT_TRUE(runSchedulerTick(streams, inWeek(kMonday, 10, 31)).empty());
    EXPECT_TRUE(node->activeSchedule().isDictionary());
}

TEST_F(SchedulerTick, RenamingTheRunningEntryStopsThenRestarts)
{
    NodePtr node = streamWithSchedule(Array{Value(recurring(kDaily, 9, 0, 12, 0))});
    std::vector<Node*> streams{node.get()};
    ASSERT_EQ(runSchedulerTick(streams, inWeek(kMonday, 10, 0)).size(), 1u);
    node->setTimerStatus(TimerStatus::Scheduled);

    // The editor replaces the entry with a new dictionary.
    Dictionary renamed = recurring(kDaily, 9, 0, 12, 0);
    renamed.set(schedkey::NAME, Value("News"));
    node->propertyForKey(np::NP_RECORDING_SCHEDULE)->toArray().at(0) = Value(renamed);

    auto stop = runSchedulerTick(streams, inWeek(kMonday, 10, 1));
    ASSERT_EQ(stop.size(), 1u);
    EXPECT_EQ(stop[0].kind, SchedulerDecision::Kind::Stop);
    EXPECT_TRUE(node->activeSchedule().isNull());
    node->setTimerStatus(TimerStatus::Off);

    auto start = runSchedulerTick(streams, inWeek(kMonday, 10, 2));
    ASSERT_EQ(start.size(), 1u);
    EXPECT_TRUE(start[0].entry.isSameObject(renamed));
}

TEST_F(SchedulerTick, OnceEntryRecordsOnceAndIsSpent)
{
    Dictionary entry = once(local(2026, 1, 5, 10, 0, 30), local(2026, 1, 5, 10, 2, 30));
    NodePtr node = streamWithSchedule(Array{Value(entry)});
    EXPECT_EQ(simulate(*node, local(2026, 1, 5, 9, 58, 30), 24 * 60),
              (std::vector<std::string>{"Mon 10:00 start", "Mon 10:02 stop"}));
    EXPECT_FALSE(boolForKey(entry, schedkey::ACTIVE));
}

TEST_F(SchedulerTick, NodesWithoutScheduleAreSkipped)
{
    NodePtr plain = Node::nodeWithName("Plain", "http://example.invalid/", Node::kStream);
    NodePtr scheduled = streamWithSchedule(Array{Value(recurring(kDaily, 0, 0, 0, 0))});
    std::vector<Node*> streams{plain.get(), scheduled.get()};
    auto decisions = runSchedulerTick(streams, inWeek(kMonday, 10, 0));
    ASSERT_EQ(decisions.size(), 1u);
    EXPECT_EQ(decisions[0].node, scheduled.get());
    EXPECT_TRUE(plain->activeSchedule().isNull());
}

class RecordingActions : public SchedulerActions
{
public:
    void startScheduledRecording(Node& node, Dictionary entry) override
    {
        calls.push_back("start " + node.name());
        EXPECT_TRUE(node.activeSchedule().toDictionary().isSameObject(entry));
        node.setTimerStatus(TimerStatus::Scheduled);
    }
    void stopScheduledRecording(Node& node) override
    {
        calls.push_back("stop " + node.name());
        node.setTimerStatus(TimerStatus::Off);
    }
    std::vector<std::string> calls;
};

TEST_F(SchedulerTick, ActionsRunQueuedAfterTheTick)
{
    NodePtr node = streamWithSchedule(Array{Value(recurring(kDaily, 9, 0, 12, 0))});
    Date now = inWeek(kMonday, 9, 0);
    RecordingActions actions;
    Scheduler scheduler(
        actions, [&node] { return std::vector<Node*>{node.get()}; }, [&now] { return now; });

    scheduler.runScheduler();
    EXPECT_TRUE(actions.calls.empty()) << "not called from inside the tick";
    QCoreApplication::processEvents();
    EXPECT_EQ(actions.calls, std::vector<std::string>{"start Station"});

    now = inWeek(kMonday, 12, 0);
    scheduler.runScheduler();
    QCoreApplication::processEvents();
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"start Station", "stop Station"}));
}

TEST_F(SchedulerTick, QueuedCallForARemovedNodeIsDropped)
{
    NodePtr node = streamWithSchedule(Array{Value(recurring(kDaily, 0, 0, 0, 0))});
    RecordingActions actions;
    Scheduler scheduler(
        actions, [&node] { return std::vector<Node*>{node.get()}; },
        [] { return inWeek(kMonday, 9, 0); });
    scheduler.runScheduler();
    node.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(actions.calls.empty());
}

TEST_F(SchedulerTick, TimerTicksUntilStopped)
{
    NodePtr node = streamWithSchedule(Array{Value(recurring(kDaily, 0, 0, 0, 0))});
    RecordingActions actions;
    int ticks = 0;
    Scheduler scheduler(
        actions, [&node] { return std::vector<Node*>{node.get()}; },
        [&ticks] {
            ++ticks;
            return inWeek(kMonday, 9, 0);
        },
        std::chrono::milliseconds(10));
    scheduler.startSchedulerDaemon();
    EXPECT_TRUE(scheduler.isRunning());
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    scheduler.stopSchedulerDaemon();
    EXPECT_FALSE(scheduler.isRunning());
    EXPECT_GE(ticks, 2);
    // The first tick started the recording; later ticks saw timerStatus 1 and left it.
    EXPECT_EQ(actions.calls, std::vector<std::string>{"start Station"});

    const int ticksWhenStopped = ticks;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(ticks, ticksWhenStopped);
}

} // namespace
} // namespace orvanta
