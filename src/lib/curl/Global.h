#pragma once

// libcurl's process-wide set-up (curl_global_init with CURL_GLOBAL_ALL) and its clean-up.
//
// Create exactly one at start-up, before any other thread exists, and destroy it after every
// easy handle is gone: libcurl's global functions are not safe to race with transfers.
// Thread: main.

#include <curl/curl.h>

namespace orvanta::curl {

class Global
{
public:
    Global();
    ~Global();
    Global(const Global&) = delete;
    Global& operator=(const Global&) = delete;

    /// curl_global_init's result.
    CURLcode code() const { return m_code; }
    bool ok() const { return m_code == CURLE_OK; }

private:
    CURLcode m_code;
};

} // namespace orvanta::curl
