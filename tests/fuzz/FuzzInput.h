#pragma once

// Takes a fuzzer's bytes apart into the pieces a harness needs: small numbers, cut
// points, strings. Everything is defined for any input, including an empty one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::fuzz {

class FuzzInput
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), size)
    {}

    bool empty() const { return m_bytes.empty(); }
    std::size_t remaining() const { return m_bytes.size(); }

    std::uint8_t byte()
    {
        if (m_bytes.empty())
            return 0;
        const auto value = static_cast<std::uint8_t>(m_bytes.front());
        m_bytes.remove_prefix(1);
        return value;
    }

    /// A number from 0 to limit - 1 (0 when limit is 0).
    std::size_t below(std::size_t limit)
    {
        const std::size_t value = (std::size_t(byte()) << 8) | byte();
        return limit == 0 ? 0 : value % limit;
    }

    /// Bytes up to the next separator byte (consumed), or the rest.
    std::string_view until(char separator)
    {
        const auto end = m_bytes.find(separator);
        const std::string_view piece = m_bytes.substr(0, end);
        m_bytes.remove_prefix(end == std::string_view::npos ? m_bytes.size() : end + 1);
        return piece;
    }

    /// At most length bytes.
    std::string_view take(std::size_t length)
    {
        const std::string_view piece = m_bytes.substr(0, length);
        m_bytes.remove_prefix(piece.size());
        return piece;
    }

    std::string_view rest()
    {
        const std::string_view piece = m_bytes;
        m_bytes = {};
        return piece;
    }

private:
    std::string_view m_bytes;
};

} // namespace orvanta::fuzz
