#pragma once

// The helper's commands: ScheduleWake and CancelWake on the RTC wake alarm; ScheduleSleep
// and CancelSleep answer "unsupported", since Linux schedules no sleep (the application
// never sends them).

#include "RtcWakeAlarm.h"
#include "Value.h"

#include <optional>
#include <sys/types.h>

namespace orvanta::powertool {

/// Who asked: the 32 bytes the application sent, and the user served (the one pkexec
/// names, or the set-user-id copy's owner).
struct Authorisation
{
    bool fromPlatform = false; // started by pkexec
    uid_t caller = 0;
    orvanta::Bytes token; // read from the socket
};

/// An empty request does nothing (result 0, no response): that is how the application sets
/// the helper up. A request without CommandName (a string) or DateTime (a date) is
/// kParameterError; an unknown command is 0 without a response.
int myCommandProc(const Authorisation& authorisation, const orvanta::Dictionary& request,
                  std::optional<orvanta::Dictionary>& response, RtcWakeAlarm& alarm);

/// One event for caller, through the alarm opened before the privileges went.
int schedulePowerEvent(orvanta::Date when, bool cancel, bool sleep, uid_t caller,
                       std::optional<orvanta::Dictionary>& response, RtcWakeAlarm& alarm);

} // namespace orvanta::powertool
