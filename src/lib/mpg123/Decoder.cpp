#include "Decoder.h"

#include "Handle.h"

#include <algorithm>
#include <cstring>

namespace orvanta::mpg123 {

namespace {

// Fed in slices, so that the decoder's own copy of the input stays small.
constexpr std::size_t kFeedSlice = 64 * 1024;

bool configure(mpg123_handle* handle)
{
    if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) != MPG123_OK)
        return false;
    // A damaged stretch longer than the default limit (1024 bytes) would end the decoding
    // there; the search for the next frame is bounded by the input anyway.
    if (mpg123_param(handle, MPG123_RESYNC_LIMIT, -1, 0.0) != MPG123_OK)
        return false;
    if (mpg123_format_none(handle) != MPG123_OK)
        return false;
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        if (mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
            MPG123_OK)
            return false;
    }
    return mpg123_open_feed(handle) == MPG123_OK;
}

} // namespace

std::optional<Pcm> decodeToPcm(const std::uint8_t* data, std::size_t length)
{
    if (data == nullptr || length == 0)
        return std::nullopt;
    Handle handle;
    if (!handle || !configure(handle.get()))
        return std::nullopt;

    Pcm pcm;
    bool formatKnown = false;
    // Every successful call consumes at least a frame header; the bound only guards against
    // a decoder that stops making progress.
    std::size_t callsLeft = length + 64;
    std::size_t fed = 0;
    bool finished = false;
    while (!finished) {
        const std::size_t slice = std::min(kFeedSlice, length - fed);
        if (mpg123_feed(handle.get(), data + fed, slice) != MPG123_OK)
            break;
        fed += slice;
        for (;;) {
            if (callsLeft-- == 0) {
                finished = true;
                break;
            }
            off_t frameNumber = 0;
            unsigned char* audio = nullptr;
            std::size_t bytes = 0;
            const int result = mpg123_decode_frame(handle.get(), &frameNumber, &audio, &bytes);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                if (mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK ||
                    encoding != MPG123_ENC_SIGNED_16 || channels < 1 ||
                    (formatKnown && (channels != pcm.channels || rate != pcm.rate))) {
                    finished = true;
                    break;
                }
                pcm.channels = channels;
                pcm.rate = rate;
                formatKnown = true;
            } else if (result == MPG123_OK) {
                if (!formatKnown || audio == nullptr)
                    continue;
                const std::size_t count = bytes / sizeof(std::int16_t);
                const std::size_t at = pcm.samples.size();
                pcm.samples.resize(at + count);
                std::memcpy(pcm.samples.data() + at, audio, count * sizeof(std::int16_t));
            } else if (result == MPG123_NEED_MORE) {
                finished = fed == length;
                break;
            } else {
                // MPG123_DONE or an error that the decoder could not resync past.
                finished = true;
                break;
            }
        }
    }
    // Callers index by whole sample frames, whatever the decoder handed out.
    if (pcm.channels > 0)
        pcm.samples.resize(pcm.samples.size() - pcm.samples.size() % pcm.channels);
    if (pcm.samples.empty())
        return std::nullopt;
    return pcm;
}

} // namespace orvanta::mpg123
