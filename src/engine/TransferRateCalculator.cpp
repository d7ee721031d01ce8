#include "TransferRateCalculator.h"

#include <algorithm>

namespace orvanta {

TransferRateCalculator::TransferRateCalculator(Clock clock)
    : m_clock(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); }))
{}

void TransferRateCalculator::reset()
{
    _dlbefore = 0;
    _tp_before.reset();
    _transferRate = 0;
}

void TransferRateCalculator::setMinimumInterval(double seconds)
{
    m_intervalMicroseconds = std::max(1.0, seconds) * 1000000.0;
}

void TransferRateCalculator::update(double bytes)
{
    const auto now = m_clock();
    if (!_tp_before) {
        _tp_before = now; // the first call only starts the clock
        return;
    }
    if (bytes < _dlbefore) { // the counter restarted
        _dlbefore = bytes;
        _tp_before = now;
        return;
    }
    const double elapsedMicroseconds =
        std::chrono::duration<double, std::micro>(now - *_tp_before).count();
    if (elapsedMicroseconds < m_intervalMicroseconds)
        return;
    _transferRate = (bytes - _dlbefore) * 8.0 * 0.0009765625 * (1000000.0 / elapsedMicroseconds);
    _dlbefore = bytes;
    _tp_before = now;
}

} // namespace orvanta
