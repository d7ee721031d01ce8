#include "Aes128.h"

#include <openssl/evp.h>

#include <limits>
#include <memory>

namespace orvanta::crypto {

namespace {
struct ContextDeleter
{
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
} // namespace

std::optional<std::vector<std::uint8_t>> decryptAes128Cbc(const std::uint8_t* data,
                                                          std::size_t size, const Block& key,
                                                          const Block& iv, std::string& error)
{
    if (size == 0 || size % 16 != 0 ||
        size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        error = "The encrypted segment is no whole number of AES blocks";
        return std::nullopt;
    }
    std::unique_ptr<EVP_CIPHER_CTX, ContextDeleter> context(EVP_CIPHER_CTX_new());
    if (!context ||
        EVP_DecryptInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data()) != 1) {
        error = "The AES decryption could not be set up";
        return std::nullopt;
    }
    std::vector<std::uint8_t> plain(size + 16);
    int written = 0;
    int last = 0;
    if (EVP_DecryptUpdate(context.get(), plain.data(), &written, data, static_cast<int>(size)) !=
            1 ||
        EVP_DecryptFinal_ex(context.get(), plain.data() + written, &last) != 1) {
        error = "The segment does not decrypt with the station's key";
        return std::nullopt;
    }
    plain.resize(static_cast<std::size_t>(written + last));
    return plain;
}

} // namespace orvanta::crypto
