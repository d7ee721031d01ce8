// The ADTS frame search and the AAC quiet-gap search over arbitrary bytes: a run found lies
// inside the buffer and starts with a header that decodes; a search resumed from its resume
// point over more bytes finds what a search of them all finds; the gap, when there is one,
// is a frame start inside the buffer.

#include "AdtsFrames.h"
#include "FuzzCheck.h"
#include "QuietGap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using orvanta::AdtsFrames;
    if (size < 2)
        return 0;
    // The first byte says where the bytes are cut for the resumed search.
    const std::size_t cut = size > 1 ? data[0] * (size - 1) / 255 : 0;
    const std::uint8_t* bytes = data + 1;
    const std::size_t length = size - 1;

    const auto whole = AdtsFrames::findFirstRun(bytes, length);
    if (whole.found()) {
        FUZZ_CHECK(whole.location >= 0);
        FUZZ_CHECK(static_cast<std::size_t>(whole.location) + AdtsFrames::kHeaderLength <= length);
        const auto header = AdtsFrames::decodeHeader(bytes + whole.location);
        FUZZ_CHECK(header.has_value());
        FUZZ_CHECK(static_cast<std::int64_t>(header->frameLength) == whole.length);
    }
    std::size_t resume = 0;
    const auto partial = AdtsFrames::findFirstRun(bytes, cut, &resume);
    FUZZ_CHECK(resume <= cut);
    if (partial.found()) {
        FUZZ_CHECK(partial.location == whole.location);
    } else {
        const auto rest = AdtsFrames::findFirstRun(bytes + resume, length - resume);
        FUZZ_CHECK(rest.found() == whole.found());
        if (rest.found())
            FUZZ_CHECK(static_cast<std::int64_t>(resume) + rest.location == whole.location);
    }
    // Decoding is slow; a few kilobytes hold enough frames to reach every branch.
    if (length <= 8192) {
        const std::int64_t gap = orvanta::findAacQuietGap(bytes, length);
        if (gap >= 0) {
            FUZZ_CHECK(static_cast<std::size_t>(gap) + AdtsFrames::kHeaderLength <= length);
            FUZZ_CHECK(AdtsFrames::decodeHeader(bytes + gap).has_value());
        }
    }
    return 0;
}
