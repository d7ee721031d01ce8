#include "ID3v2Helper.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "StringExtensions.h"

namespace orvanta {

namespace {

constexpr std::uint8_t kUtf16WithBom = 0x01;
constexpr std::uint8_t kLatin1 = 0x00;
constexpr std::uint8_t kFrontCover = 0x03;
constexpr std::string_view kJpegMimeType = "image/jpeg";
constexpr std::string_view kCommentLanguage = "eng";
constexpr std::size_t kPopularimeterBodySize = 6;
// Encoding, MIME type and its terminator, picture type, empty description.
constexpr std::size_t kPictureBodyOverhead = 1 + kJpegMimeType.size() + 1 + 1 + 1;

bool isFrameIDCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Whether a frame with this body still fits into a frame area that holds areaSize bytes.
bool frameFits(std::size_t areaSize, std::size_t bodySize)
{
    const std::size_t room = ID3v2Helper::kMaxSyncSafeValue;
    return areaSize <= room && bodySize <= room - areaSize &&
           ID3v2Helper::kHeaderSize <= room - areaSize - bodySize;
}

void appendBigEndian32(Bytes& out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void appendFrameHeader(Bytes& out, std::string_view frameID, std::size_t bodySize)
{
    out.insert(out.end(), frameID.begin(), frameID.end());
    // Frame sizes in version 2.3 are plain big-endian, unlike the tag size.
    appendBigEndian32(out, static_cast<std::uint32_t>(bodySize));
    out.push_back(0);
    out.push_back(0);
}

void appendUtf16LE(Bytes& out, char16_t unit)
{
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// Byte-order mark, the text in UTF-16LE (invalid UTF-8 becomes U+FFFD), terminator.
void appendUtf16Text(Bytes& out, std::string_view utf8)
{
    appendUtf16LE(out, 0xFEFF);
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = decodeUtf8(utf8, pos);
        if (cp >= 0x10000) {
            const char32_t offset = cp - 0x10000;
            appendUtf16LE(out, static_cast<char16_t>(0xD800 + (offset >> 10)));
            appendUtf16LE(out, static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            appendUtf16LE(out, static_cast<char16_t>(cp));
        }
    }
    appendUtf16LE(out, 0);
}

bool appendTextFrame(Bytes& out, std::size_t areaStart, std::string_view frameID,
                     std::string_view utf8)
{
    if (!ID3v2Helper::isTextFrameID(frameID))
        return false;
    const bool isComment = frameID == "COMM";
    // Encoding byte, mark and terminator; a comment adds its language and empty description.
    std::size_t bodySize = 1 + 2 + unicharsLengthInBytes(utf8) + 2;
    if (isComment)
        bodySize += kCommentLanguage.size() + 4;
    if (!frameFits(out.size() - areaStart, bodySize))
        return false;
    appendFrameHeader(out, frameID, bodySize);
    out.push_back(kUtf16WithBom);
    if (isComment) {
        out.insert(out.end(), kCommentLanguage.begin(), kCommentLanguage.end());
        appendUtf16Text(out, "");
    }
    appendUtf16Text(out, utf8);
    return true;
}

bool appendPopularimeterFrame(Bytes& out, std::size_t areaStart, std::uint8_t rating)
{
    if (!frameFits(out.size() - areaStart, kPopularimeterBodySize))
        return false;
    appendFrameHeader(out, "POPM", kPopularimeterBodySize);
    out.push_back(0); // empty e-mail address
    out.push_back(rating);
    appendBigEndian32(out, 0); // play counter
    return true;
}

bool appendPictureFrame(Bytes& out, std::size_t areaStart, const Bytes& imageData)
{
    if (imageData.size() > ID3v2Helper::kMaxSyncSafeValue ||
        !frameFits(out.size() - areaStart, kPictureBodyOverhead + imageData.size()))
        return false;
    appendFrameHeader(out, "APIC", kPictureBodyOverhead + imageData.size());
    out.push_back(kLatin1);
    out.insert(out.end(), kJpegMimeType.begin(), kJpegMimeType.end());
    out.push_back(0);
    out.push_back(kFrontCover);
    out.push_back(0); // empty description
    out.insert(out.end(), imageData.begin(), imageData.end());
    return true;
}

} // namespace

Bytes ID3v2Helper::createTagForDictionary(const Dictionary& id3Tags)
{
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    for (const auto& [frameID, value] : id3Tags) {
        if (frameID == "APIC") {
            if (value.isData())
                appendPictureFrame(tag, kHeaderSize, value.toData());
        } else if (frameID == "POPM") {
            if (const auto rating = integerForValue(value))
                appendPopularimeterFrame(
                    tag, kHeaderSize,
                    static_cast<std::uint8_t>(std::clamp<std::int64_t>(*rating, 0, 255)));
        } else if (const auto text = textForValue(value)) {
            appendTextFrame(tag, kHeaderSize, frameID, *text);
        }
    }
    // Every append kept the frame area within kMaxSyncSafeValue.
    const std::uint32_t size =
        _convertIntToSyncSafeInt(static_cast<std::uint32_t>(tag.size() - kHeaderSize));
    std::memcpy(tag.data() + 6, &size, sizeof size);
    return tag;
}

Bytes ID3v2Helper::_create230FrameWithID(std::string_view frameID, std::string_view utf8Text)
{
    Bytes frame;
    appendTextFrame(frame, 0, frameID, utf8Text);
    return frame;
}

Bytes ID3v2Helper::_create230PopularimeterWithRating(std::uint8_t rating)
{
    Bytes frame;
    appendPopularimeterFrame(frame, 0, rating);
    return frame;
}

Bytes ID3v2Helper::_create230CoverArtworkFrameWithImageData(const Bytes& imageData)
{
    Bytes frame;
    appendPictureFrame(frame, 0, imageData);
    return frame;
}

std::uint32_t ID3v2Helper::_convertIntToSyncSafeInt(std::uint32_t value)
{
    value = std::min(value, kMaxSyncSafeValue);
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>((value >> 21) & 0x7F),
        static_cast<std::uint8_t>((value >> 14) & 0x7F),
        static_cast<std::uint8_t>((value >> 7) & 0x7F),
        static_cast<std::uint8_t>(value & 0x7F),
    };
    std::uint32_t result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

bool ID3v2Helper::isTextFrameID(std::string_view frameID)
{
    if (frameID.size() != 4 || !std::all_of(frameID.begin(), frameID.end(), isFrameIDCharacter))
        return false;
    return frameID == "COMM" || (frameID[0] == 'T' && frameID != "TXXX");
}

std::optional<std::string> ID3v2Helper::textForValue(const Value& value)
{
    if (value.isString())
        return value.toString();
    if (value.isInteger())
        return std::to_string(value.toInteger());
    if (value.isReal() && std::isfinite(value.toReal())) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value.toReal());
        return std::string(buffer, result.ptr);
    }
    return std::nullopt;
}

std::optional<std::int64_t> ID3v2Helper::integerForValue(const Value& value)
{
    if (value.isInteger())
        return value.toInteger();
    if (value.isReal())
        return std::isnan(value.toReal()) ? std::nullopt
                                          : std::optional<std::int64_t>(value.toInteger());
    if (!value.isString())
        return std::nullopt;
    const std::string& text = value.toString();
    const bool negative = !text.empty() && text[0] == '-';
    const std::string_view digits = std::string_view(text).substr(negative ? 1 : 0);
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::int64_t result = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), result);
    if (parsed.ec == std::errc::result_out_of_range)
        return negative ? std::numeric_limits<std::int64_t>::min()
                        : std::numeric_limits<std::int64_t>::max();
    return result;
}

} // namespace orvanta
