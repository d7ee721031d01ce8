#pragma once

// One run of the helper: it serves one request on its input and output (the same socket)
// and ends.
//
// Started by the application with no arguments, it reads the application's 32 opaque bytes
// and one request. Privileged (set-user-id root), it serves the request itself, for the user
// whose folder holds it and for nobody else. Not yet privileged, it starts itself through
// pkexec with "--self-repair" and passes the request and the answer through.
// With "--self-repair" (under pkexec, as root) it writes its process id, makes its own file
// root's and set-user-id, and then serves the request.

#include "CommandProc.h"
#include "ToolPlaces.h"

#include <optional>
#include <string>

namespace orvanta::powertool {

using CommandProc = int (*)(const Authorisation&, const orvanta::Dictionary&,
                            std::optional<orvanta::Dictionary>&, RtcWakeAlarm&);

/// The mode a privileged copy has: set-user-id, read and execute for its owner (root) and
/// its group (the user's), nothing for others.
inline constexpr unsigned kPrivilegedMode = 04550;

/// The user pkexec started us for, when it did.
std::optional<Authorisation> authorisationFromPlatform(const char* pkexecUid);

int helperToolMain(int input, int output, std::optional<Authorisation> platform, CommandProc proc,
                   int argc, const char* const* argv, const ToolPlaces& places);

/// Reads one request, runs proc with it and writes the response with the result under the
/// error-number key. A request that cannot be read is answered with nothing.
int readAndDispatchCommand(int input, int output, const Authorisation& authorisation,
                           CommandProc proc, RtcWakeAlarm& alarm);
/// The second half: runs proc with a request already read and writes the response.
int dispatchCommand(int output, const Authorisation& authorisation,
                    const orvanta::Dictionary& request, CommandProc proc, RtcWakeAlarm& alarm);

/// Makes the running executable root's with kPrivilegedMode, after checking through one
/// descriptor that it is the file being run, a plain file with one link, of a shipped
/// template's size and time, in a folder that belongs to caller. 0, or kPrivilegesRefused.
int repairOwnExecutable(uid_t caller, const ToolPlaces& places);

} // namespace orvanta::powertool
