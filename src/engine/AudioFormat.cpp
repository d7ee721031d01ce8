#include "AudioFormat.h"

#include "AdtsFrames.h"
#include "OggPages.h"
#include "QuietGap.h"

#include <algorithm>
#include <cctype>

namespace orvanta {

std::optional<AudioFormat> formatForContentType(std::string_view contentType)
{
    std::string type(contentType.substr(0, contentType.find(';')));
    type.erase(std::remove_if(type.begin(), type.end(),
                              [](unsigned char c) { return std::isspace(c) != 0; }),
               type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (type == "audio/mpeg" || type == "audio/mp3" || type == "audio/mpeg3" ||
        type == "audio/x-mpeg" || type == "audio/x-mp3" || type == "audio/mpg")
        return AudioFormat::MP3;
    if (type == "audio/aac" || type == "audio/aacp" || type == "audio/x-aac" ||
        type == "audio/x-aacp" || type == "audio/aac-adts")
        return AudioFormat::AAC;
    if (type == "application/ogg" || type == "audio/ogg" || type == "audio/x-ogg" ||
        type == "application/x-ogg" || type == "audio/vorbis" || type == "audio/opus")
        return AudioFormat::Ogg;
    return std::nullopt;
}

std::optional<AudioFormat> sniffFormat(const std::uint8_t* bytes, std::size_t length,
                                       std::optional<AudioFormat> claimed)
{
    if (bytes == nullptr || length == 0)
        return std::nullopt;
    const FrameRange ogg = OggPages::findFirstPage(bytes, length);
    const FrameRange mpeg = MyMP3Util::findFirstHeaderInBuffer(bytes, length);
    const FrameRange adts = AdtsFrames::findFirstRun(bytes, length);
    auto found = [&](AudioFormat format) {
        switch (format) {
        case AudioFormat::MP3:
            return mpeg.found();
        case AudioFormat::AAC:
            return adts.found();
        case AudioFormat::Ogg:
            return ogg.found();
        }
        return false;
    };
    if (claimed && found(*claimed))
        return claimed;
    // An intact page carries a checksum: no chance match.
    if (ogg.found())
        return AudioFormat::Ogg;
    if (mpeg.found() && (!adts.found() || mpeg.location <= adts.location))
        return AudioFormat::MP3;
    if (adts.found())
        return AudioFormat::AAC;
    return std::nullopt;
}

namespace {

/// What the rest of the recorder needs to know of each format, in one place.
struct FormatFacts
{
    std::string_view name;
    std::string_view contentType;
    std::string_view extension;
};

const FormatFacts& factsOf(AudioFormat format)
{
    static constexpr FormatFacts kMp3{"MP3", "audio/mpeg", ".mp3"};
    static constexpr FormatFacts kAac{"AAC", "audio/aac", ".aac"};
    static constexpr FormatFacts kOgg{"Ogg", "application/ogg", ".ogg"};
    switch (format) {
    case AudioFormat::MP3:
        break;
    case AudioFormat::AAC:
        return kAac;
    case AudioFormat::Ogg:
        return kOgg;
    }
    return kMp3;
}

} // namespace

std::string_view formatName(AudioFormat format)
{
    return factsOf(format).name;
}

std::string_view contentTypeOf(AudioFormat format)
{
    return factsOf(format).contentType;
}

std::string_view fileExtension(AudioFormat format)
{
    return factsOf(format).extension;
}

FrameRange findFirstFrameRun(AudioFormat format, const std::uint8_t* bytes, std::size_t length,
                             std::size_t* resumeOffset)
{
    switch (format) {
    case AudioFormat::AAC:
        return AdtsFrames::findFirstRun(bytes, length, resumeOffset);
    case AudioFormat::Ogg:
        return OggPages::findFirstPage(bytes, length, resumeOffset);
    case AudioFormat::MP3:
        break;
    }
    return MyMP3Util::findFirstHeaderInBuffer(bytes, length, 0, nullptr, resumeOffset);
}

std::int64_t findQuietGap(AudioFormat format, const std::uint8_t* buffer,
                          std::size_t length) noexcept
{
    switch (format) {
    case AudioFormat::AAC:
        return findAacQuietGap(buffer, length);
    case AudioFormat::Ogg:
        return -1;
    case AudioFormat::MP3:
        break;
    }
    return findQuietGap(buffer, length);
}

FrameFacts factsOfFrameAt(AudioFormat format, const std::uint8_t* frame, std::size_t length)
{
    FrameFacts facts;
    if (format == AudioFormat::MP3 && length >= 4) {
        mp3frameheader_t header;
        if (MyMP3Util::decodeFrameHeader(header, frame)) {
            if (!header.freeFormat)
                facts.bitrateKbps = header.bitrate / 1000;
            facts.stereo = header.mono == 0;
        }
    } else if (format == AudioFormat::AAC && length >= AdtsFrames::kHeaderLength) {
        if (const auto header = AdtsFrames::decodeHeader(frame))
            facts.stereo = AdtsFrames::channelCount(*header) > 1;
    }
    return facts;
}

} // namespace orvanta
