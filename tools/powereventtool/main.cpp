// The wake-up helper: one request per run, on a socket that is its standard input and
// output. Its places are compiled in (the test build points them at stand-ins).

#include "HelperTool.h"
#include "InheritedEnvironment.h"
#include "PowerToolMessage.h"

#include <csignal>
#include <cstdlib>

#include <syslog.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
// A set-user-id process cannot be traced, and the leak checker traces its own threads.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}
#endif

#ifndef ORVANTA_TOOL_WAKEALARM
#error "ORVANTA_TOOL_WAKEALARM must name the RTC wake alarm"
#endif

int main(int argc, char** argv)
{
    using namespace orvanta::powertool;
    // pkexec tells whom it started us for, and only a run root started is pkexec's: a
    // set-user-id run has the environment its user gave it. The environment goes next.
    std::optional<Authorisation> platform;
    if (::getuid() == 0)
        platform = authorisationFromPlatform(std::getenv("PKEXEC_UID"));
    const bool privileged = ::geteuid() == 0;
    if (const int error = destroyInheritedEnvironment(privileged))
        return orvanta::power::errorToHelperToolResult(error);
    std::signal(SIGPIPE, SIG_IGN);
    openlog("PowerEventTool", LOG_PID, LOG_USER);

    const ToolPlaces places{ORVANTA_TOOL_WAKEALARM,
                            ORVANTA_TOOL_ADJTIME,
                            ORVANTA_TOOL_ALARM_RECORD,
                            {ORVANTA_TOOL_TEMPLATES}};
    const int error = helperToolMain(0, 1, std::move(platform), &myCommandProc, argc, argv, places);
    if (error != 0)
        syslog(LOG_NOTICE, "PowerEventTool : ended with error %d", error);
    closelog();
    return orvanta::power::errorToHelperToolResult(error);
}
