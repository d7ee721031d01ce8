// PLS and M3U bodies as a station address may answer them.

#include "FuzzCheck.h"
#include "PlaylistHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    // Entries keep their places, empty ones included; every entry is one line's value.
    const auto entries = orvanta::PLSHelper::parse(body);
    for (const std::string& entry : entries)
        FUZZ_CHECK(entry.find_first_of("\r\n") == std::string::npos);
    orvanta::PLSHelper::getTitles(body);
    for (const std::string& address : orvanta::M3UHelper::webAddresses(body))
        FUZZ_CHECK(!address.empty());
    orvanta::M3UHelper::redirectsToRawStream(body);
    return 0;
}
