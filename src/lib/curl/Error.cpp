#include "Error.h"

#include <string>

namespace orvanta::curl {

namespace {

class CurlCategory final : public std::error_category
{
public:
    const char* name() const noexcept override { return "curl"; }

    std::string message(int code) const override
    {
        // curl_easy_strerror answers "Unknown error" for codes it does not know.
        return curl_easy_strerror(static_cast<CURLcode>(code));
    }
};

} // namespace

const std::error_category& curlCategory()
{
    static const CurlCategory category;
    return category;
}

std::error_code makeErrorCode(CURLcode code)
{
    return {static_cast<int>(code), curlCategory()};
}

} // namespace orvanta::curl
