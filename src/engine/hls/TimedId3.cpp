#include "TimedId3.h"

#include <QString>

#include <cstring>

namespace orvanta::hls {

namespace {

constexpr std::size_t kHeader = 10;
constexpr char kTimestampOwner[] = "com.apple.streaming.transportStreamTimestamp";

std::uint32_t synchsafe(const std::uint8_t* p)
{
    return (std::uint32_t{p[0] & 0x7Fu} << 21) | (std::uint32_t{p[1] & 0x7Fu} << 14) |
           (std::uint32_t{p[2] & 0x7Fu} << 7) | std::uint32_t{p[3] & 0x7Fu};
}

std::uint32_t bigEndian(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

/// Text of the given ID3 encoding, up to its terminator; end is set after the terminator.
std::string textOf(std::uint8_t encoding, const std::uint8_t* data, std::size_t size,
                   std::size_t* end = nullptr)
{
    const bool wide = encoding == 1 || encoding == 2;
    std::size_t length = 0;
    if (wide) {
        while (length + 1 < size && (data[length] != 0 || data[length + 1] != 0))
            length += 2;
    } else {
        while (length < size && data[length] != 0)
            ++length;
    }
    if (end)
        *end = std::min(size, length + (wide ? 2 : 1));
    QString text;
    switch (encoding) {
    case 0:
        text = QString::fromLatin1(reinterpret_cast<const char*>(data),
                                   static_cast<qsizetype>(length));
        break;
    case 1:
    case 2: {
        // UTF-16 with a byte-order mark (1), or big-endian without one (2).
        bool little = false;
        std::size_t from = 0;
        if (encoding == 1 && length >= 2) {
            little = data[0] == 0xFF && data[1] == 0xFE;
            from = (little || (data[0] == 0xFE && data[1] == 0xFF)) ? 2 : 0;
        }
        for (std::size_t i = from; i + 1 < length; i += 2)
            text += QChar(little ? static_cast<char16_t>(data[i] | (data[i + 1] << 8))
                                 : static_cast<char16_t>((data[i] << 8) | data[i + 1]));
        break;
    }
    default:
        text =
            QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        break;
    }
    return text.trimmed().toStdString();
}

} // namespace

std::string TimedId3::songTitle() const
{
    if (!streamTitle.empty())
        return streamTitle;
    if (!artist.empty() && !title.empty())
        return artist + " - " + title;
    return title.empty() ? artist : title;
}

std::size_t id3TagLength(const std::uint8_t* data, std::size_t size)
{
    if (size < kHeader || std::memcmp(data, "ID3", 3) != 0 || data[3] < 2 || data[3] > 4 ||
        (data[6] | data[7] | data[8] | data[9]) & 0x80)
        return 0;
    const bool footer = data[3] == 4 && (data[5] & 0x10);
    return kHeader + synchsafe(data + 6) + (footer ? kHeader : 0);
}

std::optional<TimedId3> parseTimedId3(const std::uint8_t* data, std::size_t size)
{
    const std::size_t length = id3TagLength(data, size);
    if (length == 0 || data[3] < 3)
        return std::nullopt;
    const std::uint8_t version = data[3];
    const std::size_t end = std::min(size, kHeader + synchsafe(data + 6));
    std::size_t at = kHeader;
    if (data[5] & 0x40 && at + 4 <= end) // an extended header: passed over
        at += version == 4 ? synchsafe(data + at) : bigEndian(data + at) + 4;
    TimedId3 tag;
    while (at + kHeader <= end && data[at] != 0) {
        const std::uint8_t* frame = data + at;
        const std::size_t frameSize = version == 4 ? synchsafe(frame + 4) : bigEndian(frame + 4);
        if (frameSize == 0 || frameSize > end - at - kHeader)
            break;
        const std::uint8_t* body = frame + kHeader;
        const std::string id(reinterpret_cast<const char*>(frame), 4);
        if (id == "TIT2" || id == "TPE1") {
            (id == "TIT2" ? tag.title : tag.artist) = textOf(body[0], body + 1, frameSize - 1);
        } else if (id == "TXXX" && frameSize > 1) {
            std::size_t valueAt = 0;
            const std::string description = textOf(body[0], body + 1, frameSize - 1, &valueAt);
            const std::string value = textOf(body[0], body + 1 + valueAt, frameSize - 1 - valueAt);
            const QString key = QString::fromStdString(description).toLower();
            if (key == QLatin1String("streamtitle") || key == QLatin1String("title"))
                tag.streamTitle = value;
        } else if (id == "PRIV") {
            const std::size_t owner = sizeof kTimestampOwner; // with its terminator
            if (frameSize >= owner + 8 && std::memcmp(body, kTimestampOwner, owner) == 0) {
                std::uint64_t stamp = 0;
                for (std::size_t i = 0; i < 8; ++i)
                    stamp = (stamp << 8) | body[owner + i];
                tag.transportTimestamp = stamp & ((std::uint64_t{1} << 33) - 1);
            }
        }
        at += kHeader + frameSize;
    }
    return tag;
}

} // namespace orvanta::hls
