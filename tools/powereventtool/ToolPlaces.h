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
    /// Root's record of who set the alarm (its folder is made when missing).
    std::string alarmRecord;
    /// The installed templates: the only programs that set a user's copy up, and what a
    /// user's copy must still match to serve.
    std::vector<std::string> templates;
};

} // namespace orvanta::powertool
