#include "RelayProtocol.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::relay;

TEST(RelayRequestTest, OnlyTheTwoHeadersCount)
{
    static constexpr char kWithZero[] = "GET /\0x HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n";
    struct Case
    {
        const char* name;
        std::string request;
        std::uint16_t udpPort;
        bool wantsMetadata;
    };
    const Case cases[] = {
        {"player request",
         "GET / HTTP/1.0\r\nHost: localhost\r\nUser-Agent: p/1\r\nIcy-MetaData: 1\r\n\r\n", 0,
         true},
        {"any letter case, spaces around", "GET / HTTP/1.0\r\nICY-METADATA:   1  \r\n\r\n", 0,
         true},
        {"no space", "GET / HTTP/1.0\r\nicy-metadata:1\r\n\r\n", 0, true},
        {"other value", "GET / HTTP/1.0\r\nIcy-MetaData: 0\r\n\r\n", 0, false},
        {"value with more", "GET / HTTP/1.0\r\nIcy-MetaData: 10\r\n\r\n", 0, false},
        {"no header", "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n", 0, false},
        {"udp port", "GET / HTTP/1.0\r\nx-audiocast-udpport: 6000\r\nIcy-MetaData:1\r\n\r\n", 6000,
         true},
        {"udp port, upper case", "GET / HTTP/1.0\r\nX-Audiocast-UDPPort:65535\r\n\r\n", 65535,
         false},
        {"port 0", "x-audiocast-udpport: 0\r\n\r\n", 0, false},
        {"port too large", "x-audiocast-udpport: 65536\r\n\r\n", 0, false},
        {"port far too large", "x-audiocast-udpport: 99999999999999999999\r\n\r\n", 0, false},
        {"negative port", "x-audiocast-udpport: -5\r\n\r\n", 0, false},
        {"port with letters", "x-audiocast-udpport: 12ab\r\n\r\n", 0, false},
        {"empty port", "x-audiocast-udpport:\r\n\r\n", 0, false},
        {"header only in the body", "GET / HTTP/1.0\r\n\r\nIcy-MetaData: 1\r\n", 0, false},
        {"head cut short", "GET / HTTP/1.0\r\nIcy-MetaData: 1", 0, true},
        {"header in the request line's place", "Icy-MetaData: 1\r\n\r\n", 0, true},
        {"bare line feeds are not line ends", "GET / HTTP/1.0\nIcy-MetaData: 1\n\n", 0, false},
        {"zero bytes inside", std::string(kWithZero, sizeof kWithZero - 1), 0, true},
    };
    for (const Case& c : cases) {
        const RelayRequest parsed = parseRelayRequest(c.request);
        EXPECT_EQ(parsed.udpPort, c.udpPort) << c.name;
        EXPECT_EQ(parsed.wantsMetadata, c.wantsMetadata) << c.name;
    }
}

TEST(RelayRequestTest, OnlyTheTokensPathFromThisComputerAndNoWebPageIsServed)
{
    const std::string path = "/0123456789abcdef0123456789abcdef";
    struct Case
    {
        const char* name;
        std::string request;
        const char* answer; // the start of the refusal; "" when served
    };
    const Case cases[] = {
        {"the player", "GET " + path + " HTTP/1.0\r\nIcy-MetaData: 1\r\n\r\n", ""},
        {"loopback names with ports", "GET " + path + " HTTP/1.1\r\nHost: LocalHost:8000\r\n\r\n",
         ""},
        {"IPv4", "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:8000\r\n\r\n", ""},
        {"IPv6", "GET " + path + " HTTP/1.1\r\nHost: [::1]:8000\r\n\r\n", ""},
        {"no token", "GET / HTTP/1.0\r\n\r\n", "HTTP/1.0 404"},
        {"a wrong token", "GET /0123 HTTP/1.0\r\n\r\n", "HTTP/1.0 404"},
        {"the token with more", "GET " + path + "/x HTTP/1.0\r\n\r\n", "HTTP/1.0 404"},
        {"no request line", "Icy-MetaData: 1\r\n\r\n", "HTTP/1.0 404"},
        {"a name that resolves to loopback",
         "GET " + path + " HTTP/1.1\r\nHost: attacker.example:8000\r\n\r\n", "HTTP/1.0 403"},
        {"localhost with more", "GET " + path + " HTTP/1.1\r\nHost: localhost.evil\r\n\r\n",
         "HTTP/1.0 403"},
        {"a bad port", "GET " + path + " HTTP/1.1\r\nHost: localhost:80x\r\n\r\n", "HTTP/1.0 403"},
        {"a web page", "GET " + path + " HTTP/1.1\r\nOrigin: http://page.example\r\n\r\n",
         "HTTP/1.0 403"},
        {"a page's fetch", "GET " + path + " HTTP/1.1\r\nSec-Fetch-Mode: no-cors\r\n\r\n",
         "HTTP/1.0 403"},
    };
    for (const Case& c : cases) {
        const std::string refusal = refusalFor(parseRelayRequest(c.request), path);
        if (*c.answer == '\0')
            EXPECT_EQ(refusal, "") << c.name;
        else
            EXPECT_EQ(refusal.rfind(c.answer, 0), 0u) << c.name << ": " << refusal;
    }
}

TEST(RelayRequestTest, NothingBeyondTheRequestLimitIsRead)
{
    std::string request = "GET / HTTP/1.0\r\nX-Filler: " + std::string(kMaxRequestBytes, 'x');
    request += "\r\nIcy-MetaData: 1\r\n\r\n";
    EXPECT_FALSE(parseRelayRequest(request).wantsMetadata);
}

