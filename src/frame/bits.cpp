// Bit and flag operations on 32-bit signed values, used to build register words and
// button masks bit by bit and to flip on/off flags.
#include "frame/bits.h"

namespace zolt::frame {

int32_t SetBitValue(int32_t value, int32_t bit, int32_t state) {
  if (bit < 0 || bit > 31) return value;
  // Work on the unsigned pattern so that bit 31 (the sign bit) behaves like the others.
  const uint32_t mask = uint32_t{1} << bit;
  const uint32_t pattern = static_cast<uint32_t>(value);
  return static_cast<int32_t>(state == 0 ? (pattern & ~mask) : (pattern | mask));
}

int32_t InvertFlag(int32_t value) { return value == 0 ? 1 : 0; }

}  // namespace zolt::frame
