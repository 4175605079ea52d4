// Which sample rates an effect accepts from SetParams. A rate of 0 (or a negative
// or absurd one) would divide by zero in the LFO and filter formulas, so such a
// rate is ignored and the effect keeps the one it had.
#pragma once

#include <cstdint>

namespace fx {

constexpr int32_t MIN_RATE = 1;
constexpr int32_t MAX_RATE = 1000000;

inline bool IsUsableRate(int32_t rate) {
    return rate >= MIN_RATE && rate <= MAX_RATE;
}

} // namespace fx