RelayRequest asked(std::uint16_t udpPort, bool wantsMetadata)
{
    RelayRequest request;
    request.udpPort = udpPort;
    request.wantsMetadata = wantsMetadata;
    return request;
}

TEST(RelayResponseTest, LinesInOrderWithTheTitleVariant)
{
    const std::string head = "ICY 200 OK\r\n"
                             "icy-notice1:This stream is being broadcast by Orvanta for Linux\r\n"
                             "icy-notice2:http://www.orvanta.net/\r\n"
                             "Server: orvanta/1.2.3\r\n"
                             "content-type:audio/mpeg\r\n"
                             "icy-name:Orvanta\r\n"
                             "icy-genre:Orvanta\r\n"
                             "icy-pub:1\r\n"
                             "icy-url:http://localhost:50505\r\n";
    EXPECT_EQ(relayResponse(asked(0, false), 50505, "1.2.3"), head + "\r\n");
    EXPECT_EQ(relayResponse(asked(0, true), 50505, "1.2.3"), head + "icy-metaint:8192\r\n\r\n");
    EXPECT_EQ(relayResponse(asked(7000, true), 50505, "1.2.3"),
              head + "x-audiocast-udpport:50505\r\n\r\n");
    EXPECT_EQ(relayResponse(asked(7000, false), 50505, "1.2.3"), head + "\r\n")
        << "a UDP port without the metadata header asks for no titles";
    // The recording's own content type, for AAC and Ogg stations.
    std::string aacHead = head;
    aacHead.replace(aacHead.find("audio/mpeg"), 10, "audio/aac");
    EXPECT_EQ(relayResponse(asked(0, false), 50505, "1.2.3", "audio/aac"), aacHead + "\r\n");
}

TEST(MetadataBlockTest, LengthByteCoversTextAndAtLeastOneZero)
{
    const std::size_t wrapper = std::string("StreamTitle='';StreamUrl='';").size();
    for (std::size_t titleLength = 0; titleLength <= 100; ++titleLength) {
        const std::string title(titleLength, 'a');
        const std::string block = metadataBlock(title);
        const std::size_t textLength = wrapper + titleLength;
        const std::size_t n = static_cast<std::uint8_t>(block[0]);
        ASSERT_EQ(n, (textLength + 1) / 16 + 1) << "text of " << textLength;
        ASSERT_EQ(block.size(), 1 + 16 * n);
        EXPECT_EQ(block.substr(1, textLength), "StreamTitle='" + title + "';StreamUrl='';");
        EXPECT_EQ(block.find_first_not_of('\0', 1 + textLength), std::string::npos);
    }
    // Texts of 14 + 16k bytes fit with two zeros; 15 + 16k need a further 16 bytes.
    EXPECT_EQ(metadataBlock(std::string(46 - wrapper, 'x'))[0], 3);
    EXPECT_EQ(metadataBlock(std::string(47 - wrapper, 'x'))[0], 4);
}

TEST(MetadataBlockTest, LongTitlesAreCutToOneBlockOnCharacterBounds)
{
    const std::string block = metadataBlock(std::string(10000, 'a'));
    EXPECT_EQ(static_cast<std::uint8_t>(block[0]), 255);
    ASSERT_EQ(block.size(), 1 + 255 * 16);
    const std::string text = block.substr(1, block.find('\0', 1) - 1);
    EXPECT_EQ(text.size(), 4078u);
    EXPECT_TRUE(text.ends_with("aaa';StreamUrl='';"));

    // "é" takes two bytes; the cut must not leave half of one.
    std::string title;
    for (int i = 0; i < 3000; ++i)
        title += "\xC3\xA9";
    const std::string cut = metadataBlock(title);
    const std::string cutText = cut.substr(1, cut.find('\0', 1) - 1);
    const std::string cutTitle = cutText.substr(13, cutText.size() - 13 - 15);
    EXPECT_EQ(cutTitle.size() % 2, 0u);
    EXPECT_EQ(cutTitle, title.substr(0, cutTitle.size()));
    EXPECT_LE(cutText.size(), 4078u);
    EXPECT_GE(cutText.size(), 4077u);
}

TEST(UDPTitleTest, MessagesAndDatagrams)
{
    EXPECT_EQ(udpTitleMessage(12, "Artist - Song"),
              "x-audiocast-udpseqnr: 12\r\nx-audiocast-streamtitle: Artist - Song\r\n");
    EXPECT_EQ(titleOrUnknown(""), "Unknown");
    EXPECT_EQ(titleOrUnknown("A - B"), "A - B");

    using Kind = TitleDatagram::Kind;
    struct Case
    {
        std::string datagram;
        Kind kind;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"x-audiocast-udpport: 7001\r\n", Kind::UDPPort, 7001},
        {"x-audiocast-udpport:7001", Kind::UDPPort, 7001},
        {"hello x-audiocast-udpport: 80\r\nx-audiocast-ack: 3\r\n", Kind::UDPPort, 80},
        {"x-audiocast-udpport: 70000\r\n", Kind::UDPPort, 0},
        {"x-audiocast-udpport", Kind::UDPPort, 0},
        {"x-audiocast-ack: 5\r\n", Kind::Ack, 0},
        {"PING", Kind::Ping, 0},
        {"xx PING yy", Kind::Ping, 0},
        {"ping", Kind::Other, 0},
        {"", Kind::Other, 0},
    };
    for (const Case& c : cases) {
        const TitleDatagram parsed = parseTitleDatagram(c.datagram);
        EXPECT_EQ(parsed.kind, c.kind) << c.datagram;
        EXPECT_EQ(parsed.port, c.port) << c.datagram;
    }
}
