#pragma once

// SIGINT and SIGTERM (a terminal's Ctrl-C, the session ending) become a call on the main
// thread, so the program quits in order, saving the library, instead of dying mid-write.
//
// One instance per process. Thread: main; the signal handler only writes a byte.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace orvanta::app {

class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(std::function<void()> onStop);
    ~StopSignals() override;

private:
    std::function<void()> m_onStop;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orvanta::app
