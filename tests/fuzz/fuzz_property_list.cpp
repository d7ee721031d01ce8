// XML property lists: whatever is read is written again, reads back, and writes the same
// (bytes, not values: a NaN is never equal to itself).

#include "FuzzCheck.h"
#include "PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    const auto value = orvanta::parsePropertyList(
        std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!value) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const auto written = orvanta::serializePropertyList(*value, error);
    if (!written)
        return 0; // values the format cannot carry are refused, never written broken
    const auto reread = orvanta::parsePropertyList(*written, error);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(orvanta::serializePropertyList(*reread, error) == written);
    return 0;
}
