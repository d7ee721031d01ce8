// HLS segments as a station's server may send them, whole, to libavformat through our
// in-memory input.

#include "FuzzCheck.h"
#include "SegmentDemuxer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    const auto contents = orvanta::avformat::demuxSegment(data, size, error);
    FUZZ_CHECK(contents.has_value() || !error.empty());
    if (contents)
        for (const auto& packet : contents->audio)
            FUZZ_CHECK(packet.data.size() <= size);
    return 0;
}
