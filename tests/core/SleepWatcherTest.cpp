// The sleep watcher against a stand-in for logind on a private message bus of its own, and
// the application's sleep handling through it: the wake-up helper built for tests sets its
// stand-in RTC wake alarm for the next scheduled recording.

#include "SleepWatcher.h"

#include "ApplicationCore.h"
#include "EventLoopWait.h"
#include "MainController.h"
#include "NodePropertyKeys.h"
#include "PrefsController.h"
#include "PrefsKeys.h"
#include "ScheduleEntry.h"
#include "ScheduleFixtures.h"
#include "StandInPkexec.h"
#include "TempDir.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

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

namespace {

const std::string kTool = ORVANTA_TEST_POWER_TOOL;
const std::string kStandInAlarm = ORVANTA_TEST_RTC_WAKEALARM;

class RecordingFrontEnd : public FrontEnd
{
public:
    void reloadItem(Node*) override {}
    void updateToolbarControls() override {}
    void setStatusLines(const StatusLines&) override {}
    void showAlert(const Alert& alert) override { alerts.push_back(alert.title); }
    bool askQuestion(const std::string& title, const std::string&, const std::string&,
                     const std::string&) override
    {
        questions.push_back(title);
        return answer;
    }
    std::vector<std::string> alerts;
    std::vector<std::string> questions;
    bool answer = true;
};

/// The application's parts in a folder of their own, with the helper's places there too.
struct WakeSetUp
{
    WakeSetUp()
    {
        writeFile(kStandInAlarm, "");
        places.templatePath = kTool;
        places.supportFolder = dir.file("data");
        places.temporaryFolder = dir.file("tmp");
        places.wakeAlarm = kStandInAlarm;
        places.pkexec = writeStandInPkexec(dir.file("pkexec"), dir.file("pkexec.log"));
        prefs.setPrefs(Value(dir.file("Music")), prefs::kDownloadPath);
    }

    ApplicationCoreOptions options()
    {
        ApplicationCoreOptions o;
        o.runStartupScript = false;
        o.watchSleep = false;
        o.supportFolder = dir.file("support");
        o.prefs = &prefs;
        o.wakeToolPlaces = places;
        return o;
    }

    /// What the one-time set-up leaves: the user's copy, root's and set-user-id, in a folder
    /// of the user's alone.
    void installPrivilegedCopy()
    {
        const std::string folder = places.supportFolder + "/Orvanta";
        std::filesystem::create_directories(folder);
        ::chmod(folder.c_str(), 0700);
        const std::string copy = folder + "/PowerEventTool";
        std::filesystem::copy_file(kTool, copy);
        struct stat shipped
        {};
        ::stat(kTool.c_str(), &shipped);
        const timespec times[2] = {shipped.st_atim, shipped.st_mtim};
        ::utimensat(AT_FDCWD, copy.c_str(), times, 0);
        ::chmod(copy.c_str(), 04550);
    }

    std::string userCopy() const { return places.supportFolder + "/Orvanta/PowerEventTool"; }

    TempDir dir;
    PowerToolPlaces places;
    PrefsController prefs{dir.file("prefs.plist")};
    RecordingFrontEnd front;
};

// An hour's recording from start.
Dictionary onceEntry(Date start)
{
    return test::onceEntry(start, Date{start.secondsSince1970 + 3600});
}

} // namespace

TEST_F(SleepWatcherTest, BeforeTheSystemSleepsTheWakeAlarmIsSetForTheNextSchedule)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the helper must be root's";
    FakeLogind logind;
    offerLogind(logind);
    WakeSetUp setUp;
    setUp.installPrivilegedCopy();
    ApplicationCoreOptions options = setUp.options();
    options.watchSleep = true;
    options.sleepBusAddress = m_address.toStdString();
    options.wakeFromSleep = true;
    options.verifyWakeFromSleep = true;
    const std::time_t now = std::time(nullptr);
    {
        ApplicationCore core(setUp.front, options);
        core.start();
        EXPECT_TRUE(setUp.front.questions.empty()) << "a valid helper needs no set-up";
        Node* station = core.library().addChild(Node::kStream, "Scheduled", "http://127.0.0.1:1/");
        station->setProperty(Value(Array{Value(onceEntry(Date{now + 600.0}))}),
                             np::NP_RECORDING_SCHEDULE);
        ASSERT_TRUE(spinUntil([&] { return core.sleepWatcher()->holdsInhibitor(); }));

        logind.announce(true);
        ASSERT_TRUE(spinUntil([&] { return logind.latestReleased(); }));
        EXPECT_EQ(readFile(kStandInAlarm), std::to_string(now + 600 - 45) + "\n")
            << "45 seconds before the recording";
        logind.announce(false);
        ASSERT_TRUE(spinUntil([&] { return core.sleepWatcher()->holdsInhibitor(); }));
        core.shutDown();
    }
    EXPECT_TRUE(setUp.front.alerts.empty());
    QDBusConnection::disconnectFromBus("orvanta-sleep");
}

