#include "TextEncodings.h"

#include <algorithm>
#include <iterator>

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <uchardet/uchardet.h>

#include <memory>

namespace orvanta {

namespace {

struct EncodingEntry
{
    int number;
    // Marked for the preset window, which translates it under "TextEncodings".
    const char* name;
    // The converter name Qt (through ICU) knows; nullptr for the encodings decoded here.
    const char* converter;
};

constexpr EncodingEntry kEncodings[] = {
    {kAutomaticStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Automatic"), nullptr},
    {kASCIIStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Western (ASCII)"), nullptr},
    {kUTF8StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Unicode (UTF-8)"), nullptr},
    {kUnicodeStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Unicode (UTF-16)"), nullptr},
    {kISOLatin1StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Western (ISO Latin 1)"),
     nullptr},
    {kWindowsCP1252StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Western (Windows Latin 1)"),
     "windows-1252"},
    {kMacOSRomanStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Western (Mac OS Roman)"),
     "macintosh"},
    {kNEXTSTEPStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Western (NextStep)"),
     "x-nextstep"},
    {kISOLatin2StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Central European (ISO Latin 2)"),
     "ISO-8859-2"},
    {kWindowsCP1250StringEncoding,
     QT_TRANSLATE_NOOP("TextEncodings", "Central European (Windows Latin 2)"), "windows-1250"},
    {kWindowsCP1251StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Cyrillic (Windows)"),
     "windows-1251"},
    {kKOI8RStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Cyrillic (KOI8-R)"), "KOI8-R"},
    {kWindowsCP1253StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Greek (Windows)"),
     "windows-1253"},
    {kWindowsCP1254StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Turkish (Windows Latin 5)"),
     "windows-1254"},
    {kShiftJISStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Japanese (Shift JIS)"),
     "Shift_JIS"},
    {kJapaneseEUCStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Japanese (EUC)"), "EUC-JP"},
    {kISO2022JPStringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Japanese (ISO 2022-JP)"),
     "ISO-2022-JP"},
    {kGB18030StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Simplified Chinese (GB 18030)"),
     "GB18030"},
    {kBig5StringEncoding, QT_TRANSLATE_NOOP("TextEncodings", "Traditional Chinese (Big 5)"),
     "Big5"},
};

const EncodingEntry* findEncoding(int number)
{
    const auto it = std::find_if(std::begin(kEncodings), std::end(kEncodings),
                                 [number](const EncodingEntry& e) { return e.number == number; });
    return it == std::end(kEncodings) ? nullptr : it;
}

std::size_t lengthToFirstZeroByte(const std::uint8_t* bytes, std::size_t length)
{
    return static_cast<std::size_t>(std::find(bytes, bytes + length, 0) - bytes);
}

std::optional<std::string> decodeAscii(const std::uint8_t* bytes, std::size_t length)
{
    if (std::any_of(bytes, bytes + length, [](std::uint8_t b) { return b >= 0x80; }))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

// Qt's UTF-16 decoder lets lone surrogates and a dangling odd byte through without an
// error, and assumes host order without a BOM; the metadata rule is big-endian by default.
std::optional<std::string> decodeUtf16(const std::uint8_t* bytes, std::size_t length)
{
    bool bigEndian = true;
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bigEndian = false;
        bytes += 2;
        length -= 2;
    } else if (length >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        bytes += 2;
        length -= 2;
    }
    std::u16string units;
    units.reserve(length / 2);
    std::size_t i = 0;
    for (; i + 1 < length; i += 2) {
        const char16_t unit = bigEndian ? char16_t((bytes[i] << 8) | bytes[i + 1])
                                        : char16_t((bytes[i + 1] << 8) | bytes[i]);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    if (i + 1 == length) // an odd byte left over before the end
        return std::nullopt;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const char16_t unit = units[k];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (k + 1 == units.size() || units[k + 1] < 0xDC00 || units[k + 1] > 0xDFFF)
                return std::nullopt;
            ++k;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
    }
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()))
        .toUtf8()
        .toStdString();
}

std::optional<std::string> decodeWith(QStringDecoder decoder, const std::uint8_t* bytes,
                                      std::size_t length)
{
    if (!decoder.isValid())
        return std::nullopt;
    const QString text = decoder.decode(
        QByteArrayView(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length)));
    // Stateless decoders report a truncated sequence at the end as an error too.
    if (decoder.hasError())
        return std::nullopt;
    return text.toUtf8().toStdString();
}

// The detector's name for the encoding of bytes (its own names, upper case), or nothing.
std::string detectedCharset(const std::uint8_t* bytes, std::size_t length)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector ||
        uchardet_handle_data(detector.get(), reinterpret_cast<const char*>(bytes), length) != 0)
        return {};
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name ? name : "";
}

std::optional<std::string> decodeUtf8(const std::uint8_t* bytes, std::size_t length)
{
    return decodeWith(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless),
                      bytes, length);
}

// UTF-8 that was read as Latin-1 (or Windows-1252) and written out as UTF-8 again: every
// character below U+0100 or one of 1252's, and as bytes it is UTF-8 with multi-byte
// sequences. Nothing when the text is no such thing.
std::optional<std::string> undoDoubleEncoding(const std::string& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QStringEncoder toCp1252("windows-1252", QStringConverter::Flag::Stateless);
    QByteArray bytes;
    bool wide = false;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            wide = true;
        if (c.unicode() < 0x100) {
            bytes += static_cast<char>(c.unicode());
            continue;
        }
        const QByteArray one = toCp1252.isValid() ? toCp1252.encode(QString(c)) : QByteArray();
        if (toCp1252.hasError() || one.size() != 1)
            return std::nullopt;
        bytes += one;
    }
    if (!wide)
        return std::nullopt;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    return decodeUtf8(raw, static_cast<std::size_t>(bytes.size()));
}

std::optional<std::string> decodeAutomatically(const std::uint8_t* bytes, std::size_t length)
{
    if (std::optional<std::string> text = decodeUtf8(bytes, length))
        return undoDoubleEncoding(*text).value_or(std::move(*text));
    const std::string charset = detectedCharset(bytes, length);
    if (!charset.empty()) {
        // The detector's names for Korean and Chinese are supersets ICU knows by others.
        const std::string name = charset == "UHC" ? "windows-949" : charset;
        if (auto text = decodeWith(QStringDecoder(name.c_str(), QStringConverter::Flag::Stateless),
                                   bytes, length))
            return text;
    }
    return decodeWith(QStringDecoder(QStringConverter::Latin1), bytes, length);
}

} // namespace

