#pragma once

// The transfer rate of a connection in kilobits (of 1024 bits) per second, recomputed at
// most once a second (or once an interval of the caller's) from the bytes received since the
// previous recomputation.
//
// Thread: fed by the worker; rate reads from other threads go through the owner's lock.

#include <chrono>
#include <functional>
#include <optional>

namespace orvanta {

class TransferRateCalculator
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    /// clock: a monotonic clock (tests pass their own).
    explicit TransferRateCalculator(Clock clock = {});

    void reset();
    /// Recomputes at most once in seconds (at least 1): a station that sends in bursts, as
    /// HLS sends a segment at a time, shows its average rather than bursts and silences.
    void setMinimumInterval(double seconds);
    /// bytes: everything received so far on this connection.
    void update(double bytes);
    double transferRate() const { return _transferRate; }

private:
    Clock m_clock;
    double _dlbefore = 0;
    std::optional<std::chrono::steady_clock::time_point> _tp_before;
    double _transferRate = 0;
    double m_intervalMicroseconds = 1000000.0;
};

} // namespace orvanta
