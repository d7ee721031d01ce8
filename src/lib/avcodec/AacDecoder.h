#pragma once

// Decoding of AAC frames (ADTS, with their headers) to 16-bit PCM through libavcodec.
//
// Move-only: owns the codec context, a packet and a frame. Thread: one thread at a time;
// separate decoders may be used concurrently.

#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace orvanta::avcodec {

class AacDecoder
{
public:
    /// Opens libavcodec's AAC decoder; check with operator bool, since it can fail.
    AacDecoder();
    ~AacDecoder();
    AacDecoder(AacDecoder&& other) noexcept;
    AacDecoder& operator=(AacDecoder&& other) noexcept;
    AacDecoder(const AacDecoder&) = delete;
    AacDecoder& operator=(const AacDecoder&) = delete;

    explicit operator bool() const { return m_context != nullptr; }

    /// Decodes one ADTS frame and appends its samples to samples (signed 16-bit, channels
    /// interleaved). False when the frame does not decode or its channel count or rate
    /// differs from the frames before (nothing is appended then). A frame the decoder holds
    /// back appends nothing and is no failure.
    bool decodeFrame(const std::uint8_t* frame, std::size_t length,
                     std::vector<std::int16_t>& samples);

    /// Of the frames decoded so far; 0 before the first.
    int channels() const { return m_channels; }
    int sampleRate() const { return m_rate; }

private:
    bool appendFrame(std::vector<std::int16_t>& samples);
    void release() noexcept;

    AVCodecContext* m_context = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_channels = 0;
    int m_rate = 0;
};

} // namespace orvanta::avcodec
