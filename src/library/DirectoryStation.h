#pragma once

// A station as the public station directory describes it, the search a user asks of the
// directory, and the reading of the directory's JSON answers.
//
// Plain values; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

struct DirectoryStation
{
    std::string uuid; // the directory's identifier ("stationuuid")
    std::string name;
    std::string url;         // the address as entered (a playlist or the stream)
    std::string resolvedUrl; // the stream the directory's checker found behind it
    std::string homepage;
    std::string favicon;
    std::string tags; // comma-separated, as the directory keeps them
    std::string country;
    std::string countryCode;
    std::string language;
    std::string codec; // "MP3", "AAC", "AAC+", "OGG", ...
    int bitrate = 0;   // kbit/s; 0 when unknown
    std::int64_t votes = 0;
    std::int64_t clickCount = 0;
    bool hls = false;
    bool lastCheckOk = true;

    /// The address a recording starts from: the one entered, else the checker's.
    std::string streamAddress() const;
    /// Whether this program can record it: an MP3, AAC or Ogg (Vorbis, Opus) stream that is
    /// not HTTP Live Streaming.
    bool isRecordable() const;
    /// Whether its codec is one this program records. An unknown codec counts as one, as the
    /// stream itself tells on connection.
    bool hasRecordableCodec() const;
    /// The tags as a genre: the first few, capitalised, joined with ", ".
    std::string genre() const;
};

struct DirectoryQuery
{
    enum class Order { Votes, Clicks };

    std::string name;
    std::string tag;
    std::string countryCode; // two letters
    std::string language;
    std::string codec;
    int minBitrate = 0;
    Order order = Order::Votes;
    int offset = 0;
    int limit = 50;
    /// Leaves out the stations of codecs this program does not record (after the search:
    /// the directory takes one codec at a time).
    bool recordableCodecsOnly = false;

    /// The search request's path and query ("/json/stations/search?..."), most voted or
    /// clicked first, broken stations left out.
    std::string path() const;
};

/// Reads an array of station objects. Entries without an identifier, a name or an http(s)
/// address are left out; entryCount, when given, counts every entry of the array. Nothing,
/// with error set, when the text is no JSON array.
std::optional<std::vector<DirectoryStation>>
parseDirectoryStations(std::string_view json, std::string& error,
                       std::size_t* entryCount = nullptr);

/// Percent-encodes a query value (RFC 3986 unreserved characters pass).
std::string percentEncoded(std::string_view text);

} // namespace orvanta
