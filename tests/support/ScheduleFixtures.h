#pragma once

// Schedule entries the tests give stations.

#include "ScheduleEntry.h"
#include "Value.h"

namespace orvanta::test {

/// An active entry that records once, from start to stop, with an empty name.
inline Dictionary onceEntry(Date start, Date stop)
{
    return Dictionary{{schedkey::NAME, Value("")},      {schedkey::DESCRIPTION, Value("")},
                      {schedkey::ACTIVE, Value(true)},  {schedkey::FREQUENCY, Value(0)},
                      {schedkey::STARTHOURS, Value(0)}, {schedkey::STARTMINS, Value(0)},
                      {schedkey::STOPHOURS, Value(0)},  {schedkey::STOPMINS, Value(0)},
                      {schedkey::START, Value(start)},  {schedkey::STOP, Value(stop)}};
}

} // namespace orvanta::test
