// Test support: status frames as the instrument sends them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/wire.h"

namespace zolt::testing {

inline std::vector<uint8_t> FrameBytes(uint16_t status, uint16_t calibrationWord = 0,
                                       int32_t collectorVoltage = 0,
                                       int32_t collectorCurrent = 0) {
  std::vector<uint8_t> b(link::StatusFrameBytes, 0);
  auto put = [&](int at, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) b[at + i] = static_cast<uint8_t>(value >> (8 * (size - 1 - i)));
  };
  put(0, status, 2);
  put(2, calibrationWord, 2);
  put(4, static_cast<uint32_t>(collectorCurrent), 4);
  put(8, static_cast<uint32_t>(collectorVoltage), 4);
  put(30, link::PacketChecksum(std::span<const uint8_t>(b.data(), 30)), 2);
  return b;
}

}  // namespace zolt::testing
