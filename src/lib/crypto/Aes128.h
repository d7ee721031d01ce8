#pragma once

// AES-128 in CBC mode with PKCS#7 padding through OpenSSL's libcrypto: how HLS encrypts
// whole segments. Thread: any; each call owns its cipher context.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvanta::crypto {

using Block = std::array<std::uint8_t, 16>;

/// The plain bytes; nothing, with error saying why, when data is no whole number of blocks
/// or its padding is wrong (the wrong key, most likely).
std::optional<std::vector<std::uint8_t>> decryptAes128Cbc(const std::uint8_t* data,
                                                          std::size_t size, const Block& key,
                                                          const Block& iv, std::string& error);

} // namespace orvanta::crypto
