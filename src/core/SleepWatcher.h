#pragma once

// Tells the application before the system sleeps, so recordings end with their files
// complete. logind announces a sleep with PrepareForSleep(true) and waits for the programs
// that hold a "delay" inhibitor; we hold one while awake, run the handler when the sleep is
// announced, then let go of it. After the wake-up (PrepareForSleep(false)) we take a new one.
//
// Without a system bus or logind nothing is watched (isWatching() is false); the program
// works as before, it only cannot prepare for sleep.
//
// Thread: main; every D-Bus call is asynchronous, so the event loop never waits on the bus.

#include <functional>

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace orvanta {

class SleepWatcher : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    /// willSleep runs on the main thread when the sleep is announced; the sleep waits for it
    /// (as long as logind allows, a few seconds).
    explicit SleepWatcher(Handler willSleep, QDBusConnection bus = QDBusConnection::systemBus());
    ~SleepWatcher() override;

    /// Runs on the main thread once the system is awake again.
    void setWakeHandler(Handler didWake) { m_didWake = std::move(didWake); }
    /// Subscribed to logind's announcement.
    bool isWatching() const { return m_watching; }
    /// Holding the delay inhibitor (the sleep waits for us).
    bool holdsInhibitor() const { return m_inhibitor.isValid(); }

private slots:
    void prepareForSleep(bool start);

private:
    void takeInhibitor();

    Handler m_willSleep;
    Handler m_didWake;
    QDBusConnection m_bus;
    QDBusUnixFileDescriptor m_inhibitor;
    bool m_watching = false;
    bool m_inhibitorRequested = false;
};

} // namespace orvanta
