#pragma once

// Logging to the system log under the ident "Orvanta", one line per event, mirrored to
// standard error when it is a terminal. Messages name the reporting operation first:
// logMessage("MainController::init", "Fatal error, curl_global_init returned code: 2")
// logs "MainController::init : Fatal error, curl_global_init returned code: 2".
//
// Thread-safe.

#include <functional>
#include <string>
#include <string_view>

namespace orvanta {

/// Logs "operation : text".
void logMessage(std::string_view operation, std::string_view text);

/// Logs a printf-style line as it stands.
void logFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Receives every logged line in addition to the system log (tests, the command line).
/// Pass an empty function to remove it. Returns the previous sink.
using LogSink = std::function<void(const std::string& line)>;
LogSink setLogSink(LogSink sink);

} // namespace orvanta
