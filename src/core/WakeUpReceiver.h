#pragma once

// The main-thread end of a wake-up: a queued call to wakeUp() runs the callback on the
// thread this object lives on. Kept apart from the bridge so its header stays small.
//
// Thread: lives on the thread that created it; post() is thread-safe.

#include <functional>

#include <QObject>

namespace orvanta {

class WakeUpReceiver : public QObject
{
    Q_OBJECT

public:
    explicit WakeUpReceiver(std::function<void()> callback) : m_callback(std::move(callback)) {}

    /// Queues one call of the callback on this object's thread; never blocks.
    void post() { QMetaObject::invokeMethod(this, "wakeUp", Qt::QueuedConnection); }

    Q_INVOKABLE void wakeUp() { m_callback(); }

private:
    std::function<void()> m_callback;
};

} // namespace orvanta
