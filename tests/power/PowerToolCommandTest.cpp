// The helper's commands and request handling in-process, with a file standing in for the
// RTC wake alarm.

#include "CommandProc.h"
#include "HelperTool.h"
#include "PowerToolMessage.h"
#include "RtcWakeAlarm.h"
#include "TempDir.h"

#include <cstdlib>
#include <ctime>

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::power;
using namespace orvanta::powertool;
using orvanta::test::readFile;
using orvanta::test::TempDir;
using orvanta::test::writeFile;

namespace {

class PowerToolCommandTest : public ::testing::Test
{
protected:
    RtcWakeAlarm alarm()
    {
        return RtcWakeAlarm(dir.file("wakealarm"), dir.file("adjtime"), dir.file("state/owner"));
    }
    void setAlarm(const std::string& text) { writeFile(dir.file("wakealarm"), text); }
    std::string alarmText() { return readFile(dir.file("wakealarm")); }

    TempDir dir;
    const std::time_t now = std::time(nullptr);
};

/// An RTC that refuses one value, as a real one refuses a time it cannot hold.
class RefusingAlarm : public RtcWakeAlarm
{
public:
    RefusingAlarm(const TempDir& dir, std::int64_t refused)
        : RtcWakeAlarm(dir.file("wakealarm"), dir.file("adjtime"), dir.file("state/owner")),
          m_refused(refused)
    {}

protected:
    bool write(std::int64_t value) const override
    {
        return value != m_refused && RtcWakeAlarm::write(value);
    }

private:
    std::int64_t m_refused;
};

Dictionary request(std::string_view command, Date when)
{
    return Dictionary{{kCommandNameKey, Value(std::string(command))}, {kDateTimeKey, Value(when)}};
}

} // namespace

TEST_F(PowerToolCommandTest, AWakeIsSetWhenNoneIsAndAnEarlierOneStillAheadIsKept)
{
    setAlarm("");
    RtcWakeAlarm rtc = alarm();
    EXPECT_EQ(rtc.scheduleWake(Date{now + 600.0}, now, 0), 0);
    EXPECT_EQ(alarmText(), std::to_string(now + 600) + "\n");

    EXPECT_EQ(rtc.scheduleWake(Date{now + 900.0}, now, 0), 0) << "the earlier wake serves both";
    EXPECT_EQ(rtc.currentAlarm(), now + 600);

    EXPECT_EQ(rtc.scheduleWake(Date{now + 300.4}, now, 0), 0) << "an earlier one replaces it";
    EXPECT_EQ(rtc.currentAlarm(), now + 301) << "whole seconds, never early";

    setAlarm(std::to_string(now - 60) + "\n"); // an alarm that went off already
    EXPECT_EQ(rtc.scheduleWake(Date{now + 900.0}, now, 0), 0);
    EXPECT_EQ(rtc.currentAlarm(), now + 900);

    EXPECT_EQ(rtc.scheduleWake(Date{now - 5.0}, now, 0), kPowerBadArgument);
    EXPECT_EQ(rtc.currentAlarm(), now + 900) << "a time in the past changes nothing";
    const double pastAYear = static_cast<double>(now + RtcWakeAlarm::kLatestWake + 60);
    EXPECT_EQ(rtc.scheduleWake(Date{pastAYear}, now, 0), kPowerBadArgument);
    EXPECT_EQ(rtc.scheduleWake(Date{1e300}, now, 0), kPowerBadArgument) << "no overflow either";
    EXPECT_EQ(rtc.currentAlarm(), now + 900);
}

TEST_F(PowerToolCommandTest, AWakeTheRtcRefusesLeavesTheOneBeforeInPlace)
{
    setAlarm(std::to_string(now + 900) + "\n");
    RefusingAlarm rtc(dir, now + 300);
    EXPECT_EQ(rtc.scheduleWake(Date{now + 300.0}, now, 0), kPowerError);
    EXPECT_EQ(rtc.currentAlarm(), now + 900) << "the wake set before still counts";
}

TEST_F(PowerToolCommandTest, ACancelClearsOnlyTheAlarmItNames)
{
    setAlarm(std::to_string(now + 600) + "\n");
    RtcWakeAlarm rtc = alarm();
    EXPECT_EQ(rtc.cancelWake(Date{now + 601.0}, 0), kPowerNotFound);
    EXPECT_EQ(rtc.currentAlarm(), now + 600);
    EXPECT_EQ(rtc.cancelWake(Date{now + 600.0}, 0), 0);
    EXPECT_FALSE(rtc.currentAlarm().has_value());
    EXPECT_EQ(rtc.cancelWake(Date{now + 600.0}, 0), kPowerNotFound) << "nothing is set any more";
}

TEST_F(PowerToolCommandTest, AUserCancelsOnlyAWakeTheySet)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "the record of who set the alarm is root's";
    setAlarm("");
    RtcWakeAlarm rtc = alarm();
    ASSERT_EQ(rtc.scheduleWake(Date{now + 600.0}, now, 1001), 0);
    EXPECT_EQ(rtc.cancelWake(Date{now + 600.0}, 1002), kPowerNotFound);
    EXPECT_EQ(rtc.currentAlarm(), now + 600) << "another user's wake stays";
    EXPECT_EQ(rtc.cancelWake(Date{now + 600.0}, 1001), 0);

    setAlarm(std::to_string(now + 700) + "\n"); // set by something else (rtcwake, say)
    EXPECT_EQ(rtc.cancelWake(Date{now + 700.0}, 1001), kPowerNotFound);
    EXPECT_EQ(rtc.cancelWake(Date{now + 700.0}, 0), 0) << "root may clear any";
}

