#include "RelayProtocol.h"

#include "StringExtensions.h"

#include <algorithm>

namespace orvanta::relay {

namespace {

constexpr std::string_view kUDPPortHeader = "x-audiocast-udpport:";
constexpr std::string_view kMetadataHeader = "icy-metadata:";
constexpr std::string_view kHostHeader = "host:";
constexpr std::string_view kTitlePrefix = "StreamTitle='";
constexpr std::string_view kTitleSuffix = "';StreamUrl='';";

std::string_view restOfLine(std::string_view text)
{
    const auto end = text.find_first_of("\r\n");
    return end == std::string_view::npos ? text : text.substr(0, end);
}

} // namespace

std::uint16_t parsePortNumber(std::string_view text)
{
    const std::string trimmed = stringByTrimmingWhitespaceAndNewline(text);
    if (trimmed.empty() || trimmed.size() > 5 ||
        !std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const unsigned long number = std::stoul(trimmed);
    return number <= 65535 ? static_cast<std::uint16_t>(number) : 0;
}

RelayRequest parseRelayRequest(std::string_view request)
{
    RelayRequest parsed;
    request = request.substr(0, std::min(request.size(), kMaxRequestBytes));
    bool requestLine = true;
    while (!request.empty()) {
        const auto end = request.find("\r\n");
        const std::string_view line = request.substr(0, end);
        if (end == std::string_view::npos)
            request = {};
        else
            request.remove_prefix(end + 2);
        if (requestLine) {
            requestLine = false;
            // "METHOD SP path SP HTTP/version"; the path alone matters. A first line of
            // another form is read as a header (and the request has no path).
            const auto first = line.find(' ');
            const auto last = line.rfind(' ');
            if (first != std::string_view::npos && last > first &&
                line.substr(last + 1).starts_with("HTTP/")) {
                parsed.path = std::string(line.substr(first + 1, last - first - 1));
                continue;
            }
        }
        if (line.empty())
            break; // end of the head
        if (startsWithIgnoringCase(line, kHostHeader))
            parsed.host = stringByTrimmingWhitespaceAndNewline(line.substr(kHostHeader.size()));
        else if (startsWithIgnoringCase(line, "origin:") ||
                 startsWithIgnoringCase(line, "sec-fetch-"))
            parsed.fromWebPage = true;
        else if (startsWithIgnoringCase(line, kUDPPortHeader))
            parsed.udpPort = parsePortNumber(line.substr(kUDPPortHeader.size()));
        else if (startsWithIgnoringCase(line, kMetadataHeader))
            parsed.wantsMetadata =
                stringByTrimmingWhitespaceAndNewline(line.substr(kMetadataHeader.size())) == "1";
    }
    return parsed;
}

bool isLoopbackHost(std::string_view host)
{
    std::string_view name = host;
    if (!name.empty() && name.front() == '[') {
        const auto closing = name.find(']');
        if (closing == std::string_view::npos)
            return false;
        const std::string_view rest = name.substr(closing + 1);
        if (!rest.empty() && (rest.front() != ':' || parsePortNumber(rest.substr(1)) == 0))
            return false;
        return name.substr(1, closing - 1) == "::1";
    }
    if (const auto colon = name.find(':'); colon != std::string_view::npos) {
        if (parsePortNumber(name.substr(colon + 1)) == 0)
            return false;
        name = name.substr(0, colon);
    }
    return name == "127.0.0.1" || (name.size() == 9 && startsWithIgnoringCase(name, "localhost"));
}

std::string refusalFor(const RelayRequest& request, std::string_view servedPath)
{
    if (request.fromWebPage || (!request.host.empty() && !isLoopbackHost(request.host)))
        return "HTTP/1.0 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    if (request.path != servedPath)
        return "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    return {};
}

std::string relayResponse(const RelayRequest& request, std::uint16_t relayPort,
                          std::string_view bundleVersion, std::string_view contentType)
{
    const std::string port = std::to_string(relayPort);
    std::string response;
    response += "ICY 200 OK\r\n";
    response += "icy-notice1:This stream is being broadcast by Orvanta for Linux\r\n";
    response += "icy-notice2:" + std::string(kProductWebAddress) + "\r\n";
    response += "Server: orvanta/" + std::string(bundleVersion) + "\r\n";
    response += "content-type:" + std::string(contentType) + "\r\n";
    response += "icy-name:Orvanta\r\n";
    response += "icy-genre:Orvanta\r\n";
    response += "icy-pub:1\r\n";
    response += "icy-url:http://localhost:" + port + "\r\n";
    if (request.usesUDPTitles())
        response += "x-audiocast-udpport:" + port + "\r\n";
    else if (request.usesInBandTitles())
        response += "icy-metaint:" + std::to_string(kMetaint) + "\r\n";
    response += "\r\n";
    return response;
}

std::string titleOrUnknown(std::string_view song)
{
    return song.empty() ? std::string(kUnknownTitle) : std::string(song);
}

std::string metadataBlock(std::string_view title)
{
    const std::size_t room = kMaxMetadataTextBytes - kTitlePrefix.size() - kTitleSuffix.size();
    std::string text(kTitlePrefix);
    text += truncateUtf8(std::string(title), room);
    text += kTitleSuffix;
    const std::size_t blocks = (text.size() + 1) / 16 + 1;
    std::string block(1, static_cast<char>(blocks));
    block += text;
    block.resize(1 + 16 * blocks, '\0');
    return block;
}

std::string udpTitleMessage(std::int64_t sequenceNumber, std::string_view title)
{
    return "x-audiocast-udpseqnr: " + std::to_string(sequenceNumber) +
           "\r\nx-audiocast-streamtitle: " +
           truncateUtf8(std::string(title), kMaxMetadataTextBytes) + "\r\n";
}

TitleDatagram parseTitleDatagram(std::string_view datagram)
{
    TitleDatagram parsed;
    if (const auto at = datagram.find("x-audiocast-udpport"); at != std::string_view::npos) {
        parsed.kind = TitleDatagram::Kind::UDPPort;
        const auto colon = datagram.find(':', at);
        if (colon != std::string_view::npos)
            parsed.port = parsePortNumber(restOfLine(datagram.substr(colon + 1)));
    } else if (datagram.find("x-audiocast-ack:") != std::string_view::npos) {
        parsed.kind = TitleDatagram::Kind::Ack;
    } else if (datagram.find("PING") != std::string_view::npos) {
        parsed.kind = TitleDatagram::Kind::Ping;
    }
    return parsed;
}

} // namespace orvanta::relay
