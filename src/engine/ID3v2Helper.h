#pragma once

// Builds ID3v2.3 tags from an ID3TAGS dictionary (frame identifier → value) for the file
// writer, which puts the tag at the start of a recorded file. Every function returns a new
// buffer owned by the caller; nothing is kept between calls.
//
// A tag's frame area is limited to kMaxSyncSafeValue bytes (256 MiB less one) because its
// size is stored as a 28-bit sync-safe integer. A frame that would not fit is left out rather
// than written with a size that readers would misread.
//
// Thread-safe: pure functions.

#include "Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

class ID3v2Helper
{
public:
    /// The largest number a 28-bit sync-safe integer holds.
    static constexpr std::uint32_t kMaxSyncSafeValue = 0x0FFFFFFF;
    /// Size of the tag header and of every frame header.
    static constexpr std::size_t kHeaderSize = 10;

    /// The whole tag: header, then one frame per entry in the dictionary's order, no padding.
    /// `APIC` takes data (a picture frame), `POPM` a number or a decimal string (a rating
    /// clamped to 0…255), `COMM` and the text identifiers (see isTextFrameID) a string or a
    /// number (its decimal text). Entries that cannot make a well-formed frame are skipped:
    /// other identifiers, values of other types, frames that would overflow the frame area.
    static Bytes createTagForDictionary(const Dictionary& id3Tags);

    /// One text frame, UTF-16 little-endian with byte-order mark and terminator; `COMM` gets
    /// the language "eng" and an empty description. Empty when frameID is not a text frame
    /// identifier or the frame would not fit into a tag.
    static Bytes _create230FrameWithID(std::string_view frameID, std::string_view utf8Text);

    /// A `POPM` frame with an empty e-mail address, the rating and a zero play counter.
    static Bytes _create230PopularimeterWithRating(std::uint8_t rating);

    /// An `APIC` front-cover frame of JPEG data. Empty when it would not fit into a tag.
    static Bytes _create230CoverArtworkFrameWithImageData(const Bytes& imageData);

    /// value (at most kMaxSyncSafeValue; larger values saturate) as a sync-safe integer whose
    /// four bytes in memory order are the big-endian sync-safe bytes, so that it can be copied
    /// into a header as it is. On a little-endian host the number itself is byte-swapped.
    static std::uint32_t _convertIntToSyncSafeInt(std::uint32_t value);

    /// Whether frameID is `COMM` or a text frame identifier: four characters of A-Z and 0-9
    /// starting with 'T', other than `TXXX` (whose body needs a description).
    static bool isTextFrameID(std::string_view frameID);

    /// The text a dictionary value stands for: a string as it is, an integer or a finite real
    /// as its decimal text; nullopt for anything else.
    static std::optional<std::string> textForValue(const Value& value);

    /// The integer a dictionary value stands for: an integer, a finite real (truncated) or a
    /// string of decimal digits with an optional leading '-' (saturating); nullopt otherwise.
    static std::optional<std::int64_t> integerForValue(const Value& value);
};

} // namespace orvanta
