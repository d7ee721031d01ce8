// What a local player sends the relay: its request head and its UDP title datagrams.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "RelayProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvanta::fuzz::FuzzInput input(data, size);
    const bool datagram = input.byte() & 1;
    const std::string_view bytes = input.rest();
    if (datagram) {
        const auto asked = orvanta::relay::parseTitleDatagram(bytes);
        FUZZ_CHECK(asked.kind == orvanta::relay::TitleDatagram::Kind::UDPPort || asked.port == 0);
        orvanta::relay::parsePortNumber(bytes);
        return 0;
    }
    const auto request = orvanta::relay::parseRelayRequest(bytes);
    const std::string head = orvanta::relay::relayResponse(request, 50505, "1.0");
    FUZZ_CHECK(head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0);
    const std::string block = orvanta::relay::metadataBlock(bytes);
    FUZZ_CHECK(!block.empty());
    FUZZ_CHECK(block.size() ==
               1 + 16 * static_cast<std::size_t>(static_cast<std::uint8_t>(block[0])));
    orvanta::relay::udpTitleMessage(1, bytes);
    return 0;
}