TEST_F(PowerToolCommandTest, AnRtcOnLocalTimeGetsTheLocalWallClockSeconds)
{
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "EST5", 1); // five hours behind UTC, no summer time
    ::tzset();
    writeFile(dir.file("adjtime"), "0.0 0 0.0\n0\nLOCAL\n");
    setAlarm("");
    {
        RtcWakeAlarm rtc = alarm();
        EXPECT_EQ(rtc.rtcSecondsFor(Date{1'800'000'000}), 1'800'000'000 - 5 * 3600);
        EXPECT_EQ(rtc.scheduleWake(Date{now + 600.0}, now, 0), 0);
        EXPECT_EQ(rtc.currentAlarm(), now + 600 - 5 * 3600);
        EXPECT_EQ(rtc.cancelWake(Date{now + 600.0}, 0), 0);
    }

    writeFile(dir.file("adjtime"), "0.0 0 0.0\n0\nUTC\n");
    EXPECT_EQ(alarm().rtcSecondsFor(Date{1'800'000'000}), 1'800'000'000);
    if (previous)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST_F(PowerToolCommandTest, CommandsAreCheckedBeforeAnythingIsDone)
{
    setAlarm("");
    RtcWakeAlarm rtc = alarm();
    const Authorisation who;
    std::optional<Dictionary> response;
    EXPECT_EQ(myCommandProc(who, Dictionary{}, response, rtc), 0);
    EXPECT_FALSE(response.has_value()) << "an empty request only sets the helper up";

    const Date later{now + 600.0};
    EXPECT_EQ(myCommandProc(who, Dictionary{{kCommandNameKey, Value(std::string("ScheduleWake"))}},
                            response, rtc),
              kParameterError);
    EXPECT_EQ(myCommandProc(who, Dictionary{{kDateTimeKey, Value(later)}}, response, rtc),
              kParameterError);
    EXPECT_EQ(myCommandProc(who,
                            Dictionary{{kCommandNameKey, Value(std::string("ScheduleWake"))},
                                       {kDateTimeKey, Value(now + 600.0)}},
                            response, rtc),
              kParameterError)
        << "a number is no date";
    EXPECT_EQ(myCommandProc(who, request("Reboot", later), response, rtc), 0);
    EXPECT_FALSE(response.has_value());
    EXPECT_EQ(alarmText(), "") << "nothing was scheduled";

    EXPECT_EQ(myCommandProc(who, request(kScheduleSleep, later), response, rtc), kPowerUnsupported);
    EXPECT_EQ(myCommandProc(who, request(kCancelSleep, later), response, rtc), kPowerUnsupported);
    EXPECT_EQ(myCommandProc(who, request(kScheduleWake, later), response, rtc), 0);
    EXPECT_TRUE(response.has_value());
    EXPECT_EQ(rtc.currentAlarm(), now + 600);
    EXPECT_EQ(myCommandProc(who, request(kCancelWake, later), response, rtc), 0);
    EXPECT_FALSE(rtc.currentAlarm().has_value());
}

TEST_F(PowerToolCommandTest, TheAnswerCarriesTheResultUnlessTheCommandGaveOne)
{
    setAlarm("");
    RtcWakeAlarm rtc = alarm();
    auto exchange = [&](const Dictionary& sent, CommandProc proc, Dictionary& answer) {
        int pair[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        EXPECT_EQ(writeDictionaryToDescriptor(pair[0], sent), 0);
        const int result = readAndDispatchCommand(pair[1], pair[1], Authorisation{}, proc, rtc);
        ::shutdown(pair[1], SHUT_WR);
        const int read = copyDictionaryFromDescriptor(pair[0], answer);
        ::close(pair[0]);
        ::close(pair[1]);
        return result == 0 ? read : result;
    };
    Dictionary answer;
    ASSERT_EQ(exchange(request(kCancelWake, Date{now + 60.0}), &myCommandProc, answer), 0);
    EXPECT_EQ(getErrorFromResponse(answer), kPowerNotFound);

    CommandProc ownAnswer = [](const Authorisation&, const Dictionary&,
                               std::optional<Dictionary>& response, RtcWakeAlarm&) {
        response = Dictionary{{kErrorNumberKey, Value(7)}, {"extra", Value(1)}};
        return 3;
    };
    ASSERT_EQ(exchange(Dictionary{{"a", Value(1)}}, ownAnswer, answer), 0);
    EXPECT_EQ(getErrorFromResponse(answer), 7) << "kept as the command gave it";
    EXPECT_EQ(answer.get("extra").toInteger(), 1);

    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const std::uint32_t zero = 0;
    ASSERT_EQ(writeFully(pair[0], &zero, sizeof zero), 0);
    EXPECT_EQ(readAndDispatchCommand(pair[1], pair[1], Authorisation{}, &myCommandProc, rtc),
              kParameterError);
    ::shutdown(pair[1], SHUT_WR);
    char byte;
    EXPECT_EQ(::read(pair[0], &byte, 1), 0) << "an unreadable request gets no answer";
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(PowerToolAuthorisationTest, OnlyAWholeNumberFromPkexecCounts)
{
    EXPECT_FALSE(authorisationFromPlatform(nullptr).has_value());
    EXPECT_FALSE(authorisationFromPlatform("").has_value());
    EXPECT_FALSE(authorisationFromPlatform("10x").has_value());
    EXPECT_FALSE(authorisationFromPlatform("-1").has_value());
    EXPECT_FALSE(authorisationFromPlatform("99999999999").has_value());
    const auto pkexec = authorisationFromPlatform("1000");
    ASSERT_TRUE(pkexec.has_value());
    EXPECT_TRUE(pkexec->fromPlatform);
    EXPECT_EQ(pkexec->caller, 1000u);
}