const std::vector<TextEncoding>& supportedTextEncodings()
{
    static const std::vector<TextEncoding> encodings = [] {
        std::vector<TextEncoding> list;
        for (const EncodingEntry& e : kEncodings) {
            if (!e.converter || QStringDecoder(e.converter).isValid())
                list.push_back({e.number, e.name});
        }
        return list;
    }();
    return encodings;
}

std::optional<std::string> decodeMetadataText(const std::uint8_t* bytes, std::size_t length,
                                              int encodingType)
{
    const EncodingEntry* entry = findEncoding(encodingType);
    if (!entry)
        return std::nullopt;
    if (!bytes)
        length = 0;
    if (encodingType == kUnicodeStringEncoding)
        return decodeUtf16(bytes, length);

    length = lengthToFirstZeroByte(bytes, length);
    constexpr auto kStateless = QStringConverter::Flag::Stateless;
    switch (encodingType) {
    case kAutomaticStringEncoding:
        return decodeAutomatically(bytes, length);
    case kASCIIStringEncoding:
        return decodeAscii(bytes, length);
    case kISOLatin1StringEncoding:
        return decodeWith(QStringDecoder(QStringConverter::Latin1, kStateless), bytes, length);
    case kUTF8StringEncoding:
        return decodeUtf8(bytes, length);
    default:
        return decodeWith(QStringDecoder(entry->converter, kStateless), bytes, length);
    }
}

} // namespace orvanta
