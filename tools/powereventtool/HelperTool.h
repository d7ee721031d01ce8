#pragma once

// One run of the helper: it serves one request on its input and output (the same socket)
// and ends.
//
// Started by the application with no arguments, it reads the application's 32 opaque bytes
// and one request. Set-user-id root (a user's copy), it serves the user who owns it, at
// the place it was put, and nobody else; started by root (pkexec, for the system copy), the
// user pkexec names. Unprivileged, it refuses: the application sets a copy up through
// pkexec.
//
// With "--self-repair FOLDER" (an installed template under pkexec, as root) it writes its
// process id, copies itself into FOLDER as the user's privileged copy, and then serves the
// request that follows (no opaque bytes).
//
// Every privileged run opens the wake alarm first, then gives its privileges up for good
// (to the user served) before it reads a byte of the request.

#include "CommandProc.h"
#include "ToolPlaces.h"

#include <optional>
#include <string>

namespace orvanta::powertool {

using CommandProc = int (*)(const Authorisation&, const orvanta::Dictionary&,
                            std::optional<orvanta::Dictionary>&, RtcWakeAlarm&);

/// The mode a privileged copy has: set-user-id, read and execute for its owner (root) and
/// its group (the user's primary group), nothing for others.
inline constexpr unsigned kPrivilegedMode = 04550;
/// The name of a user's copy.
inline constexpr const char* kUserCopyName = "PowerEventTool";

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

/// As root: copies the running template, root's on a path only root can change, into
/// folder (the caller's alone, on a path nobody else can change, on a file system that
/// honours set-user-id) as a new file, root's with the caller's primary group and
/// kPrivilegedMode. 0, or kPrivilegesRefused (the system log says why), or the errno.
int installUserCopy(uid_t caller, const std::string& folder, const ToolPlaces& places);

/// Whether the running set-user-id copy may serve caller (see above).
bool servesCallerHere(uid_t caller, const ToolPlaces& places);

/// Gives up root for good: the caller's user, primary group and no other groups. Root
/// itself keeps what it has.
int dropPrivilegesFor(uid_t caller);

} // namespace orvanta::powertool
