#include "AacDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/samplefmt.h>
}

namespace orvanta::avcodec {

namespace {

std::int16_t toInt16(float value)
{
    const float scaled = std::clamp(value, -1.0f, 1.0f) * 32767.0f;
    return static_cast<std::int16_t>(std::lrintf(scaled));
}

std::int16_t sampleAt(const AVFrame& frame, AVSampleFormat format, int channel, int index,
                      int channels)
{
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int plane = planar ? channel : 0;
    const int position = planar ? index : index * channels + channel;
    const std::uint8_t* data = frame.extended_data[plane];
    switch (format) {
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        return toInt16(reinterpret_cast<const float*>(data)[position]);
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        return reinterpret_cast<const std::int16_t*>(data)[position];
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        return static_cast<std::int16_t>(reinterpret_cast<const std::int32_t*>(data)[position] >>
                                         16);
    default:
        return 0;
    }
}

} // namespace

AacDecoder::AacDecoder()
{
    // The decoder reports damaged frames on stderr by default; a recorder says nothing.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
    if (codec == nullptr)
        return;
    m_context = avcodec_alloc_context3(codec);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (m_context == nullptr || m_packet == nullptr || m_frame == nullptr ||
        avcodec_open2(m_context, codec, nullptr) < 0)
        release();
}

AacDecoder::~AacDecoder()
{
    release();
}

AacDecoder::AacDecoder(AacDecoder&& other) noexcept
    : m_context(std::exchange(other.m_context, nullptr)),
      m_packet(std::exchange(other.m_packet, nullptr)),
      m_frame(std::exchange(other.m_frame, nullptr)), m_channels(other.m_channels),
      m_rate(other.m_rate)
{}

AacDecoder& AacDecoder::operator=(AacDecoder&& other) noexcept
{
    if (this != &other) {
        release();
        m_context = std::exchange(other.m_context, nullptr);
        m_packet = std::exchange(other.m_packet, nullptr);
        m_frame = std::exchange(other.m_frame, nullptr);
        m_channels = other.m_channels;
        m_rate = other.m_rate;
    }
    return *this;
}

void AacDecoder::release() noexcept
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_context);
}

bool AacDecoder::decodeFrame(const std::uint8_t* frame, std::size_t length,
                             std::vector<std::int16_t>& samples)
{
    if (m_context == nullptr || frame == nullptr || length == 0 || length > 1 << 16)
        return false;
    // The decoder may read a little past the end of a packet: it gets a padded copy.
    if (av_new_packet(m_packet, static_cast<int>(length)) < 0)
        return false;
    std::memcpy(m_packet->data, frame, length);
    const int sent = avcodec_send_packet(m_context, m_packet);
    av_packet_unref(m_packet);
    if (sent < 0)
        return false;
    bool ok = true;
    for (;;) {
        const int received = avcodec_receive_frame(m_context, m_frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            break;
        if (received < 0)
            return false;
        ok = appendFrame(samples) && ok;
        av_frame_unref(m_frame);
    }
    return ok;
}

bool AacDecoder::appendFrame(std::vector<std::int16_t>& samples)
{
    const int channels = m_frame->ch_layout.nb_channels;
    const int rate = m_frame->sample_rate;
    if (channels < 1 || rate < 1)
        return false;
    if (m_channels != 0 && (channels != m_channels || rate != m_rate))
        return false;
    m_channels = channels;
    m_rate = rate;
    const auto format = static_cast<AVSampleFormat>(m_frame->format);
    const int count = m_frame->nb_samples;
    samples.reserve(samples.size() +
                    static_cast<std::size_t>(count) * static_cast<std::size_t>(channels));
    for (int i = 0; i < count; ++i)
        for (int c = 0; c < channels; ++c)
            samples.push_back(sampleAt(*m_frame, format, c, i, channels));
    return true;
}

} // namespace orvanta::avcodec
