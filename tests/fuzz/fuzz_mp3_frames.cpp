// The MP3 frame search over arbitrary bytes: whatever it finds lies inside the buffer and
// starts with a header that decodes.

#include "FuzzCheck.h"
#include "MyMP3Util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using orvanta::MyMP3Util;
    const auto found = MyMP3Util::findFirstHeaderInBuffer(data, size);
    if (found.found()) {
        FUZZ_CHECK(found.location >= 0);
        FUZZ_CHECK(static_cast<std::size_t>(found.location) + 4 <= size);
        orvanta::mp3frameheader_t header{};
        FUZZ_CHECK(MyMP3Util::decodeFrameHeader(header, data + found.location));
    }
    for (std::size_t offset = 0; offset + 4 <= size && offset < 64; ++offset) {
        orvanta::mp3frameheader_t header{};
        MyMP3Util::decodeFrameHeader(header, data + offset);
        MyMP3Util::isMPEG1Layer3(data + offset);
    }
    return 0;
}
