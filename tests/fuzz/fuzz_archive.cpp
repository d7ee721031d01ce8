// The library archive: whatever is read is archived again, reads back, and a second save
// is byte for byte the first (the format promises it).

#include "ArchiveCodec.h"
#include "FuzzCheck.h"
#include "FuzzValues.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    const auto value =
        orvanta::unarchiveValue(std::string_view(reinterpret_cast<const char*>(data), size), error);
    if (!value) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string again = orvanta::archiveValue(*value);
    const auto reread = orvanta::unarchiveValue(again, error);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(orvanta::archiveValue(*reread) == again);
    orvanta::fuzz::breakCycles(*value);
    orvanta::fuzz::breakCycles(*reread);
    return 0;
}
