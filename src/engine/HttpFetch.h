#pragma once

// A whole response body fetched with one transfer, for small documents the program reads
// (directory answers, station icons): bounded in size and time, and stoppable.
//
// Thread: blocks the calling thread for the whole transfer; call it off the main thread.

#include "HttpTransfer.h"

#include <atomic>
#include <cstddef>
#include <string>

namespace orvanta {

class PreferencesReader;

struct HttpFetchResult
{
    long status = 0;         // the final response's status code; 0 when none came
    std::string contentType; // of the final response
    std::string body;        // at most the asked-for bound
    std::string error;       // empty on success; otherwise the text for the user

    bool ok() const { return error.empty(); }
};

/// Fetches request.url. Fails (with error set) when the server cannot be reached, answers
/// with an error status (the text names the status), sends more than maxBytes, or
/// *cancelled becomes true (the transfer ends within about a second).
HttpFetchResult fetchHttpBody(const HttpRequest& request, const PreferencesReader* prefs,
                              std::size_t maxBytes, const std::atomic<bool>* cancelled = nullptr);

} // namespace orvanta
