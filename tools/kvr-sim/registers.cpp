// Curve-tracer simulator, register bank: reading register values.
#include "registers.h"

#include <algorithm>

namespace zolt::kvrsim {

int64_t LimitCode(uint32_t value) {
  if (value >= 0x80000000u) return int64_t{value} - 4294967295LL;
  return value;
}

int64_t OutputCode(uint32_t value) {
  int64_t code = static_cast<int32_t>(value);
  return std::clamp<int64_t>(code, 0, 65535);
}

int WindowCount(const RegisterBank& bank, int startRegister, int endRegister) {
  int64_t count = int64_t{bank.value[endRegister]} - int64_t{bank.value[startRegister]};
  return static_cast<int>(std::clamp<int64_t>(count, 1, 64));
}

int RangeIndex(uint32_t value) { return value <= 3 ? static_cast<int>(value) : 0; }

}  // namespace zolt::kvrsim
