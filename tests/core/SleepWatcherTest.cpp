// The sleep watcher against a stand-in for logind on a private message bus of its own.

#include "SleepWatcher.h"

#include "EventLoopWait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <poll.h>
#include <unistd.h>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

/// logind as far as the watcher uses it: Inhibit hands out the write end of a pipe and keeps
/// the read end, so it sees when the inhibitor is let go.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override
    {
        for (int fd : held)
            ::close(fd);
    }

public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who,
                                                 const QString& why, const QString& mode)
    {
        requests.push_back((what + "|" + who + "|" + why + "|" + mode).toStdString());
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        held.push_back(fds[0]);
        QDBusUnixFileDescriptor handed(fds[1]); // keeps a duplicate
        ::close(fds[1]);
        return handed;
    }

public:
    /// Whether the holder of the latest inhibitor has closed it.
    bool latestReleased() const
    {
        if (held.empty())
            return false;
        pollfd probe{held.back(), POLLIN, 0};
        char byte;
        return ::poll(&probe, 1, 0) == 1 && ::read(held.back(), &byte, 1) == 0;
    }

    void announce(bool start) { emit PrepareForSleep(start); }

    std::vector<std::string> requests;
    std::vector<int> held;

signals:
    Q_SCRIPTABLE void PrepareForSleep(bool start);
};

/// A message bus of our own, so the test needs neither the system bus nor logind.
class SleepWatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(m_daemon.waitForStarted(5000));
        ASSERT_TRUE(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ASSERT_FALSE(m_address.isEmpty());
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus("watcher");
        QDBusConnection::disconnectFromBus("logind");
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

    QDBusConnection connection(const QString& name)
    {
        return QDBusConnection::connectToBus(m_address, name);
    }

    /// Puts the stand-in on the bus under logind's name.
    void offerLogind(FakeLogind& logind)
    {
        QDBusConnection bus = connection("logind");
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerService("org.freedesktop.login1"));
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/login1", &logind,
                                       QDBusConnection::ExportScriptableSlots |
                                           QDBusConnection::ExportScriptableSignals));
    }

    QProcess m_daemon;
    QString m_address;
};

} // namespace

TEST_F(SleepWatcherTest, HoldsADelayInhibitorAndLetsGoOnceRecordingsAreEnded)
{
    FakeLogind logind;
    offerLogind(logind);
    int announced = 0;
    bool inhibitorHeldDuringHandler = false;
    SleepWatcher* watcherPtr = nullptr;
    SleepWatcher watcher(
        [&] {
            ++announced;
            inhibitorHeldDuringHandler = watcherPtr->holdsInhibitor() && !logind.latestReleased();
        },
        connection("watcher"));
    watcherPtr = &watcher;
    ASSERT_TRUE(watcher.isWatching());
    ASSERT_TRUE(spinUntil([&] { return watcher.holdsInhibitor(); }));
    ASSERT_EQ(logind.requests.size(), 1u);
    EXPECT_EQ(logind.requests[0], "sleep|Orvanta|Ending recordings before the system sleeps|delay");

    // The sleep waits for the handler, then for us to let go.
    logind.announce(true);
    ASSERT_TRUE(spinUntil([&] { return announced == 1; }));
    EXPECT_TRUE(inhibitorHeldDuringHandler);
    EXPECT_FALSE(watcher.holdsInhibitor());
    EXPECT_TRUE(spinUntil([&] { return logind.latestReleased(); }));

    // Awake again: ready for the next sleep.
    logind.announce(false);
    ASSERT_TRUE(spinUntil([&] { return watcher.holdsInhibitor(); }));
    EXPECT_EQ(logind.requests.size(), 2u);
    EXPECT_EQ(announced, 1);
}

TEST_F(SleepWatcherTest, WithoutLogindOrABusNothingBreaks)
{
    int announced = 0;
    SleepWatcher withoutLogind([&] { ++announced; }, connection("watcher"));
    // The refused inhibitor is only logged; the watcher stays usable.
    spinUntil([] { return false; }, 300ms);
    EXPECT_FALSE(withoutLogind.holdsInhibitor());

    SleepWatcher withoutBus([&] { ++announced; },
                            QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
    EXPECT_FALSE(withoutBus.isWatching());
    EXPECT_FALSE(withoutBus.holdsInhibitor());
    EXPECT_EQ(announced, 0);
    QDBusConnection::disconnectFromBus("none");
}

#include "SleepWatcherTest.moc"
