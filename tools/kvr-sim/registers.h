// Curve-tracer simulator, register bank: the 32 registers the host writes, their names,
// the command bits of register 1, and how the simulator reads the values.
//
// Sections: register numbers; command bits; the bank; reading values (limit codes,
// output codes, window counts, ranges).
#pragma once

#include <array>
#include <cstdint>

namespace zolt::kvrsim {

// ---- register numbers (only those the simulator acts on are named) ----

constexpr int RegisterCount = 32;

enum Register : int {
  RegPoll = 0,
  RegCommand = 1,
  RegSampleInterval = 2,      // sample interval in ticks of 42.6667 us
  RegFirstDuration = 3,       // samples of the pre-ramp
  RegBaseWindowEnd = 4,
  RegSecondDuration = 5,      // longest ramp, in samples
  RegReadWindowStart = 10,
  RegReadWindowEnd = 11,
  RegVoltageLimitLow = 12,    // collector-voltage codes
  RegVoltageLimitHigh = 13,
  RegCurrentLimitLow = 14,    // collector-current codes of the selected range
  RegCurrentLimitHigh = 15,
  RegBaseOffsetCode = 16,     // base/gate output code between sweeps
  RegBaseActiveCode = 17,     // base/gate output code during a sweep
  RegCollectorRange = 23,     // 0..3: 27 k, 2.55 k, 270, 24 ohm
  RegBaseRange = 24,          // 0..3: 20 uA, 200 uA, 2 mA, 20 mA
  RegCollectorNegative = 25,  // 1: the collector supply ramps negative
  RegBaseCurrentMode = 26,    // 0: voltage drive, otherwise current drive
  RegBaseWindowStart = 29,
};

constexpr double SampleTickSeconds = 4.26667e-5;

// ---- command bits of register 1 ----

constexpr uint32_t RunSweepBit = 1u << 0;
constexpr uint32_t StopSweepBit = 1u << 1;
constexpr uint32_t HighVoltageStartBit = 1u << 2;
constexpr uint32_t HighVoltageStopBit = 1u << 3;
constexpr uint32_t ClearStopCodeBit = 1u << 4;
constexpr uint32_t BaseGatePulsedBit = 1u << 7;
constexpr uint32_t ClampForceOnBit = 1u << 8;
constexpr uint32_t ClampForceOffBit = 1u << 9;
constexpr uint32_t ClampOnIdleBit = 1u << 10;
constexpr uint32_t CollectorPulsedBit = 1u << 11;
constexpr uint32_t ConnectStartBit = 1u << 13;
constexpr uint32_t CommsEnableBit = 1u << 16;

// ---- the bank ----

struct RegisterBank {
  std::array<uint32_t, RegisterCount> value{};
};

// ---- reading values ----

// A limit code: values from 2^31 up hold a negative code c as 4,294,967,295 + c.
int64_t LimitCode(uint32_t value);
// An output code for the base/gate converter, clamped to its 16-bit range; values from
// 2^31 up read as two's complement first.
int64_t OutputCode(uint32_t value);
// Samples summed into one reading: end - start, at least 1 and at most 64.
int WindowCount(const RegisterBank& bank, int startRegister, int endRegister);
// A range register read as 0..3; anything else reads as 0.
int RangeIndex(uint32_t value);

constexpr std::array<double, 4> CollectorRangeOhms = {27000.0, 2550.0, 270.0, 24.0};
constexpr std::array<double, 4> BaseRangeFullScaleAmps = {20e-6, 200e-6, 2e-3, 20e-3};
constexpr std::array<double, 4> BaseRangeOhms = {270000.0, 27000.0, 2700.0, 270.0};

}  // namespace zolt::kvrsim
