// HLS master and media playlists as a station's address may answer them, and the segments
// their reloads hand out.

#include "FuzzCheck.h"
#include "HlsPlaylist.h"
#include "SegmentSequencer.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orvanta::hls;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto playlist = parsePlaylist(text, "https://radio.example/live/index.m3u8", error);
    FUZZ_CHECK(playlist.has_value() || !error.empty());
    if (!playlist)
        return 0;
    if (const auto* master = std::get_if<MasterPlaylist>(&*playlist)) {
        if (const auto variant = chooseVariant(*master, std::nullopt, error))
            FUZZ_CHECK(variant->mayHaveAudio());
        return 0;
    }
    const auto& media = std::get<MediaPlaylist>(*playlist);
    FUZZ_CHECK(media.targetDuration > 0);
    // Reloading the same text twice hands nothing out twice, and always in order.
    SegmentSequencer sequencer;
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (int reload = 0; reload < 2; ++reload)
        for (const Segment& segment : sequencer.update(media).fresh) {
            FUZZ_CHECK(segment.sequence > last);
            last = segment.sequence;
        }
    return 0;
}
