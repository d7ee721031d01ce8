#pragma once

// Decoding of ICY metadata text by the preset's text-encoding number (NP_LANGUAGE_ENCODING).
// The numbers are the string-encoding constants of the platform the presets file format
// comes from; stored presets hold them, so they must keep their values.
//
// Thread-safe: pure functions; the list of supported encodings is built once.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvanta {

// Orvanta finds the encoding of each title itself (no platform constant has 0).
inline constexpr int kAutomaticStringEncoding = 0;
inline constexpr int kASCIIStringEncoding = 1;
inline constexpr int kNEXTSTEPStringEncoding = 2;
inline constexpr int kJapaneseEUCStringEncoding = 3;
inline constexpr int kUTF8StringEncoding = 4;
inline constexpr int kISOLatin1StringEncoding = 5;
inline constexpr int kShiftJISStringEncoding = 8;
inline constexpr int kISOLatin2StringEncoding = 9;
inline constexpr int kUnicodeStringEncoding = 10; // UTF-16, byte order from the BOM
inline constexpr int kWindowsCP1251StringEncoding = 11;
inline constexpr int kWindowsCP1252StringEncoding = 12;
inline constexpr int kWindowsCP1253StringEncoding = 13;
inline constexpr int kWindowsCP1254StringEncoding = 14;
inline constexpr int kWindowsCP1250StringEncoding = 15;
inline constexpr int kISO2022JPStringEncoding = 21;
inline constexpr int kMacOSRomanStringEncoding = 30;
// Encodings without a constant of their own are the platform's CoreFoundation values with
// the top bit set.
inline constexpr int kGB18030StringEncoding = static_cast<int>(0x80000632u);
inline constexpr int kKOI8RStringEncoding = static_cast<int>(0x80000A02u);
inline constexpr int kBig5StringEncoding = static_cast<int>(0x80000A03u);

struct TextEncoding
{
    int number;
    const char* name; // English display name; the preset window translates it
};

/// The encodings this machine can decode, in menu order.
const std::vector<TextEncoding>& supportedTextEncodings();

/// The metadata text of a block in encodingType, as UTF-8. The text ends at the first NUL
/// character (a zero byte; for UTF-16 a zero code unit) or at the end of the block, since
/// servers pad metadata blocks with zeros. Nothing when the bytes are not valid in that
/// encoding or the encoding is unknown or unsupported here.
///
/// Automatic: valid UTF-8 is taken as UTF-8, and repaired when a station had read its UTF-8
/// as Latin-1 and sent that again as UTF-8; anything else is decoded in the encoding the
/// detector finds for its bytes (Latin-1 when it finds none it can decode).
std::optional<std::string> decodeMetadataText(const std::uint8_t* bytes, std::size_t length,
                                              int encodingType);

} // namespace orvanta
