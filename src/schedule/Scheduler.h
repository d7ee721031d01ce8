#pragma once

// The scheduler: every 5 seconds it looks at each stream's schedule list, starts a scheduled
// recording when an active entry's window opens and stops it when the window closes.
//
// The rules are free functions of (entry or streams, now) so they can be checked with any
// clock. Scheduler drives them from a QTimer and hands the decisions to SchedulerActions
// through queued calls, so they run after the tick has finished.
//
// Ownership: Scheduler does not own the actions object nor the nodes; it holds nodes weakly
// between a tick and its queued call (a node removed meanwhile is skipped, which needs the
// nodes to be owned by shared pointers, as the station tree's are).
// Thread: everything on the thread that owns the station tree (the main thread).

#include "Node.h"
#include "Value.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

namespace orvanta {

/// Implemented by the application core: what a start or stop decision does to a recording.
class SchedulerActions
{
public:
    virtual ~SchedulerActions() = default;
    /// entry is the node's active schedule (the dictionary of its list) at the tick.
    virtual void startScheduledRecording(Node& node, Dictionary entry) = 0;
    virtual void stopScheduledRecording(Node& node) = 0;
};

/// Start rule: whether an entry's window is open at now. ACTIVE is not looked at.
bool isScheduleDue(const Dictionary& entry, Date now);

/// Stop rule for a node's running scheduled recording with active entry active (null when
/// none). A spent once entry gets ACTIVE false. An unknown FREQUENCY is logged and keeps
/// the recording going.
bool shouldStopScheduledRecording(const Array& scheduleList, const Value& active, Date now);

struct SchedulerDecision
{
    enum class Kind { Start, Stop };
    Node* node = nullptr;
    Kind kind = Kind::Start;
    Dictionary entry; // the entry that starts; empty for Stop
};

/// One tick over streams in order: sets or clears each node's active schedule as decided
/// and returns the decisions for the caller to carry out afterwards.
std::vector<SchedulerDecision> runSchedulerTick(const std::vector<Node*>& streams, Date now);

class Scheduler
{
public:
    using StreamsProvider = std::function<std::vector<Node*>()>;
    using Clock = std::function<Date()>;

    static constexpr std::chrono::milliseconds kTickInterval{5000};

    Scheduler(SchedulerActions& actions, StreamsProvider streams, Clock clock = &Date::now,
              std::chrono::milliseconds interval = kTickInterval);
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    /// Starts the repeating timer (end of start-up); a second call restarts it.
    void startSchedulerDaemon();
    /// Stops the timer (first step of shut-down). Calls already queued still run; those
    /// of a destroyed scheduler do not.
    void stopSchedulerDaemon();
    bool isRunning() const { return m_timer.isActive(); }

    /// One tick now; its decisions are queued on this thread's event loop.
    void runScheduler();

private:
    SchedulerActions& m_actions;
    StreamsProvider m_streams;
    Clock m_clock;
    QTimer m_timer;
    // Context of the queued calls, so that they die with the scheduler.
    std::unique_ptr<QObject> m_queue;
};

} // namespace orvanta
