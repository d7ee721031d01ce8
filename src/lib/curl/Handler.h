#pragma once

// What a transfer reports to its owner. The easy handle keeps only a pointer, so a handler
// must outlive every perform() it is set for.
//
// Thread: the thread that runs Easy::perform(); every call comes from inside perform().
// A handler may throw: the transfer is then aborted as if it had returned false, and the
// exception goes no further.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvanta::curl {

class Handler
{
public:
    virtual ~Handler() = default;

    /// One response header line, status line included, with its line end; called for every
    /// response of a redirection chain. False aborts the transfer (CURLE_WRITE_ERROR).
    virtual bool onHeader(std::string_view line) = 0;

    /// The next bytes of the body. False aborts the transfer (CURLE_WRITE_ERROR).
    virtual bool onData(const std::uint8_t* data, std::size_t length) = 0;

    /// Body bytes received so far; called often while data flows and about once a second
    /// while it does not. False aborts the transfer (CURLE_ABORTED_BY_CALLBACK).
    virtual bool onProgress(std::int64_t downloadedNow) = 0;
};

} // namespace orvanta::curl
