// ICY response headers, line by line, and the numbers read from them.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "IcyHeaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvanta::fuzz::FuzzInput input(data, size);
    while (!input.empty()) {
        const std::string_view line = input.until('\n');
        if (const auto header = orvanta::parseHeaderLine(line)) {
            const auto metaint = orvanta::validMetaint(header->value);
            FUZZ_CHECK(!metaint || *metaint > 0);
            orvanta::leadingInteger(header->value);
        }
        orvanta::leadingInteger(line);
    }
    return 0;
}