TEST_F(SleepWatcherTest, AFailedWakeUpIsReportedOnlyOnceTheSystemIsAwake)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the helper must be root's";
    FakeLogind logind;
    offerLogind(logind);
    WakeSetUp setUp;
    setUp.installPrivilegedCopy();
    ApplicationCoreOptions options = setUp.options();
    options.watchSleep = true;
    options.sleepBusAddress = m_address.toStdString();
    options.wakeFromSleep = true;
    {
        ApplicationCore core(setUp.front, options);
        core.start();
        Node* station = core.library().addChild(Node::kStream, "Scheduled", "http://127.0.0.1:1/");
        station->setProperty(Value(Array{Value(onceEntry(Date{std::time(nullptr) + 600.0}))}),
                             np::NP_RECORDING_SCHEDULE);
        // The alarm cannot be written: the helper fails, and says so after the wake-up.
        std::filesystem::remove(kStandInAlarm);
        std::filesystem::create_directory(kStandInAlarm);
        ASSERT_TRUE(spinUntil([&] { return core.sleepWatcher()->holdsInhibitor(); }));
        logind.announce(true);
        ASSERT_TRUE(spinUntil([&] { return logind.latestReleased(); }));
        EXPECT_TRUE(setUp.front.alerts.empty()) << "nothing is shown as the system sleeps";
        logind.announce(false);
        ASSERT_TRUE(spinUntil([&] { return !setUp.front.alerts.empty(); }));
        EXPECT_EQ(setUp.front.alerts[0], "Wake From Sleep Error");
        core.shutDown();
    }
    std::filesystem::remove(kStandInAlarm);
    writeFile(kStandInAlarm, "");
    QDBusConnection::disconnectFromBus("orvanta-sleep");
}

TEST(WakeFromSleepSettingTest, TheSettingIsCheckedAgainstTheHelperAtStartUp)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the helper set up by root serves at once";
    {
        // On, without a helper: asked; "Later" turns the setting off.
        WakeSetUp setUp;
        setUp.front.answer = false;
        ApplicationCoreOptions options = setUp.options();
        options.verifyWakeFromSleep = true;
        ApplicationCore core(setUp.front, options);
        core.start();
        ASSERT_EQ(setUp.front.questions.size(), 1u);
        EXPECT_EQ(setUp.front.questions[0], "Wake Computer From Sleep Feature");
        EXPECT_FALSE(setUp.prefs.boolForKey(prefs::kWakeFromSleep));
        EXPECT_FALSE(std::filesystem::exists(setUp.userCopy()));
    }
    {
        // OK: the helper is installed and set up; the setting stays on. Turned off, the
        // helper goes.
        WakeSetUp setUp;
        ApplicationCoreOptions options = setUp.options();
        options.verifyWakeFromSleep = true;
        ApplicationCore core(setUp.front, options);
        core.start();
        EXPECT_EQ(setUp.front.questions.size(), 1u);
        EXPECT_TRUE(setUp.prefs.boolForKey(prefs::kWakeFromSleep));
        EXPECT_TRUE(std::filesystem::exists(setUp.userCopy()));
        EXPECT_TRUE(setUp.front.alerts.empty());

        setUp.prefs.setPrefs(Value(false), prefs::kWakeFromSleep);
        core.controller().toggleWakeFromSleep();
        EXPECT_FALSE(std::filesystem::exists(setUp.userCopy()));
    }
    {
        // A machine without an RTC wake alarm: nothing to ask, the setting is kept.
        WakeSetUp setUp;
        setUp.places.wakeAlarm = setUp.dir.file("no-rtc");
        ApplicationCoreOptions options = setUp.options();
        options.verifyWakeFromSleep = true;
        ApplicationCore core(setUp.front, options);
        core.start();
        EXPECT_TRUE(setUp.front.questions.empty());
        EXPECT_TRUE(setUp.prefs.boolForKey(prefs::kWakeFromSleep));
    }
}

#include "SleepWatcherTest.moc"
