#pragma once

// libcurl's easy result codes as std::error_code values, with libcurl's own messages.
//
// Thread-safe.

#include <system_error>

#include <curl/curl.h>

namespace orvanta::curl {

const std::error_category& curlCategory();

std::error_code makeErrorCode(CURLcode code);

} // namespace orvanta::curl
