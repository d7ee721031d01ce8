#pragma once

// Where the helper finds what it works with. The installed helper has them compiled in
// (main.cpp); nothing in its environment or arguments can move them.

#include <string>
#include <vector>

namespace orvanta::powertool {

struct ToolPlaces
{
    /// The RTC's wake alarm: epoch seconds, "0" clears it, empty when none is set.
    std::string wakeAlarm;
    /// Says on its third line whether the RTC keeps UTC or local time.
    std::string adjtime;
    /// The shipped templates a user's copy must match before it is made privileged.
    std::vector<std::string> templates;
    /// Starts a program with administrator rights after asking.
    std::string pkexec;
};

} // namespace orvanta::powertool
