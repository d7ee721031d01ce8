#include "HlsSegmentMuxer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace orvanta::test {

namespace {

constexpr AVRational kTransportClock{1, 90000};

void check(int result, const char* what)
{
    if (result < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        throw std::runtime_error(std::string("HlsSegmentMuxer: ") + what + ": " + text);
    }
}

std::string synchsafe(std::size_t n)
{
    return {static_cast<char>((n >> 21) & 0x7F), static_cast<char>((n >> 14) & 0x7F),
            static_cast<char>((n >> 7) & 0x7F), static_cast<char>(n & 0x7F)};
}

/// An ID3v2.4 tag with one TIT2 frame: how stations name the song in timed metadata.
std::string titleTag(const std::string& title)
{
    const std::string body = "\x03" + title; // UTF-8
    const std::string frame = "TIT2" + synchsafe(body.size()) + std::string(2, '\0') + body;
    return std::string("ID3\x04\x00\x00", 6) + synchsafe(frame.size()) + frame;
}

/// The dynamic buffer's bytes, the buffer closed.
std::string takeBuffer(AVIOContext*& io)
{
    std::uint8_t* data = nullptr;
    const int size = avio_close_dyn_buf(io, &data);
    io = nullptr;
    std::string bytes(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size));
    av_free(data);
    return bytes;
}

void writePacket(AVFormatContext* context, int stream, const std::string& bytes, std::int64_t time,
                 AVRational clock, bool interleaved)
{
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        throw std::runtime_error("HlsSegmentMuxer: out of memory");
    check(av_new_packet(packet, static_cast<int>(bytes.size())), "packet");
    std::memcpy(packet->data, bytes.data(), bytes.size());
    packet->stream_index = stream;
    packet->pts = packet->dts = av_rescale_q(time, clock, context->streams[stream]->time_base);
    packet->flags |= AV_PKT_FLAG_KEY;
    const int result =
        interleaved ? av_interleaved_write_frame(context, packet) : av_write_frame(context, packet);
    av_packet_free(&packet);
    check(result, "write");
}

struct ContextDeleter
{
    void operator()(AVFormatContext* context) const
    {
        if (context->pb) {
            std::uint8_t* data = nullptr;
            avio_close_dyn_buf(context->pb, &data);
            av_free(data);
        }
        avformat_free_context(context);
    }
};
using Context = std::unique_ptr<AVFormatContext, ContextDeleter>;

Context outputContext(const char* format)
{
    // The muxers' notes (of timestamps they fill in themselves) would only fill test logs.
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    check(avformat_alloc_output_context2(&raw, nullptr, format, nullptr), format);
    return Context(raw);
}

} // namespace

std::string transportStreamSegment(const std::vector<std::string>& frames, double startSeconds,
                                   int sampleRate, const std::vector<TimedTitle>& titles)
{
    const double frameSeconds = 1024.0 / sampleRate;
    Context context = outputContext("mpegts");
    AVStream* audio = avformat_new_stream(context.get(), nullptr);
    AVStream* id3 = avformat_new_stream(context.get(), nullptr);
    if (!audio || !id3)
        throw std::runtime_error("HlsSegmentMuxer: out of memory");
    audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codecpar->codec_id = AV_CODEC_ID_AAC;
    audio->codecpar->sample_rate = sampleRate;
    audio->codecpar->frame_size = 1024;
    audio->time_base = kTransportClock;
    id3->codecpar->codec_type = AVMEDIA_TYPE_DATA;
    id3->codecpar->codec_id = AV_CODEC_ID_TIMED_ID3;
    id3->time_base = kTransportClock;
    check(avio_open_dyn_buf(&context->pb), "buffer");
    check(avformat_write_header(context.get(), nullptr), "header");
    auto ticks = [](double seconds) {
        return static_cast<std::int64_t>(std::llround(seconds * kTransportClock.den));
    };
    std::size_t nextTitle = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const double at = startSeconds + static_cast<double>(i) * frameSeconds;
        for (; nextTitle < titles.size() && titles[nextTitle].seconds <= at; ++nextTitle)
            writePacket(context.get(), id3->index, titleTag(titles[nextTitle].title),
                        ticks(titles[nextTitle].seconds), kTransportClock, true);
        writePacket(context.get(), audio->index, frames[i], ticks(at), kTransportClock, true);
    }
    check(av_write_trailer(context.get()), "trailer");
    return takeBuffer(context->pb);
}

struct FragmentedMp4Writer::Muxer
{
    Context context;
    int sampleRate = 0;
};

FragmentedMp4Writer::FragmentedMp4Writer(const std::string& firstAdtsFrame, int sampleRate)
    : m_muxer(std::make_unique<Muxer>())
{
    if (firstAdtsFrame.size() < 7)
        throw std::runtime_error("HlsSegmentMuxer: no ADTS frame");
    const auto header = reinterpret_cast<const std::uint8_t*>(firstAdtsFrame.data());
    const unsigned objectType = (header[2] >> 6) + 1;
    const unsigned rateIndex = (header[2] >> 2) & 0x0F;
    const unsigned channels = ((header[2] & 0x01u) << 2) | (header[3] >> 6);
    m_muxer->context = outputContext("mp4");
    m_muxer->sampleRate = sampleRate;
    AVStream* audio = avformat_new_stream(m_muxer->context.get(), nullptr);
    if (!audio)
        throw std::runtime_error("HlsSegmentMuxer: out of memory");
    AVCodecParameters* parameters = audio->codecpar;
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = AV_CODEC_ID_AAC;
    parameters->sample_rate = sampleRate;
    parameters->frame_size = 1024;
    av_channel_layout_default(&parameters->ch_layout, static_cast<int>(channels));
    parameters->extradata =
        static_cast<std::uint8_t*>(av_mallocz(2 + AV_INPUT_BUFFER_PADDING_SIZE));
    parameters->extradata[0] = static_cast<std::uint8_t>((objectType << 3) | (rateIndex >> 1));
    parameters->extradata[1] = static_cast<std::uint8_t>(((rateIndex & 1u) << 7) | (channels << 3));
    parameters->extradata_size = 2;
    audio->time_base = AVRational{1, sampleRate};
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "frag_custom+empty_moov+default_base_moof", 0);
    check(avio_open_dyn_buf(&m_muxer->context->pb), "buffer");
    const int result = avformat_write_header(m_muxer->context.get(), &options);
    av_dict_free(&options);
    check(result, "header");
    avio_flush(m_muxer->context->pb);
    m_initialisation = takeBuffer(m_muxer->context->pb);
}

FragmentedMp4Writer::~FragmentedMp4Writer()
{
    if (avio_open_dyn_buf(&m_muxer->context->pb) >= 0)
        av_write_trailer(m_muxer->context.get());
}

std::string FragmentedMp4Writer::fragment(const std::vector<std::string>& frames)
{
    AVFormatContext* context = m_muxer->context.get();
    check(avio_open_dyn_buf(&context->pb), "buffer");
    const AVRational clock{1, m_muxer->sampleRate};
    for (const std::string& frame : frames) {
        if (frame.size() < 7)
            throw std::runtime_error("HlsSegmentMuxer: no ADTS frame");
        writePacket(context, 0, frame.substr(7), m_samples, clock, false);
        m_samples += 1024;
    }
    check(av_write_frame(context, nullptr), "fragment");
    return takeBuffer(context->pb);
}

} // namespace orvanta::test
