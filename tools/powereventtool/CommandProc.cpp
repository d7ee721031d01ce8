#include "CommandProc.h"

#include "PowerToolMessage.h"
#include "PropertyList.h"

#include <ctime>
#include <string>

#include <syslog.h>
#include <unistd.h>

namespace orvanta::powertool {

int myCommandProc(const Authorisation& authorisation, const orvanta::Dictionary& request,
                  std::optional<orvanta::Dictionary>& response, RtcWakeAlarm& alarm)
{
    if (request.empty())
        return 0;
    const orvanta::Value* command = request.find(power::kCommandNameKey);
    const orvanta::Value* when = request.find(power::kDateTimeKey);
    if (!command || !command->isString() || !when || !when->isDate())
        return power::kParameterError;
    const std::string& name = command->toString();
    if (name == power::kScheduleWake)
        return schedulePowerEvent(when->toDate(), false, false, authorisation.caller, response,
                                  alarm);
    if (name == power::kCancelWake)
        return schedulePowerEvent(when->toDate(), true, false, authorisation.caller, response,
                                  alarm);
    if (name == power::kScheduleSleep)
        return schedulePowerEvent(when->toDate(), false, true, authorisation.caller, response,
                                  alarm);
    if (name == power::kCancelSleep)
        return schedulePowerEvent(when->toDate(), true, true, authorisation.caller, response,
                                  alarm);
    return 0;
}

int schedulePowerEvent(orvanta::Date when, bool cancel, bool sleep, uid_t caller,
                       std::optional<orvanta::Dictionary>& response, RtcWakeAlarm& alarm)
{
    response = orvanta::Dictionary();
    int result;
    if (sleep)
        result = power::kPowerUnsupported;
    else if (cancel)
        result = alarm.cancelWake(when, caller);
    else
        result = alarm.scheduleWake(when, std::time(nullptr), caller);
    syslog(LOG_NOTICE, "%s : %s, %s, eventTime = %s, user %u, res = %x", "SchedulePowerEvent",
           cancel ? "cancel" : "schedule", sleep ? "sleep" : "wake",
           orvanta::formatPropertyListDate(when).c_str(), static_cast<unsigned>(caller),
           static_cast<unsigned>(result));
    return result;
}

} // namespace orvanta::powertool
