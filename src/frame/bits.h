// Bit and flag operations on 32-bit signed values.
#pragma once

#include <cstdint>

namespace zolt::frame {

// The value with bit 0..31 set (state not 0) or cleared (state 0); any other bit number
// returns the value unchanged.
int32_t SetBitValue(int32_t value, int32_t bit, int32_t state);

// 1 when the value is 0, else 0.
int32_t InvertFlag(int32_t value);

}  // namespace zolt::frame
