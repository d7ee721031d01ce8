#include "SegmentDemuxer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>

namespace orvanta::avformat {

namespace {

constexpr int kIoBufferSize = 32 * 1024;

struct MemoryInput
{
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

int readMemory(void* opaque, std::uint8_t* buffer, int wanted)
{
    auto* input = static_cast<MemoryInput*>(opaque);
    const std::size_t left = input->size - input->position;
    if (left == 0)
        return AVERROR_EOF;
    const std::size_t count = std::min(left, static_cast<std::size_t>(wanted));
    std::memcpy(buffer, input->data + input->position, count);
    input->position += count;
    return static_cast<int>(count);
}

std::int64_t seekMemory(void* opaque, std::int64_t offset, int whence)
{
    auto* input = static_cast<MemoryInput*>(opaque);
    if (whence == AVSEEK_SIZE)
        return static_cast<std::int64_t>(input->size);
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<std::int64_t>(input->position);
        break;
    case SEEK_END:
        base = static_cast<std::int64_t>(input->size);
        break;
    default:
        return -1;
    }
    const std::int64_t target = base + offset;
    if (target < 0 || target > static_cast<std::int64_t>(input->size))
        return -1;
    input->position = static_cast<std::size_t>(target);
    return target;
}

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct IoDeleter
{
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

struct FormatDeleter
{
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

/// libavformat before 6.1 takes the first five bytes of every metadata PES packet for the
/// access-unit header some metadata streams carry; the ID3 tags of HLS stations carry none,
/// so it drops "ID3" and the version. A tag whose flags and size are left intact, its size
/// what follows them, gets its first bytes back (as version 2.4, the one HLS asks for).
void restoreId3Start(std::vector<std::uint8_t>& tag)
{
    constexpr std::size_t kLost = 5;
    if (tag.size() < 5 || (tag[0] == 'I' && tag[1] == 'D' && tag[2] == '3'))
        return;
    std::size_t size = 0;
    for (std::size_t i = 1; i < 5; ++i) {
        if (tag[i] & 0x80)
            return;
        size = (size << 7) | tag[i];
    }
    if (size != tag.size() - kLost)
        return;
    const std::uint8_t start[] = {'I', 'D', '3', 4, 0};
    tag.insert(tag.begin(), std::begin(start), std::end(start));
}

std::optional<double> secondsOf(std::int64_t pts, AVRational base)
{
    if (pts == AV_NOPTS_VALUE)
        return std::nullopt;
    return static_cast<double>(pts) * av_q2d(base);
}

} // namespace

std::optional<SegmentContents> demuxSegment(const std::uint8_t* data, std::size_t size,
                                            std::string& error)
{
    // What goes wrong is said through the error; libavformat's own chatter would only fill
    // the terminal and the log.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    MemoryInput input{data, size};
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer) {
        error = "Out of memory";
        return std::nullopt;
    }
    std::unique_ptr<AVIOContext, IoDeleter> io(
        avio_alloc_context(buffer, kIoBufferSize, 0, &input, readMemory, nullptr, seekMemory));
    if (!io) {
        av_free(buffer);
        error = "Out of memory";
        return std::nullopt;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        error = "Out of memory";
        return std::nullopt;
    }
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // A transport stream of a few packets (a short last segment) probes as something else.
    constexpr std::size_t kTsPacket = 188;
    const bool transportStream =
        size >= kTsPacket && data[0] == 0x47 && (size < 2 * kTsPacket || data[kTsPacket] == 0x47);
    const AVInputFormat* format = transportStream ? av_find_input_format("mpegts") : nullptr;
    if (const int result = avformat_open_input(&raw, nullptr, format, nullptr); result < 0) {
        error = "The segment is in no format this recorder reads (" + errorText(result) + ")";
        return std::nullopt; // avformat_open_input frees the context on failure
    }
    std::unique_ptr<AVFormatContext, FormatDeleter> context(raw);
    if (const int result = avformat_find_stream_info(context.get(), nullptr); result < 0) {
        error = "The segment's streams cannot be read (" + errorText(result) + ")";
        return std::nullopt;
    }

    SegmentContents contents;
    contents.containerName = context->iformat ? context->iformat->name : "";
    const int audio = av_find_best_stream(context.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    std::vector<bool> id3Streams(context->nb_streams, false);
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters* parameters = context->streams[i]->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO)
            contents.hasVideo = true;
        id3Streams[i] = parameters->codec_id == AV_CODEC_ID_TIMED_ID3;
    }
    if (audio < 0) {
        error = contents.hasVideo ? "The segment holds video only, no audio"
                                  : "The segment holds no audio";
        return std::nullopt;
    }
    const AVStream* audioStream = context->streams[audio];
    const AVCodecParameters* parameters = audioStream->codecpar;
    contents.codec = parameters->codec_id == AV_CODEC_ID_AAC   ? SegmentContents::Codec::Aac
                     : parameters->codec_id == AV_CODEC_ID_MP3 ? SegmentContents::Codec::Mp3
                                                               : SegmentContents::Codec::Other;
    contents.codecName = avcodec_get_name(parameters->codec_id);
    contents.sampleRate = parameters->sample_rate;
    contents.channels = parameters->ch_layout.nb_channels;
    if (parameters->extradata && parameters->extradata_size > 0)
        contents.audioSpecificConfig.assign(parameters->extradata,
                                            parameters->extradata + parameters->extradata_size);

    std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!packet) {
        error = "Out of memory";
        return std::nullopt;
    }
    for (;;) {
        const int result = av_read_frame(context.get(), packet.get());
        if (result == AVERROR_EOF)
            break;
        if (result < 0) {
            // What was read before a damaged end is still the station's audio.
            if (contents.audio.empty()) {
                error = "The segment cannot be read (" + errorText(result) + ")";
                return std::nullopt;
            }
            break;
        }
        const int index = packet->stream_index;
        if (index == audio || (index >= 0 && static_cast<unsigned>(index) < id3Streams.size() &&
                               id3Streams[static_cast<unsigned>(index)])) {
            Packet copy;
            copy.data.assign(packet->data, packet->data + packet->size);
            copy.seconds = secondsOf(packet->pts, context->streams[index]->time_base);
            if (index != audio)
                restoreId3Start(copy.data);
            (index == audio ? contents.audio : contents.timedId3).push_back(std::move(copy));
        }
        av_packet_unref(packet.get());
    }
    return contents;
}

} // namespace orvanta::avformat
