#pragma once

// What the listening relay says to a player, as pure functions over bytes: reading the
// player's request, the ICY response, the in-band metadata block and the UDP title message.
// All text is UTF-8; lines end "\r\n".

#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta::relay {

/// Audio bytes between two titles, in-band or by UDP.
inline constexpr std::uint32_t kMetaint = 8192;
/// The most a request may hold; longer requests are cut here.
inline constexpr std::size_t kMaxRequestBytes = 8192;
/// A metadata block holds at most 255 × 16 bytes, one of which must end the text.
inline constexpr std::size_t kMaxMetadataTextBytes = 255 * 16 - 2;

inline constexpr std::string_view kUnknownTitle = "Unknown";
inline constexpr std::string_view kProductWebAddress = "http://www.orvanta.net/";

struct RelayRequest
{
    /// The player's UDP title port, 1 to 65535; 0 when it gave none (or no valid one).
    std::uint16_t udpPort = 0;
    /// The player asked for titles ("Icy-MetaData: 1").
    bool wantsMetadata = false;
    /// The path of the request line ("GET /path HTTP/1.0"); empty when there was none.
    std::string path;
    /// The Host header as sent; empty when there was none.
    std::string host;
    /// The request came from a web page (it carries Origin or Sec-Fetch-* headers).
    bool fromWebPage = false;

    bool usesUDPTitles() const { return wantsMetadata && udpPort != 0; }
    bool usesInBandTitles() const { return wantsMetadata && udpPort == 0; }
};

/// Reads the request line's path and the headers that matter from a request; every other
/// header plays no part. Never reads past request.
RelayRequest parseRelayRequest(std::string_view request);

/// Whether a Host header names this computer's loopback interface ("localhost",
/// "127.0.0.1", "[::1]", with or without a port).
bool isLoopbackHost(std::string_view host);

/// The response that turns a request away, or empty when it is the player's: only the path
/// with the relay's token is served, to no web page and under no other host's name (a page
/// could otherwise reach the relay through a name that resolves to the loopback address).
std::string refusalFor(const RelayRequest& request, std::string_view servedPath);

/// The whole response head, ending with the blank line. relayPort names the relay in the
/// icy-url line and, in UDP title mode, the x-audiocast-udpport line; contentType is the
/// recording's.
std::string relayResponse(const RelayRequest& request, std::uint16_t relayPort,
                          std::string_view bundleVersion,
                          std::string_view contentType = "audio/mpeg");

/// The song, or "Unknown" when there is none.
std::string titleOrUnknown(std::string_view song);

/// The in-band block: a length byte N, then 16 × N bytes holding
/// "StreamTitle='title';StreamUrl='';" and at least one zero byte. Long titles are cut so
/// that the block never exceeds 255 × 16 bytes.
std::string metadataBlock(std::string_view title);

/// A UDP title message with the given sequence number.
std::string udpTitleMessage(std::int64_t sequenceNumber, std::string_view title);

/// What a datagram from the player asks for.
struct TitleDatagram
{
    enum class Kind { UDPPort, Ack, Ping, Other };
    Kind kind = Kind::Other;
    /// With UDPPort: the new title port, 1 to 65535; 0 when the number was not valid.
    std::uint16_t port = 0;
};
TitleDatagram parseTitleDatagram(std::string_view datagram);

/// A port number 1 to 65535 from text with white space around it; 0 for anything else.
std::uint16_t parsePortNumber(std::string_view text);

} // namespace orvanta::relay
