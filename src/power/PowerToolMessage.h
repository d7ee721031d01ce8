#pragma once

// What the application and the wake-up helper say to each other over their socket: a
// 4-byte length in host byte order, then that many bytes of an XML property list whose root
// is a dictionary. Descriptors may follow a message, each as one "D" byte carrying the
// descriptor as SCM_RIGHTS; the message lists their numbers under kDescriptorsKey and the
// receiver replaces the numbers by the descriptors it got.
//
// Plain POSIX and the property-list code: the helper links this and nothing of Qt.
// Thread-safe: no shared state.

#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvanta::power {

// Request and response keys.
inline constexpr std::string_view kCommandNameKey = "CommandName";
inline constexpr std::string_view kDateTimeKey = "DateTime";
inline constexpr std::string_view kErrorNumberKey =
    "com.apple.dts.MoreIsBetter.MoreSec.ErrorNumber";
inline constexpr std::string_view kDescriptorsKey = "com.apple.dts.MoreIsBetter.MoreSec.FDs";

// Commands.
inline constexpr std::string_view kScheduleWake = "ScheduleWake";
inline constexpr std::string_view kCancelWake = "CancelWake";
inline constexpr std::string_view kScheduleSleep = "ScheduleSleep";
inline constexpr std::string_view kCancelSleep = "CancelSleep";

// Error codes of the protocol; system error numbers (errno) pass through as they are.
inline constexpr int kNoError = 0;
inline constexpr int kParameterError = -50;   // empty message, no dictionary, missing key
inline constexpr int kMessageTooLarge = -108; // over kMaximumMessageSize
inline constexpr int kUserCancelled = -128;   // the user declined the temporary copy
inline constexpr int kObjectCreationFailed = -4960;
inline constexpr int kInvalidInvocation = 5361; // wrong arguments, self-repair without root
inline constexpr int kPrivilegesRefused = 5362;
inline constexpr int kAuthorisationCancelled = 5363;
inline constexpr int kInternalError = 5364;
inline constexpr int kFolderCannotHoldPrivilegedTool = 5370; // nosuid or ownership ignored
inline constexpr int kFolderNotPrivate = 5371;   // another user's, or others may change it
inline constexpr int kTemplateNotTrusted = 5372; // the template is not root's alone
inline constexpr int kAuthorisationDenied = -60005;
inline constexpr int kAuthorisationCanceledByUser = -60006;

// Results of the wake-alarm service, as the response carries them.
inline constexpr int kPowerNotPrivileged = static_cast<int>(0xE00002C1);
inline constexpr int kPowerError = static_cast<int>(0xE00002BC);
inline constexpr int kPowerUnsupported = static_cast<int>(0xE00002C7);
inline constexpr int kPowerNotFound = static_cast<int>(0xE00002F0);
inline constexpr int kPowerBadArgument = static_cast<int>(0xE00002C2);

inline constexpr std::size_t kMaximumMessageSize = 0x100000;
inline constexpr std::size_t kAuthorisationSize = 32;

/// Reads or writes exactly size bytes, repeating after interruptions; end-of-file or a
/// zero-length write is EPIPE. Returns 0 or the errno.
int readFully(int fd, void* buffer, std::size_t size);
int writeFully(int fd, const void* buffer, std::size_t size);

/// One message without descriptors. Refuses what the format cannot carry (EINVAL).
int writeDictionaryToDescriptor(int fd, const Dictionary& message);
/// Reads one message: length 0 or a root that is no dictionary (or no property list) is
/// kParameterError, a length above kMaximumMessageSize kMessageTooLarge (before anything of
/// the body is read), a message cut short EPIPE.
int copyDictionaryFromDescriptor(int fd, Dictionary& message);

/// A message followed by the descriptors it lists under kDescriptorsKey.
int writeDictionaryAndDescriptors(int fd, const Dictionary& message);
/// Reads a message and the descriptors it lists, replacing their numbers by the received
/// descriptors. A descriptor byte other than "D", a truncated or foreign control part is
/// EINVAL; on failure every descriptor received so far is closed.
int copyDictionaryTranslatingDescriptors(int fd, Dictionary& message);
/// Closes every descriptor the message lists.
void closeListedDescriptors(const Dictionary& message);

/// Waits for child, repeating after interruptions and once after ECHILD (which an attached
/// debugger can cause); 0 with its status, or the errno.
int waitForChild(int child, int& status);

/// The result a response carries; kObjectCreationFailed when it carries none that fits.
int getErrorFromResponse(const Dictionary& response);

/// The helper's exit status for an error and back.
int errorToHelperToolResult(int error);
int helperToolResultToError(int status);

} // namespace orvanta::power
