#include "FrameDecoder.h"

#include <cstring>

namespace orvanta::mpg123 {

FrameDecoder::FrameDecoder(bool coarse)
{
    mpg123_handle* h = m_handle.get();
    if (h == nullptr)
        return;
    if (mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) != MPG123_OK ||
        mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0.0) != MPG123_OK)
        return;
    if (coarse) {
        // Both are optional features of the library: without them the output is finer.
        mpg123_param(h, MPG123_ADD_FLAGS, MPG123_MONO_MIX, 0.0);
        mpg123_param(h, MPG123_DOWN_SAMPLE, 2, 0.0);
    }
    if (mpg123_format_none(h) != MPG123_OK)
        return;
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i)
        if (mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
            MPG123_OK)
            return;
    m_ready = mpg123_open_feed(h) == MPG123_OK;
}

bool FrameDecoder::feed(const std::uint8_t* data, std::size_t length,
                        std::vector<std::int16_t>& samples)
{
    if (!m_ready || data == nullptr || length == 0)
        return m_ready;
    mpg123_handle* h = m_handle.get();
    if (mpg123_feed(h, data, length) != MPG123_OK)
        return false;
    // Each successful call takes at least one frame of what was fed.
    for (std::size_t callsLeft = length + 8; callsLeft > 0; --callsLeft) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int result = mpg123_decode_frame(h, &frameNumber, &audio, &bytes);
        if (result == MPG123_NEED_MORE)
            return true;
        if (result == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK ||
                encoding != MPG123_ENC_SIGNED_16 || channels < 1 ||
                (m_channels != 0 && (channels != m_channels || rate != m_rate)))
                return false;
            m_channels = channels;
            m_rate = rate;
            continue;
        }
        if (result != MPG123_OK)
            return false;
        if (m_channels == 0 || audio == nullptr)
            continue;
        const std::size_t count = bytes / sizeof(std::int16_t);
        const std::size_t at = samples.size();
        samples.resize(at + count);
        std::memcpy(samples.data() + at, audio, count * sizeof(std::int16_t));
    }
    return true;
}

} // namespace orvanta::mpg123
