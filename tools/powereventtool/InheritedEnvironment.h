#pragma once

// What a set-user-id program must not trust from whoever started it: the environment,
// open descriptors past 0-2, signal dispositions and masks, the file-creation mask, the
// working folder, interval timers, and resource limits that could make it fail half-way.

namespace orvanta::powertool {

/// 0 or the errno of the first step that failed. privileged: we run as root (hard limits
/// are set too, and the process limit, which on Linux counts every process of the user,
/// applies only to a run that starts no other).
int destroyInheritedEnvironment(bool privileged);

} // namespace orvanta::powertool
